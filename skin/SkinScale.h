// The one scale factor the whole skin is drawn at, and what follows from it.
// Layout tables, control state and painting code stay in skin units (the
// pixels of the bitmaps, as at 96 dpi); the scale is applied at the edges:
// when child windows are placed, when regions are made, and when a paint is
// blown up from its canvas onto the screen. At scale 1 all of this is the
// plain drawing of before, pixel for pixel.
#pragma once

#include <windows.h>

#include "skin/SkinGeometry.h"

int SkinScale();
void SetSkinScale(int scale);  // kept within 1..kMaxSkinScale
inline int Scaled(int value) { return value * SkinScale(); }
// A position in a window's pixels back in skin units (rounding down).
int Unscaled(int value);

// Per-monitor DPI awareness, asked for at run time too where the manifest
// is not read: per-monitor v2, else per-monitor, else system aware. The
// functions are looked up, since older systems (and Wine) lack some.
void DeclareDpiAwareness();
// The DPI a window is shown at; null for the system's. GetDpiForWindow
// where it exists, else the screen's logical pixels per inch.
int WindowDpi(HWND window);
// Chooses the scale from the system's DPI; called once at start.
void ChooseSkinScale();

// A child window placed in skin units.
HWND CreateSkinChild(DWORD exStyle, const char* className, const char* text, DWORD style, int x, int y,
                     int width, int height, HWND parent, int id, HINSTANCE instance, void* param = nullptr);

// A polygon region given in skin units (moved down by dy), at the scale.
HRGN CreateSkinRegion(const POINT* points, int count, int dy = 0);
// A new region: `region` with every coordinate times numerator / denominator
// (exact for whole multiples, which is all the skin uses).
HRGN ScaleRegion(HRGN region, int numerator, int denominator);

// A bitmap resource at the scale, as a DIB section (null when missing).
HBITMAP LoadSkinBitmap(HINSTANCE instance, const char* name);
// A new bitmap: `source` resized by numerator / denominator, nearest pixel.
HBITMAP StretchBitmap(HBITMAP source, int numerator, int denominator);

// BeginPaint with a canvas in skin units: painting code draws at the
// bitmaps' own size on `dc`, and at a scale above 1 the canvas is blown up
// onto the window when the paint ends. At scale 1 `dc` is the window's.
class SkinPaint {
 public:
  explicit SkinPaint(HWND window);
  ~SkinPaint();
  SkinPaint(const SkinPaint&) = delete;
  SkinPaint& operator=(const SkinPaint&) = delete;
  HDC dc = nullptr;
  int width = 0, height = 0;  // the client area in skin units

 private:
  HWND window_;
  PAINTSTRUCT ps_ = {};
  HDC canvas_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr;
  HGDIOBJ oldFont_ = nullptr;
};

// Following the DPI. Every skinned top-level window is marked when it is
// created (the scale it is laid out at is kept with it). WM_DPICHANGED on
// any of them sets the new scale and lays every marked window of the
// process out again: children, regions, pictures, its own size; the window
// that got the message goes to the suggested place. Returns whether the
// scale changed (the caller then redoes what it lays out itself).
void MarkSkinnedWindow(HWND window);
void UnmarkSkinnedWindow(HWND window);
bool FollowDpiChange(HWND window, WPARAM wParam, LPARAM lParam);
// Lays one marked window out at the current scale if it is not yet.
void RescaleSkinnedWindow(HWND window);
