// Which player takes a file named on the command line, dropped on the main
// panel or handed over by another instance.
#pragma once

#include <windows.h>

#include <cstdint>

struct DispatchTarget {
  HWND window;        // the player's window as the main panel holds it, or null
  uint16_t playerId;  // the player's route (2000 CD, 2003 MIDI, 2006 wave), or 0
};

// Looks up the window the main panel currently holds for a player route.
using PlayerWindowLookup = HWND (*)(uint16_t route);

// Decides by extension; a list file is decided by its first line. Problems
// with a list file are reported in message boxes owned by `owner`.
DispatchTarget DispatchMediaFile(const char* name, HWND owner, PlayerWindowLookup lookup);
