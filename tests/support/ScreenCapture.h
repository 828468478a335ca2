// Screenshots of real windows for review and for pixel checks.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Copies a window's screen area into a 24-bit BMP file at `path` and returns
// its pixels, row by row from the top (empty when nothing could be copied).
std::vector<COLORREF> CaptureWindow(HWND window, const std::string& path);

// The shown windows above `window` that lie over part of it, as "class
// \"title\" (left,top)-(right,bottom)": the screen shows them, not the window,
// where they lie (Wine copies another program's window from the screen).
std::vector<std::string> CoveringWindows(HWND window);
