// "IndicatorControlClass": a track bitmap with a thumb bitmap, dragged or
// clicked with the mouse; the parent hears of every change.
#include <windowsx.h>

#include <new>

#include "common/WindowClass.h"
#include "common/Win32Handles.h"
#include "skin/SkinControls.h"
#include "skin/SkinGeometry.h"
#include "skin/SkinPalette.h"
#include "skin/SkinScale.h"

namespace {

struct SliderState {
  char trackName[64] = {};
  char thumbName[64] = {};
  SliderGeometry geometry = {};
  SkinRect thumb = {};
  bool dragging = false;
  int grabX = 0, grabY = 0;
  int flags = 0;
  int id = 0;
};

SliderState* StateOf(HWND slider) {
  return reinterpret_cast<SliderState*>(GetWindowLongPtrA(slider, GWLP_USERDATA));
}

bool OnCreate(HWND slider, const CREATESTRUCTA* cs) {
  auto* state = new (std::nothrow) SliderState;
  if (state == nullptr) return false;
  state->flags = static_cast<int>(reinterpret_cast<INT_PTR>(cs->lpCreateParams));
  bool vertical = (state->flags & kSliderVertical) != 0;
  // Geometry and thumb in skin units; mouse points are brought to them.
  const int width = Unscaled(cs->cx), height = Unscaled(cs->cy);
  state->geometry = SliderGeometry{vertical, width, height, 0, 0, vertical ? 7 : 5, 0, 50, 0};
  state->thumb = vertical ? SkinRect{0, height - 7, width, 7} : SkinRect{width - 5, 0, 5, height};
  state->id = static_cast<int>(reinterpret_cast<INT_PTR>(cs->hMenu));
  SetWindowLongPtrA(slider, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
  return true;
}

void OnDestroy(HWND slider) {
  delete StateOf(slider);
  SetWindowLongPtrA(slider, GWLP_USERDATA, 0);
}

void OnPaint(HWND slider, SliderState* state) {
  SkinPaint paint(slider);
  const SliderGeometry& g = state->geometry;
  auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(slider, GWLP_HINSTANCE));
  if (state->trackName[0] != '\0') {
    PaintResourceBitmap(paint.dc, instance, state->trackName, 0, 0, g.width, g.height);
  }
  state->thumb = SliderThumb(g);
  if (state->thumbName[0] != '\0') {
    // The vertical thumb spans the width; the horizontal one is drawn
    // thumbLength by height from its left edge.
    const SkinRect& t = state->thumb;
    PaintResourceBitmap(paint.dc, instance, state->thumbName, t.x, t.y, t.width, t.height);
  }
}

LRESULT SetPosition(HWND slider, SliderState* state, int value, bool notify) {
  SliderGeometry& g = state->geometry;
  if (g.minimum <= value && value <= g.maximum) g.position = value;
  if (notify) PostMessageA(GetParent(slider), kMsgSliderMoved, state->id, value);
  InvalidateRect(slider, nullptr, FALSE);
  return 1;
}

LRESULT OnSetRange(HWND slider, SliderState* state, WPARAM range) {
  state->geometry.maximum = static_cast<int>((range >> 16) & 0xFFFF);
  state->geometry.minimum = static_cast<int>(range & 0xFFFF);
  InvalidateRect(slider, nullptr, FALSE);
  return 1;
}

void OnLeftButtonDown(HWND slider, SliderState* state, int px, int py) {
  SetCapture(slider);
  const SkinRect& t = state->thumb;
  bool onThumb = state->geometry.vertical ? (t.y <= py && py < t.y + t.height)
                                          : (t.x <= px && px < t.x + t.width);
  if (onThumb) {
    state->dragging = true;
    state->grabX = px - t.x;
    state->grabY = py - t.y;
    return;
  }
  SetPosition(slider, state, SliderJumpValue(state->geometry, px, py), true);
}

void OnMouseMove(HWND slider, SliderState* state, WPARAM keys, int px, int py) {
  if (!state->dragging || keys != MK_LBUTTON) return;
  int value = 0;
  if (SliderDragValue(state->geometry, px, py, state->grabX, state->grabY, &value)) {
    SetPosition(slider, state, value, true);
  }
}

void OnLeftButtonUp(HWND slider, SliderState* state) {
  state->dragging = false;
  if (GetCapture() == slider) ReleaseCapture();
  SetPosition(slider, state, state->geometry.position, false);
}

LRESULT CALLBACK SliderProc(HWND slider, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) return OnCreate(slider, reinterpret_cast<CREATESTRUCTA*>(lParam)) ? 0 : -1;
  SliderState* state = StateOf(slider);
  if (state == nullptr) return DefWindowProcA(slider, message, wParam, lParam);
  int px = Unscaled(GET_X_LPARAM(lParam));
  int py = Unscaled(GET_Y_LPARAM(lParam));
  switch (message) {
    case WM_DESTROY: OnDestroy(slider); return 0;
    case WM_PAINT: OnPaint(slider, state); return 0;
    case WM_ERASEBKGND: return 1;
    case kMsgSliderSetPosition: return SetPosition(slider, state, static_cast<int>(wParam), lParam != 0);
    case kMsgSliderGetPosition: return state->geometry.position;
    case kMsgSliderSetRange: return OnSetRange(slider, state, wParam);
    case kMsgSliderGetRange: return state->geometry.maximum * 65536 + state->geometry.minimum;
    case WM_LBUTTONDOWN: OnLeftButtonDown(slider, state, px, py); return 0;
    case WM_MOUSEMOVE: OnMouseMove(slider, state, wParam, px, py); return 0;
    case WM_LBUTTONUP: OnLeftButtonUp(slider, state); return 0;
    default: return DefWindowProcA(slider, message, wParam, lParam);
  }
}

WindowClass gSliderClass = {kSliderClass, SliderProc, 4};

}  // namespace

bool RegisterSlider(HINSTANCE instance) { return RegisterWindowClass(gSliderClass, instance); }

void UnregisterSlider(HINSTANCE instance) { UnregisterWindowClass(gSliderClass, instance); }

HWND CreateSlider(HINSTANCE instance, HWND parent, int id, int x, int y, int width, int height,
                  int flags) {
  HWND slider = CreateSkinChild(0, kSliderClass, "", WS_CHILD | WS_VISIBLE, x, y, width, height, parent, id,
                                instance, reinterpret_cast<void*>(static_cast<INT_PTR>(flags)));
  if (slider == nullptr) return nullptr;
  ShowWindow(slider, SW_SHOWNA);
  UpdateWindow(slider);
  return slider;
}

void SetIndicatorImages(HWND slider, const char* trackName, const char* thumbName) {
  SliderState* state = slider != nullptr ? StateOf(slider) : nullptr;
  if (state == nullptr) return;
  lstrcpynA(state->trackName, trackName != nullptr ? trackName : "", sizeof state->trackName);
  lstrcpynA(state->thumbName, thumbName != nullptr ? thumbName : "", sizeof state->thumbName);
  InvalidateRect(slider, nullptr, FALSE);
}

RECT SliderThumbRect(HWND slider) {
  SliderState* state = slider != nullptr ? StateOf(slider) : nullptr;
  if (state == nullptr) return RECT{};
  const SkinRect& t = state->thumb;
  return RECT{t.x, t.y, t.width, t.height};
}
