// Where everything of the mixer's face sits: its shape, the columns'
// rectangles and skins, the control ids and the pages.
#pragma once

#include <windows.h>

#include "mixer/MixerSlots.h"

constexpr char kMixerClass[] = "CXMixerWindow";
constexpr char kMixerTitle[] = "Cantorix Mixer";
constexpr int kMixerWidth = 462;
constexpr int kMixerHeight = 123;

constexpr int kMixerShapePoints = 12;
extern const POINT kMixerShape[kMixerShapePoints];

// Control ids. Columns count from slot 0, the master of the side.
enum MixerControlId : int {
  kPlaybackMasterFader = 120,
  kPlaybackMasterBalance = 121,
  kPlaybackButton = 3000,   // + slot
  kRecordButton = 3010,     // + slot
  kPlaybackFader = 3200,    // + slot (the master uses 120)
  kRecordFader = 3210,      // + slot
  kPlaybackBalance = 3300,  // + slot (the master uses 121)
  kRecordBalance = 3310,    // + slot
  kPlaybackBarLeft = 3400,  // + slot; bars have ids so they can be found
  kRecordBarLeft = 3410,
  kPlaybackBarRight = 3500,
  kRecordBarRight = 3510,
  kPlaybackPageKey = 3100,
  kRecordPageKey = 3101,
  kAdvancedPageKey = 3102,
};

constexpr int ButtonId(mixer::Side side, int slot) {
  return (side == mixer::Side::kPlayback ? kPlaybackButton : kRecordButton) + slot;
}
constexpr int FaderId(mixer::Side side, int slot) {
  return side == mixer::Side::kPlayback ? (slot == 0 ? int{kPlaybackMasterFader} : kPlaybackFader + slot)
                                        : kRecordFader + slot;
}
constexpr int BalanceId(mixer::Side side, int slot) {
  return side == mixer::Side::kPlayback ? (slot == 0 ? int{kPlaybackMasterBalance} : kPlaybackBalance + slot)
                                        : kRecordBalance + slot;
}
constexpr int BarLeftId(mixer::Side side, int slot) {
  return (side == mixer::Side::kPlayback ? kPlaybackBarLeft : kRecordBarLeft) + slot;
}
constexpr int BarRightId(mixer::Side side, int slot) {
  return (side == mixer::Side::kPlayback ? kPlaybackBarRight : kRecordBarRight) + slot;
}

struct MixerRect {
  int x, y, width, height;
};

// One column's places, the same on both sides; slots 7..9 share the places
// of 0..2 on the advanced page.
struct ColumnPlace {
  MixerRect button, fader, balance, barLeft, barRight;
  const char* balanceTrack;  // null: this column has no balance track
};
extern const ColumnPlace kColumnPlaces[mixer::kSlotCount];
// The masters' balance track.
constexpr char kMasterBalanceTrack[] = "BALENCEB1";
constexpr char kFaderTrack[] = "FADERB";
constexpr char kFaderThumb[] = "FADER";
constexpr char kBalanceThumb[] = "BALENCE";

// Pages: playback and record, each normal (slots 0..6) or advanced (7..9).
enum MixerPage : int {
  kPagePlayback = 0,
  kPageRecord = 1,
  kPagePlaybackAdvanced = 2,
  kPageRecordAdvanced = 3,
};
constexpr mixer::Side PageSide(int page) { return page % 2 == 0 ? mixer::Side::kPlayback : mixer::Side::kRecord; }
constexpr bool PageAdvanced(int page) { return page >= 2; }
constexpr bool SlotOnPage(int slot, int page) { return PageAdvanced(page) ? slot >= 7 : slot <= 6; }
int PageBackground(int page);

struct PageKeyPlace {
  int id;
  const char* name;
  MixerRect place;
};
extern const PageKeyPlace kPageKeys[3];
constexpr char kAdvanceText[] = "ADVANCE";
constexpr char kNormalText[] = "NORMAL";
constexpr char kMasterText[] = "MASTER";
