// Where everything of the CD player's face sits: its shape, its bitmap
// buttons with the commands they post, its pictures (digits, labels, mode
// lamps, track indicators, page buttons) and the images they show.
#pragma once

#include <windows.h>

#include <cstdint>

#include "resources/ResourceIds.h"

constexpr char kCdPlayerClass[] = "CXCDPlayerWindow";
constexpr char kCdPlayerTitle[] = "Cantorix CDPlayer";
constexpr int kCdPlayerWidth = 462;
constexpr int kCdPlayerHeight = 90;

// Control ids.
enum CdControl : int {
  kCdPlaylist = 2000,
  kCdPlay = 2001,
  kCdEject = 2002,
  kCdTrackForward = 2003,
  kCdTrackBack = 2004,
  kCdStop = 2005,
  kCdPause = 2006,
  kCdSkipForward = 2008,
  kCdSkipBack = 2009,
  kCdFirstIndicator = 2010,  // indicator i is 2009 + i
  kCdLastIndicator = 2029,
  kCdTrackTens = 2032,  // then track units, minutes and seconds (2033..2037)
  kCdLoopLamp = 2040,
  kCdOnceLamp = 2041,
  kCdRandomLamp = 2042,
  kCdNextPage = 2050,
  kCdPreviousPage = 2051,
};

struct CdButtonPlace {
  int id;
  const char* name;
  int x, y;
  uint16_t command;  // posted to the player itself
  uint32_t statusBit;  // in the reply to the status query
  bool enabledAtStart;
};
constexpr int kCdButtonCount = 9;
constexpr int kCdButtonWidth = 24;
constexpr int kCdButtonHeight = 14;
extern const CdButtonPlace kCdButtons[kCdButtonCount];
// The status bits of the buttons of a table that are enabled now.
uint32_t EnabledButtonBits(HWND window, const CdButtonPlace* buttons, int count);

struct CdPicturePlace {
  int id;  // 0 for the labels, which nobody addresses
  const char* text;
  int x, y, width, height;
  int image;
};
// Lamps, labels and the six digits.
constexpr int kCdPictureCount = 12;
extern const CdPicturePlace kCdPictures[kCdPictureCount];

constexpr int kCdShapePoints = 12;
extern const POINT kCdShape[kCdShapePoints];

// The LCD panel behind the digits and indicators.
constexpr RECT kCdDisplayRect = {17, 15, 300, 72};

constexpr int CdPlayedImage(int track) { return kTrack1Played + 2 * (track - 1); }
constexpr int CdToComeImage(int track) { return kTrack1ToCome + 2 * (track - 1); }
constexpr int CdIndicatorX(int i) { return 196 + 12 * ((i - 1) % 5); }
constexpr int CdIndicatorY(int i) { return 20 + 12 * ((i - 1) / 5); }
