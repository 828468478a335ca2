// Small owners for the GDI and window handles the skinned windows use while
// painting, so every path releases what it took.
#pragma once

#include <windows.h>

// A device context from BeginPaint, ended when the scope closes.
struct PaintScope {
  explicit PaintScope(HWND w) : window(w) { dc = BeginPaint(window, &ps); }
  ~PaintScope() { EndPaint(window, &ps); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  HWND window;
  PAINTSTRUCT ps;
  HDC dc;
};

// A window's device context from GetDC.
struct WindowDc {
  explicit WindowDc(HWND w) : window(w), dc(GetDC(w)) {}
  ~WindowDc() {
    if (dc != nullptr) ReleaseDC(window, dc);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HWND window;
  HDC dc;
};

// A memory device context compatible with another.
struct MemoryDc {
  explicit MemoryDc(HDC reference) : dc(CreateCompatibleDC(reference)) {}
  ~MemoryDc() {
    if (dc != nullptr) DeleteDC(dc);
  }
  MemoryDc(const MemoryDc&) = delete;
  MemoryDc& operator=(const MemoryDc&) = delete;
  HDC dc;
};

// A created GDI object (bitmap, brush, pen, region), deleted at scope end
// unless released to a new owner.
struct GdiObject {
  explicit GdiObject(HGDIOBJ o = nullptr) : object(o) {}
  ~GdiObject() {
    if (object != nullptr) DeleteObject(object);
  }
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  HGDIOBJ Release() {
    HGDIOBJ o = object;
    object = nullptr;
    return o;
  }
  HGDIOBJ object;
};

// An object selected into a device context, put back at scope end.
struct Selection {
  Selection(HDC d, HGDIOBJ o) : dc(d), old(o != nullptr ? SelectObject(d, o) : nullptr) {}
  ~Selection() {
    if (old != nullptr) SelectObject(dc, old);
  }
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;
  HDC dc;
  HGDIOBJ old;
};

// A palette selected (as a background palette) and realized, restored at
// scope end. A null palette selects nothing.
struct PaletteSelection {
  PaletteSelection(HDC d, HPALETTE p, BOOL background = TRUE) : dc(d), background(background) {
    if (p != nullptr) {
      old = SelectPalette(dc, p, background);
      RealizePalette(dc);
    }
  }
  ~PaletteSelection() {
    if (old != nullptr) SelectPalette(dc, old, background);
  }
  PaletteSelection(const PaletteSelection&) = delete;
  PaletteSelection& operator=(const PaletteSelection&) = delete;
  HDC dc;
  BOOL background;
  HPALETTE old = nullptr;
};
