// The mixer's window ("CXMixerWindow"): a 462 x 123 child of the main panel
// with one column per mixer line (mute or select button, fader, balance
// slider, left and right level bars) on a playback and a record page, each
// with an advanced page for the last three columns. It follows changes made
// elsewhere through the mixer's notifications, and the remote's master
// volume keys through the command message (route 7036, command 2001).
#pragma once

#include <windows.h>

#include "common/PlayerModule.h"
#include "mixer/MixerApi.h"

// Creates the hidden window on mixer 0 of `api` and builds its columns.
// Null when the window cannot be made; without a mixer the pages are empty.
HWND CreateMixerWindow(const PlayerHost& host, HWND panel, MixerApi& api);
// The mixer's slot in the main panel, on the system's mixer.
const PlayerModule& MixerModule();
// The page shown: 0 playback, 1 record, 2 and 3 their advanced pages; -1
// for any other window.
int MixerPageOf(HWND window);
