// Screenshots of real windows for review and for pixel checks.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Copies a window's screen area into a 24-bit BMP file at `path` and returns
// its pixels, row by row from the top (empty when nothing could be copied).
std::vector<COLORREF> CaptureWindow(HWND window, const std::string& path);
