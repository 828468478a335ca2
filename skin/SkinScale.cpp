#include "skin/SkinScale.h"

#include <atomic>
#include <memory>
#include <new>

#include "common/Win32Handles.h"

namespace {

// Both of Handset's threads paint with it.
std::atomic<int> gSkinScale{1};

constexpr char kScaleProperty[] = "CxSkinScale";

// Not declared by every SDK, and not exported by every system.
using SetAwarenessContext = BOOL(WINAPI*)(HANDLE);
using SetProcessAware = BOOL(WINAPI*)();
using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
const HANDLE kPerMonitorAwareV2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));
const HANDLE kPerMonitorAware = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-3));

void* User32Function(const char* name) {
  HMODULE user32 = GetModuleHandleA("user32.dll");
  return user32 != nullptr ? reinterpret_cast<void*>(GetProcAddress(user32, name)) : nullptr;
}

int ScreenDpi() {
  WindowDc screen(nullptr);
  int dpi = screen.dc != nullptr ? GetDeviceCaps(screen.dc, LOGPIXELSX) : 0;
  return dpi > 0 ? dpi : kSkinBaseDpi;
}

// The canvas is in 96-dpi units, so text on it is drawn with the system
// font a 96-dpi screen has; the stock font follows the system's DPI.
HFONT CanvasFont() {
  static GdiObject font([] {
    LOGFONTA face = {};
    GetObjectA(GetStockObject(SYSTEM_FONT), sizeof face, &face);
    face.lfHeight = 16;
    face.lfWidth = 7;
    return static_cast<HGDIOBJ>(CreateFontIndirectA(&face));
  }());
  return static_cast<HFONT>(font.object);
}

int ScaledBy(int value, int numerator, int denominator) { return value * numerator / denominator; }

bool IsPicture(HWND window) {
  char name[16] = {};
  GetClassNameA(window, name, sizeof name);
  return lstrcmpiA(name, "Static") == 0 && (GetWindowLongA(window, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP;
}

// A window's region, if it has one, brought from one scale to another.
void RescaleRegion(HWND window, int from, int to) {
  GdiObject current(CreateRectRgn(0, 0, 0, 0));
  if (current.object == nullptr || GetWindowRgn(window, static_cast<HRGN>(current.object)) == ERROR) return;
  HRGN scaled = ScaleRegion(static_cast<HRGN>(current.object), to, from);
  if (scaled != nullptr && SetWindowRgn(window, scaled, FALSE) == 0) DeleteObject(scaled);
}

struct Rescale {
  int from, to;
};

BOOL CALLBACK RescaleChild(HWND child, LPARAM param) {
  const Rescale& r = *reinterpret_cast<const Rescale*>(param);
  // The place first: a picture takes its new image's size at once.
  RECT place;
  GetWindowRect(child, &place);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&place), 2);
  if (IsPicture(child)) {
    auto image = reinterpret_cast<HBITMAP>(SendMessageA(child, STM_GETIMAGE, IMAGE_BITMAP, 0));
    HBITMAP scaled = image != nullptr ? StretchBitmap(image, r.to, r.from) : nullptr;
    if (scaled != nullptr) {
      HGDIOBJ old = reinterpret_cast<HGDIOBJ>(
          SendMessageA(child, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(scaled)));
      if (old != nullptr) DeleteObject(old);
    }
  }
  RescaleRegion(child, r.from, r.to);
  SetWindowPos(child, nullptr, ScaledBy(place.left, r.to, r.from), ScaledBy(place.top, r.to, r.from),
               ScaledBy(place.right - place.left, r.to, r.from), ScaledBy(place.bottom - place.top, r.to, r.from),
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
  return TRUE;
}

BOOL CALLBACK RescaleIfOurs(HWND window, LPARAM) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == GetCurrentProcessId()) RescaleSkinnedWindow(window);
  return TRUE;
}

}  // namespace

int SkinScale() { return gSkinScale.load(); }

void SetSkinScale(int scale) {
  gSkinScale.store(scale < 1 ? 1 : scale > kMaxSkinScale ? kMaxSkinScale : scale);
}

int Unscaled(int value) {
  const int scale = SkinScale();
  return value >= 0 ? value / scale : -((-value + scale - 1) / scale);
}

void DeclareDpiAwareness() {
  auto setContext = reinterpret_cast<SetAwarenessContext>(User32Function("SetProcessDpiAwarenessContext"));
  if (setContext != nullptr && (setContext(kPerMonitorAwareV2) || setContext(kPerMonitorAware))) return;
  auto setAware = reinterpret_cast<SetProcessAware>(User32Function("SetProcessDPIAware"));
  if (setAware != nullptr) setAware();
}

int WindowDpi(HWND window) {
  static const auto dpiForWindow = reinterpret_cast<GetDpiForWindowFunction>(User32Function("GetDpiForWindow"));
  if (window != nullptr && dpiForWindow != nullptr) {
    const UINT dpi = dpiForWindow(window);
    if (dpi > 0) return static_cast<int>(dpi);
  }
  return ScreenDpi();
}

void ChooseSkinScale() { SetSkinScale(SkinScaleForDpi(WindowDpi(nullptr))); }

HWND CreateSkinChild(DWORD exStyle, const char* className, const char* text, DWORD style, int x, int y,
                     int width, int height, HWND parent, int id, HINSTANCE instance, void* param) {
  return CreateWindowExA(exStyle, className, text, style, Scaled(x), Scaled(y), Scaled(width), Scaled(height),
                         parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, param);
}

HRGN CreateSkinRegion(const POINT* points, int count, int dy) {
  constexpr int kMostPoints = 64;
  if (count < 0 || count > kMostPoints) return nullptr;
  POINT moved[kMostPoints];
  for (int i = 0; i < count; ++i) moved[i] = POINT{points[i].x, points[i].y + dy};
  HRGN units = CreatePolygonRgn(moved, count, WINDING);
  if (units == nullptr || SkinScale() == 1) return units;
  HRGN scaled = ScaleRegion(units, SkinScale(), 1);
  DeleteObject(units);
  return scaled;
}

HRGN ScaleRegion(HRGN region, int numerator, int denominator) {
  if (region == nullptr || numerator <= 0 || denominator <= 0) return nullptr;
  const DWORD size = GetRegionData(region, 0, nullptr);
  if (size < sizeof(RGNDATAHEADER)) return nullptr;
  std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[size]);
  if (!buffer) return nullptr;
  auto* data = reinterpret_cast<RGNDATA*>(buffer.get());
  if (GetRegionData(region, size, data) != size) return nullptr;
  const DWORD room = (size - sizeof(RGNDATAHEADER)) / sizeof(RECT);
  const DWORD count = data->rdh.nCount < room ? data->rdh.nCount : room;
  auto* rects = reinterpret_cast<RECT*>(data->Buffer);
  auto scale = [&](RECT& r) {
    r = RECT{ScaledBy(r.left, numerator, denominator), ScaledBy(r.top, numerator, denominator),
             ScaledBy(r.right, numerator, denominator), ScaledBy(r.bottom, numerator, denominator)};
  };
  for (DWORD i = 0; i < count; ++i) scale(rects[i]);
  scale(data->rdh.rcBound);
  data->rdh.nCount = count;
  return ExtCreateRegion(nullptr, static_cast<DWORD>(sizeof(RGNDATAHEADER) + count * sizeof(RECT)), data);
}

HBITMAP StretchBitmap(HBITMAP source, int numerator, int denominator) {
  BITMAP info = {};
  if (source == nullptr || numerator <= 0 || denominator <= 0 || GetObjectA(source, sizeof info, &info) == 0) {
    return nullptr;
  }
  const int width = ScaledBy(info.bmWidth, numerator, denominator);
  const int height = ScaledBy(info.bmHeight, numerator, denominator);
  if (width <= 0 || height <= 0) return nullptr;
  BITMAPINFO header = {};
  header.bmiHeader.biSize = sizeof header.bmiHeader;
  header.bmiHeader.biWidth = width;
  header.bmiHeader.biHeight = -height;
  header.bmiHeader.biPlanes = 1;
  header.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  WindowDc screen(nullptr);
  GdiObject scaled(CreateDIBSection(screen.dc, &header, DIB_RGB_COLORS, &bits, nullptr, 0));
  MemoryDc from(screen.dc);
  MemoryDc to(screen.dc);
  if (scaled.object == nullptr || from.dc == nullptr || to.dc == nullptr) return nullptr;
  {
    Selection fromSelected(from.dc, source);
    Selection toSelected(to.dc, scaled.object);
    SetStretchBltMode(to.dc, COLORONCOLOR);
    StretchBlt(to.dc, 0, 0, width, height, from.dc, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
  }
  GdiFlush();
  return static_cast<HBITMAP>(scaled.Release());
}

HBITMAP LoadSkinBitmap(HINSTANCE instance, const char* name) {
  auto bitmap = static_cast<HBITMAP>(LoadImageA(instance, name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (bitmap == nullptr || SkinScale() == 1) return bitmap;
  HBITMAP scaled = StretchBitmap(bitmap, SkinScale(), 1);
  DeleteObject(bitmap);
  return scaled;
}

SkinPaint::SkinPaint(HWND window) : window_(window) {
  HDC screen = BeginPaint(window, &ps_);
  dc = screen;
  RECT client = {};
  GetClientRect(window, &client);
  const int scale = SkinScale();
  width = (client.right + scale - 1) / scale;
  height = (client.bottom + scale - 1) / scale;
  if (scale == 1 || screen == nullptr || width <= 0 || height <= 0) return;
  canvas_ = CreateCompatibleDC(screen);
  bitmap_ = canvas_ != nullptr ? CreateCompatibleBitmap(screen, width, height) : nullptr;
  if (bitmap_ == nullptr) {
    // Without a canvas the paint goes on unscaled rather than not at all.
    if (canvas_ != nullptr) DeleteDC(canvas_);
    canvas_ = nullptr;
    return;
  }
  oldBitmap_ = SelectObject(canvas_, bitmap_);
  if (HFONT font = CanvasFont()) oldFont_ = SelectObject(canvas_, font);
  dc = canvas_;
}

SkinPaint::~SkinPaint() {
  if (canvas_ != nullptr) {
    const int scale = SkinScale();
    HDC screen = ps_.hdc;
    const int oldMode = SetStretchBltMode(screen, COLORONCOLOR);
    StretchBlt(screen, 0, 0, width * scale, height * scale, canvas_, 0, 0, width, height, SRCCOPY);
    SetStretchBltMode(screen, oldMode);
    if (oldFont_ != nullptr) SelectObject(canvas_, oldFont_);
    SelectObject(canvas_, oldBitmap_);
    DeleteObject(bitmap_);
    DeleteDC(canvas_);
  }
  EndPaint(window_, &ps_);
}

void MarkSkinnedWindow(HWND window) {
  SetPropA(window, kScaleProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(SkinScale())));
}

void UnmarkSkinnedWindow(HWND window) { RemovePropA(window, kScaleProperty); }

void RescaleSkinnedWindow(HWND window) {
  const int from = static_cast<int>(reinterpret_cast<INT_PTR>(GetPropA(window, kScaleProperty)));
  const int to = SkinScale();
  if (from < 1 || from > kMaxSkinScale || from == to) return;
  Rescale rescale = {from, to};
  EnumChildWindows(window, RescaleChild, reinterpret_cast<LPARAM>(&rescale));
  RescaleRegion(window, from, to);
  RECT place;
  GetWindowRect(window, &place);
  SetWindowPos(window, nullptr, 0, 0, ScaledBy(place.right - place.left, to, from),
               ScaledBy(place.bottom - place.top, to, from), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  MarkSkinnedWindow(window);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

bool FollowDpiChange(HWND window, WPARAM wParam, LPARAM lParam) {
  const int dpi = LOWORD(wParam);
  const auto* suggested = reinterpret_cast<const RECT*>(lParam);
  if (dpi <= 0) return false;
  const int scale = SkinScaleForDpi(dpi);
  const bool changed = scale != SkinScale();
  if (changed) {
    SetSkinScale(scale);
    EnumWindows(RescaleIfOurs, 0);
  }
  // The size is the skin's own; the place is the one the system suggests.
  if (suggested != nullptr) {
    SetWindowPos(window, nullptr, suggested->left, suggested->top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return changed;
}
