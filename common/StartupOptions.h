// Process-wide start-up flags, filled from the command line and the settings
// before any window exists, read by the main panel and the players.
#pragma once

#include <cstdint>

#include "common/PathLimits.h"

// Start-ups of Cantorix take turns through this named mutex: each holds it
// from before it looks for a running instance until its players exist, so
// whoever waits for it sees a start-up that has settled.
constexpr char kStartTurnName[] = "Local\\CantorixStartTurn";

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
