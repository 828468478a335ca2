// Behaviour every top-level skinned window shares.
#pragma once

#include <windows.h>

// WM_QUERYNEWPALETTE: realize the skin palette for the window coming to the
// foreground and repaint it. Returns what the procedure should return.
LRESULT RealizeSkinPaletteForWindow(HWND window);

// Skinned windows have no caption: a press anywhere on the face moves them.
void StartWindowMove(HWND window);
