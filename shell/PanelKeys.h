// The keyboard of Cantorix: the media keys (held as hot keys, so they work
// while another program has the focus, and as WM_APPCOMMAND), the transport
// keys typed into the panel, and the keyboard focus that Tab moves between
// the skinned buttons. Every key ends in the command router, as a click on
// the player's own button or a remote key would.
#pragma once

#include <windows.h>

#include "common/PlayerModule.h"

// What a key asks for, whichever way it came.
enum class KeyAction {
  kPlayPause,
  kPlay,
  kPause,
  kStop,
  kNext,
  kPrevious,
  kSkipForward,
  kSkipBack,
  kVolumeUp,
  kVolumeDown,
  kVolumeMute,
};

// WM_CREATE and WM_DESTROY of the main panel. A media key that another
// program holds already stays that program's; it still reaches Cantorix
// through WM_APPCOMMAND while Cantorix has the focus.
void RegisterMediaHotKeys(HWND panel);
void UnregisterMediaHotKeys(HWND panel);

// WM_HOTKEY and WM_APPCOMMAND of the main panel. The app command returns
// true when the panel took it (the caller returns TRUE then).
void OnMediaHotKey(HWND panel, WPARAM id);
bool OnAppCommand(HWND panel, LPARAM lParam);

// Acts on the player that plays (or is paused), else on the one the user
// worked with last when `keyboard` (the keys typed into Cantorix), else on
// the wave player. Volume goes to the mixer.
void RunKeyAction(HWND panel, KeyAction action, bool keyboard);

// The shown player that plays or is paused (the wave player first), or
// kPlayerCount when none is.
PlayerIndex PlayingPlayer();

// Called by the message loop before a message is translated: true when the
// message was a key of the panel or one of its players and was handled.
bool HandlePanelKey(HWND panel, const MSG& msg);

// The mouse was used on the panel or a player (WM_PARENTNOTIFY, or a press
// on the panel's face): the player under the point becomes the one used
// last, and the keyboard focus cue goes away until the keyboard is used
// again.
void OnPanelMouseDown(HWND panel, POINT clientPoint);
