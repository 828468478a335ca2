// The notification-area icon and its menu. Its items run the same key
// actions as the media keys, so they reach the player that plays.
#include "shell/TrayIcon.h"

#include <shellapi.h>

#include <cstring>

#include "resources/ResourceIds.h"
#include "shell/App.h"
#include "shell/MainPanel.h"
#include "shell/PanelKeys.h"

namespace {

constexpr UINT kTrayIconId = 1;
constexpr char kDefaultTip[] = "Cantorix";
constexpr int kTitleControl = 2038;  // the title line of the wave and MIDI players

UINT gTaskbarCreated = 0;
bool gIconAdded = false;
char gShownTip[128] = "";
bool gMenuOpen = false;  // the menu's own loop runs: no second one inside it

NOTIFYICONDATAA IconData(HWND panel) {
  NOTIFYICONDATAA data = {};
  data.cbSize = sizeof data;
  data.hWnd = panel;
  data.uID = kTrayIconId;
  return data;
}

// The tip wanted now: the title of the player that plays, else the name.
void CurrentTip(char* tip, size_t capacity) {
  char title[260] = "";
  const PlayerIndex player = PlayingPlayer();
  if (player != kPlayerCount) {
    HWND line = GetDlgItem(PlayerSlotOf(player).window, kTitleControl);
    if (line != nullptr) GetWindowTextA(line, title, sizeof title);
  }
  MakeTrayTip(title, tip, capacity);
}

bool SetTip(HWND panel, DWORD operation) {
  NOTIFYICONDATAA data = IconData(panel);
  data.uFlags = NIF_TIP;
  CurrentTip(data.szTip, sizeof data.szTip);
  if (operation == NIM_ADD) {
    data.uFlags |= NIF_ICON | NIF_MESSAGE;
    data.uCallbackMessage = kMsgTrayIcon;
    data.hIcon = LoadIconA(gApp.instance, MAKEINTRESOURCEA(kCantorixIcon));  // shared: not destroyed
  }
  if (!Shell_NotifyIconA(operation, &data)) return false;
  lstrcpynA(gShownTip, data.szTip, sizeof gShownTip);
  return true;
}

void ShowPanel(HWND panel) {
  ShowWindow(panel, IsIconic(panel) ? SW_RESTORE : SW_SHOW);
  SetForegroundWindow(panel);
}

void RunTrayMenuItem(HWND panel, int id) {
  switch (id) {
    case kTrayPlayPause: RunKeyAction(panel, KeyAction::kPlayPause, false); return;
    case kTrayNext: RunKeyAction(panel, KeyAction::kNext, false); return;
    case kTrayPrevious: RunKeyAction(panel, KeyAction::kPrevious, false); return;
    case kTrayShow: ShowPanel(panel); return;
    case kTrayExit: PostMessageA(panel, WM_CLOSE, 0, 0); return;
    default: return;
  }
}

void ShowTrayMenu(HWND panel) {
  HMENU menu = CreatePopupMenu();
  if (menu == nullptr) return;
  AppendMenuA(menu, MF_STRING, kTrayPlayPause, "Play/Pause");
  AppendMenuA(menu, MF_STRING, kTrayNext, "Next");
  AppendMenuA(menu, MF_STRING, kTrayPrevious, "Previous");
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING, kTrayShow, "Show Cantorix");
  AppendMenuA(menu, MF_STRING, kTrayExit, "Exit");
  POINT at;
  GetCursorPos(&at);
  // The panel must be in front, or the menu would not close when the user
  // clicks elsewhere; the posted message ends the menu's own loop properly.
  SetForegroundWindow(panel);
  // The chosen item comes back here rather than as WM_COMMAND, so no message
  // from another process can pose as a menu choice (Exit among them).
  gMenuOpen = true;
  const int chosen = static_cast<int>(
      TrackPopupMenu(menu, TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y, 0, panel, nullptr));
  gMenuOpen = false;
  PostMessageA(panel, WM_NULL, 0, 0);
  DestroyMenu(menu);
  RunTrayMenuItem(panel, chosen);
}

}  // namespace

void MakeTrayTip(const char* text, char* tip, size_t capacity) {
  if (capacity == 0) return;
  if (text == nullptr || text[0] == '\0') text = kDefaultTip;
  size_t length = std::strlen(text);
  if (length >= capacity) {
    length = capacity - 1;
    // Back to the start of the sequence the cut would split.
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
  }
  std::memcpy(tip, text, length);
  tip[length] = '\0';
}

void AddTrayIcon(HWND panel) {
  if (gTaskbarCreated == 0) gTaskbarCreated = RegisterWindowMessageA("TaskbarCreated");
  gIconAdded = SetTip(panel, NIM_ADD);
}

void RemoveTrayIcon(HWND panel) {
  if (!gIconAdded) return;
  NOTIFYICONDATAA data = IconData(panel);
  Shell_NotifyIconA(NIM_DELETE, &data);
  gIconAdded = false;
  gShownTip[0] = '\0';
}

bool IsTaskbarCreated(UINT message) { return gTaskbarCreated != 0 && message == gTaskbarCreated; }

void RefreshTrayTip(HWND panel) {
  if (!gIconAdded) return;
  char tip[sizeof gShownTip];
  CurrentTip(tip, sizeof tip);
  if (lstrcmpA(tip, gShownTip) != 0) SetTip(panel, NIM_MODIFY);
}

void OnTrayIcon(HWND panel, WPARAM iconId, LPARAM mouseMessage) {
  // The message number is open to any process: only what the icon itself
  // sends is taken, and never while the menu is already open.
  if (iconId != kTrayIconId || !gIconAdded || gMenuOpen) return;
  switch (static_cast<UINT>(mouseMessage)) {
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK: ShowPanel(panel); break;
    case WM_RBUTTONUP:
    case WM_CONTEXTMENU: ShowTrayMenu(panel); break;
    default: break;
  }
}
