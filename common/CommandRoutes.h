// The routes and command codes of the command message, without the window
// system's types, so portable code (the media kinds) can name them too.
#pragma once

#include <cstdint>

// High word of wParam: who the command is for.
enum CommandRoute : uint16_t {
  kRouteMainPanel = 0,
  kRouteCd = 2000,
  kRouteMidi = 2003,
  kRouteWave = 2006,
  kRoutePlaylist = 7030,
  kRouteIgnored = 7033,
  kRouteMixer = 7036,
};

// Low word of wParam.
enum CommandCode : uint16_t {
  kCmdStop = 1002,
  kCmdFastForwardBegin = 1004,
  kCmdFastForwardEnd = 1005,
  kCmdRewindBegin = 1006,
  kCmdRewindEnd = 1007,
  kCmdNext = 1008,
  kCmdPrevious = 1010,
  kCmdEject = 1014,
  kCmdTogglePlayer = 1020,
  kCmdSkipForward = 1030,
  kCmdSkipBack = 1031,
  kCmdRecordToggle = 1032,
  kCmdStatusQuery = 1080,
  kCmdMixerStep = 2001,
  kCmdOpenPlayer = 3001,
  kCmdClosePlayer = 3002,
  kCmdOpenAllPlayers = 3003,
  kCmdCloseAllPlayers = 3004,
  kCmdPlay = 4000,
  kCmdPause = 4004,
  kCmdOpenFile = 5000,
  kCmdClearList = 5001,
  kCmdRepeat = 5010,
  kCmdRandom = 5011,
  kCmdPlayEntry = 5012,
  kCmdApply3D = 5020,
  kCmdRead3D = 5021,
  kCmdShowPlaylist = 7030,
  kCmdCdPause = 7050,
  kCmdCdStopOrEject = 7051,
};
