// The twelve recording formats the user chooses from. The row index is the
// record format index the configuration window keeps; its list shows the
// texts in row order.
#pragma once

#include <cstdint>

#include "audio/PcmFormat.h"

struct RecordFormat {
  // Stored in this order: rate, bits, channels.
  uint32_t rate;
  uint32_t bits;
  uint32_t channels;
};

constexpr int kRecordFormatCount = 12;

// Row `index` of the table; row 0 for an index out of range.
const RecordFormat& RecordFormatAt(int index);
// The list text of row `index` (each begins with one blank); "" when out of range.
const char* RecordFormatText(int index);
// The PCM descriptor the recorders build from a row.
PcmFormat RecordPcmFormat(int index);
