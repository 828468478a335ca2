// Process-wide start-up flags, filled from the command line and the settings
// before any window exists, read by the main panel and the players.
#pragma once

#include <cstdint>

#include "common/PathLimits.h"

struct StartupOptions {
  bool createPlayers = true;    // cleared by "ALLCLOSE"
  bool playCdAtOnce = false;    // "/PLAY"
  bool autoPlayCd = false;      // "/AUTO"
  bool startMinimized = false;  // "/MIN"
  // "/X": turn CD auto-play on for this run whatever the stored setting says.
  bool forceCdAutoPlay = false;
  // The first quoted token, or longest run of plain tokens, naming an
  // existing file or folder.
  char fileToOpen[kPathCapacity] = {};
  uint32_t canAutoPlayCd = 0;       // setting "CanAutoPlayCD"
  uint32_t canAutoPlayMp3List = 0;  // setting "CanAutoPlayMp3List"
};
