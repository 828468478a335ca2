// Streams as real files make them: header bits that change between frames,
// files joined together, encoders' VBR headers, streams of many hours,
// files beyond 2 GiB and ID3v2 titles.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "codec/byte_source.h"
#include "mpeg/id3v2.h"
#include "tests/mpeg/RepeatedFrameSource.h"
#include "tests/mpeg/test_files.h"
#include "tests/support/TempFolder.h"

namespace cx::mpeg::test {
namespace {

// Every decoded sample, from memory.
std::vector<int16_t> DecodeBytes(std::vector<uint8_t> bytes) {
  MpegStream stream;
  stream.SetGapless(false);
  EXPECT_TRUE(stream.OpenStream(std::make_unique<MemoryByteSource>(std::move(bytes))));
  return DecodeAll(stream);
}

std::vector<uint8_t> Joined(std::initializer_list<const char*> names) {
  std::vector<uint8_t> out;
  for (const char* n : names) {
    std::vector<uint8_t> b = ReadFile(FixtureNamed(n).path);
    out.insert(out.end(), b.begin(), b.end());
  }
  return out;
}

// Frames of a file (clean, without an information frame) as byte strings.
std::vector<std::vector<uint8_t>> Frames(const std::vector<uint8_t>& bytes) {
  std::vector<size_t> at = FrameOffsets(bytes);
  at.push_back(bytes.size());
  std::vector<std::vector<uint8_t>> frames;
  for (size_t i = 0; i + 1 < at.size(); ++i)
    frames.emplace_back(bytes.begin() + at[i], bytes.begin() + at[i + 1]);
  return frames;
}

TEST(RealFiles, CrcAndFlagBitsMayChangeFromFrameToFrame) {
  // A Layer II stream with CRC words: from the sixth frame on the CRC is
  // switched off (its two bytes move to the end as ancillary data), and the
  // private, copyright, original and emphasis bits change from frame to
  // frame. Every frame still plays, exactly as before (the changed stream
  // decoded from memory, the original from its file).
  Fixture f = FixtureNamed("l2-44k-crc-padded-256");
  std::vector<uint8_t> changed;
  std::vector<std::vector<uint8_t>> frames = Frames(ReadFile(f.path));
  ASSERT_GT(frames.size(), 50u);
  for (size_t i = 0; i < frames.size(); ++i) {
    std::vector<uint8_t> frame = frames[i];
    frame[2] ^= static_cast<uint8_t>((i & 1) << 0);         // private
    frame[3] ^= static_cast<uint8_t>((i % 7) << 1 & 0x0F);  // copyright, original, emphasis
    if (i >= 5) {
      frame[1] |= 1;
      frame.erase(frame.begin() + 4, frame.begin() + 6);
      frame.insert(frame.end(), {0, 0});
    }
    changed.insert(changed.end(), frame.begin(), frame.end());
  }
  MpegStream original;
  ASSERT_TRUE(original.OpenStream(f.path));
  EXPECT_EQ(DecodeBytes(changed), DecodeAll(original));
}

TEST(RealFiles, JoinedFilesPlayEveryFrameInTheFirstFilesFormat) {
  const std::vector<int16_t> stereo = DecodeBytes(ReadFile(FixtureNamed("l3-44k-joint-128").path));
  const std::vector<int16_t> mono = DecodeBytes(ReadFile(FixtureNamed("l3-44k-mono-64").path));
  // The filters carry the first file's sound into the first frames of the
  // second; from the third frame on it is the second file's own.
  const size_t settle = 2 * 1152;

  // Stereo, then mono: the mono frames feed both channels.
  std::vector<int16_t> pcm = DecodeBytes(Joined({"l3-44k-joint-128", "l3-44k-mono-64"}));
  ASSERT_EQ(pcm.size(), stereo.size() + 2 * mono.size());
  EXPECT_TRUE(std::equal(stereo.begin(), stereo.end(), pcm.begin()));
  std::vector<int16_t> left, right;
  for (size_t i = stereo.size(); i < pcm.size(); i += 2) {
    left.push_back(pcm[i]);
    right.push_back(pcm[i + 1]);
  }
  EXPECT_LE(Compare(left, settle, mono, settle).maxDiff, 1);
  EXPECT_EQ(left, right);

  // Mono, then stereo: the stereo frames are mixed down.
  pcm = DecodeBytes(Joined({"l3-44k-mono-64", "l3-44k-joint-128"}));
  ASSERT_EQ(pcm.size(), mono.size() + stereo.size() / 2);
  EXPECT_TRUE(std::equal(mono.begin(), mono.end(), pcm.begin()));
  std::vector<int16_t> mixed;
  for (size_t i = 0; i < stereo.size(); i += 2)
    mixed.push_back(static_cast<int16_t>((stereo[i] + stereo[i + 1]) / 2));
  EXPECT_LE(Compare(pcm, mono.size() + settle, mixed, settle).maxDiff, 1);

  // 44.1 kHz, 48 kHz, 44.1 kHz: the 48 kHz frames are skipped, counted
  // apart, and both 44.1 kHz parts play.
  MpegStream stream;
  stream.SetGapless(false);
  std::vector<uint8_t> rates = Joined({"l3-44k-joint-128", "l3-48k-vbr", "l3-44k-joint-128"});
  ASSERT_TRUE(stream.OpenStream(std::make_unique<MemoryByteSource>(rates)));
  EXPECT_EQ(stream.info().frameCount, 2 * static_cast<int64_t>(stereo.size() / 2304));
  EXPECT_EQ(stream.info().otherFrames,
            static_cast<int64_t>(FrameOffsets(ReadFile(FixtureNamed("l3-48k-vbr").path)).size()));
  pcm = DecodeAll(stream);
  ASSERT_EQ(pcm.size(), 2 * stereo.size());
  EXPECT_TRUE(std::equal(stereo.begin(), stereo.end(), pcm.begin()));
  EXPECT_LE(Compare(pcm, stereo.size() + 2 * settle, stereo, 2 * settle).maxDiff, 1);
}

TEST(RealFiles, VbrDurationAndSeekingFromTheXingHeader) {
  Fixture f = FixtureNamed("l3-44k-vbr-xing");
  MpegStream walked;
  walked.SetGapless(false);
  ASSERT_TRUE(walked.OpenStream(f.path));
  const int64_t frames = walked.info().frameCount;
  const size_t total = DecodeAll(walked).size();
  EXPECT_EQ(static_cast<int64_t>(total), frames * 2304);
  // As for a file too large to walk: the count and the seek come from the
  // header alone.
  MpegStream stream;
  stream.SetGapless(false);
  stream.SetHeaderWalkLimit(0);
  ASSERT_TRUE(stream.OpenStream(f.path));
  EXPECT_EQ(stream.info().countSource, FrameCount::kXing);
  EXPECT_EQ(stream.info().frameCount, frames);
  EXPECT_EQ(stream.info().totalMilliseconds, frames * 1152 * 1000 / 44100);
  ASSERT_TRUE(stream.SeekFrame(frames / 2));
  const double rest = static_cast<double>(DecodeAll(stream).size());
  EXPECT_NEAR(rest / static_cast<double>(total), 0.5, 0.01);
  // Without a header, a large file's count is only an estimate from the
  // first frame's bitrate; a small one is walked and exact.
  MpegStream noHeader;
  ASSERT_TRUE(noHeader.OpenStream(FixtureNamed("l3-48k-vbr").path));
  EXPECT_EQ(noHeader.info().countSource, FrameCount::kHeaderWalk);
  EXPECT_EQ(noHeader.info().frameCount * 2304, static_cast<int64_t>(DecodeAll(noHeader).size()));
}

TEST(RealFiles, QuarteredRateXingHeaderCountsAndTrims) {
  // At 12 kHz: the Xing count agrees with the walked headers, and gapless
  // trimming leaves the encoder's delay and padding out of the total.
  Fixture f = FixtureNamed("l3-12k-joint-vbr-xing");
  MpegStream walked, header;
  ASSERT_TRUE(walked.OpenStream(f.path));
  header.SetHeaderWalkLimit(0);
  ASSERT_TRUE(header.OpenStream(f.path));
  const StreamInfo& w = walked.info();
  EXPECT_TRUE(w.mpeg25);
  EXPECT_EQ(header.info().countSource, FrameCount::kXing);
  EXPECT_EQ(header.info().frameCount, w.frameCount);
  ASSERT_TRUE(w.gapless);
  EXPECT_EQ(w.totalSamples, w.frameCount * 576 - w.encoderDelay - w.encoderPadding);
  EXPECT_EQ(static_cast<int64_t>(DecodeAll(walked).size()), w.totalSamples * 2);
  EXPECT_EQ(w.totalMilliseconds, w.totalSamples * 1000 / 12000);
  ASSERT_TRUE(header.SeekFrame(header.info().frameCount / 2));
  EXPECT_GT(DecodeAll(header).size(), 0u);
}

TEST(RealFiles, VbriHeaderGivesCountAndTableOfContents) {
  // The Xing fixture's information frame rewritten as a VBRI header with a
  // table of one entry per 4 frames.
  std::vector<uint8_t> bytes = ReadFile(FixtureNamed("l3-44k-vbr-xing").path);
  const std::vector<size_t> at = FrameOffsets(bytes);
  const uint32_t frames = static_cast<uint32_t>(at.size() - 1), per = 4, entries = (frames + per - 1) / per;
  std::vector<uint8_t> vbri = {'V', 'B', 'R', 'I', 0, 1, 0, 0, 0, 75, 0, 0, 0, 0};
  for (int i = 0; i < 4; ++i) vbri.push_back(static_cast<uint8_t>(frames >> (24 - 8 * i)));
  vbri.insert(vbri.end(), {uint8_t(entries >> 8), uint8_t(entries), 0, 1, 0, 2, 0, uint8_t(per)});
  for (uint32_t e = 0; e < entries; ++e) {
    // Entry e spans frames [e * per, (e + 1) * per), the first from the
    // information frame on.
    const size_t from = e == 0 ? at[0] : at[1 + e * per],
                 to = at[std::min<size_t>(1 + (e + 1) * per, at.size() - 1)];
    vbri.insert(vbri.end(), {uint8_t((to - from) >> 8), uint8_t(to - from)});
  }
  ASSERT_LE(36 + vbri.size(), at[1] - at[0]);
  std::fill(bytes.begin() + at[0] + 4, bytes.begin() + at[1], 0);
  std::copy(vbri.begin(), vbri.end(), bytes.begin() + at[0] + 36);
  MpegStream stream;
  stream.SetHeaderWalkLimit(0);
  ASSERT_TRUE(stream.OpenStream(std::make_unique<MemoryByteSource>(bytes)));
  EXPECT_EQ(stream.info().countSource, FrameCount::kVbri);
  EXPECT_EQ(stream.info().frameCount, frames);
  ASSERT_TRUE(stream.SeekFrame(frames / 2));
  EXPECT_NEAR(static_cast<double>(DecodeAll(stream).size()) / (frames * 2304.0), 0.5, 0.01);
}

TEST(RealFiles, StreamsOfManyHoursKeep64BitTotals) {
  // Eight hours of 44.1 kHz stereo Layer II: 5.08 GB of PCM.
  const std::vector<std::vector<uint8_t>> l2 =
      Frames(ReadFile(FixtureNamed("l2-44k-stereo-192-table-b").path));
  const int64_t count = 8 * 3600 * 44100 / 1152;
  MpegStream stream;
  ASSERT_TRUE(stream.OpenStream(std::make_unique<RepeatedFrameSource>(std::vector<uint8_t>{}, l2[3], count)));
  const StreamInfo& s = stream.info();
  EXPECT_EQ(s.countSource, FrameCount::kEstimate);
  EXPECT_EQ(s.frameCount, count);
  EXPECT_EQ(s.totalPcmBytes, count * 1152 * 4);
  EXPECT_EQ(s.totalMilliseconds, count * 1152 * 1000 / 44100);
  ASSERT_TRUE(stream.SeekFrame(count - 2));
  ASSERT_TRUE(stream.DecodeBlock());
  EXPECT_EQ(stream.PcmValues(), 2 * 1152 * 2);
  EXPECT_FALSE(stream.DecodeBlock());

  // Three hours behind an information frame that says so.
  std::vector<uint8_t> info = ReadFile(FixtureNamed("l3-44k-infotag-128").path);
  const std::vector<size_t> at = FrameOffsets(info);
  const std::vector<uint8_t> frame(info.begin() + at[1], info.begin() + at[2]);
  info.resize(at[1]);
  const int64_t hours3 = 3 * 3600 * 44100 / 1152;
  const size_t xing = at[0] + 4 + 32 + 8;  // behind the header, side information, "Info" and flags
  for (int i = 0; i < 4; ++i) info[xing + i] = static_cast<uint8_t>(hours3 >> (24 - 8 * i));
  MpegStream tagged;
  ASSERT_TRUE(tagged.OpenStream(std::make_unique<RepeatedFrameSource>(info, frame, hours3)));
  EXPECT_EQ(tagged.info().countSource, FrameCount::kXing);
  EXPECT_EQ(tagged.info().frameCount, hours3);
  EXPECT_TRUE(tagged.info().gapless);
  EXPECT_EQ(tagged.info().totalSamples,
            hours3 * 1152 - tagged.info().encoderDelay - tagged.info().encoderPadding);
}

void Seek64(std::FILE* f, int64_t offset) {
#ifdef _WIN32
  ASSERT_EQ(_fseeki64(f, offset, SEEK_SET), 0);
#else
  ASSERT_EQ(fseeko(f, static_cast<off_t>(offset), SEEK_SET), 0);
#endif
}

TEST(RealFiles, FilesBeyond2GiB) {
  // A sparse file: a stream at the start, nothing up to 2.5 GiB, then the
  // stream again and an ID3v1 tag at the very end.
  const std::vector<uint8_t> mp3 = ReadFile(FixtureNamed("l3-44k-joint-128").path);
  std::vector<uint8_t> tail = mp3;
  std::vector<uint8_t> tag(128, 0);
  std::memcpy(tag.data(), "TAGFar Away", 11);
  tail.insert(tail.end(), tag.begin(), tag.end());
  cx::test::TempFolder dir;
  const std::string path = dir.Path("big.mp3");
  const int64_t far = int64_t{5} << 29;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(mp3.data(), 1, mp3.size(), f);
  Seek64(f, far);
  std::fwrite(tail.data(), 1, tail.size(), f);
  ASSERT_EQ(std::fclose(f), 0);

  std::unique_ptr<ByteSource> source = FileByteSource::Open(path);
  ASSERT_TRUE(source);
  EXPECT_EQ(source->Size(), far + static_cast<int64_t>(tail.size()));
  std::vector<uint8_t> back(mp3.size());
  ASSERT_EQ(source->ReadAt(far, back.data(), back.size()), back.size());
  EXPECT_EQ(back, mp3);
  MpegStream stream;
  ASSERT_TRUE(stream.OpenStream(std::move(source)));
  EXPECT_STREQ(stream.info().tag.title, "Far Away");
  // The last frames, found in proportion to the stream's bytes, lie in the
  // copy beyond 2 GiB.
  ASSERT_TRUE(stream.SeekFrame(stream.info().frameCount - 50));
  const size_t frames = DecodeAll(stream).size() / 2304;
  EXPECT_GE(frames, 45u);
  EXPECT_LE(frames, 55u);
}

std::vector<uint8_t> TextFrame(int version, const char* id, std::vector<uint8_t> body) {
  std::vector<uint8_t> f(id, id + (version == 2 ? 3 : 4));
  const uint32_t n = static_cast<uint32_t>(body.size());
  if (version == 2) {
    f.insert(f.end(), {uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
  } else if (version == 3) {
    f.insert(f.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n), 0, 0});
  } else {
    f.insert(f.end(), {uint8_t(n >> 21 & 0x7F), uint8_t(n >> 14 & 0x7F), uint8_t(n >> 7 & 0x7F),
                       uint8_t(n & 0x7F), 0, 0});
  }
  f.insert(f.end(), body.begin(), body.end());
  return f;
}

std::vector<uint8_t> Id3v2Tag(int version, uint8_t flags, const std::vector<uint8_t>& frames) {
  const uint32_t n = static_cast<uint32_t>(frames.size()) + 16;  // and padding
  std::vector<uint8_t> t = {'I',
                            'D',
                            '3',
                            uint8_t(version),
                            0,
                            flags,
                            uint8_t(n >> 21 & 0x7F),
                            uint8_t(n >> 14 & 0x7F),
                            uint8_t(n >> 7 & 0x7F),
                            uint8_t(n & 0x7F)};
  t.insert(t.end(), frames.begin(), frames.end());
  t.resize(t.size() + 16, 0);
  return t;
}

TEST(RealFiles, Id3v2TitleInEveryEncoding) {
  using V = std::vector<uint8_t>;
  const V artist = TextFrame(3, "TPE1", {0, 'S', 'o', 'm', 'e', 'o', 'n', 'e'});
  V twoFrames = artist;
  const V title3 = TextFrame(3, "TIT2", {0, 'C', 'a', 'f', 0xE9, 0});
  twoFrames.insert(twoFrames.end(), title3.begin(), title3.end());
  struct Case {
    const char* what;
    V tag;
    size_t capacity;
    const char* utf8;
  } cases[] = {
      {"2.3 ISO-8859-1 behind another frame", Id3v2Tag(3, 0, twoFrames), 128, "Caf\xC3\xA9"},
      {"2.3 UTF-16 little-endian", Id3v2Tag(3, 0, TextFrame(3, "TIT2", {1, 0xFF, 0xFE, 0xA9, 0x03, 'm', 0})),
       128, "\xCE\xA9m"},
      {"2.4 UTF-16BE pair", Id3v2Tag(4, 0, TextFrame(4, "TIT2", {2, 0xD8, 0x3C, 0xDF, 0xB5, 0, 'x'})), 128,
       "\xF0\x9F\x8E\xB5x"},
      {"2.4 UTF-8", Id3v2Tag(4, 0, TextFrame(4, "TIT2", {3, 'O', 0xC3, 0xBC})), 128, "O\xC3\xBC"},
      {"2.2", Id3v2Tag(2, 0, TextFrame(2, "TT2", {0, 'O', 'l', 'd'})), 128, "Old"},
      {"unsynchronised", Id3v2Tag(3, 0x80, TextFrame(3, "TIT2", {0, 0xFF, 0x00, 'x', 0})), 128, "\xC3\xBFx"},
      {"cut to whole characters", Id3v2Tag(3, 0, TextFrame(3, "TIT2", {0, 0xE9, 0xE9, 0xE9, 0xE9})), 8,
       "\xC3\xA9\xC3\xA9\xC3\xA9"},
      {"no title frame", Id3v2Tag(3, 0, artist), 128, ""},
      {"frame larger than the tag",
       [] {
         V t = Id3v2Tag(3, 0, TextFrame(3, "TIT2", {0, 'a'}));
         t[17] = 0x7F;
         return t;
       }(),
       128, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    char text[128];
    EXPECT_EQ(ReadId3v2Title(c.tag.data(), c.tag.size(), text, c.capacity), c.utf8[0] != 0);
    EXPECT_STREQ(text, c.utf8);
  }
  // In front of a stream, the title reaches the stream information.
  V file = cases[1].tag;
  const V mp3 = ReadFile(FixtureNamed("l3-44k-joint-128").path);
  file.insert(file.end(), mp3.begin(), mp3.end());
  MpegStream stream;
  ASSERT_TRUE(stream.OpenStream(std::make_unique<MemoryByteSource>(file)));
  EXPECT_STREQ(stream.info().id3v2Title, "\xCE\xA9m");
}

}  // namespace
}  // namespace cx::mpeg::test
