// The CD player's window ("CXCDPlayerWindow"): a 462 x 90 child of the main
// panel with nine bitmap buttons, the six-digit LED time, twenty track
// indicators with page buttons and the three mode lamps. Its buttons post
// the command message to the window itself, so a click and a remote key take
// the same road into the engine.
#pragma once

#include <windows.h>

#include <cstdint>

#include "common/PlayerModule.h"

class CdEngine;

// Creates the hidden window with its engine and track list, and runs the
// engine's start-up (trays closed, the first disc with tracks loaded).
HWND CreateCdPlayerWindow(const PlayerHost& host, HWND panel);
// The CD player's slot in the main panel: class, height, shape, factory and
// device test (a CD-ROM drive among A..Z).
const PlayerModule& CdPlayerModule();

// The engine behind a CD player window (null for any other window).
CdEngine* CdPlayerEngineOf(HWND window);
// The reply bits to the status query, from the buttons as they are now.
uint32_t CdPlayerStatusBits(HWND window);
