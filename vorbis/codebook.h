// A Vorbis codebook: the entry lengths make a prefix code (codewords are
// handed out in entry order, each the lowest free one of its length), and
// lookup types 1 and 2 attach a vector to each entry. Decoding looks the
// next bits up in a table; longer codewords continue in the tree.
#pragma once

#include <cstdint>
#include <vector>

#include "vorbis/bit_reader.h"

namespace cx::vorbis {

class Codebook {
 public:
  // What all the books of one setup header may hold together, so a hostile
  // header cannot ask for more memory than real books need (the largest
  // have a few thousand entries).
  struct Budget {
    uint64_t entries = uint64_t{1} << 20;
    uint64_t values = uint64_t{1} << 23;
  };
  // Reads one codebook from the setup header, taking its share of the
  // budget; false when it is malformed or over the limits.
  bool Parse(BitReader& br, Budget& budget);

  int dimensions() const { return dimensions_; }
  uint32_t entries() const { return entries_; }
  bool hasVectors() const { return !vectors_.empty(); }

  // The next entry, or -1 at the end of the packet or on a codeword that
  // is not in the book.
  int DecodeEntry(BitReader& br) const {
    uint32_t bits = br.Peek32(kTableBits);
    uint32_t t = table_[bits];
    if (t & kLongFlag) return DecodeLong(br, t & ~kLongFlag);
    if (t == 0) return -1;
    if (!br.Skip(static_cast<int>(t >> 24))) return -1;
    return static_cast<int>(t & 0xFFFFFF);
  }
  // The vector of an entry (dimensions() values); hasVectors() only.
  const float* Vector(int entry) const { return &vectors_[static_cast<size_t>(entry) * dimensions_]; }

 private:
  static constexpr int kTableBits = 10;
  static constexpr uint32_t kLongFlag = 0x80000000u;
  static constexpr int kNoFree = 255;
  struct Node {
    int32_t child[2] = {-1, -1};  // >= 0 node; < -1 leaf of entry -(v + 2)
    uint8_t minFree = kNoFree;    // depth of the shallowest free slot below
  };
  bool BuildCode(const std::vector<uint8_t>& lengths);
  bool Insert(int32_t node, int depth, int len, uint32_t entry);
  bool ReadLengths(BitReader& br, std::vector<uint8_t>& lengths);
  bool ReadLookup(BitReader& br, const std::vector<uint8_t>& lengths, Budget& budget);
  void FillTable(int32_t node, int depth, uint32_t reversed);
  int DecodeLong(BitReader& br, uint32_t node) const;

  int dimensions_ = 0;
  uint32_t entries_ = 0;
  std::vector<Node> nodes_;
  // Low 24 bits the entry, top 8 the length; 0 unused; kLongFlag + node.
  std::vector<uint32_t> table_;
  std::vector<float> vectors_;
};

// Vorbis's packed 32-bit float: 21-bit mantissa, sign, 10-bit exponent.
float UnpackFloat32(uint32_t v);

}  // namespace cx::vorbis
