// What the twenty file indicators of the CD and MIDI players show: a mark
// for every entry of the player's list (played, to come, current) and which
// page of twenty is on view. Shared by both players, which lay out their
// indicators alike.
#pragma once

#include <cstdint>

#include "media/PlayList.h"

enum TrackMark : int { kMarkNone = 0, kMarkPlayed = 1, kMarkToCome = 2, kMarkCurrent = 3 };

constexpr int kTrackIndicators = 20;
constexpr int kLastPageBase = 80;

// The page that shows entry n: 0 for 1..20, 20 for 21..40, ... at most 80;
// 0 for anything below 1.
int PageBaseOf(int entry);

// A value for the two-digit LED displays, which stop at 0 and 99.
constexpr int TwoDigitsOf(int64_t value) { return value < 0 ? 0 : value > 99 ? 99 : static_cast<int>(value); }

class TrackMarks {
 public:
  // Marks from the list's entry states. The display turns active when the
  // current entry is on the page in view.
  void Refresh(const PlayList& list);
  // kMarkNone for anything outside 1..99.
  int mark(int entry) const {
    return entry >= 1 && entry <= kPlayListCapacity ? marks_[entry] : kMarkNone;
  }
  void Set(int entry, TrackMark mark) {
    if (entry >= 1 && entry <= kPlayListCapacity) marks_[entry] = mark;
  }
  int page() const { return page_; }
  void ShowPageOf(int entry) { page_ = PageBaseOf(entry); }
  void FirstPage() { page_ = 0; }
  // The next page exists only while the list reaches beyond this one.
  bool NextPage(int count);
  bool PreviousPage();
  bool displayActive() const { return displayActive_; }
  void SetDisplayActive(bool active) { displayActive_ = active; }

 private:
  int marks_[kPlayListCapacity + 1] = {};
  int page_ = 0;
  bool displayActive_ = false;
};
