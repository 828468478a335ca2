// The wave player's window ("CXWavePlayerClass"): a 462 x 170 child of the
// main panel with the transport and record buttons, LED digits, twenty
// track indicators with pages, the play-mode lamps and the title line. Its
// buttons post the command message to the window itself, so a click and a
// remote key take the same road into the engine.
#pragma once

#include <windows.h>

#include <cstdint>

#include "common/PlayerModule.h"

class WavePlayerEngine;

// Creates the hidden window with its engine and playlist; DirectSound is
// tried first unless `tryDirectSound` is false. Null when there is no
// output at all.
HWND CreateWavePlayerWindow(const PlayerHost& host, HWND panel, bool tryDirectSound);
// The wave player's slot in the main panel: class, height, shape, factory
// (DirectSound first) and device test.
const PlayerModule& WavePlayerModule();

// The engine behind a wave player window (null for any other window).
WavePlayerEngine* WavePlayerEngineOf(HWND window);
// The reply bits to the status query, from the buttons as they are now.
uint32_t WavePlayerStatusBits(HWND window);
