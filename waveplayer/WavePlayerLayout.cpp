#include "waveplayer/WavePlayerLayout.h"

const WaveButtonPlace kWaveButtons[12] = {
    {kWavePlaylist, "PLAYLIST", 371, 33, 24, 14},
    {kWaveTrackBack, "TRACKB", 396, 33, 24, 14},
    {kWaveTrackForward, "TRACKF", 421, 33, 24, 14},
    {kWaveSkipBack, "SKIPB", 321, 58, 24, 14},
    {kWavePlay, "PLAY", 346, 58, 24, 14},
    {kWaveStop, "STOP", 371, 58, 24, 14},
    {kWavePause, "PAUSE", 396, 58, 24, 14},
    {kWaveSkipForward, "SKIPF", 421, 58, 24, 14},
    {kWaveRecordFile, "RECFILE", 346, 137, 24, 14},
    {kWaveRecordPlay, "RECPLAY", 371, 137, 24, 14},
    {kWaveRecordStop, "RECSTOP", 396, 137, 24, 14},
    {kWaveRecordPause, "RECPAUSE", 421, 137, 24, 14},
};

const WavePicturePlace kWavePictures[16] = {
    {kWaveStraightLamp, "OneTime", 260, 20, 34, 8, kOnceLampLit},
    {kWaveLoopLamp, "LOOP", 260, 32, 34, 8, kLoopLampDark},
    {kWaveRandomLamp, "RANDOM", 260, 44, 34, 8, kRandomLampDark},
    {0, "TRACKLOGO", 66, 20, 6, 6, kTrackLabel},
    {0, "MINLOGO", 115, 20, 6, 6, kMinLabel},
    {0, "SECLOGO", 147, 20, 6, 6, kSecLabel},
    {2032, "TRACKH", 65, 31, 14, 20, kLedDigit0},
    {2033, "TRACKL", 82, 31, 14, 20, kLedDigit0},
    {2034, "MINH", 107, 31, 14, 20, kLedDigit0},
    {2035, "MINL", 121, 31, 14, 20, kLedDigit0},
    {2036, "SECH", 140, 31, 14, 20, kLedDigit0},
    {2037, "SECL", 154, 31, 14, 20, kLedDigit0},
    {2054, "RECMINH", 107, 114, 14, 20, kLedDigit0},
    {2055, "RECMINL", 121, 114, 14, 20, kLedDigit0},
    {2056, "RECSECH", 140, 114, 14, 20, kLedDigit0},
    {2057, "RECSECH", 154, 114, 14, 20, kLedDigit0},
};

// The bottom five rows are cut away but for two tabs.
const POINT kWaveShape[kWaveShapePoints] = {{0, 0},     {0, 165},   {7, 165},   {7, 170},
                              {70, 170},  {70, 165},  {392, 165}, {392, 170},
                              {455, 170}, {455, 165}, {462, 165}, {462, 0}};
