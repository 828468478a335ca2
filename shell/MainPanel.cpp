// The main panel window: its procedure, one handler per message.
#include "shell/MainPanel.h"

#include <shellapi.h>

#include <initializer_list>

#include "shell/App.h"
#include "common/CommandCodes.h"
#include "resources/ResourceIds.h"
#include "common/WindowClass.h"
#include "shell/ConfigWindow.h"
#include "shell/DiscChange.h"
#include "shell/PanelKeys.h"
#include "shell/TrayIcon.h"
#include "shell/Settings.h"
#include "skin/DibButton.h"
#include "skin/SkinPalette.h"
#include "skin/SkinScale.h"
#include "skin/SkinWindow.h"
#include "common/PathLimits.h"

namespace {

const POINT kPanelShape[] = {{58, 0},   {58, 7},   {17, 7},   {17, 22},  {0, 22},
                             {0, 56},   {7, 56},   {7, 61},   {71, 61},  {71, 56},
                             {392, 56}, {392, 61}, {456, 61}, {456, 56}, {462, 56},
                             {462, 21}, {445, 21}, {445, 7},  {254, 7},  {254, 0}};


struct PanelButtonPlace {
  int id;
  const char* name;
  int x, y, width, height;
};

const PanelButtonPlace kPanelButtons[] = {
    {kButtonPower, "POWER", 18, 34, 40, 11}, {kButtonCd, "CD", 251, 30, 22, 22},
    {kButtonWave, "WAVE", 282, 32, 22, 22},  {kButtonMidi, "MIDI", 314, 32, 22, 22},
    {kButtonMixer, "MIXER", 345, 32, 22, 22}, {kButtonConfig, "CONFIG", 399, 30, 22, 22},
    {kButtonHelp, "HELP", 432, 31, 22, 22},  {kButtonMin, "MIN", 416, 9, 12, 11},
    {kButtonClose, "CLOSE", 430, 9, 13, 11},
};

HRGN PolygonRegion(const POINT* points, int count, int dy) {
  POINT moved[32];
  for (int i = 0; i < count && i < 32; ++i) moved[i] = POINT{points[i].x, points[i].y + dy};
  return CreatePolygonRgn(moved, count, WINDING);
}

void OnCreate(HWND panel, const CREATESTRUCTA* cs) {
  MarkSkinnedWindow(panel);
  SetWindowRgn(panel, CreateSkinRegion(kPanelShape, 20), FALSE);
  for (const PanelButtonPlace& b : kPanelButtons) {
    SkinDibButton(CreateDibButton(cs->hInstance, panel, b.id, b.name, b.x, b.y, b.width, b.height));
  }
  SetTimer(panel, kPanelTimerId, kPanelTickMs, nullptr);
  RegisterConfigClass(cs->hInstance);
  RegisterMediaHotKeys(panel);
  AddTrayIcon(panel);
}

void OnDestroy(HWND panel) {
  KillTimer(panel, kPanelTimerId);
  UnregisterMediaHotKeys(panel);
  RemoveTrayIcon(panel);
  CloseHelpWindows();
  UnmarkSkinnedWindow(panel);
  UnregisterConfigClass(reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(panel, GWLP_HINSTANCE)));
  // The players are children and go with the panel.
  for (int i = 0; i < kPlayerCount; ++i) PlayerSlotOf(static_cast<PlayerIndex>(i)) = PlayerSlot{};
  PostQuitMessage(0);
}

void OnPaint(HWND panel) {
  SkinPaint paint(panel);
  PaintResourceBitmap(paint.dc, gApp.instance, MAKEINTRESOURCEA(kMainPanelFace), 0, 0, kPanelWidth,
                      kPanelHeight);
}

void OnTimer(HWND panel) {
  gApp.blinkPhase = !gApp.blinkPhase;
  for (PlayerIndex p : {kPlayerCd, kPlayerMidi, kPlayerWave}) {
    const PlayerSlot& slot = PlayerSlotOf(p);
    if (slot.shown && slot.window != nullptr) SendMessageA(slot.window, kMsgPanelTick, 0, 0);
  }
  RefreshTrayTip(panel);
}

// The suspend itself and the end of the session reach hidden players as
// well: a hidden wave player may still be recording.
void ForwardToPlayers(UINT message, WPARAM wParam, LPARAM lParam, bool hiddenToo) {
  for (PlayerIndex p : {kPlayerWave, kPlayerCd, kPlayerMidi}) {
    const PlayerSlot& slot = PlayerSlotOf(p);
    if ((slot.shown || hiddenToo) && slot.window != nullptr) SendMessageA(slot.window, message, wParam, lParam);
  }
}

void OnPowerBroadcast(WPARAM wParam, LPARAM lParam) {
  ForwardToPlayers(WM_POWERBROADCAST, wParam, lParam, wParam == PBT_APMSUSPEND);
}

// The process may be ended as soon as this returns: every file is finished
// before.
void OnEndSession(WPARAM ending, LPARAM lParam) {
  if (ending) ForwardToPlayers(WM_ENDSESSION, ending, lParam, true);
}

// A press of the mouse anywhere on the panel or a player: the keyboard
// focus cue goes, the player under it is the one used last.
void OnParentNotify(HWND panel, WPARAM wParam, LPARAM lParam) {
  if (LOWORD(wParam) != WM_LBUTTONDOWN) return;
  OnPanelMouseDown(panel, POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
}

void OnLeftButtonDown(HWND panel, LPARAM lParam) {
  OnPanelMouseDown(panel, POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
  StartWindowMove(panel);
}

LRESULT OnAppCommandMessage(HWND panel, WPARAM wParam, LPARAM lParam) {
  if (OnAppCommand(panel, lParam)) return TRUE;
  return DefWindowProcA(panel, WM_APPCOMMAND, wParam, lParam);
}

void OnCommand(HWND panel, int id) {
  switch (id) {
    case kButtonPower:
      PostMessageA(panel, WM_CLOSE, 0, 0);
      break;
    case kButtonCd:
      TogglePlayer(panel, kPlayerCd);
      break;
    case kButtonWave:
      TogglePlayer(panel, kPlayerWave);
      break;
    case kButtonMidi:
      TogglePlayer(panel, kPlayerMidi);
      break;
    case kButtonMixer:
      TogglePlayer(panel, kPlayerMixer);
      break;
    case kButtonConfig:
      OpenConfigWindow(panel);
      break;
    case kButtonHelp:
      OpenHelp(panel);
      break;
    case kButtonMin:
      SendMessageA(panel, WM_SYSCOMMAND, SC_MINIMIZE, 0);
      break;
    case kButtonClose:
      SendMessageA(panel, WM_SYSCOMMAND, SC_CLOSE, 0);
      break;
    default:
      break;
  }
}

LRESULT CALLBACK MainPanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == gApp.commandMessage && message != 0) {
    RouteCommand(panel, wParam, lParam);
    return 0;
  }
  if (IsTaskbarCreated(message)) {
    AddTrayIcon(panel);
    return 0;
  }
  switch (message) {
    case WM_CREATE: OnCreate(panel, reinterpret_cast<CREATESTRUCTA*>(lParam)); return 0;
    case WM_DESTROY: OnDestroy(panel); return 0;
    case WM_PAINT: OnPaint(panel); return 0;
    case WM_NCPAINT: return 0;
    case WM_COMMAND: OnCommand(panel, LOWORD(wParam)); return 0;
    case WM_TIMER: OnTimer(panel); return 0;
    case WM_LBUTTONDOWN: OnLeftButtonDown(panel, lParam); return 0;
    case WM_PARENTNOTIFY: OnParentNotify(panel, wParam, lParam); return 0;
    case WM_HOTKEY: OnMediaHotKey(panel, wParam); return 0;
    case kMsgTrayIcon: OnTrayIcon(panel, wParam, lParam); return 0;
    case WM_APPCOMMAND: return OnAppCommandMessage(panel, wParam, lParam);
    case WM_POWERBROADCAST: OnPowerBroadcast(wParam, lParam); return 0;
    case WM_QUERYENDSESSION: return TRUE;
    case WM_ENDSESSION: OnEndSession(wParam, lParam); return 0;
    case WM_DEVICECHANGE: return HandleDeviceChange(panel, wParam, lParam);
    case WM_DROPFILES: HandleDroppedFiles(panel, reinterpret_cast<HDROP>(wParam)); return 0;
    case WM_COPYDATA: return OpenCopiedFile(panel, reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    case WM_QUERYNEWPALETTE: return RealizeSkinPaletteForWindow(panel);
    case WM_DPICHANGED: FollowDpiChange(panel, wParam, lParam); return 0;
    default: return DefWindowProcA(panel, message, wParam, lParam);
  }
}

}  // namespace

bool RegisterMainPanelClass(HINSTANCE instance) {
  static WindowClass panelClass = {kMainPanelClass, MainPanelProc, 0, nullptr,
                                   reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1),
                                   MAKEINTRESOURCEA(kCantorixIcon)};
  return RegisterWindowClass(panelClass, instance);
}

HWND CreateMainPanel(HINSTANCE instance) {
  // Centred for the full stack, but never above or left of the screen, where
  // a stack taller than the screen (high DPI on a small one) would start.
  int x = (GetSystemMetrics(SM_CXSCREEN) - Scaled(kPanelWidth)) / 2;
  int y = (GetSystemMetrics(SM_CYSCREEN) - Scaled(kFullStackHeight)) / 2;
  if (x < 0) x = 0;
  if (y < 0) y = 0;
  return CreateWindowExA(WS_EX_ACCEPTFILES, kMainPanelClass, kMainPanelTitle,
                         WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX, x, y,
                         Scaled(kPanelWidth), Scaled(kPanelHeight), nullptr, nullptr, instance, nullptr);
}

void LayoutPanels(HWND panel) {
  HRGN combined = PolygonRegion(kPanelShape, 20, 0);
  int y = kPanelHeight;
  for (int i = 0; i < kPlayerCount; ++i) {
    const PlayerSlot& slot = PlayerSlotOf(static_cast<PlayerIndex>(i));
    const PlayerModule* module = PlayerModuleOf(static_cast<PlayerIndex>(i));
    if (!slot.shown || slot.window == nullptr || module == nullptr) continue;
    HRGN shape = PolygonRegion(module->shape, module->shapePoints, y);
    SetWindowPos(slot.window, nullptr, 0, Scaled(y), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    CombineRgn(combined, combined, shape, RGN_OR);
    DeleteObject(shape);
    y += module->height;
  }
  // The stack is put together in skin units and scaled as a whole.
  if (SkinScale() != 1) {
    HRGN scaled = ScaleRegion(combined, SkinScale(), 1);
    if (scaled != nullptr) {
      DeleteObject(combined);
      combined = scaled;
    }
  }
  RECT box;
  GetRgnBox(combined, &box);
  SetWindowPos(panel, nullptr, 0, 0, box.right, box.bottom,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  // The window owns the region from here on.
  SetWindowRgn(panel, combined, TRUE);
}
