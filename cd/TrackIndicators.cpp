#include "cd/TrackIndicators.h"

#include "cd/CdPlayerLayout.h"
#include "skin/DibButton.h"

namespace {

// The current entry's indicator alternates with the panel's blink phase.
int IndicatorImage(int entry, int mark, bool blink) {
  if (mark == kMarkPlayed || (mark == kMarkCurrent && !blink)) return CdPlayedImage(entry);
  return CdToComeImage(entry);
}

}  // namespace

void CreateTrackIndicators(HINSTANCE instance, HWND window) {
  for (int i = 1; i <= kTrackIndicators; ++i) {
    char text[4];
    wsprintfA(text, "%d", i);
    HWND indicator = CreatePicture(instance, window, kCdFirstIndicator + i - 1, MAKEINTRESOURCEA(CdToComeImage(i)),
                                   CdIndicatorX(i), CdIndicatorY(i), 10, 9, text);
    if (indicator != nullptr) SetWindowLongPtrA(indicator, GWLP_USERDATA, CdToComeImage(i));
    ShowWindow(indicator, SW_HIDE);
  }
  ShowWindow(CreatePicture(instance, window, kCdPreviousPage, MAKEINTRESOURCEA(kPreviousPageImage), 182, 20, 10, 9),
             SW_HIDE);
  ShowWindow(CreatePicture(instance, window, kCdNextPage, MAKEINTRESOURCEA(kNextPageImage), 182, 32, 10, 9),
             SW_HIDE);
}

void SyncTrackIndicators(HWND window, const TrackMarks& marks, int count, bool blink) {
  for (int i = 1; i <= kTrackIndicators; ++i) {
    HWND indicator = GetDlgItem(window, kCdFirstIndicator + i - 1);
    const int entry = marks.page() + i;
    const int mark = marks.mark(entry);  // none beyond entry 99
    if (mark == kMarkNone) {
      ShowWindow(indicator, SW_HIDE);
      continue;
    }
    ShowPictureImage(indicator, IndicatorImage(entry, mark, blink));
    ShowWindow(indicator, SW_SHOWNA);
  }
  const int pages = count > kTrackIndicators ? SW_SHOWNA : SW_HIDE;
  ShowWindow(GetDlgItem(window, kCdNextPage), pages);
  ShowWindow(GetDlgItem(window, kCdPreviousPage), pages);
}

void BlinkCurrentIndicator(HWND window, const TrackMarks& marks, bool blink) {
  for (int i = 1; i <= kTrackIndicators; ++i) {
    const int entry = marks.page() + i;
    if (marks.mark(entry) != kMarkCurrent) continue;
    HWND indicator = GetDlgItem(window, kCdFirstIndicator + i - 1);
    ShowPictureImage(indicator, IndicatorImage(entry, kMarkCurrent, blink));
    ShowWindow(indicator, SW_SHOWNA);
  }
}

void SyncModeLamps(HWND window, const PlayList& list) {
  ShowItemImage(window, kCdOnceLamp, list.IsShuffled() ? kOnceLampDark : kOnceLampLit);
  ShowItemImage(window, kCdRandomLamp, list.IsShuffled() ? kRandomLampLit : kRandomLampDark);
  ShowItemImage(window, kCdLoopLamp, list.IsLoop() ? kLoopLampLit : kLoopLampDark);
}
