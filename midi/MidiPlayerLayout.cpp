#include "midi/MidiPlayerLayout.h"

#include "common/CommandCodes.h"

const CdButtonPlace kMidiButtons[kMidiButtonCount] = {
    {kCdPlaylist, "PLAYLIST", 371, 33, kCmdShowPlaylist, kStatusPlaylist, true},
    {kCdTrackForward, "TRACKF", 421, 33, kCmdNext, kStatusTrackForward, false},
    {kCdTrackBack, "TRACKB", 396, 33, kCmdPrevious, kStatusTrackBack, false},
    {kCdPlay, "PLAY", 346, 58, kCmdPlay, kStatusPlay, false},
    {kCdStop, "STOP", 371, 58, kCmdStop, kStatusStop, false},
    {kCdPause, "PAUSE", 396, 58, kCmdPause, kStatusPause, false},
    {kCdSkipForward, "SKIPF", 421, 58, kCmdSkipForward, kStatusSkipForward, false},
    {kCdSkipBack, "SKIPB", 321, 58, kCmdSkipBack, kStatusSkipBack, false},
};

const MidiTempoPlace kMidiTempoPlaces[kMidiTempoPlaceCount] = {
    {kMidiSlow, "SLOWU", 18, 80, 10, 9},
    {kMidiFast, "FASTU", 292, 80, 10, 9},
    {kMidiTempoBar, nullptr, 29, 80, 261, 9},
};

// Taller than the CD player, with its bottom tabs one pixel further left.
const POINT kMidiShape[kMidiShapePoints] = {{0, 0},     {0, 103},   {6, 103},   {6, 108},
                                            {69, 108},  {69, 103},  {391, 103}, {391, 108},
                                            {454, 108}, {454, 103}, {462, 103}, {462, 0}};
