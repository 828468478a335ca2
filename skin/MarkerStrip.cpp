// Marker strips: a strip bitmap with one white marker 9 pixels per step.
// Cantorix's tempo bar shows markers 0..28 only and starts without one;
// Handset's 3D sliders show every position and start in the middle.
#include "common/WindowClass.h"
#include "common/Win32Handles.h"
#include "skin/SkinControls.h"
#include "skin/SkinGeometry.h"
#include "skin/SkinPalette.h"
#include "skin/SkinScale.h"

namespace {

struct StripKind {
  const char* bitmap;
  int initial;
  bool limited;  // markers only for 0..28
};

const StripKind kMidiTempo = {MAKEINTRESOURCEA(kMidiTempoBitmap), -1, true};
const StripKind kHandsetTempo = {kHandsetTempoBitmap, 9, false};

const StripKind& KindOf(HWND strip) {
  char name[32] = {};
  GetClassNameA(strip, name, sizeof name);
  return lstrcmpiA(name, kMidiTempoClass) == 0 ? kMidiTempo : kHandsetTempo;
}

bool Drawable(const StripKind& kind, int position) {
  return !kind.limited || (position >= 0 && position <= 28);
}

int MarkerOf(HWND strip) { return static_cast<int>(GetWindowLongA(strip, 0)); }

void OnPaint(HWND strip) {
  const StripKind& kind = KindOf(strip);
  SkinPaint paint(strip);
  auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(strip, GWLP_HINSTANCE));
  PaintResourceBitmap(paint.dc, instance, kind.bitmap, 0, 0, paint.width, paint.height);
  int position = MarkerOf(strip);
  if (!Drawable(kind, position)) return;
  Selection brush(paint.dc, GetStockObject(WHITE_BRUSH));
  SkinRect r = MarkerRect(position);
  Rectangle(paint.dc, r.x, r.y, r.x + r.width, r.y + r.height);
}

LRESULT CALLBACK MarkerStripProc(HWND strip, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: SetWindowLongA(strip, 0, KindOf(strip).initial); return 0;
    case WM_PAINT: OnPaint(strip); return 0;
    case WM_ERASEBKGND: return 1;
    case kMsgSetMarker:
      SetWindowLongA(strip, 0, static_cast<LONG>(wParam));
      InvalidateRect(strip, nullptr, FALSE);
      return 0;
    case kMsgGetMarker: return MarkerOf(strip);
    default: return DefWindowProcA(strip, message, wParam, lParam);
  }
}

WindowClass gMidiTempoClass = {kMidiTempoClass, MarkerStripProc, 4};
WindowClass gHandsetTempoClass = {kHandsetTempoClass, MarkerStripProc, 4};

}  // namespace

bool RegisterMidiTempo(HINSTANCE instance) { return RegisterWindowClass(gMidiTempoClass, instance); }
bool RegisterHandsetTempo(HINSTANCE instance) { return RegisterWindowClass(gHandsetTempoClass, instance); }
void UnregisterMidiTempo(HINSTANCE instance) { UnregisterWindowClass(gMidiTempoClass, instance); }
void UnregisterHandsetTempo(HINSTANCE instance) { UnregisterWindowClass(gHandsetTempoClass, instance); }

bool MarkerDrawn(HWND strip, int position) { return Drawable(KindOf(strip), position); }
