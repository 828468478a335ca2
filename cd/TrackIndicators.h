// The indicator block that the CD and MIDI players share: twenty file
// indicators with their two page buttons, and the three mode lamps, at the
// same places and with the same ids and images in both windows.
#pragma once

#include <windows.h>

#include "cd/TrackMarks.h"
#include "media/PlayList.h"

// Creates the hidden indicators and page buttons in `window`.
void CreateTrackIndicators(HINSTANCE instance, HWND window);
// Shows the marks of the page in view; the current entry's indicator takes
// the blink phase. The page buttons show only for lists longer than a page.
void SyncTrackIndicators(HWND window, const TrackMarks& marks, int count, bool blink);
// The panel's tick: only the current entry's indicator changes.
void BlinkCurrentIndicator(HWND window, const TrackMarks& marks, bool blink);
// LOOP, RANDOM and OneTime from the list's modes.
void SyncModeLamps(HWND window, const PlayList& list);
