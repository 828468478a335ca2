#include "cd/CdPlayerLayout.h"

#include "common/CommandCodes.h"

const CdButtonPlace kCdButtons[kCdButtonCount] = {
    {kCdPlaylist, "PLAYLIST", 346, 33, kCmdShowPlaylist, kStatusPlaylist, true},
    {kCdEject, "EJECT", 370, 33, kCmdEject, kStatusEject, true},
    {kCdTrackForward, "TRACKF", 420, 33, kCmdNext, kStatusTrackForward, false},
    {kCdTrackBack, "TRACKB", 395, 33, kCmdPrevious, kStatusTrackBack, false},
    {kCdPlay, "PLAY", 345, 58, kCmdPlay, kStatusPlay, false},
    {kCdStop, "STOP", 370, 58, kCmdStop, kStatusStop, false},
    {kCdPause, "PAUSE", 395, 58, kCmdPause, kStatusPause, false},
    {kCdSkipForward, "SKIPF", 420, 58, kCmdSkipForward, kStatusSkipForward, false},
    {kCdSkipBack, "SKIPB", 321, 58, kCmdSkipBack, kStatusSkipBack, false},
};

const CdPicturePlace kCdPictures[kCdPictureCount] = {
    {kCdOnceLamp, "OneTime", 260, 20, 34, 8, kOnceLampLit},
    {kCdLoopLamp, "LOOP", 260, 32, 34, 8, kLoopLampDark},
    {kCdRandomLamp, "RANDOM", 260, 44, 34, 8, kRandomLampDark},
    {0, "TRACKLOGO", 66, 20, 30, 6, kTrackLabel},
    {0, "MINLOGO", 115, 20, 30, 6, kMinLabel},
    {0, "SECLOGO", 147, 20, 30, 6, kSecLabel},
    {kCdTrackTens, "TRACKH", 65, 31, 14, 20, kLedDigit0},
    {kCdTrackTens + 1, "TRACKL", 82, 31, 14, 20, kLedDigit0},
    {kCdTrackTens + 2, "MINH", 107, 31, 14, 20, kLedDigit0},
    {kCdTrackTens + 3, "MINL", 121, 31, 14, 20, kLedDigit0},
    {kCdTrackTens + 4, "SECH", 140, 31, 14, 20, kLedDigit0},
    {kCdTrackTens + 5, "SECL", 154, 31, 14, 20, kLedDigit0},
};

// The bottom five rows are cut away but for two tabs.
const POINT kCdShape[kCdShapePoints] = {{0, 0},    {0, 85},   {7, 85},   {7, 90},   {70, 90},   {70, 85},
                                        {392, 85}, {392, 90}, {455, 90}, {455, 85}, {462, 85}, {462, 0}};

uint32_t EnabledButtonBits(HWND window, const CdButtonPlace* buttons, int count) {
  uint32_t bits = 0;
  for (int i = 0; i < count; ++i) {
    HWND button = GetDlgItem(window, buttons[i].id);
    if (button != nullptr && IsWindowEnabled(button)) bits |= buttons[i].statusBit;
  }
  return bits;
}
