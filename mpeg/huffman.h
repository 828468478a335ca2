// Layer III Huffman tables: an embedded text describing every code table as
// a binary decoding tree, and the direct lookups built from it once per
// process. A code is resolved by peeking 32 bits, one or two table entries
// and skipping only the bits the code used.
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
  uint32_t maxLength;    // longest code; 0 for the tables without codes (0, 4, 14)
  uint32_t lookupBits;   // N, bits of the first lookup; 0 without codes
  // 2^N first entries, then the second-level tables of the codes longer
  // than N bits. A few hundred entries per table keep them in the cache,
  // where one lookup as wide as the longest code (19 bits) would not stay.
  const uint32_t* lookup;
};

// An entry: symbol in the low byte, code length in the next; or, with
// kHuffmanSubtable set, the width of a second-level table in bits 16..20
// and its index in the lookup in the low 16 bits.
constexpr uint32_t kHuffmanSubtable = 0x80000000u;
inline uint32_t LookupSymbol(uint32_t entry) { return entry & 0xFF; }
inline uint32_t LookupLength(uint32_t entry) { return (entry >> 8) & 0xFF; }

// The entry of the code at the front of 'window' (the next 32 bits of the
// stream, first bit most significant; a code is at most 19 bits).
inline uint32_t HuffmanLookup(const HuffmanTable& t, uint32_t window) {
  uint32_t e = t.lookup[window >> (32 - t.lookupBits)];
  if (e & kHuffmanSubtable) {
    const uint32_t bits = (e >> 16) & 31;
    e = t.lookup[(e & 0xFFFF) + ((window << t.lookupBits) >> (32 - bits))];
  }
  return e;
}

// Parses the embedded text and builds the lookups on first use; later calls
// return the same tables. Safe to call from several threads.
const HuffmanTable* LoadHuffmanTables();

}  // namespace cx::mpeg
