// Codebooks built from hand-packed setup bits, one table row per case:
// the codeword assignment of the format's own worked example, ordered and
// sparse length coding, lookup types 1 and 2 (with and without the running
// sum), a lone entry, and books that must be refused.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "vorbis/bit_reader.h"
#include "vorbis/codebook.h"

namespace cx::vorbis {
namespace {

class BitWriter {
 public:
  void Put(uint32_t value, int n) {
    for (int i = 0; i < n; ++i) {
      if (bit_ % 8 == 0) bytes_.push_back(0);
      if ((value >> i) & 1) bytes_.back() |= static_cast<uint8_t>(1 << (bit_ % 8));
      ++bit_;
    }
  }
  // A codeword goes out first bit first, as the tree is walked.
  void Code(const char* bits) {
    for (const char* c = bits; *c; ++c) Put(*c == '1', 1);
  }
  std::vector<uint8_t> Padded() const {
    std::vector<uint8_t> b = bytes_;
    b.insert(b.end(), kPad, 0);
    return b;
  }
  size_t size() const { return bytes_.size(); }

 private:
  std::vector<uint8_t> bytes_;
  size_t bit_ = 0;
};

void Header(BitWriter& w, int dims, int entries) {
  w.Put(0x564342, 24);
  w.Put(static_cast<uint32_t>(dims), 16);
  w.Put(static_cast<uint32_t>(entries), 24);
}

// Unordered, not sparse: every entry's length - 1 in five bits.
void Lengths(BitWriter& w, const std::vector<int>& lengths) {
  w.Put(0, 1);
  w.Put(0, 1);
  for (int l : lengths) w.Put(static_cast<uint32_t>(l - 1), 5);
}

uint32_t Float32(bool negative, uint32_t mantissa, int exponent) {
  return (negative ? 0x80000000u : 0) | (static_cast<uint32_t>(exponent + 788) << 21) | mantissa;
}

struct Built {
  bool ok = false;
  Codebook book;
  std::vector<uint8_t> bytes;
};

Built Build(const BitWriter& w) {
  Built b;
  b.bytes = w.Padded();
  BitReader br(b.bytes.data(), w.size());
  Codebook::Budget budget;
  b.ok = b.book.Parse(br, budget);
  return b;
}

std::vector<int> DecodeAll(const Codebook& book, const std::vector<const char*>& codes) {
  BitWriter w;
  for (const char* c : codes) w.Code(c);
  std::vector<uint8_t> bytes = w.Padded();
  BitReader br(bytes.data(), w.size());
  std::vector<int> out;
  for (size_t i = 0; i < codes.size(); ++i) out.push_back(book.DecodeEntry(br));
  return out;
}

TEST(VorbisCodebook, CodewordsAndEntries) {
  struct Case {
    const char* what;
    void (*write)(BitWriter&);
    std::vector<const char*> codes;
    std::vector<int> entries;
  };
  const Case cases[] = {
      {"worked example: lengths 2 4 4 4 4 2 3 3",
       [](BitWriter& w) {
         Header(w, 1, 8);
         Lengths(w, {2, 4, 4, 4, 4, 2, 3, 3});
         w.Put(0, 4);
       },
       {"00", "0100", "0101", "0110", "0111", "10", "110", "111", "0110", "00"},
       {0, 1, 2, 3, 4, 5, 6, 7, 3, 0}},
      {"ordered: one of length 1, one of 2, two of 3",
       [](BitWriter& w) {
         Header(w, 1, 4);
         w.Put(1, 1);  // ordered
         w.Put(0, 5);  // first length 1
         w.Put(1, 3);  // ilog(4) bits: one entry
         w.Put(1, 2);  // ilog(3) bits: one entry
         w.Put(2, 2);  // ilog(2) bits: two entries
         w.Put(0, 4);
       },
       {"111", "0", "110", "10"},
       {3, 0, 2, 1}},
      {"sparse: entry 1 unused",
       [](BitWriter& w) {
         Header(w, 1, 4);
         w.Put(0, 1);
         w.Put(1, 1);  // sparse
         w.Put(1, 1), w.Put(0, 5);
         w.Put(0, 1);
         w.Put(1, 1), w.Put(1, 5);
         w.Put(1, 1), w.Put(1, 5);
         w.Put(0, 4);
       },
       {"11", "0", "10"},
       {3, 0, 2}},
      {"a lone entry",
       [](BitWriter& w) {
         Header(w, 1, 3);
         w.Put(0, 1);
         w.Put(1, 1);
         w.Put(0, 1);
         w.Put(1, 1), w.Put(0, 5);
         w.Put(0, 1);
         w.Put(0, 4);
       },
       {"0", "0"},
       {1, 1}},
      {"long codewords past the lookup table",
       [](BitWriter& w) {
         std::vector<int> lengths;
         for (int l = 1; l <= 14; ++l) lengths.push_back(l);
         lengths.push_back(14);
         Header(w, 1, static_cast<int>(lengths.size()));
         Lengths(w, lengths);
         w.Put(0, 4);
       },
       {"11111111111111", "1111111111110", "0", "11111111111110", "1110"},
       {14, 12, 0, 13, 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BitWriter w;
    c.write(w);
    Built b = Build(w);
    ASSERT_TRUE(b.ok);
    EXPECT_EQ(DecodeAll(b.book, c.codes), c.entries);
  }
}

TEST(VorbisCodebook, RefusedBooks) {
  struct Case {
    const char* what;
    void (*write)(BitWriter&);
  };
  const Case cases[] = {
      {"over-full: three codewords of length 1",
       [](BitWriter& w) {
         Header(w, 1, 3);
         Lengths(w, {1, 1, 1});
         w.Put(0, 4);
       }},
      {"bad sync pattern", [](BitWriter& w) { w.Put(0x564343, 24), w.Put(1, 16), w.Put(2, 24); }},
      {"no entries", [](BitWriter& w) { Header(w, 1, 0); }},
      {"ordered run past the entry count",
       [](BitWriter& w) {
         Header(w, 1, 2);
         w.Put(1, 1);
         w.Put(0, 5);
         w.Put(3, 2);
       }},
      {"lookup type 3",
       [](BitWriter& w) {
         Header(w, 1, 2);
         Lengths(w, {1, 1});
         w.Put(3, 4);
       }},
      {"cut short in the lengths",
       [](BitWriter& w) {
         Header(w, 1, 400);
         w.Put(0, 2);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BitWriter w;
    c.write(w);
    EXPECT_FALSE(Build(w).ok);
  }
}

TEST(VorbisCodebook, VectorLookups) {
  // Type 1, 9 entries of 2 dimensions: 3 values per dimension (-1, 0.5, 2),
  // entry e takes value e % 3 then (e / 3) % 3.
  {
    BitWriter w;
    Header(w, 2, 9);
    Lengths(w, {4, 4, 4, 4, 4, 4, 4, 3, 3});
    w.Put(1, 4);
    w.Put(Float32(true, 1 << 20, -20), 32);  // minimum -1
    w.Put(Float32(false, 1 << 20, -21), 32); // delta 0.5
    w.Put(2, 4);                             // three bits each
    w.Put(0, 1);
    for (uint32_t m : {0u, 3u, 6u}) w.Put(m, 3);
    Built b = Build(w);
    ASSERT_TRUE(b.ok);
    ASSERT_TRUE(b.book.hasVectors());
    const float* v5 = b.book.Vector(5);
    EXPECT_FLOAT_EQ(v5[0], 2.0f);
    EXPECT_FLOAT_EQ(v5[1], 0.5f);
    const float* v6 = b.book.Vector(6);
    EXPECT_FLOAT_EQ(v6[0], -1.0f);
    EXPECT_FLOAT_EQ(v6[1], 2.0f);
  }
  // Type 2 with the running sum: each value adds the one before.
  {
    BitWriter w;
    Header(w, 3, 2);
    Lengths(w, {1, 1});
    w.Put(2, 4);
    w.Put(Float32(false, 1 << 20, -20), 32);  // minimum 1
    w.Put(Float32(false, 1 << 20, -18), 32);  // delta 4
    w.Put(3, 4);                              // four bits each
    w.Put(1, 1);                              // sequence
    for (uint32_t m : {0u, 1u, 2u, 3u, 0u, 1u}) w.Put(m, 4);
    Built b = Build(w);
    ASSERT_TRUE(b.ok);
    const float* v0 = b.book.Vector(0);
    EXPECT_FLOAT_EQ(v0[0], 1.0f);
    EXPECT_FLOAT_EQ(v0[1], 1.0f + 5.0f);
    EXPECT_FLOAT_EQ(v0[2], 6.0f + 9.0f);
    const float* v1 = b.book.Vector(1);
    EXPECT_FLOAT_EQ(v1[0], 13.0f);
    EXPECT_FLOAT_EQ(v1[1], 13.0f + 1.0f);
    EXPECT_FLOAT_EQ(v1[2], 14.0f + 5.0f);
  }
}

TEST(VorbisCodebook, PackedFloats) {
  EXPECT_FLOAT_EQ(UnpackFloat32(Float32(false, 1 << 20, -20)), 1.0f);
  EXPECT_FLOAT_EQ(UnpackFloat32(Float32(true, 3, 0)), -3.0f);
  EXPECT_FLOAT_EQ(UnpackFloat32(Float32(false, 5, -2)), 1.25f);
  EXPECT_FLOAT_EQ(UnpackFloat32(0), 0.0f);
}

}  // namespace
}  // namespace cx::vorbis
