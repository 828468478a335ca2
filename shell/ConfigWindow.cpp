#include "shell/ConfigWindow.h"

#include <new>

#include "audio/RecordFormats.h"
#include "shell/App.h"
#include "shell/Settings.h"
#include "skin/DibButton.h"
#include "common/ErrorBox.h"
#include "common/Win32Handles.h"
#include "common/WindowClass.h"
#include "resources/ResourceIds.h"
#include "skin/SkinPalette.h"
#include "skin/SkinWindow.h"
#include "skin/SkinScale.h"

namespace {

constexpr char kChecked[] = "CHECKED";
constexpr char kUnchecked[] = "CHECKIT";

// The quality rows pick every fourth format row: telephone 0, radio 4, CD 8.
const char* const kQualities[] = {"Telephone Quality", "Radio Quality", "CD Quality"};

struct ConfigState {
  HWND panel = nullptr;
  bool checkCd = false;
  bool checkMp3List = false;
};

HWND gConfigWindow = nullptr;

ConfigState* StateOf(HWND window) {
  return reinterpret_cast<ConfigState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

HINSTANCE InstanceOf(HWND window) {
  return reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
}

void ShowCheck(HWND window, int id, bool on) {
  SetPictureImage(GetDlgItem(window, id), on ? kChecked : kUnchecked);
}

// Takes a stored switch into the box and the live flag; a switch stored
// nowhere is off, as at start-up.
void LoadSwitch(HWND window, int id, const char* setting, bool* box, uint32_t* live) {
  DWORD value = 0;
  bool on = ReadSettingNumber(setting, &value) && value != 0;
  *box = on;
  *live = on ? 1 : 0;
  ShowCheck(window, id, on);
}

void LoadSwitches(HWND window, ConfigState* state) {
  LoadSwitch(window, kConfigCheckMp3List, "CanAutoPlayMp3List", &state->checkMp3List,
             &gApp.options.canAutoPlayMp3List);
  LoadSwitch(window, kConfigCheckCd, "CanAutoPlayCD", &state->checkCd, &gApp.options.canAutoPlayCd);
}

HWND CreateList(HWND window, int id, const char* text, int x, int y, int width, int height,
                DWORD extraStyle) {
  return CreateSkinChild(WS_EX_CLIENTEDGE, "LISTBOX", text, WS_CHILD | WS_VISIBLE | WS_VSCROLL | extraStyle, x, y,
                         width, height, window, id, InstanceOf(window));
}

void CreateControls(HWND window) {
  HINSTANCE instance = InstanceOf(window);
  SkinDibButton(CreateDibButton(instance, window, kConfigOk, "OK", 234, 71, 62, 16));
  SkinDibButton(CreateDibButton(instance, window, kConfigCancel, "CANCEL", 234, 96, 62, 16));
  SkinDibButton(CreateDibButton(instance, window, kConfigCancel, "X", 328, 4, 16, 15));
  CreatePicture(instance, window, kConfigCheckMp3List, kUnchecked, 17, 31, 13, 13);
  CreatePicture(instance, window, kConfigCheckCd, kUnchecked, 17, 48, 13, 13);

  HWND quality = CreateList(window, kConfigQualityList, "", 19, 72, 201, 38, LBS_NOTIFY);
  for (const char* text : kQualities) SendMessageA(quality, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  SendMessageA(quality, LB_SETCURSEL, 0, 0);

  HWND formats = CreateList(window, kConfigFormatList, "PCM FORMAT", 19, 125, 308, 70, 0);
  for (int row = 0; row < kRecordFormatCount; ++row) {
    SendMessageA(formats, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(RecordFormatText(row)));
  }
  SendMessageA(formats, LB_SETCURSEL, 0, 0);
}

bool OnCreate(HWND window, const CREATESTRUCTA* cs) {
  auto* state = new (std::nothrow) ConfigState;
  if (state == nullptr) return false;
  state->panel = cs->hwndParent;
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
  MarkSkinnedWindow(window);
  CreateControls(window);
  LoadSwitches(window, state);
  return true;
}

void OnDestroy(HWND window) {
  UnmarkSkinnedWindow(window);
  delete StateOf(window);
  SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  if (gConfigWindow == window) gConfigWindow = nullptr;
}

// Every opening shows the stored switches again.
void OnShowWindow(HWND window, ConfigState* state, bool shown) {
  if (shown) LoadSwitches(window, state);
}

void OnPaint(HWND window) {
  SkinPaint paint(window);
  PaintResourceBitmap(paint.dc, InstanceOf(window), MAKEINTRESOURCEA(kConfigFace), 0, 0,
                      kConfigWidth, kConfigHeight);
  SetBkMode(paint.dc, TRANSPARENT);
  TextOutA(paint.dc, 255, 27, "Version", 7);
  TextOutA(paint.dc, 258, 42, "2.014", 5);
}

void Close(HWND window, ConfigState* state) {
  if (state->panel != nullptr) EnableWindow(state->panel, TRUE);
  ShowWindow(window, SW_HIDE);
}

void OnQualityChanged(HWND window) {
  LRESULT quality = SendDlgItemMessageA(window, kConfigQualityList, LB_GETCURSEL, 0, 0);
  if (quality == LB_ERR) return;
  SendDlgItemMessageA(window, kConfigFormatList, LB_SETCURSEL, static_cast<WPARAM>(4 * quality), 0);
}

void OnOk(HWND window, ConfigState* state) {
  LRESULT row = SendDlgItemMessageA(window, kConfigFormatList, LB_GETCURSEL, 0, 0);
  if (row >= 0 && row < kRecordFormatCount) gApp.recordFormatIndex = static_cast<int>(row);
  const bool storedCd = WriteSettingNumber("CanAutoPlayCD", state->checkCd ? 1 : 0);
  gApp.options.canAutoPlayCd = state->checkCd ? 1 : 0;
  const bool storedMp3List = WriteSettingNumber("CanAutoPlayMp3List", state->checkMp3List ? 1 : 0);
  gApp.options.canAutoPlayMp3List = state->checkMp3List ? 1 : 0;
  Close(window, state);
  // The choice holds for this run either way; the user must know it will
  // not outlast it.
  if (!storedCd || !storedMp3List) ShowErrorBox(state->panel, kSettingsWriteFailedText);
}

void OnCommand(HWND window, ConfigState* state, int id, int code) {
  switch (id) {
    case kConfigOk: OnOk(window, state); break;
    case kConfigCancel: Close(window, state); break;
    case kConfigQualityList:
      if (code == LBN_SELCHANGE) OnQualityChanged(window);
      break;
    case kConfigCheckCd:
      state->checkCd = !state->checkCd;
      ShowCheck(window, kConfigCheckCd, state->checkCd);
      break;
    case kConfigCheckMp3List:
      state->checkMp3List = !state->checkMp3List;
      ShowCheck(window, kConfigCheckMp3List, state->checkMp3List);
      break;
    default: break;
  }
}



LRESULT CALLBACK ConfigProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) return OnCreate(window, reinterpret_cast<CREATESTRUCTA*>(lParam)) ? 0 : -1;
  ConfigState* state = StateOf(window);
  if (state == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case WM_DESTROY: OnDestroy(window); return 0;
    case WM_SHOWWINDOW: OnShowWindow(window, state, wParam != 0); return 0;
    case WM_PAINT: OnPaint(window); return 0;
    case WM_COMMAND: OnCommand(window, state, LOWORD(wParam), HIWORD(wParam)); return 0;
    case WM_CLOSE: Close(window, state); return 0;
    case WM_LBUTTONDOWN: StartWindowMove(window); return 0;
    case WM_QUERYNEWPALETTE: return RealizeSkinPaletteForWindow(window);
    case WM_DPICHANGED: FollowDpiChange(window, wParam, lParam); return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace

namespace {
WindowClass gConfigClass = {kConfigClass, ConfigProc};
}  // namespace

bool RegisterConfigClass(HINSTANCE instance) {
  gConfigClass.background = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
  return RegisterWindowClass(gConfigClass, instance);
}

void UnregisterConfigClass(HINSTANCE instance) { UnregisterWindowClass(gConfigClass, instance); }

void OpenConfigWindow(HWND panel) {
  if (gConfigWindow == nullptr) {
    int x = GetSystemMetrics(SM_CXSCREEN) / 2 - Scaled(173);
    int y = GetSystemMetrics(SM_CYSCREEN) / 2 - Scaled(107);
    auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(panel, GWLP_HINSTANCE));
    gConfigWindow = CreateWindowExA(0, kConfigClass, kConfigTitle, WS_POPUP | WS_CLIPCHILDREN, x, y,
                                    Scaled(kConfigWidth), Scaled(kConfigHeight), panel, nullptr, instance, nullptr);
    if (gConfigWindow == nullptr) return;
  }
  ShowWindow(gConfigWindow, SW_SHOWNORMAL);
  EnableWindow(panel, FALSE);
}

HWND ConfigWindowHandle() { return gConfigWindow; }

bool ConfigCheckCd() {
  ConfigState* state = gConfigWindow != nullptr ? StateOf(gConfigWindow) : nullptr;
  return state != nullptr && state->checkCd;
}

bool ConfigCheckMp3List() {
  ConfigState* state = gConfigWindow != nullptr ? StateOf(gConfigWindow) : nullptr;
  return state != nullptr && state->checkMp3List;
}
