// "ColorTextClass": a one-line text strip in fixed colours.
#include <cstring>
#include <new>

#include "common/Win32Handles.h"
#include "common/WindowClass.h"
#include "skin/SkinControls.h"
#include "skin/TextRuns.h"
#include "skin/SkinScale.h"

namespace {

struct ColorTextState {
  COLORREF background = RGB(0, 0, 0);
  COLORREF text = RGB(255, 255, 0);
  FallbackFont fallback;  // for characters the strip's font has no glyph for
};

ColorTextState* StateOf(HWND strip) {
  return reinterpret_cast<ColorTextState*>(GetWindowLongPtrA(strip, GWLP_USERDATA));
}

bool OnCreate(HWND strip) {
  auto* state = new (std::nothrow) ColorTextState;
  if (state == nullptr) return false;
  SetWindowLongPtrA(strip, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
  return true;
}

void OnDestroy(HWND strip) {
  delete StateOf(strip);
  SetWindowLongPtrA(strip, GWLP_USERDATA, 0);
}

// The blanks after the text overwrite what a longer earlier text left.
void OnPaint(HWND strip, ColorTextState* state) {
  SkinPaint paint(strip);
  // The text as UTF-16: the "A" drawing calls would read UTF-8 in the
  // font's code page (1252 for the system font), not the process's.
  constexpr int kTextUnits = 1024;
  wchar_t text[kTextUnits + 40];
  int length = GetWindowTextW(strip, text, kTextUnits);
  if (length < 0) length = 0;
  for (int i = 0; i < 40; ++i) text[length + i] = L' ';
  SetBkMode(paint.dc, OPAQUE);
  SetBkColor(paint.dc, state->background);
  SetTextColor(paint.dc, state->text);
  DrawTextRuns(paint.dc, text, length + 40, state->fallback);
}

LRESULT OnSetText(HWND strip, WPARAM wParam, LPARAM lParam) {
  LRESULT result = DefWindowProcA(strip, WM_SETTEXT, wParam, lParam);
  InvalidateRect(strip, nullptr, FALSE);
  return result;
}

LRESULT CALLBACK ColorTextProc(HWND strip, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) return OnCreate(strip) ? 0 : -1;
  ColorTextState* state = StateOf(strip);
  if (state == nullptr) return DefWindowProcA(strip, message, wParam, lParam);
  switch (message) {
    case WM_DESTROY: OnDestroy(strip); return 0;
    case WM_PAINT: OnPaint(strip, state); return 0;
    case WM_SETTEXT: return OnSetText(strip, wParam, lParam);
    case WM_ERASEBKGND: return 1;
    case WM_USER + 1: return 0;
    case WM_USER + 2: return 0;
    default: return DefWindowProcA(strip, message, wParam, lParam);
  }
}

}  // namespace

bool RegisterColorText(HINSTANCE instance) {
  static WindowClass colorText = {kColorTextClass, ColorTextProc, 4};
  return RegisterWindowClass(colorText, instance);
}

HWND CreateColorText(HINSTANCE instance, HWND parent, int id, int x, int y, int width, int height) {
  return CreateSkinChild(0, kColorTextClass, "", WS_CHILD | WS_VISIBLE | WS_DISABLED, x, y, width, height,
                         parent, id, instance);
}
