// The formats the recorders can record in, in the order the configuration
// window lists them, and the row chosen for this run (0 at every start; it
// is never stored).
#pragma once

#include <cstdint>

struct RecordFormat {
  uint32_t rate;
  uint16_t bits;
  uint16_t channels;
  const char* listText;  // the text the configuration window shows
};

constexpr int kRecordFormatCount = 12;

// The texts are shown exactly as written, odd spacing included.
inline constexpr RecordFormat kRecordFormats[kRecordFormatCount] = {
    {11025, 8, 1, " 11025HZ,  8Bit ,Mono   11KB/S"},
    {11025, 8, 2, " 11025HZ,  8Bit ,Stereo   22KB/S"},
    {11025, 16, 1, " 11025HZ,  16Bit ,Mono   22KB/S"},
    {11025, 16, 2, " 11025HZ,  16Bit ,Stereo   43KB/S"},
    {22050, 8, 1, " 22050HZ,  8Bit ,Mono   22KB/S"},
    {22050, 8, 2, " 22050HZ,  8Bit ,Stereo   43KB/S"},
    {22050, 16, 1, " 22050HZ,  16Bit ,Mono   43KB/S"},
    {22050, 16, 2, " 22050HZ,  16Bit ,Stereo   86KB/S"},
    {44100, 8, 1, " 44100HZ,  8Bit ,Mono   43KB/S"},
    {44100, 8, 2, " 44100HZ,  8Bit ,Stereo   86KB/S"},
    {44100, 16, 1, " 44100HZ,  16Bit ,Mono   86KB/S"},
    {44100, 16, 2, " 44100HZ,  16Bit ,Stereo   172KB/S"},
};

// The row the recorders use; set by the configuration window's OK.
inline int gRecordFormatIndex = 0;

// The row to record with: the chosen one, or row 0 should it ever be out of
// the table.
inline const RecordFormat& CurrentRecordFormat() {
  int index = gRecordFormatIndex;
  return kRecordFormats[(index >= 0 && index < kRecordFormatCount) ? index : 0];
}
