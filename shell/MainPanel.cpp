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
#include "shell/Settings.h"
#include "skin/DibButton.h"
#include "skin/SkinPalette.h"
#include "skin/SkinScale.h"
#include "skin/SkinWindow.h"

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
}

void OnDestroy(HWND panel) {
  KillTimer(panel, kPanelTimerId);
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

void OnTimer(HWND) {
  gApp.blinkPhase = !gApp.blinkPhase;
  for (PlayerIndex p : {kPlayerCd, kPlayerMidi, kPlayerWave}) {
    const PlayerSlot& slot = PlayerSlotOf(p);
    if (slot.shown && slot.window != nullptr) SendMessageA(slot.window, kMsgPanelTick, 0, 0);
  }
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

void OpenWithSystemViewer(HWND panel, const char* path, HelpDocument document) {
  if (document == HelpDocument::kHelpFile) {
    WinHelpA(panel, path, HELP_FINDER, 0);
  } else {
    ShellExecuteA(panel, "open", path, nullptr, nullptr, SW_SHOWNORMAL);
  }
}

HelpOpener gHelpOpener = OpenWithSystemViewer;

bool FileExists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

// The guide in `folder`, when it is there.
bool GuideIn(const char* folder, char* path) {
  if (folder[0] == '\0' || lstrlenA(folder) + 1 + lstrlenA(kGuideFileName) >= MAX_PATH) return false;
  lstrcpyA(path, folder);
  lstrcatA(path, "\\");
  lstrcatA(path, kGuideFileName);
  return FileExists(path);
}

// The help file lives in the program's folder, or failing that in the
// current folder. No help compiler builds one here, so without it the key
// opens the HTML guide the installer puts beside the program: in the
// folder the settings name, else in the folder this program runs from.
void OpenHelp(HWND panel) {
  char appFolder[MAX_PATH + 16] = "";
  if (ReadSettingText("Application Path", appFolder, 260)) {
    char hlp[MAX_PATH + 16];
    lstrcpyA(hlp, appFolder);
    lstrcatA(hlp, "\\Cantorix.hlp");
    if (FileExists(hlp)) return gHelpOpener(panel, hlp, HelpDocument::kHelpFile);
    if (FileExists("Cantorix.hlp")) return gHelpOpener(panel, "Cantorix.hlp", HelpDocument::kHelpFile);
  }
  char guide[MAX_PATH];
  if (GuideIn(appFolder, guide)) return gHelpOpener(panel, guide, HelpDocument::kGuide);
  char ownFolder[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, ownFolder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return;
  char* slash = ownFolder + n;
  while (slash > ownFolder && *slash != '\\') --slash;
  *slash = '\0';
  if (GuideIn(ownFolder, guide)) gHelpOpener(panel, guide, HelpDocument::kGuide);
}

}  // namespace

void SetHelpOpener(HelpOpener opener) { gHelpOpener = opener != nullptr ? opener : OpenWithSystemViewer; }

namespace {

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
  switch (message) {
    case WM_CREATE: OnCreate(panel, reinterpret_cast<CREATESTRUCTA*>(lParam)); return 0;
    case WM_DESTROY: OnDestroy(panel); return 0;
    case WM_PAINT: OnPaint(panel); return 0;
    case WM_NCPAINT: return 0;
    case WM_COMMAND: OnCommand(panel, LOWORD(wParam)); return 0;
    case WM_TIMER: OnTimer(panel); return 0;
    case WM_LBUTTONDOWN: StartWindowMove(panel); return 0;
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
