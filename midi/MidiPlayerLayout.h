// Where everything of the MIDI player's face sits. The display block (LED
// digits, labels, mode lamps, file indicators, page buttons) is the CD
// player's, at the same places with the same ids; the MIDI player adds the
// title line and the tempo strip with its FAST and SLOW keys, and has no
// EJECT.
#pragma once

#include <windows.h>

#include <cstdint>

#include "cd/CdPlayerLayout.h"

constexpr char kMidiPlayerClass[] = "CXMidiPlayerWindow";
constexpr char kMidiPlayerTitle[] = "Cantorix MidiPlayer";
constexpr int kMidiPlayerWidth = 462;
constexpr int kMidiPlayerHeight = 108;

// Control ids the MIDI player adds to the shared display block.
enum MidiControl : int {
  kMidiFast = 2030,
  kMidiSlow = 2031,
  kMidiTitle = 2038,
  kMidiTempoBar = 2100,
};

// The buttons reuse the CD player's record (id, name, place, command,
// status bit, enabled at start).
constexpr int kMidiButtonCount = 8;
extern const CdButtonPlace kMidiButtons[kMidiButtonCount];

struct MidiTempoPlace {
  int id;
  const char* image;  // null for the strip itself
  int x, y, width, height;
};
constexpr int kMidiTempoPlaceCount = 3;
extern const MidiTempoPlace kMidiTempoPlaces[kMidiTempoPlaceCount];
struct MidiTitlePlace {
  int x, y, width, height;
};
constexpr MidiTitlePlace kMidiTitlePlace = {27, 56, 160, 16};

constexpr int kMidiShapePoints = 12;
extern const POINT kMidiShape[kMidiShapePoints];
