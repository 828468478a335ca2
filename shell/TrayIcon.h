// Cantorix's icon in the notification area: its tip names what plays, its
// menu offers play/pause, next, previous, show and exit. Added when the
// panel is made, removed when it goes, added again when the taskbar comes
// back (the "TaskbarCreated" message).
#pragma once

#include <windows.h>

#include <cstddef>

// The icon's callback message to the panel; lParam is the mouse message.
constexpr UINT kMsgTrayIcon = WM_USER + 24;

// Menu item ids; the menu returns the chosen one to the icon's own code.
enum TrayMenuItem : int {
  kTrayPlayPause = 1201,
  kTrayNext = 1202,
  kTrayPrevious = 1203,
  kTrayShow = 1204,
  kTrayExit = 1205,
};

void AddTrayIcon(HWND panel);
void RemoveTrayIcon(HWND panel);
// True for the taskbar's re-creation message; the caller adds the icon again.
bool IsTaskbarCreated(UINT message);
// The 500 ms tick: the tip follows the title of the player that plays.
void RefreshTrayTip(HWND panel);
// The icon's mouse messages: a left click shows the panel, a right click
// opens the menu.
void OnTrayIcon(HWND panel, WPARAM iconId, LPARAM mouseMessage);

// `text` cut to fit `capacity` bytes with its NUL, never inside a UTF-8
// sequence; "Cantorix" when empty.
void MakeTrayTip(const char* text, char* tip, size_t capacity);
