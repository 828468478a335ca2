// Bit readers, frame headers and the frame-length arithmetic.
#include <gtest/gtest.h>

#include <random>

#include "mpeg/bit_reader.h"
#include "mpeg/frame_header.h"
#include "mpeg/mpeg_stream.h"
#include "tests/mpeg/test_files.h"

namespace cx::mpeg::test {
namespace {

// Bit i of a byte string, first bit most significant.
uint32_t BitAt(const std::vector<uint8_t>& bytes, size_t i) {
  return i / 8 < bytes.size() ? (bytes[i / 8] >> (7 - i % 8)) & 1 : 0;
}

uint32_t BitsAt(const std::vector<uint8_t>& bytes, size_t from, int n) {
  uint32_t v = 0;
  for (int k = 0; k < n; ++k) v = (v << 1) | BitAt(bytes, from + k);
  return v;
}

std::vector<uint8_t> RandomBytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> bytes(n);
  for (auto& b : bytes) b = static_cast<uint8_t>(rng());
  return bytes;
}

TEST(BitReader, ReadsAcrossBufferRefillsLikeABitString) {
  const std::vector<uint8_t> bytes = RandomBytes(1000, 1);
  const std::string path = TempPath("bits.bin");
  ASSERT_TRUE(WriteFile(path, bytes));
  // A small buffer makes the reader refill many times; widths vary so that
  // reads straddle bytes and refills.
  for (int size : {64, 100, 40960}) {
    BitReader reader(size);
    ASSERT_TRUE(reader.Open(path));
    EXPECT_EQ(reader.FileLength(), 1000);
    std::mt19937 rng(size);
    size_t pos = 0;
    while (pos + 32 <= bytes.size() * 8) {
      int n = 1 + static_cast<int>(rng() % 32);
      ASSERT_EQ(reader.GetBits(n), BitsAt(bytes, pos, n)) << "at bit " << pos << " size " << size;
      pos += static_cast<size_t>(n);
      EXPECT_EQ(reader.BitsRead(), static_cast<int64_t>(pos));
    }
    EXPECT_FALSE(reader.EndOfFile());
  }
  std::remove(path.c_str());
}

TEST(BitReader, PastTheEndGivesZerosAndSetsEndOfFile) {
  const std::string path = TempPath("short.bin");
  ASSERT_TRUE(WriteFile(path, {0xAB, 0xCD}));
  BitReader reader(64);
  ASSERT_TRUE(reader.Open(path));
  EXPECT_EQ(reader.GetBits(16), 0xABCDu);
  EXPECT_FALSE(reader.EndOfFile());
  EXPECT_EQ(reader.GetBits(8), 0u);
  EXPECT_TRUE(reader.EndOfFile());
  EXPECT_EQ(reader.BitsRead(), 24);
  EXPECT_EQ(reader.GetBits(0), 0u);
  // A seek back clears the end and counts bits from the new position.
  ASSERT_TRUE(reader.SeekByte(1));
  EXPECT_FALSE(reader.EndOfFile());
  EXPECT_EQ(reader.GetBits(8), 0xCDu);
  EXPECT_EQ(reader.BitsRead(), 8);
  std::remove(path.c_str());
}

TEST(BitReader, BytesReadWholeOrInPiecesAgree) {
  const std::vector<uint8_t> bytes = RandomBytes(5000, 2);
  const std::string path = TempPath("bytes.bin");
  ASSERT_TRUE(WriteFile(path, bytes));
  BitReader whole(128), pieces(128);
  ASSERT_TRUE(whole.Open(path));
  ASSERT_TRUE(pieces.Open(path));
  std::vector<uint8_t> a(5000), b(5000);
  whole.GetBytes(a.data(), 5000);
  for (int at = 0; at < 5000; at += 7) pieces.GetBytes(b.data() + at, std::min(7, 5000 - at));
  EXPECT_EQ(a, bytes);
  EXPECT_EQ(b, bytes);
  EXPECT_FALSE(whole.EndOfFile());
  uint8_t extra[4] = {1, 2, 3, 4};
  whole.GetBytes(extra, 4);
  EXPECT_TRUE(whole.EndOfFile());
  EXPECT_EQ(extra[0] | extra[1] | extra[2] | extra[3], 0);
  std::remove(path.c_str());
}

TEST(BitReader, MissingFileDoesNotOpen) {
  BitReader reader;
  EXPECT_FALSE(reader.Open("no-such-dir/no-such-file.mp3"));
  EXPECT_EQ(reader.GetBits(8), 0u);
}

TEST(BitReservoir, ReadsRewindsAndWrapsAround) {
  BitReservoir reservoir(65536);
  ASSERT_TRUE(reservoir.valid());
  // More than the buffer holds, so reads cross the wrap many times.
  const std::vector<uint8_t> bytes = RandomBytes(200000, 3);
  std::mt19937 rng(4);
  size_t put = 0, pos = 0;
  while (put < bytes.size()) {
    for (int i = 0; i < 500 && put < bytes.size(); ++i) reservoir.PutByte(bytes[put++]);
    while (pos + 40 < put * 8) {
      int n = 1 + static_cast<int>(rng() % 32);
      uint32_t v = reservoir.GetBits(n);
      ASSERT_EQ(v, BitsAt(bytes, pos, n)) << "at bit " << pos;
      if (rng() % 4 == 0) {
        // Giving bits back returns to exactly the same place.
        reservoir.RewindBits(static_cast<uint64_t>(n));
        ASSERT_EQ(reservoir.GetBits(n), v);
      }
      pos += static_cast<size_t>(n);
    }
  }
  EXPECT_EQ(reservoir.TotalBits(), pos);
}

TEST(BitReservoir, BytesNotYetPutReadAsZeros) {
  BitReservoir reservoir(65536);
  reservoir.PutByte(0xFF);
  EXPECT_EQ(reservoir.GetBits(4), 0xFu);
  EXPECT_EQ(reservoir.GetBits(8), 0xF0u);
  EXPECT_EQ(reservoir.GetBits(32), 0u);
  EXPECT_EQ(reservoir.TotalBits(), 44u);
  reservoir.RewindBits(40);
  EXPECT_EQ(reservoir.GetBits(4), 0xFu);
  reservoir.Reset();
  EXPECT_EQ(reservoir.TotalBits(), 0u);
  EXPECT_EQ(reservoir.GetBits(8), 0u);
}

// The 20 bits behind the sync word, from the fields in order.
uint32_t HeaderBits(uint32_t id, uint32_t layer, uint32_t protection, uint32_t bitrate,
                    uint32_t rate, uint32_t padding, uint32_t mode, uint32_t ext = 0) {
  return (id << 19) | (layer << 17) | (protection << 16) | (bitrate << 12) | (rate << 10) |
         (padding << 9) | (mode << 6) | (ext << 4);
}

TEST(FrameHeader, ValidityRules) {
  struct Case {
    uint32_t bits;
    bool valid;
  };
  const Case cases[] = {
      {HeaderBits(1, 1, 1, 9, 0, 0, 1), true},     // MPEG-1 Layer III 128k
      {HeaderBits(1, 0, 1, 9, 0, 0, 1), false},    // layer code 0
      {HeaderBits(1, 1, 1, 0, 0, 0, 1), false},    // free format
      {HeaderBits(1, 1, 1, 15, 0, 0, 1), false},   // bitrate index 15
      {HeaderBits(1, 1, 1, 9, 3, 0, 1), false},    // sampling index 3
      {HeaderBits(0, 1, 1, 8, 0, 0, 3), true},     // 22.05 kHz Layer III
      {HeaderBits(1, 3, 0, 14, 2, 1, 0), true},    // Layer I with CRC
  };
  for (const Case& c : cases) {
    FrameHeader h;
    EXPECT_EQ(DecodeHeaderBits(c.bits, &h), c.valid) << std::hex << c.bits;
  }
}

TEST(FrameHeader, VersionBitsAndTheQuarteredRates) {
  // Whole header words: 11 sync bits, then version, layer and the fields.
  auto word = [](uint32_t version, uint32_t layer, uint32_t bitrate, uint32_t rate, uint32_t mode) {
    return 0xFFE00000u | (version << 19) | (layer << 17) | (1u << 16) | (bitrate << 12) | (rate << 10) |
           (mode << 6);
  };
  struct Case {
    uint32_t word;
    bool valid;
    uint32_t rate;
    int frameBytes;
  };
  const Case cases[] = {
      {word(0, 1, 3, 2, 1), true, 8000, 216},    // 24k at 8 kHz
      {word(0, 1, 1, 0, 3), true, 11025, 52},    // 8k at 11.025 kHz, rounded down
      {word(0, 1, 8, 1, 0), true, 12000, 384},   // 64k at 12 kHz
      {word(0, 1, 14, 2, 0), true, 8000, 1440},  // 160k, the top of the LSF table
      {word(0, 2, 3, 2, 1), false, 0, 0},        // Layer II has no quartered rates
      {word(0, 3, 3, 2, 1), false, 0, 0},        // nor Layer I
      {word(1, 1, 3, 2, 1), false, 0, 0},        // reserved version
      {word(0, 1, 3, 3, 1), false, 0, 0},        // sampling index 3
      {word(2, 1, 3, 2, 1), true, 16000, 108},   // the same fields as MPEG-2
      {word(3, 1, 9, 0, 1), true, 44100, 417},
      {0xFFC00000u | (3u << 19) | (1u << 17) | (9u << 12), false, 0, 0},  // ten sync bits
  };
  for (const Case& c : cases) {
    FrameHeader h;
    ASSERT_EQ(DecodeHeaderWord(c.word, &h), c.valid) << std::hex << c.word;
    if (!c.valid) continue;
    EXPECT_EQ(SamplingRate(h), c.rate) << std::hex << c.word;
    EXPECT_EQ(FrameBytes(h), c.frameBytes) << std::hex << c.word;
    EXPECT_EQ(SamplesPerFrame(h), c.rate < 32000 ? 576 : 1152);
  }
  // A stream at 8 kHz and one at 16 kHz share every field but the version.
  FrameHeader quartered, half;
  ASSERT_TRUE(DecodeHeaderWord(word(0, 1, 3, 2, 1), &quartered));
  ASSERT_TRUE(DecodeHeaderWord(word(2, 1, 3, 2, 1), &half));
  EXPECT_FALSE(HeaderMatches(quartered, half));
  EXPECT_TRUE(HeaderMatches(quartered, quartered));
}

TEST(FrameHeader, FrameAndMainDataLengths) {
  struct Case {
    uint32_t bits;
    int frameBytes;
    int mainDataBytes;  // Layer III only
    int samples;
  };
  const Case cases[] = {
      {HeaderBits(1, 1, 1, 9, 0, 0, 1), 417, 381, 1152},   // 128k 44.1 kHz
      {HeaderBits(1, 1, 1, 9, 0, 1, 1), 418, 382, 1152},   // with padding
      {HeaderBits(1, 1, 0, 9, 0, 0, 1), 417, 379, 1152},   // with CRC
      {HeaderBits(1, 1, 1, 9, 0, 0, 3), 417, 396, 1152},   // mono side info 17
      {HeaderBits(0, 1, 1, 8, 0, 0, 0), 208, 187, 576},    // 64k 22.05 kHz
      {HeaderBits(0, 1, 1, 8, 0, 0, 3), 208, 195, 576},    // mono
      {HeaderBits(1, 3, 1, 12, 0, 0, 0), 416, 0, 384},     // Layer I 384k 44.1
      {HeaderBits(1, 3, 1, 12, 0, 1, 0), 420, 0, 384},     // padding is 4 bytes
      {HeaderBits(1, 2, 1, 10, 1, 0, 0), 576, 0, 1152},    // Layer II 192k 48
      {HeaderBits(0, 2, 1, 10, 0, 0, 0), 626, 0, 1152},    // Layer II 96k 22.05, not halved
  };
  for (const Case& c : cases) {
    FrameHeader h;
    ASSERT_TRUE(DecodeHeaderBits(c.bits, &h));
    EXPECT_EQ(FrameBytes(h), c.frameBytes) << std::hex << c.bits;
    if (h.layerCode == 1) {
      EXPECT_EQ(MainDataBytes(h), c.mainDataBytes) << std::hex << c.bits;
    }
    EXPECT_EQ(SamplesPerFrame(h), c.samples);
  }
}

TEST(FrameHeader, Layer2AllocationTableChoice) {
  struct Case {
    uint32_t bits;
    int table;
    int limit;
  };
  const Case cases[] = {
      {HeaderBits(1, 2, 1, 8, 1, 0, 0), 0, 27},   // 48 kHz 128k stereo
      {HeaderBits(1, 2, 1, 10, 0, 0, 0), 1, 30},  // 44.1 kHz 192k stereo
      {HeaderBits(1, 2, 1, 4, 1, 0, 0), 2, 8},    // 48 kHz 64k stereo
      {HeaderBits(1, 2, 1, 4, 2, 0, 0), 3, 12},   // 32 kHz 64k stereo
      {HeaderBits(1, 2, 1, 6, 2, 0, 3), 1, 30},   // 32 kHz 96k mono
      {HeaderBits(0, 2, 1, 6, 0, 0, 0), 4, 30},   // lower sampling frequency
  };
  for (const Case& c : cases) {
    FrameHeader h;
    ASSERT_TRUE(DecodeHeaderBits(c.bits, &h));
    EXPECT_EQ(h.layer2Table, c.table) << std::hex << c.bits;
    EXPECT_EQ(h.subbandLimit, c.limit);
  }
  // Joint stereo bound in subbands for Layer II, never above the limit.
  FrameHeader h;
  ASSERT_TRUE(DecodeHeaderBits(HeaderBits(1, 2, 1, 4, 1, 0, 1, 3), &h));
  EXPECT_EQ(h.jointBound, 8);
  ASSERT_TRUE(DecodeHeaderBits(HeaderBits(1, 2, 1, 4, 1, 0, 1, 0), &h));
  EXPECT_EQ(h.jointBound, 4);
}

TEST(FindSync, OnlyByteAlignedSyncWordsAreTaken) {
  // 0x0F 0xFF 0x0... holds twelve ones straddling a byte boundary; the real
  // header starts at byte 4.
  std::vector<uint8_t> bytes = {0x0F, 0xFF, 0x00, 0x12, 0xFF, 0xFB, 0x90, 0x44};
  bytes.resize(4 + 417, 0);  // the frame the header announces ends the file
  const std::string path = TempPath("sync.bin");
  ASSERT_TRUE(WriteFile(path, bytes));
  MpegStream stream;
  ASSERT_TRUE(stream.OpenStream(path));
  EXPECT_EQ(stream.FirstFrameOffset(), 4);
  EXPECT_EQ(stream.info().frameCount, 1);
  EXPECT_EQ(stream.info().bitrate, 128000u);
  EXPECT_EQ(stream.info().samplingRate, 44100u);
  std::remove(path.c_str());
}

TEST(OpenStream, FileShorterThanOneFrameFails) {
  std::vector<uint8_t> bytes = {0xFF, 0xFB, 0x90, 0x44};
  bytes.resize(416, 0);
  const std::string path = TempPath("short.mp3");
  ASSERT_TRUE(WriteFile(path, bytes));
  MpegStream stream;
  EXPECT_FALSE(stream.OpenStream(path));
  bytes.resize(417, 0);
  ASSERT_TRUE(WriteFile(path, bytes));
  ASSERT_TRUE(stream.OpenStream(path));
  EXPECT_EQ(stream.info().frameCount, 1);
  std::remove(path.c_str());
}

}  // namespace
}  // namespace cx::mpeg::test
