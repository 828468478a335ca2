// Damaged input: truncated files, random bytes, flipped bytes, a file that
// is only an ID3v2 tag, empty files and crafted side information. None may
// crash, hang or read outside a buffer (the native build runs this under
// AddressSanitizer and UBSan).
#include <gtest/gtest.h>

#include <random>

#include "mpeg/frame_header.h"
#include "tests/mpeg/test_files.h"

namespace cx::mpeg::test {
namespace {

// Opens and decodes to the end; returns the number of PCM values, or -1
// when the file does not open. A decode that runs longer than the file
// could possibly hold fails the test (no hang).
long DecodeDamaged(const std::vector<uint8_t>& bytes, const std::string& path) {
  EXPECT_TRUE(WriteFile(path, bytes));
  MpegStream stream;
  if (!stream.OpenStream(path)) return -1;
  const int maxBlocks = static_cast<int>(bytes.size() / 24) + 2;  // 24 bytes: smallest frame
  long values = 0;
  int blocks = 0;
  while (stream.DecodeBlock()) {
    values += stream.PcmValues();
    EXPECT_LE(stream.PcmValues(), 4 * 1152 * 2);
    if (++blocks > maxBlocks) {
      ADD_FAILURE() << "decoding does not end";
      break;
    }
  }
  // Seeking in a damaged stream is just as safe.
  for (int64_t f : {int64_t{0}, int64_t{1}, int64_t{6}, stream.info().frameCount / 2, stream.info().frameCount}) {
    stream.SeekFrame(f);
    stream.DecodeBlock();
  }
  return values;
}

const char* const kSamples[] = {"l3-44k-joint-128", "l3-22k-joint-64", "l3-32k-crc-96",
                                "l2-44k-crc-padded-256", "l2-22k-stereo-96-lsf",
                                "l1-48k-joint-256"};

TEST(Damage, TruncatedFiles) {
  const std::string path = TempPath("cut.bin");
  for (const char* name : kSamples) {
    SCOPED_TRACE(name);
    std::vector<uint8_t> bytes = ReadFile(FixtureNamed(name).path);
    ASSERT_GT(bytes.size(), 5000u);
    long whole = DecodeDamaged(bytes, path);
    for (size_t cut : {size_t{1}, size_t{3}, size_t{4}, size_t{5}, size_t{40}, size_t{300},
                       size_t{1001}, bytes.size() / 2 + 7, bytes.size() - 1}) {
      std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<long>(cut));
      long values = DecodeDamaged(part, path);
      EXPECT_LE(values, whole) << "cut at " << cut;
    }
  }
  std::remove(path.c_str());
}

TEST(Damage, RandomBytes) {
  const std::string path = TempPath("random.bin");
  std::mt19937 rng(11);
  for (size_t size : {size_t{1}, size_t{4}, size_t{100}, size_t{5000}, size_t{70000}}) {
    for (int round = 0; round < 4; ++round) {
      std::vector<uint8_t> bytes(size);
      for (auto& b : bytes) b = static_cast<uint8_t>(rng());
      // Make sync words common, so frames are attempted.
      for (size_t i = 0; i + 1 < size; i += 97) bytes[i] = 0xFF, bytes[i + 1] |= 0xF0;
      DecodeDamaged(bytes, path);
    }
  }
  std::remove(path.c_str());
}

TEST(Damage, FlippedBytes) {
  const std::string path = TempPath("flipped.bin");
  std::mt19937 rng(12);
  for (const char* name : kSamples) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> clean = ReadFile(FixtureNamed(name).path);
    for (int rate : {2000, 200, 20}) {
      std::vector<uint8_t> bytes = clean;
      for (size_t i = 0; i < bytes.size(); ++i) {
        if (rng() % static_cast<unsigned>(rate) == 0) bytes[i] ^= static_cast<uint8_t>(1 + rng() % 255);
      }
      EXPECT_GE(DecodeDamaged(bytes, path), 0) << "the first header was damaged";
    }
  }
  std::remove(path.c_str());
}

TEST(Damage, EmptyTagOnlyAndMissingFiles) {
  const std::string path = TempPath("empty.bin");
  EXPECT_EQ(DecodeDamaged({}, path), -1);
  // Only an ID3v2 tag, with a false sync word inside.
  std::vector<uint8_t> tag = {'I', 'D', '3', 4, 0, 0, 0, 0, 1, 0};
  tag.resize(10 + 128, 0);
  tag[50] = 0xFF;
  tag[51] = 0xFB;
  tag[52] = 0x90;
  EXPECT_EQ(DecodeDamaged(tag, path), -1);
  // A tag declaring more bytes than the file has.
  tag[6] = 0x7F;
  EXPECT_EQ(DecodeDamaged(tag, path), -1);
  // Only an ID3v1 tag.
  std::vector<uint8_t> v1(128, 0);
  v1[0] = 'T', v1[1] = 'A', v1[2] = 'G';
  EXPECT_EQ(DecodeDamaged(v1, path), -1);
  MpegStream stream;
  EXPECT_FALSE(stream.OpenStream("no-such-dir/missing.mp3"));
  EXPECT_FALSE(stream.DecodeBlock());
  EXPECT_FALSE(stream.SeekFrame(0));
  std::remove(path.c_str());
}

void SetBits(std::vector<uint8_t>& bytes, size_t bitPos, int n, uint32_t value) {
  for (int k = 0; k < n; ++k) {
    size_t bit = bitPos + static_cast<size_t>(k);
    uint8_t mask = static_cast<uint8_t>(0x80 >> (bit % 8));
    if ((value >> (n - 1 - k)) & 1) {
      bytes[bit / 8] |= mask;
    } else {
      bytes[bit / 8] &= static_cast<uint8_t>(~mask);
    }
  }
}

TEST(Damage, BigValuesBeyondTheGranuleStopAt576) {
  Fixture f = FixtureNamed("l3-44k-stereo-192");
  std::vector<uint8_t> bytes = ReadFile(f.path);
  std::vector<size_t> frames = FrameOffsets(bytes);
  ASSERT_GT(frames.size(), 20u);
  // Stereo MPEG-1 side information: main_data_begin 9, private 3, scfsi 8,
  // then part2_3_length 12 and big_values 9 of granule 0, channel 0.
  for (size_t k = 3; k < frames.size(); k += 5) SetBits(bytes, frames[k] * 8 + 32 + 20 + 12, 9, 511);
  const std::string path = TempPath("bigvalues.mp3");
  ASSERT_TRUE(WriteFile(path, bytes));
  MpegStream stream;
  ASSERT_TRUE(stream.OpenStream(path));
  std::vector<int16_t> pcm = DecodeAll(stream);
  EXPECT_GT(stream.layer3().stats().bigValuesClamped, 0u);
  // Decoding stops at the 576th value and goes on: every frame still plays.
  MpegStream clean;
  ASSERT_TRUE(clean.OpenStream(f.path));
  EXPECT_EQ(pcm.size(), DecodeAll(clean).size());
  std::remove(path.c_str());
}

TEST(Damage, WindowSwitchingWithBlockType0FailsTheFrame) {
  Fixture f = FixtureNamed("l3-44k-stereo-192");
  std::vector<uint8_t> bytes = ReadFile(f.path);
  std::vector<size_t> frames = FrameOffsets(bytes);
  ASSERT_GT(frames.size(), 10u);
  // Granule 0, channel 0: ... global_gain 8, scalefac_compress 4, then the
  // window switching flag and block_type.
  const size_t flag = frames[5] * 8 + 32 + 20 + 12 + 9 + 8 + 4;
  SetBits(bytes, flag, 3, 0x4);  // flag 1, block_type 0
  const std::string path = TempPath("blocktype.mp3");
  ASSERT_TRUE(WriteFile(path, bytes));
  MpegStream stream;
  ASSERT_TRUE(stream.OpenStream(path));
  std::vector<FrameResult> results;
  for (int i = 0; i < 8; ++i) results.push_back(stream.DecodeFrame());
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(results[i], i == 5 ? FrameResult::kBadFrame : FrameResult::kDecoded) << i;
  }
  std::remove(path.c_str());
}

TEST(Damage, StreamCutInTheMiddleFailsFramesWithoutTheirMainData) {
  // A file starting at a later frame: its first frame points back into
  // main data that is not there and produces no samples.
  Fixture f = FixtureNamed("l3-44k-joint-128");
  std::vector<uint8_t> bytes = ReadFile(f.path);
  std::vector<size_t> frames = FrameOffsets(bytes);
  ASSERT_GT(frames.size(), 40u);
  size_t start = 0;
  for (size_t k = 10; k < frames.size() && !start; ++k) {
    // main_data_begin: the 9 bits behind the header
    uint32_t begin = (static_cast<uint32_t>(bytes[frames[k] + 4]) << 1) | (bytes[frames[k] + 5] >> 7);
    if (begin > 0) start = frames[k];
  }
  ASSERT_NE(start, 0u) << "no frame uses the reservoir";
  std::vector<uint8_t> cut(bytes.begin() + static_cast<long>(start), bytes.end());
  const std::string path = TempPath("cut.mp3");
  ASSERT_TRUE(WriteFile(path, cut));
  MpegStream stream;
  ASSERT_TRUE(stream.OpenStream(path));
  EXPECT_EQ(stream.DecodeFrame(), FrameResult::kBadFrame);
  EXPECT_GT(stream.layer3().side().main_data_begin, 0u);
  ASSERT_TRUE(stream.DecodeBlock());
  std::remove(path.c_str());
}

}  // namespace
}  // namespace cx::mpeg::test
