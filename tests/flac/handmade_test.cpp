// Streams written bit by bit here, for codings the reference encoder does
// not produce on demand: escape-coded Rice partitions with both parameter
// widths, wasted bits, every fixed order, LPC of chosen precision and
// shift, a negative LPC shift (undecodable: silence of the block's length),
// a frame-number gap. The expected samples are the ones the stream was
// made from. Also MD5 against the test suite of RFC 1321 appendix A.5.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "codec/byte_source.h"
#include "codec/md5.h"
#include "flac/flac_decoder.h"

namespace cx::flac::test {
namespace {

class BitWriter {
 public:
  void Put(uint64_t v, int bits) {
    for (int i = bits - 1; i >= 0; --i) PutBit((v >> i) & 1);
  }
  void PutSigned(int64_t v, int bits) { Put(static_cast<uint64_t>(v) & ((uint64_t{1} << bits) - 1), bits); }
  void PutBit(int b) {
    if (fill_ == 0) bytes_.push_back(0);
    if (b) bytes_.back() |= static_cast<uint8_t>(0x80 >> fill_);
    fill_ = (fill_ + 1) & 7;
  }
  void Rice(int64_t r, int k) {
    const uint64_t u = r >= 0 ? static_cast<uint64_t>(r) * 2 : static_cast<uint64_t>(-r) * 2 - 1;
    for (uint64_t q = u >> k; q > 0; --q) PutBit(0);
    PutBit(1);
    Put(u & ((uint64_t{1} << k) - 1), k);
  }
  void Align() { fill_ = 0; }
  std::vector<uint8_t>& bytes() { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  int fill_ = 0;
};

// Bitwise CRCs, independent of the decoder's tables.
uint32_t Crc(const std::vector<uint8_t>& d, size_t from, uint32_t poly, int width) {
  uint32_t c = 0;
  const uint32_t top = 1u << (width - 1), mask = (top << 1) - 1;
  for (size_t i = from; i < d.size(); ++i) {
    c ^= static_cast<uint32_t>(d[i]) << (width - 8);
    for (int b = 0; b < 8; ++b) c = ((c & top) ? (c << 1) ^ poly : c << 1) & mask;
  }
  return c;
}

constexpr int kBlock = 32;
constexpr int kBits = 16;

enum class Coding { kConstant, kVerbatimWasted, kFixed, kLpc, kLpcNegativeShift };

struct Subframe {
  const char* name;
  Coding coding;
  int order;        // fixed or LPC order
  int method;       // 0: 4-bit Rice parameters, 1: 5-bit
  int partitionOrder;
  int escapeBits;   // >= 0: partition 0 escape-coded at this width; -1 none
  int precision;    // LPC
  int shift;        // LPC
};

int64_t Predict(const Subframe& sf, const std::vector<int64_t>& s, int i, const std::vector<int>& coefs) {
  if (sf.coding == Coding::kFixed) {
    static const int kFixed[5][4] = {{0}, {1}, {2, -1}, {3, -3, 1}, {4, -6, 4, -1}};
    int64_t p = 0;
    for (int j = 0; j < sf.order; ++j) p += kFixed[sf.order][j] * s[i - 1 - j];
    return p;
  }
  int64_t sum = 0;
  for (int j = 0; j < sf.order; ++j) sum += coefs[j] * s[i - 1 - j];
  return sum >> sf.shift;
}

// One frame of a mono 16-bit stream holding `samples`, coded as sf says.
std::vector<uint8_t> Frame(uint64_t number, const Subframe& sf, std::vector<int64_t>* samples, std::mt19937* rnd) {
  BitWriter w;
  w.Put(0xFFF8, 16);
  w.Put(6, 4);  // block size in 8 bits after the number
  w.Put(0, 4);  // rate from STREAMINFO
  w.Put(0, 4);  // one channel
  w.Put(4, 3);  // 16 bits
  w.Put(0, 1);
  w.Put(number, 8);  // < 128: one byte
  w.Put(kBlock - 1, 8);
  w.Put(Crc(w.bytes(), 0, 0x07, 8), 8);

  std::vector<int64_t>& s = *samples;
  s.assign(kBlock, 0);
  // A slow tone with a little noise: every predictor stays in range.
  const double phase = std::uniform_real_distribution<double>(0, 6.28)(*rnd);
  auto target = [&](int i) {
    return static_cast<int64_t>(8000 * std::sin(0.15 * i + phase)) + std::uniform_int_distribution<int>(-3, 3)(*rnd);
  };
  for (int i = 0; i < kBlock; ++i) s[i] = target(i);
  w.Put(0, 1);
  if (sf.coding == Coding::kConstant) {
    std::fill(s.begin(), s.end(), -12345);
    w.Put(0, 6);
    w.Put(0, 1);
    w.PutSigned(-12345, kBits);
  } else if (sf.coding == Coding::kVerbatimWasted) {
    const int wasted = 3;
    for (auto& x : s) x = (x >> wasted) * 8;
    w.Put(1, 6);
    w.Put(1, 1);
    for (int i = 0; i < wasted - 1; ++i) w.PutBit(0);
    w.PutBit(1);
    for (auto x : s) w.PutSigned(x / 8, kBits - wasted);
  } else {
    std::vector<int> coefs;
    const bool lpc = sf.coding != Coding::kFixed;
    w.Put(lpc ? 32 + sf.order - 1 : 8 + sf.order, 6);
    w.Put(0, 1);
    for (int i = 0; i < sf.order; ++i) w.PutSigned(s[i], kBits);
    if (lpc) {
      // Near the mean of the last `order` samples: a stable predictor.
      for (int i = 0; i < sf.order; ++i) {
        coefs.push_back((1 << sf.shift) / sf.order + std::uniform_int_distribution<int>(-1, 1)(*rnd));
      }
      w.Put(sf.precision - 1, 4);
      w.PutSigned(sf.coding == Coding::kLpcNegativeShift ? -2 : sf.shift, 5);
      for (int c0 : coefs) w.PutSigned(c0, sf.precision);
    }
    const int partitions = 1 << sf.partitionOrder, per = kBlock >> sf.partitionOrder;
    // Residuals of the chosen samples; an escape of width 0 means partition
    // 0 is exactly predicted, so its samples are made the predictions.
    std::vector<int64_t> res;
    int64_t widest = 0;
    for (int i = sf.order; i < kBlock; ++i) {
      const int64_t p = Predict(sf, s, i, coefs);
      if (sf.escapeBits == 0 && i < per) s[i] = p;
      res.push_back(s[i] - p);
      if (i < per) widest = std::max(widest, s[i] - p < 0 ? p - s[i] : s[i] - p);
    }
    int escapeBits = sf.escapeBits;
    while (escapeBits > 0 && widest >= (int64_t{1} << (escapeBits - 1))) ++escapeBits;
    w.Put(sf.method, 2);
    w.Put(sf.partitionOrder, 4);
    const int paramBits = sf.method == 0 ? 4 : 5;
    size_t at = 0;
    for (int p = 0; p < partitions; ++p) {
      const int count = p == 0 ? per - sf.order : per;
      if (p == 0 && sf.escapeBits >= 0) {
        w.Put((1u << paramBits) - 1, paramBits);
        w.Put(escapeBits, 5);
        for (int i = 0; i < count; ++i) w.PutSigned(res[at + i], escapeBits);
      } else {
        const int k = sf.method == 0 ? 5 : 15 + p;  // 5-bit parameters above 14 too
        w.Put(k, paramBits);
        for (int i = 0; i < count; ++i) w.Rice(res[at + i], k);
      }
      at += static_cast<size_t>(count);
    }
  }
  w.Align();
  const uint32_t crc = Crc(w.bytes(), 0, 0x8005, 16);
  w.Put(crc, 16);
  return w.bytes();
}

const Subframe kSubframes[] = {
    {"constant", Coding::kConstant, 0, 0, 0, -1, 0, 0},
    {"verbatim_wasted_bits", Coding::kVerbatimWasted, 0, 0, 0, -1, 0, 0},
    {"fixed0_escape9", Coding::kFixed, 0, 0, 1, 9, 0, 0},
    {"fixed1", Coding::kFixed, 1, 0, 2, -1, 0, 0},
    {"fixed2_escape0", Coding::kFixed, 2, 0, 1, 0, 0, 0},
    {"fixed3_wide_params", Coding::kFixed, 3, 1, 2, -1, 0, 0},
    {"fixed4_wide_escape", Coding::kFixed, 4, 1, 1, 12, 0, 0},
    {"lpc1", Coding::kLpc, 1, 0, 0, -1, 12, 4},
    {"lpc5_wide_escape", Coding::kLpc, 5, 1, 2, 10, 14, 9},
    {"lpc13_generic_loop", Coding::kLpc, 13, 0, 0, -1, 15, 13},
    {"lpc32", Coding::kLpc, 32, 0, 0, -1, 11, 10},
    {"lpc_negative_shift", Coding::kLpcNegativeShift, 2, 0, 0, -1, 12, 0},
};

std::vector<uint8_t> StreamInfo(uint64_t total) {
  BitWriter w;
  w.Put(0x664C6143, 32);  // fLaC
  w.Put(0x80, 8);         // STREAMINFO, last
  w.Put(34, 24);
  w.Put(kBlock, 16);
  w.Put(kBlock, 16);
  w.Put(0, 24);
  w.Put(0, 24);
  w.Put(8000, 20);
  w.Put(0, 3);
  w.Put(kBits - 1, 5);
  w.Put(total, 36);
  for (int i = 0; i < 16; ++i) w.Put(0, 8);
  return w.bytes();
}

TEST(FlacHandmadeTest, EveryCodingDecodesToItsSamples) {
  std::mt19937 rnd(7);
  std::vector<int64_t> expected;
  std::vector<uint8_t> frames;
  int damaged = 0;
  uint64_t number = 0;
  for (const Subframe& sf : kSubframes) {
    std::vector<int64_t> s;
    const std::vector<uint8_t> f = Frame(number++, sf, &s, &rnd);
    if (sf.coding == Coding::kLpcNegativeShift) {
      s.assign(kBlock, 0);
      ++damaged;
    }
    frames.insert(frames.end(), f.begin(), f.end());
    expected.insert(expected.end(), s.begin(), s.end());
  }
  // Frame number skipped: its block is silence too.
  ++number;
  expected.insert(expected.end(), kBlock, 0);
  ++damaged;
  std::vector<int64_t> last;
  const std::vector<uint8_t> f = Frame(number, kSubframes[3], &last, &rnd);
  frames.insert(frames.end(), f.begin(), f.end());
  expected.insert(expected.end(), last.begin(), last.end());

  std::vector<uint8_t> stream = StreamInfo(expected.size());
  stream.insert(stream.end(), frames.begin(), frames.end());
  std::unique_ptr<codec::AudioDecoder> d = MakeFlacDecoder();
  ASSERT_TRUE(d->Open(std::make_unique<codec::MemoryByteSource>(stream)));
  std::vector<int32_t> out(expected.size() + 10);
  ASSERT_EQ(d->Read(out.data(), out.size()), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    ASSERT_EQ(out[i], expected[i]) << kSubframes[std::min<size_t>(i / kBlock, std::size(kSubframes) - 1)].name
                                   << " sample " << i % kBlock;
  }
  EXPECT_EQ(d->health().damagedBlocks, damaged);
}

TEST(Md5Test, MatchesTheTestSuiteOfRfc1321) {
  const struct {
    const char* text;
    const char* digest;
  } kSuite[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& t : kSuite) {
    // Whole, and a byte at a time (the partial-block path).
    for (bool bytewise : {false, true}) {
      codec::Md5 md5;
      const size_t n = std::strlen(t.text);
      const uint8_t* p = reinterpret_cast<const uint8_t*>(t.text);
      if (bytewise) {
        for (size_t i = 0; i < n; ++i) md5.Update(p + i, 1);
      } else {
        md5.Update(p, n);
      }
      uint8_t digest[16];
      md5.Finish(digest);
      char hex[33];
      for (int i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02x", digest[i]);
      EXPECT_STREQ(hex, t.digest) << '"' << t.text << '"' << (bytewise ? " bytewise" : "");
    }
  }
}

}  // namespace
}  // namespace cx::flac::test
