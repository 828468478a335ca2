#include "audio/RecordFormats.h"

namespace {

const RecordFormat kRecordFormats[kRecordFormatCount] = {
    {11025, 8, 1},  {11025, 8, 2},  {11025, 16, 1}, {11025, 16, 2},
    {22050, 8, 1},  {22050, 8, 2},  {22050, 16, 1}, {22050, 16, 2},
    {44100, 8, 1},  {44100, 8, 2},  {44100, 16, 1}, {44100, 16, 2},
};

// The rounding of the KB/S figures is not a formula (22050 bytes show as 22,
// 44100 as 43), so the texts are kept as written.
const char* const kRecordFormatTexts[kRecordFormatCount] = {
    " 11025HZ,  8Bit ,Mono   11KB/S",
    " 11025HZ,  8Bit ,Stereo   22KB/S",
    " 11025HZ,  16Bit ,Mono   22KB/S",
    " 11025HZ,  16Bit ,Stereo   43KB/S",
    " 22050HZ,  8Bit ,Mono   22KB/S",
    " 22050HZ,  8Bit ,Stereo   43KB/S",
    " 22050HZ,  16Bit ,Mono   43KB/S",
    " 22050HZ,  16Bit ,Stereo   86KB/S",
    " 44100HZ,  8Bit ,Mono   43KB/S",
    " 44100HZ,  8Bit ,Stereo   86KB/S",
    " 44100HZ,  16Bit ,Mono   86KB/S",
    " 44100HZ,  16Bit ,Stereo   172KB/S",
};

bool InRange(int index) { return index >= 0 && index < kRecordFormatCount; }

}  // namespace

const RecordFormat& RecordFormatAt(int index) { return kRecordFormats[InRange(index) ? index : 0]; }

const char* RecordFormatText(int index) { return InRange(index) ? kRecordFormatTexts[index] : ""; }

PcmFormat RecordPcmFormat(int index) {
  const RecordFormat& row = RecordFormatAt(index);
  return MakePcmFormat(row.rate, static_cast<uint16_t>(row.channels), static_cast<uint16_t>(row.bits));
}
