#include "skin/SkinWindow.h"

#include "common/Win32Handles.h"
#include "skin/SkinPalette.h"

LRESULT RealizeSkinPaletteForWindow(HWND window) {
  HPALETTE palette = SkinPalette();
  if (palette == nullptr) return 0;
  {
    WindowDc dc(window);
    PaletteSelection selected(dc.dc, palette, FALSE);
  }
  InvalidateRect(window, nullptr, TRUE);
  return 1;
}

void StartWindowMove(HWND window) {
  ReleaseCapture();
  SendMessageA(window, WM_NCLBUTTONDOWN, HTCAPTION, 0);
}
