// Constant tables of the MPEG audio standards, generated into
// standard_tables.cpp by tools/mpeg/make_tables.py.
#pragma once

#include <cstdint>

namespace cx::mpeg {

extern const double kSynthesisWindow[512];

struct ScaleFactorBands {
  uint16_t longBounds[23];   // 22 long bands; band k is [b[k], b[k+1])
  uint16_t shortBounds[14];  // 13 short bands within one window of 192 lines
};

// [row][sampling-frequency index]: row 0 is 22.05/24/16 kHz, row 1
// 44.1/48/32 kHz, row 2 11.025/12/8 kHz.
extern const ScaleFactorBands kScaleFactorBands[3][3];

struct Layer2AllocRow {
  uint8_t codeBits;    // width of the allocation code, 0 when unused
  uint16_t steps[16];  // quantisation steps per allocation value; 0 = none
};

struct Layer2AllocTable {
  int subbandLimit;
  Layer2AllocRow rows[32];
};

// B.2a, B.2b, B.2c, B.2d of the MPEG-1 standard, then the single table of
// the lower sampling frequencies.
extern const Layer2AllocTable kLayer2AllocTables[5];
constexpr int kLayer2LsfTable = 4;

extern const unsigned char kLsfPartitions[6][3][4];

}  // namespace cx::mpeg
