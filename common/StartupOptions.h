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
