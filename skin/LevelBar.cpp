// "CXGrowWindow": a column of 13 green squares over a dark track.
#include <new>

#include "common/WindowClass.h"
#include "common/Win32Handles.h"
#include "skin/SkinControls.h"
#include "skin/SkinGeometry.h"
#include "skin/SkinPalette.h"
#include "skin/SkinScale.h"

namespace {

struct LevelBarState {
  int level = 100;
  RECT created = {};  // x, y, width, height at creation
};

LevelBarState* StateOf(HWND bar) {
  return reinterpret_cast<LevelBarState*>(GetWindowLongPtrA(bar, GWLP_USERDATA));
}

bool OnCreate(HWND bar, const CREATESTRUCTA* cs) {
  auto* state = new (std::nothrow) LevelBarState;
  if (state == nullptr) return false;
  state->created = RECT{Unscaled(cs->x), Unscaled(cs->y), Unscaled(cs->cx), Unscaled(cs->cy)};
  SetWindowLongPtrA(bar, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
  return true;
}

void OnDestroy(HWND bar) {
  delete StateOf(bar);
  SetWindowLongPtrA(bar, GWLP_USERDATA, 0);
}

void OnPaint(HWND bar, const LevelBarState* state) {
  SkinPaint paint(bar);
  auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(bar, GWLP_HINSTANCE));
  PaintResourceBitmap(paint.dc, instance, MAKEINTRESOURCEA(kLevelBarBitmap), 0, 0, paint.width, paint.height);
  GdiObject green(CreateSolidBrush(RGB(0, 255, 0)));
  Selection brush(paint.dc, green.object);
  int lit = LevelBarLitSquares(state->level);
  for (int k = 0; k < lit; ++k) {
    SkinRect r = LevelBarSquare(k);
    Rectangle(paint.dc, r.x, r.y, r.x + r.width, r.y + r.height);
  }
}

LRESULT OnSetLevel(HWND bar, LevelBarState* state, WPARAM level) {
  int previous = state->level;
  state->level = static_cast<int>(level);
  InvalidateRect(bar, nullptr, FALSE);
  return previous;
}

LRESULT CALLBACK LevelBarProc(HWND bar, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) return OnCreate(bar, reinterpret_cast<CREATESTRUCTA*>(lParam)) ? 0 : -1;
  LevelBarState* state = StateOf(bar);
  if (state == nullptr) return DefWindowProcA(bar, message, wParam, lParam);
  switch (message) {
    case WM_DESTROY: OnDestroy(bar); return 0;
    case WM_PAINT: OnPaint(bar, state); return 0;
    case WM_ERASEBKGND: return 1;
    case kMsgSetLevel: return OnSetLevel(bar, state, wParam);
    default: return DefWindowProcA(bar, message, wParam, lParam);
  }
}

WindowClass gLevelBarClass = {kLevelBarClass, LevelBarProc, 4};

}  // namespace

bool RegisterLevelBar(HINSTANCE instance) { return RegisterWindowClass(gLevelBarClass, instance); }

void UnregisterLevelBar(HINSTANCE instance) { UnregisterWindowClass(gLevelBarClass, instance); }

HWND CreateLevelBar(HINSTANCE instance, HWND parent, int id, int x, int y, int width, int height) {
  return CreateSkinChild(0, kLevelBarClass, "", WS_CHILD | WS_VISIBLE, x, y, width, height, parent, id, instance);
}

int LevelBarLevel(HWND bar) {
  LevelBarState* state = bar != nullptr ? StateOf(bar) : nullptr;
  return state != nullptr ? state->level : -1;
}
