// Opening streams (stream information, ID3 tags), blocks of PCM, seeking,
// and several streams decoded side by side.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "tests/mpeg/test_files.h"

namespace cx::mpeg::test {
namespace {

std::vector<int16_t> DecodeFile(const std::string& path) {
  MpegStream stream;
  EXPECT_TRUE(stream.OpenStream(path)) << path;
  return DecodeAll(stream);
}

TEST(StreamInfo, Layer3Joint128) {
  Fixture f = FixtureNamed("l3-44k-joint-128");
  MpegStream stream;
  ASSERT_TRUE(stream.OpenStream(f.path));
  const StreamInfo& s = stream.info();
  EXPECT_EQ(s.id, 1u);
  EXPECT_EQ(s.layerCode, 1u);
  EXPECT_FALSE(s.crcPresent);
  EXPECT_EQ(s.bitrate, 128000u);
  EXPECT_EQ(s.samplingRate, 44100u);
  EXPECT_EQ(s.mode, 1u);
  EXPECT_EQ(s.channels, 2);
  EXPECT_EQ(s.samplesPerFrame, 1152);
  EXPECT_EQ(s.millisecondsPerFrame, 26);
  EXPECT_EQ(s.bytesPerSample, 2);
  EXPECT_FALSE(s.tagPresent);
  EXPECT_EQ(stream.FirstFrameOffset(), 0);
  // A small file has every header walked: the count is what decodes.
  EXPECT_EQ(s.countSource, FrameCount::kHeaderWalk);
  std::vector<int16_t> pcm = DecodeAll(stream);
  EXPECT_EQ(s.totalPcmBytes, static_cast<int64_t>(pcm.size() * 2));
  EXPECT_EQ(s.totalSamples * 1000 / 44100, s.totalMilliseconds);
  EXPECT_EQ(stream.FrameIndex(), s.frameCount);
}

TEST(StreamInfo, OtherLayersAndRates) {
  struct Case {
    const char* name;
    uint32_t layerCode, id, rate;
    int channels, samplesPerFrame, msPerFrame;
    bool crc;
    bool mpeg25 = false;
  };
  const Case cases[] = {
      {"l3-22k-joint-64", 1, 0, 22050, 2, 576, 26, false},
      {"l3-16k-mono-32", 1, 0, 16000, 1, 576, 36, false},
      {"l3-32k-crc-96", 1, 1, 32000, 2, 1152, 36, true},
      {"l3-8k-joint-24", 1, 0, 8000, 2, 576, 72, false, true},
      {"l3-11k-mono-vbr", 1, 0, 11025, 1, 576, 52, false, true},
      {"l3-12k-mono-24", 1, 0, 12000, 1, 576, 48, false, true},
      {"l2-48k-joint-128-table-a", 2, 1, 48000, 2, 1152, 24, false},
      {"l2-22k-stereo-96-lsf", 2, 0, 22050, 2, 1152, 52, false},
      {"l1-32k-mono-192", 3, 1, 32000, 1, 384, 12, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MpegStream stream;
    ASSERT_TRUE(stream.OpenStream(FixtureNamed(c.name).path));
    const StreamInfo& s = stream.info();
    EXPECT_EQ(s.layerCode, c.layerCode);
    EXPECT_EQ(s.id, c.id);
    EXPECT_EQ(s.mpeg25, c.mpeg25);
    EXPECT_EQ(s.samplingRate, c.rate);
    EXPECT_EQ(s.channels, c.channels);
    EXPECT_EQ(s.samplesPerFrame, c.samplesPerFrame);
    EXPECT_EQ(s.millisecondsPerFrame, c.msPerFrame);
    EXPECT_EQ(s.crcPresent, c.crc);
    EXPECT_GT(s.frameCount, 0);
  }
}

TEST(OpenStream, SkipsTheEncodersInformationFrame) {
  Fixture f = FixtureNamed("l3-44k-infotag-128");
  std::vector<uint8_t> bytes = ReadFile(f.path);
  std::vector<size_t> frames = FrameOffsets(bytes);
  ASSERT_GT(frames.size(), 10u);
  MpegStream stream;
  stream.SetGapless(false);
  ASSERT_TRUE(stream.OpenStream(f.path));
  EXPECT_EQ(stream.FirstFrameOffset(), static_cast<int64_t>(frames[1]));
  EXPECT_EQ(stream.info().frameCount, static_cast<int64_t>(frames.size() - 1));
  EXPECT_EQ(DecodeAll(stream).size(), ReadPcm(f.reference).size());
  // Seeking counts frames from the first frame with audio.
  MpegStream untrimmed;
  untrimmed.SetGapless(false);
  ASSERT_TRUE(untrimmed.OpenStream(f.path));
  std::vector<int16_t> full = DecodeAll(untrimmed);
  ASSERT_TRUE(stream.SeekFrame(20));
  std::vector<int16_t> after = DecodeAll(stream);
  EXPECT_EQ(after.size(), full.size() - 20 * 2304);
  EXPECT_LE(Compare(full, 20 * 2304, after, 0).maxDiff, 1);
}

// An ID3v2 tag whose body holds false sync words: one with an invalid
// header behind it, and one with a valid-looking header.
std::vector<uint8_t> Id3v2Tag(size_t bodySize) {
  std::vector<uint8_t> tag = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 0};
  tag[6] = static_cast<uint8_t>((bodySize >> 21) & 0x7F);
  tag[7] = static_cast<uint8_t>((bodySize >> 14) & 0x7F);
  tag[8] = static_cast<uint8_t>((bodySize >> 7) & 0x7F);
  tag[9] = static_cast<uint8_t>(bodySize & 0x7F);
  std::vector<uint8_t> body(bodySize, 'x');
  const uint8_t falseSyncs[] = {0xFF, 0xFF, 0xFF, 0xFC, 0x00, 0xFF, 0xFB, 0x90, 0x44};
  std::memcpy(body.data() + 20, falseSyncs, sizeof falseSyncs);
  tag.insert(tag.end(), body.begin(), body.end());
  return tag;
}

std::vector<uint8_t> Id3v1Tag() {
  std::vector<uint8_t> tag(128, 0);
  std::memcpy(tag.data(), "TAG", 3);
  std::memcpy(tag.data() + 3, "A Title", 7);
  std::memcpy(tag.data() + 33, "An Artist", 9);
  std::memcpy(tag.data() + 63, "An Album", 8);
  std::memcpy(tag.data() + 93, "1999", 4);
  std::memset(tag.data() + 97, 'c', 30);  // no NUL: cut at 30 characters
  tag[127] = 17;
  return tag;
}

TEST(OpenStream, SkipsAnId3v2TagAndReadsTheId3v1Tag) {
  Fixture f = FixtureNamed("l3-44k-joint-128");
  std::vector<uint8_t> original = ReadFile(f.path);
  std::vector<uint8_t> tagged = Id3v2Tag(3000);
  tagged.insert(tagged.end(), original.begin(), original.end());
  std::vector<uint8_t> v1 = Id3v1Tag();
  tagged.insert(tagged.end(), v1.begin(), v1.end());
  const std::string path = TempPath("tagged.mp3");
  ASSERT_TRUE(WriteFile(path, tagged));

  MpegStream plain, stream;
  ASSERT_TRUE(plain.OpenStream(f.path));
  ASSERT_TRUE(stream.OpenStream(path));
  EXPECT_EQ(stream.FirstFrameOffset(), 3010);
  const StreamInfo& s = stream.info();
  EXPECT_TRUE(s.tagPresent);
  EXPECT_STREQ(s.tag.title, "A Title");
  EXPECT_STREQ(s.tag.artist, "An Artist");
  EXPECT_STREQ(s.tag.album, "An Album");
  EXPECT_STREQ(s.tag.year, "1999");
  EXPECT_EQ(std::string(s.tag.comment), std::string(30, 'c'));
  EXPECT_EQ(s.tag.genre, 17);
  // Counted from the real first frame, without either tag.
  EXPECT_EQ(s.frameCount, plain.info().frameCount);
  EXPECT_EQ(s.totalMilliseconds, plain.info().totalMilliseconds);
  EXPECT_EQ(DecodeAll(stream), DecodeAll(plain));
  std::remove(path.c_str());
}

TEST(OpenStream, KeepsSearchingPastFalseSyncsBeforeTheFirstFrame) {
  // Junk without an ID3v2 header: sync words with invalid headers behind
  // them (layer 0, bitrate 15, sampling index 3) before the real stream.
  Fixture f = FixtureNamed("l2-44k-stereo-192-table-b");
  std::vector<uint8_t> data = {0x00, 0xFF, 0xF9, 0x90, 0x00, 0xFF, 0xFB, 0xF0, 0x00,
                               0xFF, 0xFB, 0x9C, 0x00, 0x12};
  std::vector<uint8_t> original = ReadFile(f.path);
  data.insert(data.end(), original.begin(), original.end());
  const std::string path = TempPath("junk.mp2");
  ASSERT_TRUE(WriteFile(path, data));
  MpegStream stream;
  ASSERT_TRUE(stream.OpenStream(path));
  EXPECT_EQ(stream.FirstFrameOffset(), 14);
  EXPECT_EQ(stream.info().layerCode, 2u);
  EXPECT_EQ(DecodeAll(stream), DecodeFile(f.path));
  std::remove(path.c_str());
}

// Random bytes with valid-looking headers in them: MPEG-1 Layer I 448k at
// 48 kHz, Layer III 128k at 44.1 kHz, Layer II 384k at 48 kHz, Layer III
// 24k at 8 kHz, whose frames would reach into the junk or the stream.
std::vector<uint8_t> JunkWithFalseSyncs(uint32_t seed, size_t size) {
  std::vector<uint8_t> junk(size);
  uint32_t x = seed;
  for (uint8_t& b : junk) {
    x = x * 1664525u + 1013904223u;
    b = static_cast<uint8_t>(x >> 24);
  }
  const uint8_t headers[][4] = {
      {0xFF, 0xFF, 0xE4, 0x44}, {0xFF, 0xFB, 0x90, 0x44}, {0xFF, 0xFD, 0xE4, 0x04}, {0xFF, 0xE3, 0x38, 0x44}};
  for (size_t k = 0; k < 4; ++k) std::memcpy(&junk[(k * 2 + 1) * size / 9], headers[k], 4);
  return junk;
}

TEST(OpenStream, HeadersInJunkBeforeTheStreamAreNotBelieved) {
  const char* const names[] = {"l3-11k-stereo-32", "l3-44k-joint-128", "l3-8k-mono-16",
                               "l2-44k-stereo-192-table-b", "l1-48k-joint-256", "l3-12k-joint-vbr-xing"};
  const std::vector<uint8_t> id3 = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 20};
  for (const char* name : names) {
    for (bool tagged : {false, true}) {
      SCOPED_TRACE(std::string(name) + (tagged ? " after a tag" : ""));
      Fixture f = FixtureNamed(name);
      const std::vector<uint8_t> clean = ReadFile(f.path);
      std::vector<uint8_t> data;
      if (tagged) {
        data = id3;
        data.resize(30, 0);
      }
      const std::vector<uint8_t> junk = JunkWithFalseSyncs(static_cast<uint32_t>(clean.size()), 1500);
      data.insert(data.end(), junk.begin(), junk.end());
      const int64_t start = static_cast<int64_t>(data.size());
      data.insert(data.end(), clean.begin(), clean.end());
      const std::string path = TempPath("junk-in-front.mp3");
      ASSERT_TRUE(WriteFile(path, data));
      MpegStream stream, reference;
      ASSERT_TRUE(stream.OpenStream(path));
      ASSERT_TRUE(reference.OpenStream(f.path));
      EXPECT_EQ(stream.FirstFrameOffset(), start + reference.FirstFrameOffset());
      EXPECT_EQ(stream.info().samplingRate, reference.info().samplingRate);
      EXPECT_EQ(stream.info().layerCode, reference.info().layerCode);
      EXPECT_EQ(stream.info().frameCount, reference.info().frameCount);
      EXPECT_EQ(DecodeAll(stream), DecodeAll(reference));
      std::remove(path.c_str());
    }
  }
}

TEST(OpenStream, JunkWithoutRealFramesIsRefused) {
  // The false syncs alone, and one frame's header with junk behind it
  // where its successor should be.
  std::vector<uint8_t> only = JunkWithFalseSyncs(7, 5000);
  std::vector<uint8_t> lone = {0xFF, 0xFF, 0xE4, 0x44};
  std::vector<uint8_t> rest = JunkWithFalseSyncs(8, 900);
  lone.insert(lone.end(), rest.begin(), rest.end());
  for (const std::vector<uint8_t>* bytes : {&only, &lone}) {
    const std::string path = TempPath("no-frames.mp3");
    ASSERT_TRUE(WriteFile(path, *bytes));
    MpegStream stream;
    EXPECT_FALSE(stream.OpenStream(path));
    EXPECT_FALSE(stream.DecodeBlock());
    std::remove(path.c_str());
  }
}

TEST(DecodeFrame, FalseSyncsInAncillaryDataAreSkipped) {
  // Each frame of this file ends in 8 bytes of ancillary data; write a copy
  // of the stream's own header there. The decoder must go on at the end
  // of the frame, not at the first sync word behind the audio data.
  Fixture f = FixtureNamed("l2-44k-ancillary-192");
  std::vector<uint8_t> bytes = ReadFile(f.path);
  std::vector<size_t> frames = FrameOffsets(bytes);
  ASSERT_GT(frames.size(), 50u);
  for (size_t k = 1; k < frames.size(); ++k) {
    for (int i = 0; i < 4; ++i) bytes[frames[k] - 6 + i] = bytes[frames[0] + i];
  }
  const std::string path = TempPath("ancillary.mp2");
  ASSERT_TRUE(WriteFile(path, bytes));
  EXPECT_EQ(DecodeFile(path), DecodeFile(f.path));
  std::remove(path.c_str());
}

TEST(DecodeBlock, HoldsFourFramesOfInterleavedPcm) {
  MpegStream stream;
  EXPECT_EQ(stream.PcmBlock(), nullptr);
  EXPECT_FALSE(stream.DecodeBlock());  // not open
  ASSERT_TRUE(stream.OpenStream(FixtureNamed("l3-44k-joint-128").path));
  EXPECT_EQ(stream.PcmBlock(), nullptr);
  EXPECT_EQ(stream.PcmValues(), 0);
  ASSERT_TRUE(stream.DecodeBlock());
  EXPECT_NE(stream.PcmBlock(), nullptr);
  EXPECT_EQ(stream.PcmValues(), 4 * 1152 * 2);  // 18432 bytes
  EXPECT_EQ(stream.FrameIndex(), 4);
  ASSERT_TRUE(stream.DecodeBlock());
  EXPECT_EQ(stream.FrameIndex(), 8);
  EXPECT_EQ(stream.FrameIndex() * stream.info().millisecondsPerFrame, 208);
  while (stream.DecodeBlock()) {
  }
  EXPECT_EQ(stream.PcmBlock(), nullptr);
  EXPECT_EQ(stream.PcmValues(), 0);
  EXPECT_FALSE(stream.DecodeBlock());

  MpegStream mono;
  ASSERT_TRUE(mono.OpenStream(FixtureNamed("l2-32k-mono-96").path));
  ASSERT_TRUE(mono.DecodeBlock());
  EXPECT_EQ(mono.PcmValues(), 4 * 1152);  // single-channel PCM, no up-mix
}

// After SeekFrame(f) the stream gives the PCM of a decode from the start.
// The frames before the target are decoded without output during the seek,
// so the filters are warm and even frame f matches.
void ExpectSeekMatches(const std::string& name, std::initializer_list<int> targets) {
  SCOPED_TRACE(name);
  Fixture f = FixtureNamed(name);
  // Frame arithmetic: every decoded sample kept.
  MpegStream whole, stream;
  whole.SetGapless(false);
  stream.SetGapless(false);
  ASSERT_TRUE(whole.OpenStream(f.path));
  std::vector<int16_t> full = DecodeAll(whole);
  ASSERT_TRUE(stream.OpenStream(f.path));
  const size_t frameValues = static_cast<size_t>(stream.info().samplesPerFrame) * stream.info().channels;
  for (int target : targets) {
    int frame = target >= 0 ? target : stream.info().frameCount + target;
    SCOPED_TRACE(frame);
    // Decode a little elsewhere first, so that the seek has state to drop.
    ASSERT_TRUE(stream.SeekFrame(frame / 2));
    ASSERT_TRUE(stream.DecodeBlock());
    ASSERT_TRUE(stream.SeekFrame(frame));
    EXPECT_EQ(stream.FrameIndex(), frame);
    std::vector<int16_t> after = DecodeAll(stream);
    ASSERT_GT(after.size(), frameValues);
    Difference d = Compare(full, frame * frameValues, after, 0);
    EXPECT_LE(d.maxDiff, 1);
    EXPECT_EQ(after.size(), full.size() - frame * frameValues);
    EXPECT_GT(d.compared, 0u);
  }
}

TEST(SeekFrame, Layer3MatchesDecodingFromTheStart) {
  ExpectSeekMatches("l3-44k-joint-128", {5, 7, 40, 93, -8});
  ExpectSeekMatches("l3-48k-vbr", {6, 30, 17});
  // Small VBR frames: the main data reaches back over more than three.
  ExpectSeekMatches("l3-44k-vbr-xing", {20, 61});
  ExpectSeekMatches("l3-22k-joint-64", {5, 60, 101});
  ExpectSeekMatches("l3-32k-crc-96", {12});
  ExpectSeekMatches("l3-8k-joint-24", {5, 21, -3});
  ExpectSeekMatches("l3-11k-mono-vbr", {9, 40});
}

TEST(SeekFrame, Layers1And2MatchDecodingFromTheStart) {
  ExpectSeekMatches("l2-44k-crc-padded-256", {1, 30, 77});
  ExpectSeekMatches("l2-16k-mono-48-lsf", {3, 20});
  ExpectSeekMatches("l1-48k-joint-256", {2, 100, 200});
}

TEST(SeekFrame, NearTheStartLayer3RestartsAtTheFirstFrame) {
  Fixture f = FixtureNamed("l3-44k-stereo-192");
  std::vector<int16_t> full = DecodeFile(f.path);
  MpegStream stream;
  ASSERT_TRUE(stream.OpenStream(f.path));
  ASSERT_TRUE(stream.DecodeBlock());
  ASSERT_TRUE(stream.SeekFrame(3));
  EXPECT_EQ(stream.FrameIndex(), 3);
  EXPECT_EQ(DecodeAll(stream), full);
  EXPECT_FALSE(stream.SeekFrame(-1));
  EXPECT_FALSE(stream.SeekFrame(stream.info().frameCount + 1));
}

TEST(SeekFrame, ClearsTheFiltersSoTheOldPositionIsNotHeard) {
  // The first frame after a seek must not depend on where the stream was.
  Fixture f = FixtureNamed("l3-44k-joint-320");
  MpegStream a, b;
  ASSERT_TRUE(a.OpenStream(f.path));
  ASSERT_TRUE(b.OpenStream(f.path));
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(a.DecodeBlock());
  ASSERT_TRUE(a.SeekFrame(30));
  ASSERT_TRUE(b.SeekFrame(30));
  ASSERT_TRUE(a.DecodeBlock());
  ASSERT_TRUE(b.DecodeBlock());
  ASSERT_EQ(a.PcmValues(), b.PcmValues());
  EXPECT_TRUE(std::equal(a.PcmBlock(), a.PcmBlock() + a.PcmValues(), b.PcmBlock()));
}

TEST(OpenStream, ClearsTheFiltersOfAnEarlierFile) {
  MpegStream reused;
  ASSERT_TRUE(reused.OpenStream(FixtureNamed("l3-44k-stereo-192").path));
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(reused.DecodeBlock());
  Fixture next = FixtureNamed("l3-44k-joint-128");
  ASSERT_TRUE(reused.OpenStream(next.path));
  EXPECT_EQ(reused.FrameIndex(), 0);
  EXPECT_EQ(DecodeAll(reused), DecodeFile(next.path));
}

TEST(MpegStream, StreamsDecodeSideBySide) {
  const char* const names[] = {"l3-44k-joint-128", "l3-22k-joint-64", "l2-48k-joint-128-table-a",
                               "l1-44k-stereo-384"};
  std::vector<std::vector<int16_t>> alone;
  for (const char* n : names) alone.push_back(DecodeFile(FixtureNamed(n).path));
  // Interleaved block by block in one thread.
  {
    MpegStream streams[4];
    std::vector<int16_t> out[4];
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(streams[i].OpenStream(FixtureNamed(names[i]).path));
    for (bool any = true; any;) {
      any = false;
      for (int i = 0; i < 4; ++i) {
        if (streams[i].DecodeBlock()) {
          any = true;
          out[i].insert(out[i].end(), streams[i].PcmBlock(), streams[i].PcmBlock() + streams[i].PcmValues());
        }
      }
    }
    for (int i = 0; i < 4; ++i) EXPECT_EQ(out[i], alone[i]) << names[i];
  }
  // And on threads of their own.
  std::vector<int16_t> out[4];
  std::vector<std::thread> threads;
  std::vector<std::string> paths;
  for (const char* n : names) paths.push_back(FixtureNamed(n).path);
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&, i] {
      MpegStream stream;
      if (stream.OpenStream(paths[i])) out[i] = DecodeAll(stream);
    });
  }
  for (std::thread& t : threads) t.join();
  for (int i = 0; i < 4; ++i) EXPECT_EQ(out[i], alone[i]) << names[i];
}

}  // namespace
}  // namespace cx::mpeg::test
