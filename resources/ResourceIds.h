// Numbered resources of both programs, written by tools/skin/generate.py;
// do not edit. Named images are loaded by their names.
#pragma once

// Cantorix
constexpr int kCantorixIcon = 128;  // program icon
constexpr int kButtonCursor = 164;  // cursor over bitmap buttons and pictures
constexpr int kMainPanelFace = 149;  // main panel face; its palette is the skin palette
constexpr int kCdPlayerFace = 165;
constexpr int kMidiPlayerFace = 478;
constexpr int kWavePlayerFace = 481;
constexpr int kMixerPlaybackFace = 499;
constexpr int kMixerRecordFace = 516;
constexpr int kMixerPlaybackAdvancedFace = 519;
constexpr int kMixerRecordAdvancedFace = 520;
constexpr int kPlayListFace = 581;
constexpr int kConfigFace = 604;
constexpr int kLedDigit0 = 193;  // digit d is kLedDigit0 + d
constexpr int kTrackLabel = 203;
constexpr int kMinLabel = 451;
constexpr int kSecLabel = 452;
constexpr int kTrack1Played = 204;  // track n played is 202 + 2n, to come 203 + 2n
constexpr int kTrack1ToCome = 205;
constexpr int kPreviousPageImage = 420;
constexpr int kNextPageImage = 423;
constexpr int kLoopLampLit = 444;
constexpr int kLoopLampDark = 453;
constexpr int kOnceLampLit = 446;
constexpr int kOnceLampDark = 445;
constexpr int kRandomLampLit = 450;
constexpr int kRandomLampDark = 449;
constexpr int kMidiTempoStrip = 477;
constexpr int kMixerMuteOff = 504;
constexpr int kMixerMuteOn = 505;
constexpr int kMixerLevelBar = 515;

// Handset
constexpr int kHandsetIcon = 101;
constexpr int kHandsetCursor = 103;
constexpr int kHandsetFace = 102;  // remote face; its palette is Handset's skin palette
