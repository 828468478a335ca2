#include "cd/TrackMarks.h"

int PageBaseOf(int entry) {
  if (entry < 1) return 0;
  const int base = (entry - 1) / kTrackIndicators * kTrackIndicators;
  return base > kLastPageBase ? kLastPageBase : base;
}

void TrackMarks::Refresh(const PlayList& list) {
  for (int n = 1; n <= kPlayListCapacity; ++n) {
    switch (list.EntryState(n)) {
      case -1: marks_[n] = kMarkPlayed; break;
      case 0: marks_[n] = kMarkCurrent; break;
      case 1: marks_[n] = kMarkToCome; break;
      default: marks_[n] = kMarkNone; break;
    }
    if (marks_[n] == kMarkCurrent && page_ < n && n <= page_ + kTrackIndicators) displayActive_ = true;
  }
}

bool TrackMarks::NextPage(int count) {
  if (page_ + kTrackIndicators >= count || page_ >= kLastPageBase) return false;
  page_ += kTrackIndicators;
  return true;
}

bool TrackMarks::PreviousPage() {
  if (page_ < kTrackIndicators) return false;
  page_ -= kTrackIndicators;
  return true;
}
