// A real main panel with its keys, whose player slots hold small windows
// that record what the panel sends or posts them.
#pragma once

#include <windows.h>

#include <vector>

#include "shell/MainPanel.h"

struct PlayerMessage {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

// Registers the classes the panel needs (once) and recording player classes.
void PreparePanelClasses();
// Creates a shown main panel; every player's device test says yes.
HWND CreateTestPanel();
// What the recording players received since the last call (pumping first).
std::vector<PlayerMessage> PlayerMessages();
// Presses and releases a bitmap button as the mouse would, then pumps.
void ClickButton(HWND button);
