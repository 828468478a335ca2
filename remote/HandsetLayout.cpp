#include "remote/HandsetLayout.h"

#include "common/CommandCodes.h"

const HandsetKeyPlace kHandsetKeys[26] = {
    {kKeyPower, "POWER", 11, 17, 40, 11, 0, 0},
    {kKeyPlaylist, "PLAYLIST", 12, 95, 24, 14, kCmdShowPlaylist, kStatusPlaylist},
    {kKeyTrackBack, "TRACKB", 37, 95, 24, 14, kCmdPrevious, kStatusTrackBack},
    {kKeyTrackForward, "TRACKF", 62, 95, 24, 14, kCmdNext, kStatusTrackForward},
    {kKeyEject, "EJECT", 87, 95, 24, 14, kCmdEject, kStatusEject},
    {kKeyRecord, "REC", 112, 95, 24, 14, kCmdRecordToggle, kStatusRecPlay},
    {kKeySkipBack, "SKIPB", 12, 115, 24, 14, kCmdSkipBack, kStatusSkipBack},
    {kKeyPlay, "PLAY", 37, 115, 24, 14, kCmdPlay, kStatusPlay},
    {kKeyStop, "STOP", 62, 115, 24, 14, kCmdStop, kStatusStop},
    {kKeyPause, "PAUSE", 87, 115, 24, 14, kCmdPause, kStatusPause},
    {kKeySkipForward, "SKIPF", 112, 115, 24, 14, kCmdSkipForward, kStatusSkipForward},
    {kKey3D, "3D", 85, 142, 32, 32, 0, 0},
    {kKeyVolumeDown, "-", 9, 159, 21, 10, 0, 0},
    {kKeyVolumeUp, "+", 51, 159, 21, 10, 0, 0},
    {kKeyRandom, "RANDOM", 9, 182, 63, 16, kCmdRandom, 0},
    {kKeyRepeat, "REPEAT", 75, 182, 63, 16, kCmdRepeat, 0},
    {kKeyNum1, "NUM1", 9, 206, 30, 14, kCmdPlayEntry, 0},
    {kKeyNum1 + 1, "NUM2", 42, 206, 30, 14, kCmdPlayEntry, 0},
    {kKeyNum1 + 2, "NUM3", 75, 206, 30, 14, kCmdPlayEntry, 0},
    {kKeyNum1 + 3, "NUM4", 108, 206, 30, 14, kCmdPlayEntry, 0},
    {kKeyNum1 + 4, "NUM5", 9, 224, 30, 14, kCmdPlayEntry, 0},
    {kKeyNum1 + 5, "NUM6", 42, 224, 30, 14, kCmdPlayEntry, 0},
    {kKeyNum1 + 6, "NUM7", 75, 224, 30, 14, kCmdPlayEntry, 0},
    {kKeyNum1 + 7, "NUM8", 108, 224, 30, 14, kCmdPlayEntry, 0},
    {kKeyNum9, "NUM9", 9, 242, 30, 14, kCmdPlayEntry, 0},
    {kKeyNum0, "NUM0", 42, 242, 30, 14, kCmdPlayEntry, 0},
};

const HandsetSelector kHandsetSelectors[3] = {
    {kKeyCd, "CDU", "CDD", 16, 42, 34, 32, kRouteCd, kStatusCdShown, "CXCDPlayerWindow"},
    {kKeyMidi, "MIDIU", "MIDID", 58, 42, 34, 32, kRouteMidi, kStatusMidiShown, "CXMidiPlayerWindow"},
    {kKeyWave, "WAVEU", "WAVED", 103, 42, 34, 32, kRouteWave, kStatusWaveShown, "CXWavePlayerClass"},
};

const HandsetSelector* SelectorOf(int id) {
  for (const HandsetSelector& s : kHandsetSelectors) {
    if (s.id == id) return &s;
  }
  return nullptr;
}

const HandsetKeyPlace* KeyOf(int id) {
  for (const HandsetKeyPlace& k : kHandsetKeys) {
    if (k.id == id) return &k;
  }
  return nullptr;
}
