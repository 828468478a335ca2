// The mute and select buttons of the mixer's columns: pictures that show
// bitmap 505 when set and 504 when not. The number shown is kept in the
// button's user data, where another process can read it too.
#pragma once

#include <windows.h>

void ShowSwitchImage(HWND button, bool on);
// Whether the button shows "set" (505).
bool SwitchShowsOn(HWND button);
