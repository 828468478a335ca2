// Process-wide start-up flags, filled from the command line and the settings
// before any window exists, read by the main panel and the players.
#pragma once

#include <cstdint>

struct StartupOptions {
  bool createPlayers = true;    // cleared by "ALLCLOSE"
  bool playCdAtOnce = false;    // "/PLAY"
  bool autoPlayCd = false;      // "/AUTO"
  bool startMinimized = false;  // "/MIN"
  // "/X": turn CD auto-play on for this run whatever the stored setting says.
  bool forceCdAutoPlay = false;
  char fileToOpen[260] = {};    // the first token naming an existing file or folder
  uint32_t canAutoPlayCd = 0;       // setting "CanAutoPlayCD"
  uint32_t canAutoPlayMp3List = 0;  // setting "CanAutoPlayMp3List"
};

// Scans the command line: blank-separated tokens (no quoting), keywords
// compared case-insensitively over the keyword's length, and the scan stops
// at the first token that names an existing file or folder.
void ParseCommandLine(const char* text, StartupOptions& options);

// Reads the two auto-play settings (0 when missing) and applies "/X".
void LoadAutoPlaySettings(StartupOptions& options);
