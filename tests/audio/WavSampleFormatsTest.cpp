// WAV files in the formats editors write beside plain PCM: floating point
// (format tag 3, or extensible with the float subformat), extensible PCM at
// 24 bits and with more than two channels, and seeking in files whose
// frames are 3 or 6 bytes. Real files through the media source.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "audio/MediaSource.h"
#include "tests/audio/AudioTestFiles.h"

namespace {

Bytes FloatWav(uint16_t tag, uint16_t channels, uint32_t rate, const std::vector<double>& samples, int bytes) {
  Bytes data;
  for (double x : samples) {
    if (bytes == 4) {
      const float f = static_cast<float>(x);
      uint32_t u;
      std::memcpy(&u, &f, 4);
      PutU32(data, u);
    } else {
      uint64_t u;
      std::memcpy(&u, &x, 8);
      PutU32(data, static_cast<uint32_t>(u));
      PutU32(data, static_cast<uint32_t>(u >> 32));
    }
  }
  Bytes chunks;
  const uint16_t bits = static_cast<uint16_t>(bytes * 8);
  if (tag == 0xFFFE) {
    PutChunk(chunks, "fmt ", ExtensibleBody(3, channels, rate, bits, bits, channels == 2 ? 3 : 4));
  } else {
    const uint16_t align = static_cast<uint16_t>(channels * bytes);
    PutChunk(chunks, "fmt ", FormatBody(3, channels, rate, rate * align, align, bits, 18));
  }
  PutChunk(chunks, "data", data);
  return RiffWave(chunks);
}

int32_t S24(const uint8_t* p) {
  return static_cast<int32_t>((p[0] | (p[1] << 8) | (static_cast<uint32_t>(p[2]) << 16)) << 8) >> 8;
}

Bytes ReadAll(MediaSource& source, uint32_t chunk = 4096) {
  Bytes got, buffer(chunk);
  uint32_t count = 0;
  while (source.Read(0, buffer.data(), chunk, nullptr, 0, &count) && count > 0) {
    got.insert(got.end(), buffer.begin(), buffer.begin() + count);
    if (count < chunk) break;
  }
  return got;
}

// Full scale is 1.0 = 2^23; beyond it, and at +1.0 itself, clipped.
TEST(WavSampleFormatsTest, FloatFilesPlayAs24BitPcmClippedToRange) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct { double in; int32_t out; } kValues[] = {
      {0.0, 0},          {0.5, 4194304},     {-0.5, -4194304},   {-1.0, -8388608},  {1.0, 8388607},
      {1.5, 8388607},    {-7.0, -8388608},   {0.25, 2097152},    {1e-7, 1},         {-1e-7, -1},
      {nan, 0},          {0.999999, 8388600},
  };
  std::vector<double> samples;
  for (const auto& v : kValues) samples.push_back(v.in);
  TempFolder dir;
  for (uint16_t tag : {uint16_t{3}, uint16_t{0xFFFE}}) {
    for (int bytes : {4, 8}) {
      SCOPED_TRACE(testing::Message() << "tag " << tag << ", " << bytes * 8 << "-bit");
      const std::string path = dir.Write("float.wav", FloatWav(tag, 2, 48000, samples, bytes));
      MediaSource source;
      ASSERT_TRUE(source.OpenMedia(path.c_str()));
      const MediaInfo& info = source.info();
      EXPECT_EQ(info.kind, kMediaWav);
      EXPECT_STREQ(info.title, "float");
      EXPECT_EQ(info.format.formatTag, 1);
      EXPECT_EQ(info.format.bitsPerSample, 24);
      EXPECT_EQ(info.format.channels, 2);
      EXPECT_EQ(info.format.blockAlign, 6);
      EXPECT_EQ(info.format.avgBytesPerSec, 48000u * 6);
      EXPECT_EQ(info.dataSize, samples.size() * 3);
      const Bytes got = ReadAll(source);
      ASSERT_EQ(got.size(), samples.size() * 3);
      for (size_t i = 0; i < samples.size(); ++i) {
        // Single precision holds 0.999999 only to about 1e-7.
        const int32_t tolerance = bytes == 4 && i == samples.size() - 1 ? 1 : 0;
        EXPECT_NEAR(S24(&got[3 * i]), kValues[i].out, tolerance) << "sample " << i << " = " << kValues[i].in;
      }
      // Bit for bit the 24-bit values where the output takes them; at 16
      // bits, within one step of them.
      source.CloseMedia();
      ASSERT_TRUE(source.OpenMedia(path.c_str()));
      ASSERT_TRUE(source.ReduceTo16Bits());
      EXPECT_EQ(source.info().format.bitsPerSample, 16);
      EXPECT_EQ(source.info().format.blockAlign, 4);
      const Bytes reduced = ReadAll(source);
      ASSERT_EQ(reduced.size(), samples.size() * 2);
      for (size_t i = 0; i < samples.size(); ++i) {
        const int16_t v = static_cast<int16_t>(reduced[2 * i] | (reduced[2 * i + 1] << 8));
        EXPECT_NEAR(v, kValues[i].out / 256.0, 1.5) << "sample " << i;
      }
    }
  }
}

// A second of a float sine: the position and a seek count frames; the frame
// a seek lands on is the one read next.
TEST(WavSampleFormatsTest, FloatFilesSeekToTheFrame) {
  std::vector<double> samples;
  for (int i = 0; i < 8000; ++i) samples.push_back(0.8 * std::sin(i * 0.01) + 1e-4 * (i % 7));
  TempFolder dir;
  const std::string path = dir.Write("sine.wav", FloatWav(3, 1, 8000, samples, 4));
  MediaSource source;
  ASSERT_TRUE(source.OpenMedia(path.c_str()));
  EXPECT_EQ(source.info().duration, 1u);
  EXPECT_EQ(source.Seek(250), 250u);
  EXPECT_EQ(source.PositionMs(), 250u);
  uint8_t three[3];
  uint32_t count = 0;
  ASSERT_TRUE(source.Read(0, three, 3, nullptr, 0, &count));
  ASSERT_EQ(count, 3u);
  EXPECT_NEAR(S24(three), static_cast<float>(samples[2000]) * 8388608.0, 0.5);
  // Past the end: nothing more to read.
  source.Seek(5000);
  EXPECT_TRUE(ReadAll(source).size() <= 3);
}

// Extensible PCM plays as the PCM it is, byte for byte, whatever its
// channel count; 24-bit frames of 3 and 6 bytes seek to whole frames.
TEST(WavSampleFormatsTest, ExtensiblePcmPlaysAsStoredAndSeeksByFrames) {
  TempFolder dir;
  const struct { uint16_t channels, bits, valid; uint32_t mask; } kFiles[] = {
      {2, 24, 24, 0x3}, {1, 24, 20, 0x4}, {6, 16, 16, 0x3F}, {2, 32, 24, 0x3},
  };
  for (const auto& f : kFiles) {
    SCOPED_TRACE(testing::Message() << f.channels << " channels, " << f.bits << "-bit");
    const uint32_t rate = 44100;
    const uint16_t align = static_cast<uint16_t>(f.channels * f.bits / 8);
    const Bytes pcm = TestPcm(align * rate * 2);  // two seconds
    Bytes chunks;
    PutChunk(chunks, "fmt ", ExtensibleBody(1, f.channels, rate, f.bits, f.valid, f.mask));
    PutChunk(chunks, "fact", Bytes(4, 1));
    PutChunk(chunks, "data", pcm);
    const std::string path = dir.Write("ext.wav", RiffWave(chunks));
    MediaSource source;
    ASSERT_TRUE(source.OpenMedia(path.c_str()));
    const PcmFormat& format = source.info().format;
    EXPECT_EQ(format.formatTag, 1);
    EXPECT_EQ(format.channels, f.channels);
    EXPECT_EQ(format.bitsPerSample, f.bits);
    EXPECT_EQ(format.blockAlign, align);
    EXPECT_EQ(ReadAll(source, 3001), pcm);

    // 7 ms: 7 x 0.001f of the byte rate, truncated, then down to a frame.
    uint32_t count = 0;
    for (uint32_t ms : {7u, 1000u, 1234u}) {
      const uint64_t bytes = static_cast<uint64_t>(static_cast<double>(align * rate) * ms * static_cast<double>(0.001f));
      const uint64_t frame = bytes / align;
      EXPECT_EQ(source.Seek(ms), ms);
      uint8_t first[24];
      ASSERT_TRUE(source.Read(0, first, align, nullptr, 0, &count));
      ASSERT_EQ(count, align);
      EXPECT_EQ(0, std::memcmp(first, &pcm[frame * align], align)) << ms << " ms, frame " << frame;
    }
  }
}

// Integer samples deeper than 16 bits go on at 16 bits from the frame the
// next read was due at, for an output that takes no more.
TEST(WavSampleFormatsTest, Deep24BitFilesReduceTo16BitsWhereTheyStand) {
  TempFolder dir;
  const Bytes pcm = TestPcm(6 * 4410);
  const std::string path = dir.Write("deep.wav", SimpleWav(44100, 2, 24, pcm));
  MediaSource source;
  ASSERT_TRUE(source.OpenMedia(path.c_str()));
  uint8_t head[600];
  uint32_t count = 0;
  ASSERT_TRUE(source.Read(0, head, sizeof head, nullptr, 0, &count));
  ASSERT_EQ(0, std::memcmp(head, pcm.data(), sizeof head));
  ASSERT_TRUE(source.ReduceTo16Bits());
  EXPECT_FALSE(source.ReduceTo16Bits());
  EXPECT_EQ(source.info().format.bitsPerSample, 16);
  EXPECT_EQ(source.info().kind, kMediaWav);
  EXPECT_EQ(source.PositionMs(), 100 * 1000 / 44100u);
  const Bytes rest = ReadAll(source);
  ASSERT_EQ(rest.size(), (pcm.size() - sizeof head) / 3 * 2);
  double worst = 0;
  for (size_t i = 0; i < rest.size() / 2; ++i) {
    const int16_t v = static_cast<int16_t>(rest[2 * i] | (rest[2 * i + 1] << 8));
    worst = std::max(worst, std::abs(v - S24(&pcm[sizeof head + 3 * i]) / 256.0));
  }
  EXPECT_LE(worst, 1.5);
  // 16-bit files need nothing.
  const std::string plain = dir.Write("plain.wav", SimpleWav(44100, 2, 16, TestPcm(400)));
  MediaSource other;
  ASSERT_TRUE(other.OpenMedia(plain.c_str()));
  EXPECT_FALSE(other.ReduceTo16Bits());
}

}  // namespace
