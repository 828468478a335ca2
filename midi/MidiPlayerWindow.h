// The MIDI player's window ("CXMidiPlayerWindow"): a 462 x 108 child of the
// main panel with eight bitmap buttons, the six-digit LED time, twenty file
// indicators with page buttons, the three mode lamps, the title line and
// the tempo strip with FAST and SLOW. Its buttons post the command message
// to the window itself, so a click and a remote key take the same road into
// the engine.
#pragma once

#include <windows.h>

#include <cstdint>

#include "common/PlayerModule.h"

class MidiEngine;

// Creates the hidden window with its engine and file list; null when
// either cannot be made.
HWND CreateMidiPlayerWindow(const PlayerHost& host, HWND panel);
// The MIDI player's slot in the main panel: class, height, shape, factory
// and device test (at least one MIDI output device).
const PlayerModule& MidiPlayerModule();

// The engine behind a MIDI player window (null for any other window).
MidiEngine* MidiPlayerEngineOf(HWND window);
// The reply bits to the status query, from the buttons as they are now.
uint32_t MidiPlayerStatusBits(HWND window);
