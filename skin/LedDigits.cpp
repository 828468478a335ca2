#include "skin/DibButton.h"
#include "skin/SkinControls.h"
#include "skin/SkinGeometry.h"

void ShowTrackTime(HWND parent, int track, int minutes, int seconds) {
  int digits[6];
  TrackTimeDigits(track, minutes, seconds, digits);
  for (int i = 0; i < 6; ++i) {
    SetPictureImage(GetDlgItem(parent, kFirstTimeDigitId + i), MAKEINTRESOURCEA(digits[i]));
  }
}
