// Where the remote's keys sit, what each posts and which status bit greys it.
#pragma once

#include <cstdint>

constexpr char kHandsetClass[] = "HandsetClass";
constexpr char kHandsetTitle[] = "Handset";
constexpr int kHandsetWidth = 150;
constexpr int kHandsetHeight = 305;
constexpr unsigned kStatusPollMs = 500;

enum HandsetKey : int {
  kKeyPower = 1001,
  kKeyCd = 1002,
  kKeyMidi = 1003,
  kKeyWave = 1004,
  kKeyPlaylist = 1005,
  kKeyEject = 1006,
  kKeyTrackForward = 1007,
  kKeyTrackBack = 1008,
  kKeyRecord = 1009,
  kKeyPlay = 1010,
  kKeyStop = 1011,
  kKeyPause = 1012,
  kKeySkipForward = 1013,
  kKeySkipBack = 1014,
  kKeyVolumeDown = 1015,
  kKeyVolumeUp = 1016,
  kKey3D = 1017,
  kKeyRandom = 1018,
  kKeyRepeat = 1019,
  kKeyNum0 = 1020,
  kKeyNum1 = 1021,  // NUM1..NUM9 are 1021..1029
  kKeyNum9 = 1029,
};

struct HandsetKeyPlace {
  int id;
  const char* name;  // base name of its images
  int x, y, width, height;
  uint16_t command;     // posted on the selected player's route; 0 for keys with their own action
  uint32_t statusBit;   // the key is enabled while this bit is set; 0: never greyed
};
extern const HandsetKeyPlace kHandsetKeys[26];

// The player selectors are pictures: "CDU" when chosen, "CDD" otherwise.
struct HandsetSelector {
  int id;
  const char* chosenImage;
  const char* otherImage;
  int x, y, width, height;
  uint16_t route;
  uint32_t shownBit;
  const char* playerClass;  // the player's window in Cantorix's main panel
};
extern const HandsetSelector kHandsetSelectors[3];

// The selector of a key id, or null.
const HandsetSelector* SelectorOf(int id);
const HandsetKeyPlace* KeyOf(int id);
