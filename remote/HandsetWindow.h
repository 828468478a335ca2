// The remote window ("HandsetClass"): its keys drive the Cantorix player
// chosen with the selector keys, and a 500 ms status poll greys the keys
// that player has disabled.
#pragma once

#include <windows.h>

class Panel3DThread;

bool RegisterRemoteClass(HINSTANCE instance);
void UnregisterRemoteClass(HINSTANCE instance);

// The remote, hidden; `panel` (which outlives it) is closed when the
// remote is destroyed, and its window is what the "3D" key shows.
HWND CreateRemoteWindow(HINSTANCE instance, UINT commandMessage, Panel3DThread* panel);

// Asks Cantorix for the selected player's status now.
void PollCantorixStatus(HWND remote);

// A selector picture keeps 1 in its user data while it shows its chosen
// image, so the choice can be read from outside.
bool SelectorShowsChosen(HWND picture);
