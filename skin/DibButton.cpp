#include "skin/DibButton.h"

#include <cstring>
#include <new>

#include "common/Win32Handles.h"
#include "common/WindowClass.h"
#include "resources/ResourceIds.h"
#include "skin/SkinGeometry.h"
#include "skin/SkinPalette.h"
#include "skin/SkinScale.h"

namespace {

enum PressState : int { kPressDisabled = 1, kPressUp = 2, kPressDown = 3 };

struct DibButtonState {
  int pressState = kPressUp;
  int imageSlot = kImageUp;
  char imageNames[4][260] = {};
};

WindowClass gDibButtonClass = {kDibButtonClass, nullptr, 4};
HCURSOR gPictureCursor = nullptr;
WNDPROC gStaticProc = nullptr;

DibButtonState* StateOf(HWND button) {
  return reinterpret_cast<DibButtonState*>(GetWindowLongPtrA(button, GWLP_USERDATA));
}

bool ClientContains(HWND button, LPARAM point) {
  // Unsigned halves: while captured, a point left of or above the button
  // wraps to a large value and so counts as outside.
  unsigned x = LOWORD(point);
  unsigned y = HIWORD(point);
  RECT client;
  GetClientRect(button, &client);
  return x < static_cast<unsigned>(client.right) && y < static_cast<unsigned>(client.bottom);
}

void SetBoth(HWND button, DibButtonState* state, int value) {
  state->pressState = value;
  state->imageSlot = value;
  InvalidateRect(button, nullptr, FALSE);
}

bool OnCreate(HWND button) {
  auto* state = new (std::nothrow) DibButtonState;
  if (state == nullptr) return false;
  SetWindowLongPtrA(button, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
  return true;
}

void OnDestroy(HWND button) {
  delete StateOf(button);
  SetWindowLongPtrA(button, GWLP_USERDATA, 0);
}

void OnSetImage(DibButtonState* state, WPARAM slot, LPARAM name) {
  if (slot < 1 || slot > 3 || name == 0) return;
  lstrcpynA(state->imageNames[slot], reinterpret_cast<const char*>(name), 260);
}

void OnEnable(HWND button, DibButtonState* state, bool enabled) {
  SetBoth(button, state, enabled ? kPressUp : kPressDisabled);
}

void OnLeftButtonDown(HWND button, DibButtonState* state) {
  SetCapture(button);
  SetBoth(button, state, kPressDown);
}

void OnMouseMove(HWND button, DibButtonState* state, LPARAM point) {
  if (state->pressState == kPressDown) {
    state->imageSlot = ClientContains(button, point) ? kImageDown : kImageUp;
  }
  InvalidateRect(button, nullptr, FALSE);
}

void PostClick(HWND button) {
  int id = GetDlgCtrlID(button);
  PostMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(id, 1), reinterpret_cast<LPARAM>(button));
}

void OnLeftButtonUp(HWND button, DibButtonState* state, LPARAM point) {
  bool wasPressed = state->pressState == kPressDown;
  if (GetCapture() == button) ReleaseCapture();
  SetBoth(button, state, kPressUp);
  if (wasPressed && ClientContains(button, point)) PostClick(button);
}

// The keyboard focus cue: a dotted frame inside the image while the button
// holds the focus, and only once the keyboard was used (the window's UI
// state no longer hides focus cues). Buttons get the focus only from the
// keyboard, so mouse users never see it.
void DrawKeyboardFocusCue(HWND button, HDC dc, RECT client) {
  if (GetFocus() != button) return;
  if ((SendMessageA(button, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) != 0) return;
  InflateRect(&client, -1, -1);
  SetTextColor(dc, RGB(0, 0, 0));
  SetBkColor(dc, RGB(255, 255, 255));
  DrawFocusRect(dc, &client);
}

LRESULT OnFocusChange(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
  InvalidateRect(button, nullptr, FALSE);
  return message == WM_UPDATEUISTATE ? DefWindowProcA(button, message, wParam, lParam) : 0;
}

void OnPaint(HWND button, DibButtonState* state) {
  SkinPaint paint(button);
  auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(button, GWLP_HINSTANCE));
  const char* name = state->imageNames[state->imageSlot];
  if (name[0] != '\0') PaintResourceBitmap(paint.dc, instance, name, 0, 0, paint.width, paint.height);
  DrawKeyboardFocusCue(button, paint.dc, RECT{0, 0, paint.width, paint.height});
}

LRESULT CALLBACK DibButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) return OnCreate(button) ? 0 : -1;
  DibButtonState* state = StateOf(button);
  if (state == nullptr) return DefWindowProcA(button, message, wParam, lParam);
  switch (message) {
    case WM_DESTROY: OnDestroy(button); return 0;
    case kMsgSetButtonImage: OnSetImage(state, wParam, lParam); return 0;
    case WM_ENABLE: OnEnable(button, state, wParam != 0); return 0;
    case WM_LBUTTONDOWN: OnLeftButtonDown(button, state); return 0;
    case WM_MOUSEMOVE: OnMouseMove(button, state, lParam); return 0;
    case WM_LBUTTONUP: OnLeftButtonUp(button, state, lParam); return 0;
    case WM_PAINT: OnPaint(button, state); return 0;
    case WM_ERASEBKGND: return 1;  // the image covers the whole button
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_UPDATEUISTATE: return OnFocusChange(button, message, wParam, lParam);
    default: return DefWindowProcA(button, message, wParam, lParam);
  }
}

// Pictures own the bitmap they show: a static control does not free an
// image it was given, so the picture deletes it when it goes.
LRESULT OnPictureDestroy(HWND picture, WPARAM wParam, LPARAM lParam) {
  HGDIOBJ image = reinterpret_cast<HGDIOBJ>(SendMessageA(picture, STM_GETIMAGE, IMAGE_BITMAP, 0));
  LRESULT result = CallWindowProcA(gStaticProc, picture, WM_DESTROY, wParam, lParam);
  if (image != nullptr) DeleteObject(image);
  return result;
}

LRESULT CALLBACK PictureProc(HWND picture, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETCURSOR:
      if (gPictureCursor == nullptr) break;
      SetCursor(gPictureCursor);
      return TRUE;
    case WM_DESTROY: return OnPictureDestroy(picture, wParam, lParam);
    default: break;
  }
  return CallWindowProcA(gStaticProc, picture, message, wParam, lParam);
}

}  // namespace

bool RegisterDibButton(HINSTANCE instance, const char* cursorResource) {
  gDibButtonClass.procedure = DibButtonProc;
  gDibButtonClass.cursor = cursorResource;
  return RegisterWindowClass(gDibButtonClass, instance);
}

HWND CreateDibButton(HINSTANCE instance, HWND parent, int id, const char* baseName, int x, int y,
                     int width, int height) {
  if (!IsWindowClassRegistered(gDibButtonClass)) return nullptr;
  char text[kMaxButtonBaseName + 1];
  lstrcpynA(text, baseName, sizeof text);
  return CreateSkinChild(0, kDibButtonClass, text, WS_CHILD, x, y, width, height, parent, id, instance);
}

HWND SkinDibButton(HWND button) {
  if (button == nullptr) return nullptr;
  char base[260] = {};
  GetWindowTextA(button, base, sizeof base);
  base[kMaxButtonBaseName] = '\0';
  static const char kSuffix[4] = {0, 'X', 'U', 'D'};
  for (int slot = kImageDisabled; slot <= kImageDown; ++slot) {
    char name[260];
    wsprintfA(name, "%s%c", base, kSuffix[slot]);
    SetDibButtonImage(button, slot, name);
  }
  ShowWindow(button, SW_SHOWNORMAL);
  UpdateWindow(button);
  return button;
}

void PressDibButton(HWND button) {
  if (button != nullptr && IsWindowEnabled(button) && StateOf(button) != nullptr) PostClick(button);
}

void SetDibButtonImage(HWND button, int slot, const char* name) {
  SendMessageA(button, kMsgSetButtonImage, static_cast<WPARAM>(slot), reinterpret_cast<LPARAM>(name));
}

int DibButtonImageSlot(HWND button) {
  DibButtonState* state = button != nullptr ? StateOf(button) : nullptr;
  return state != nullptr ? state->imageSlot : 0;
}

int DibButtonPressState(HWND button) {
  DibButtonState* state = button != nullptr ? StateOf(button) : nullptr;
  return state != nullptr ? state->pressState : 0;
}

const char* DibButtonImageName(HWND button, int slot) {
  DibButtonState* state = button != nullptr ? StateOf(button) : nullptr;
  if (state == nullptr || slot < 1 || slot > 3) return nullptr;
  return state->imageNames[slot];
}

HWND CreatePicture(HINSTANCE instance, HWND parent, int id, const char* image, int x, int y,
                   int width, int height, const char* text) {
  HWND picture = CreateSkinChild(0, "STATIC", text != nullptr ? text : "", WS_CHILD | SS_BITMAP | SS_NOTIFY, x,
                                 y, width, height, parent, id, instance);
  if (picture == nullptr) return nullptr;
  WNDPROC old = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(picture, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PictureProc)));
  if (gStaticProc == nullptr) gStaticProc = old;
  SetPictureImage(picture, image);
  ShowWindow(picture, SW_SHOWNA);
  UpdateWindow(picture);
  return picture;
}

bool SetPictureImage(HWND picture, const char* image) {
  if (picture == nullptr) return false;
  auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(picture, GWLP_HINSTANCE));
  GdiObject bitmap(LoadSkinBitmap(instance, image));
  if (bitmap.object == nullptr) return false;
  HGDIOBJ old = reinterpret_cast<HGDIOBJ>(
      SendMessageA(picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap.object)));
  bitmap.Release();  // the control shows it now; it is deleted when replaced
  if (old != nullptr) DeleteObject(old);
  return true;
}

void SetPictureCursor(HCURSOR cursor) { gPictureCursor = cursor; }

void ShowPictureImage(HWND picture, int image) {
  if (picture == nullptr || PictureImageNumber(picture) == image) return;
  if (SetPictureImage(picture, MAKEINTRESOURCEA(image))) SetWindowLongPtrA(picture, GWLP_USERDATA, image);
}

void ShowItemImage(HWND parent, int id, int image) { ShowPictureImage(GetDlgItem(parent, id), image); }

int PictureImageNumber(HWND picture) {
  return picture != nullptr ? static_cast<int>(GetWindowLongPtrA(picture, GWLP_USERDATA)) : 0;
}

void ShowTwoDigits(HWND parent, int firstId, long value) {
  const int v = TwoDigitValue(value);
  ShowItemImage(parent, firstId, kLedDigit0 + v / 10);
  ShowItemImage(parent, firstId + 1, kLedDigit0 + v % 10);
}

void SetItemEnabled(HWND parent, int id, bool enabled) {
  HWND control = GetDlgItem(parent, id);
  if (control != nullptr && (IsWindowEnabled(control) != FALSE) != enabled) EnableWindow(control, enabled);
}
