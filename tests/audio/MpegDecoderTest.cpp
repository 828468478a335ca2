#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "audio/MediaSource.h"
#include "mpeg/mpeg_stream.h"
#include "tests/audio/AudioTestFiles.h"
#include "tests/mpeg/RepeatedFrameSource.h"

namespace {

// Fixtures made by the decoder's tests in the build folder (the working
// folder of every test).
std::string Fixture(const char* name) {
  return (std::filesystem::current_path() / "mpeg-fixtures" / name).make_preferred().string();
}

// What the decoder itself produces for a file, block after block.
Bytes Reference(const std::string& path) {
  auto stream = std::make_unique<cx::mpeg::MpegStream>();
  Bytes pcm;
  if (!stream->OpenStream(path)) return pcm;
  while (stream->DecodeBlock()) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(stream->PcmBlock());
    pcm.insert(pcm.end(), bytes, bytes + 2 * stream->PcmValues());
  }
  return pcm;
}

// Reads a source to its end through regions of the given sizes.
Bytes ReadAll(MediaSource& source, uint32_t length1, uint32_t length2, uint32_t* lastCount) {
  Bytes got, a(length1), b(length2 ? length2 : 1);
  uint32_t count = 0;
  for (int guard = 0; guard < 100000; ++guard) {
    const bool ok = source.Read(0, a.data(), length1, length2 ? b.data() : nullptr, length2, &count);
    if (!ok) break;
    const uint32_t first = count < length1 ? count : length1;
    got.insert(got.end(), a.begin(), a.begin() + first);
    got.insert(got.end(), b.begin(), b.begin() + (count - first));
    *lastCount = count;
  }
  EXPECT_EQ(count, 0u);
  return got;
}

TEST(MpegDecoderTest, OpensThroughTheMediaSource) {
  const std::string path = Fixture("l3-44k-joint-128.mp3");
  MediaSource source;
  ASSERT_TRUE(source.OpenMedia(path.c_str()));
  const MediaInfo& info = source.info();
  EXPECT_EQ(info.kind, kMediaMpeg);
  EXPECT_EQ(info.format.formatTag, 1);
  EXPECT_EQ(info.format.channels, 2);
  EXPECT_EQ(info.format.samplesPerSec, 44100u);
  EXPECT_EQ(info.format.avgBytesPerSec, 176400u);
  EXPECT_EQ(info.format.blockAlign, 4);
  EXPECT_EQ(info.format.bitsPerSample, 16);
  EXPECT_EQ(info.format.extraSize, 18);
  EXPECT_STREQ(info.text3, "Unknown");
  EXPECT_STREQ(info.text4, "Unknown");
#ifdef _WIN32
  EXPECT_STREQ(info.title, "l3-44k-joint-128");  // no tag: the file's name
#endif
  EXPECT_EQ(info.duration, 3u);
  EXPECT_GT(info.dataSize, 176400u * 2);
  EXPECT_EQ(info.spare, 0u);
}

TEST(MpegDecoderTest, TagTextsFillTheBlock) {
  TempFolder dir;
  Bytes file = ReadWholeFile(Fixture("l3-44k-joint-128.mp3"));
  ASSERT_FALSE(file.empty());
  Bytes tag(128, 0);
  std::memcpy(tag.data(), "TAG", 3);
  std::memcpy(tag.data() + 3, "A Title Of Exactly Thirty Char", 30);
  std::memcpy(tag.data() + 33, "Artist", 6);
  std::memcpy(tag.data() + 63, "Album", 5);
  std::memcpy(tag.data() + 93, "1999", 4);
  std::memcpy(tag.data() + 97, "Comment", 7);
  file.insert(file.end(), tag.begin(), tag.end());
  const std::string path = dir.Write("tagged.MP3", file);
  MediaSource source;
  ASSERT_TRUE(source.OpenMedia(path.c_str()));
  EXPECT_STREQ(source.info().title, "A Title Of Exactly Thirty Char");
  EXPECT_STREQ(source.info().artist, "Artist");
  EXPECT_STREQ(source.info().comment, "Comment");
  EXPECT_STREQ(source.info().text3, "Unknown");
}

TEST(MpegDecoderTest, Id3v2TitleInTheAnsiCodePage) {
  // UTF-16 "Café 中" and 45 more letters: the title field takes 39 bytes of
  // the code page; a character it lacks becomes "?". The ID3v1 tag still
  // gives the other texts.
  Bytes title = {1, 0xFF, 0xFE};
  for (uint16_t c : {u'C', u'a', u'f', u'\u00E9', u' ', u'\u4E2D'}) title.insert(title.end(), {uint8_t(c), uint8_t(c >> 8)});
  for (int i = 0; i < 45; ++i) title.insert(title.end(), {uint8_t('a' + i % 26), 0});
  Bytes file = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, uint8_t(10 + title.size()), 'T', 'I', 'T', '2', 0, 0, 0, uint8_t(title.size()), 0, 0};
  file.insert(file.end(), title.begin(), title.end());
  const Bytes mp3 = ReadWholeFile(Fixture("l3-44k-joint-128.mp3"));
  file.insert(file.end(), mp3.begin(), mp3.end());
  Bytes v1(128, 0);
  std::memcpy(v1.data(), "TAGOld title", 12);
  std::memcpy(v1.data() + 33, "Artist", 6);
  file.insert(file.end(), v1.begin(), v1.end());
  TempFolder dir;
  const std::string path = dir.Write("titled.mp3", file);
  MediaSource source;
  ASSERT_TRUE(source.OpenMedia(path.c_str()));
  EXPECT_STREQ(source.info().title, "Caf\xE9 ?abcdefghijklmnopqrstuvwxyzabcdefg");
  EXPECT_STREQ(source.info().artist, "Artist");
}

TEST(MpegDecoderTest, TimesFromSamplesAndTotalsBeyond32Bits) {
  // A Layer I frame at 44.1 kHz lasts 8.7 ms: 250 of them are 2176 ms.
  MediaSource layer1;
  ASSERT_TRUE(layer1.OpenMedia(Fixture("l1-44k-stereo-384.mp1").c_str()));
  uint32_t last = 0;
  EXPECT_EQ(ReadAll(layer1, 8192, 0, &last).size(), 250u * 384 * 4);
  EXPECT_EQ(layer1.PositionMs(), 2176u);
  // Seeks land on the sample itself, not on the start of its frame.
  EXPECT_EQ(layer1.Seek(1000), 1000u);
  EXPECT_EQ(layer1.PositionMs(), 1000u);

  // Eight hours of 44.1 kHz stereo: 5.08 GB of PCM, more than the block's
  // 32-bit size holds.
  const Bytes l2 = ReadWholeFile(Fixture("l2-44k-stereo-192-table-b.mp2"));
  cx::mpeg::FrameHeader h;
  ASSERT_TRUE(cx::mpeg::DecodeHeaderBits((l2[1] & 0x0Fu) << 16 | l2[2] << 8 | l2[3], &h));
  const Bytes frame(l2.begin(), l2.begin() + cx::mpeg::FrameBytes(h));
  MediaSource decoder;
  ASSERT_TRUE(decoder.OpenStream(kMediaMpeg, std::make_unique<cx::mpeg::test::RepeatedFrameSource>(Bytes{}, frame, 1102500),
                                 "eight-hours.mp2"));
  EXPECT_EQ(decoder.info().dataSize, 0xFFFFFFFFu);
  EXPECT_EQ(decoder.info().duration, 8u * 3600);
  decoder.Seek(4 * 3600 * 1000);
  EXPECT_NEAR(decoder.PositionMs(), 4.0 * 3600 * 1000, 27);
}

TEST(MpegDecoderTest, ReadsWholeAndInSmallPiecesExactlyAsDecoded) {
  for (const char* name : {"l3-44k-joint-128.mp3", "l3-16k-mono-32.mp3", "l2-48k-joint-128-table-a.mp2"}) {
    SCOPED_TRACE(name);
    const std::string path = Fixture(name);
    const Bytes reference = Reference(path);
    ASSERT_GT(reference.size(), 10000u);
    for (auto [l1, l2] : {std::pair<uint32_t, uint32_t>{1 << 20, 0}, {176400, 0}, {1000, 0},
                          {777, 333}, {10000, 10000}, {3, 5}}) {
      SCOPED_TRACE(testing::Message() << l1 << "+" << l2);
      if (l1 < 100 && reference.size() > 200000) continue;  // keep the run short
      MediaSource source;
      ASSERT_TRUE(source.OpenMedia(path.c_str()));
      uint32_t last = 0;
      const Bytes got = ReadAll(source, l1, l2, &last);
      EXPECT_EQ(got.size(), reference.size());
      EXPECT_TRUE(got == reference);
      EXPECT_EQ(source.info().dataSize % source.info().format.blockAlign, 0u);
    }
  }
}

TEST(MpegDecoderTest, TwoRegionsOfTenThousandBytes) {
  const std::string path = Fixture("l3-44k-joint-128.mp3");
  const Bytes reference = Reference(path);
  MediaSource source;
  uint32_t count = 9;
  uint8_t probe[4];
  EXPECT_FALSE(source.Read(0, probe, 4, nullptr, 0, &count));  // not open
  EXPECT_EQ(count, 0u);
  ASSERT_TRUE(source.OpenMedia(path.c_str()));
  Bytes a(10000), b(10000);
  ASSERT_TRUE(source.Read(0, a.data(), 10000, b.data(), 10000, &count));
  EXPECT_EQ(count, 20000u);
  EXPECT_TRUE(std::equal(a.begin(), a.end(), reference.begin()));
  EXPECT_TRUE(std::equal(b.begin(), b.end(), reference.begin() + 10000));
  // The position is what was delivered (5000 frames), not what was decoded.
  EXPECT_EQ(source.PositionMs(), 5000u * 1000 / 44100);
  Bytes rest(16864);
  ASSERT_TRUE(source.Read(0, rest.data(), 16864, nullptr, 0, &count));
  EXPECT_EQ(count, 16864u);
  EXPECT_TRUE(std::equal(rest.begin(), rest.end(), reference.begin() + 20000));
  source.CloseMedia();
  EXPECT_EQ(source.PositionMs(), 0u);
  EXPECT_FALSE(source.Read(0, rest.data(), 1, nullptr, 0, &count));
  EXPECT_EQ(source.Seek(100), kSeekFailed);
}

TEST(MpegDecoderTest, EndOfStreamZeroFills) {
  const std::string path = Fixture("l3-16k-mono-32.mp3");
  const Bytes reference = Reference(path);
  MediaSource source;
  ASSERT_TRUE(source.OpenMedia(path.c_str()));
  EXPECT_EQ(source.info().format.blockAlign, 2);
  EXPECT_EQ(source.info().format.channels, 1);
  const uint32_t total = static_cast<uint32_t>(reference.size());
  Bytes buf(total + 5000, 0xAB);
  uint32_t count = 0;
  ASSERT_TRUE(source.Read(0, buf.data(), total - 100, buf.data() + total - 100, 5100, &count));
  EXPECT_EQ(count, total);
  EXPECT_TRUE(std::equal(buf.begin(), buf.begin() + total, reference.begin()));
  EXPECT_TRUE(std::all_of(buf.begin() + total, buf.end(), [](uint8_t v) { return v == 0; }));
  std::fill(buf.begin(), buf.end(), 0xAB);
  EXPECT_FALSE(source.Read(0, buf.data(), 100, buf.data() + 100, 100, &count));
  EXPECT_EQ(count, 0u);
  EXPECT_TRUE(std::all_of(buf.begin(), buf.begin() + 200, [](uint8_t v) { return v == 0; }));
}

TEST(MpegDecoderTest, SeekArithmetic) {
  const std::string path = Fixture("l3-44k-joint-128.mp3");
  const Bytes reference = Reference(path);
  MediaSource source;
  ASSERT_TRUE(source.OpenMedia(path.c_str()));
  Bytes buf(18432 * 2);
  uint32_t count = 0;
  ASSERT_TRUE(source.Read(0, buf.data(), static_cast<uint32_t>(buf.size()), nullptr, 0, &count));
  EXPECT_EQ(source.PositionMs(), 9216u * 1000 / 44100);
  // Seek returns where it went: 200 ms is sample 8820, inside frame 7,
  // and the read goes on from that very sample.
  EXPECT_EQ(source.Seek(200), 200u);
  EXPECT_EQ(source.PositionMs(), 200u);
  ASSERT_TRUE(source.Read(0, buf.data(), 18432, nullptr, 0, &count));
  EXPECT_EQ(count, 18432u);
  EXPECT_TRUE(std::equal(buf.begin(), buf.begin() + 18432, reference.begin() + 8820 * 4));
  EXPECT_EQ(source.PositionMs(), (8820u + 4608) * 1000 / 44100);
  // Back to the start: the first frames again, exactly.
  source.Seek(0);
  EXPECT_EQ(source.PositionMs(), 0u);
  ASSERT_TRUE(source.Read(0, buf.data(), 18432, nullptr, 0, &count));
  EXPECT_TRUE(std::equal(buf.begin(), buf.begin() + 18432, reference.begin()));
  // Past the end: the last frame, then the end.
  source.Seek(1000000);
  uint32_t last = 0;
  const Bytes tail = ReadAll(source, 4096, 0, &last);
  EXPECT_GT(tail.size(), 0u);
  EXPECT_LE(tail.size(), 4u * 1152 * 4);
  // A seek after the end makes it play again.
  source.Seek(1000);
  EXPECT_TRUE(source.Read(0, buf.data(), 100, nullptr, 0, &count));
}

TEST(MpegDecoderTest, DamagedAndHostileFiles) {
  TempFolder dir;
  const Bytes good = ReadWholeFile(Fixture("l3-44k-joint-128.mp3"));
  ASSERT_GT(good.size(), 4000u);
  std::vector<std::pair<std::string, Bytes>> files = {
      {"empty.mp3", Bytes{}},
      {"text.mp3", Bytes(5000, 'x')},
      {"noise.mp2", TestPcm(20000, 3)},
      {"wave.mp3", SimpleWav(8000, 1, 8, TestPcm(800))},
      {"four.mp3", Bytes(good.begin(), good.begin() + 4)},
      {"cut.mp3", Bytes(good.begin(), good.begin() + 3000)},
      {"tail.mpa", Bytes(good.begin() + 1001, good.end())},
  };
  Bytes flipped = good;
  for (size_t i = 200; i < flipped.size(); i += 97) flipped[i] ^= 0x5A;
  files.emplace_back("flipped.mp3", flipped);
  for (const auto& [name, bytes] : files) {
    SCOPED_TRACE(name);
    const std::string path = dir.Write(name, bytes);
    MediaSource source;
    if (!source.OpenMedia(path.c_str())) {
      EXPECT_EQ(source.info().kind, 0u);
      continue;
    }
    EXPECT_EQ(source.info().kind, kMediaMpeg);
    uint32_t last = 0;
    const Bytes got = ReadAll(source, 65536, 1000, &last);
    EXPECT_LT(got.size(), 20u * 1000 * 1000);
    source.Seek(500);
    source.PositionMs();
  }
  MediaSource missing;
  EXPECT_FALSE(missing.OpenMedia(dir.Path("missing.mp3").c_str()));
}

// MPEG audio in a WAV file (format tags 0x55 and 0x50): the data chunk is
// the stream, decoded as the same file on its own is; a data size of 0 or
// past the end (a recording cut off) means the rest of the file.
TEST(MpegDecoderTest, MpegInsideWavPlaysAsTheStreamItHolds) {
  TempFolder dir;
  for (const char* name : {"l3-44k-joint-128.mp3", "l2-48k-joint-128-table-a.mp2"}) {
    SCOPED_TRACE(name);
    const Bytes stream = ReadWholeFile(Fixture(name));
    ASSERT_GT(stream.size(), 4000u);
    const Bytes reference = Reference(Fixture(name));
    const uint16_t tag = std::string(name).find(".mp3") != std::string::npos ? 0x55 : 0x50;
    for (uint32_t storedSize : {static_cast<uint32_t>(stream.size()), 0u, 0x7FFFFFF0u}) {
      SCOPED_TRACE(storedSize);
      Bytes wav = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 30, 0, 0, 0};
      const Bytes fmt = {uint8_t(tag), 0, 2, 0, 0x44, 0xAC, 0, 0, 0, 0x3E, 0, 0, 1, 0, 0, 0,
                         12, 0, 1, 0, 2, 0, 0, 0, 0x80, 1, 1, 0, 0x71, 5};
      wav.insert(wav.end(), fmt.begin(), fmt.end());
      const Bytes fact = {'f', 'a', 'c', 't', 4, 0, 0, 0, 0, 0, 0, 0};
      wav.insert(wav.end(), fact.begin(), fact.end());
      wav.insert(wav.end(), {'d', 'a', 't', 'a', uint8_t(storedSize), uint8_t(storedSize >> 8),
                             uint8_t(storedSize >> 16), uint8_t(storedSize >> 24)});
      wav.insert(wav.end(), stream.begin(), stream.end());
      const std::string path = dir.Write("inside.wav", wav);
      MediaSource source;
      ASSERT_TRUE(source.OpenMedia(path.c_str()));
      EXPECT_EQ(source.info().kind, kMediaMpeg);
      uint32_t last = 0;
      EXPECT_TRUE(ReadAll(source, 65536, 0, &last) == reference);
    }
  }
  // Another compressed tag is still refused.
  Bytes adpcm = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0,
                 2, 0, 1, 0, 0x40, 0x1F, 0, 0, 0, 0x10, 0, 0, 0, 1, 4, 0, 'd', 'a', 't', 'a', 4, 0, 0, 0, 1, 2, 3, 4};
  MediaSource source;
  EXPECT_FALSE(source.OpenMedia(dir.Write("adpcm.wav", adpcm).c_str()));
}

}  // namespace
