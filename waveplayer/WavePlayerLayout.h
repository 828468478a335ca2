// Where everything of the wave player's face sits: its shape, its bitmap
// buttons, its pictures (digits, labels, lamps, track indicators) and the
// images they show.
#pragma once

#include <windows.h>

#include "resources/ResourceIds.h"

constexpr char kWavePlayerClass[] = "CXWavePlayerClass";
constexpr char kWavePlayerTitle[] = "Cantorix CDPlayer";
constexpr int kWavePlayerWidth = 462;
constexpr int kWavePlayerHeight = 170;

// Control ids; the transport ids double as what the button posts.
enum WaveControl : int {
  kWavePlaylist = 2000,
  kWavePlay = 2001,
  kWaveTrackForward = 2003,
  kWaveTrackBack = 2004,
  kWaveStop = 2005,
  kWavePause = 2006,
  kWaveSkipForward = 2008,
  kWaveSkipBack = 2009,
  kWaveFirstTrackButton = 2010,  // track button k is 2009 + k
  kWaveLastTrackButton = 2029,
  kWaveTrackTens = 2032,  // then track units, minutes and seconds (2033..2037)
  kWaveTitle = 2038,
  kWaveLoopLamp = 2040,
  kWaveStraightLamp = 2041,
  kWaveRandomLamp = 2042,
  kWaveNextPage = 2050,
  kWavePreviousPage = 2051,
  kWaveRecordMinuteTens = 2054,  // then 2055..2057
  kWaveRecordFile = 3000,
  kWaveRecordPlay = 3001,
  kWaveRecordStop = 3002,
  kWaveRecordPause = 3003,
};

struct WaveButtonPlace {
  int id;
  const char* name;
  int x, y, width, height;
};
extern const WaveButtonPlace kWaveButtons[12];

struct WavePicturePlace {
  int id;  // 0 for the labels, which nobody addresses
  const char* text;
  int x, y, width, height;
  int image;
};
// Lamps, labels, the ten digits; the track buttons and page buttons follow
// their own rules below.
extern const WavePicturePlace kWavePictures[16];

constexpr int kWaveShapePoints = 12;
extern const POINT kWaveShape[kWaveShapePoints];

// Images.
// The "straight" lamp is the one labelled ONCE.
constexpr int PlayedImage(int entry) { return kTrack1Played + 2 * (entry - 1); }
constexpr int ToComeImage(int entry) { return kTrack1ToCome + 2 * (entry - 1); }
constexpr int TrackButtonX(int k) { return 196 + 12 * ((k - 1) % 5); }
constexpr int TrackButtonY(int k) { return 20 + 12 * ((k - 1) / 5); }


