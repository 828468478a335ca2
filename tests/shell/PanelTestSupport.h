// A real main panel with its keys, whose player slots hold small windows
// that record what the panel sends or posts them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "shell/MainPanel.h"

struct PlayerMessage {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  std::string atomName;  // for command 5000: the name read while it was handled
};

using PlayerFactory = HWND (*)(const PlayerHost& host, HWND panel);
// A stand-in for a player module with the real player's class, height and
// outline, whose windows `create` makes.
PlayerModule StandInModule(PlayerIndex player, PlayerFactory create);

// Registers the classes the panel needs (once) and recording player classes.
void PreparePanelClasses();
// Creates a main panel, shown unless `show` is false (showing a top-level
// window costs a wait under Wine); every player's device test says yes.
HWND CreateTestPanel(bool show = true);
// What the recording players received since the last call (pumping first).
std::vector<PlayerMessage> PlayerMessages();
// The same without pumping: only what was sent to them directly so far.
std::vector<PlayerMessage> TakePlayerMessages();
// Presses and releases a bitmap button as the mouse would, then pumps.
void ClickButton(HWND button);
