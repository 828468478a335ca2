// Layer III Huffman tables: an embedded text describing every code table as
// a binary decoding tree, and the direct lookups built from it once per
// process. A code is resolved by peeking N bits, taking the entry and giving
// back the bits the code did not use.
#pragma once

#include <cstdint>

namespace cx::mpeg {

extern const char* const HuffmanTableText[];
extern const int kHuffmanTableTextLines;

constexpr int kHuffmanTableCount = 34;  // 0..31 pair tables, 32/33 count1

struct HuffmanTable {
  char name[4];
  uint32_t xlen;
  uint32_t ylen;
  uint32_t linbits;
  uint32_t linmax;
  int32_t reference;     // -1 when the table has its own tree
  uint32_t nodeCount;
  uint32_t lookupBits;   // N; 0 for the tables without codes (0, 4, 14)
  // 2^N entries: symbol in the low byte, code length in the high byte.
  const uint16_t* lookup;
};

inline uint32_t LookupSymbol(uint16_t entry) { return entry & 0xFF; }
inline uint32_t LookupLength(uint16_t entry) { return entry >> 8; }

// Parses the embedded text and builds the lookups on first use; later calls
// return the same tables. Safe to call from several threads.
const HuffmanTable* LoadHuffmanTables();

}  // namespace cx::mpeg
