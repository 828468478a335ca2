// Streams as real files make them: header bits that change between frames,
// files joined together, encoders' VBR headers, streams of many hours, and
// decoding from memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "mpeg/byte_source.h"
#include "tests/mpeg/test_files.h"

namespace cx::mpeg::test {
namespace {

std::vector<int16_t> DecodeBytes(std::vector<uint8_t> bytes, bool gapless = false) {
  MpegStream stream;
  stream.SetGapless(gapless);
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
  for (size_t i = 0; i + 1 < at.size(); ++i) frames.emplace_back(bytes.begin() + at[i], bytes.begin() + at[i + 1]);
  return frames;
}

TEST(RealFiles, MemoryAndFileDecodeAlike) {
  Fixture f = FixtureNamed("l3-44k-stereo-192");
  MpegStream file;
  ASSERT_TRUE(file.OpenStream(f.path));
  EXPECT_EQ(DecodeBytes(ReadFile(f.path)), DecodeAll(file));
}

TEST(RealFiles, CrcAndFlagBitsMayChangeFromFrameToFrame) {
  // A Layer II stream with CRC words: from the sixth frame on the CRC is
  // switched off (its two bytes move to the end as ancillary data), and the
  // private, copyright, original and emphasis bits change from frame to
  // frame. Every frame still plays, exactly as before.
  Fixture f = FixtureNamed("l2-44k-crc-padded-256");
  std::vector<uint8_t> changed;
  std::vector<std::vector<uint8_t>> frames = Frames(ReadFile(f.path));
  ASSERT_GT(frames.size(), 50u);
  for (size_t i = 0; i < frames.size(); ++i) {
    std::vector<uint8_t> frame = frames[i];
    frame[2] ^= static_cast<uint8_t>((i & 1) << 0);       // private
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
  for (size_t i = 0; i < stereo.size(); i += 2) mixed.push_back(static_cast<int16_t>((stereo[i] + stereo[i + 1]) / 2));
  EXPECT_LE(Compare(pcm, mono.size() + settle, mixed, settle).maxDiff, 1);

  // 44.1 kHz, 48 kHz, 44.1 kHz: the 48 kHz frames are skipped, counted
  // apart, and both 44.1 kHz parts play.
  MpegStream stream;
  stream.SetGapless(false);
  std::vector<uint8_t> rates = Joined({"l3-44k-joint-128", "l3-48k-vbr", "l3-44k-joint-128"});
  ASSERT_TRUE(stream.OpenStream(std::make_unique<MemoryByteSource>(rates)));
  EXPECT_EQ(stream.info().frameCount, 2 * static_cast<int64_t>(stereo.size() / 2304));
  EXPECT_EQ(stream.info().otherFrames, static_cast<int64_t>(FrameOffsets(ReadFile(FixtureNamed("l3-48k-vbr").path)).size()));
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

// A stream of one frame repeated, behind an optional first frame, made up
// as it is read: hours of audio without hundreds of megabytes.
class RepeatedFrameSource : public ByteSource {
 public:
  RepeatedFrameSource(std::vector<uint8_t> head, std::vector<uint8_t> frame, int64_t count)
      : head_(std::move(head)), frame_(std::move(frame)), count_(count) {}
  int64_t Size() const override {
    return static_cast<int64_t>(head_.size()) + static_cast<int64_t>(frame_.size()) * count_;
  }
  size_t ReadAt(int64_t offset, uint8_t* out, size_t n) override {
    size_t done = 0;
    const int64_t head = static_cast<int64_t>(head_.size()), frame = static_cast<int64_t>(frame_.size());
    for (int64_t at = offset; done < n && at < Size(); ++at, ++done) {
      out[done] = at < head ? head_[static_cast<size_t>(at)] : frame_[static_cast<size_t>((at - head) % frame)];
    }
    return done;
  }

 private:
  std::vector<uint8_t> head_, frame_;
  int64_t count_;
};

TEST(RealFiles, StreamsOfManyHoursKeep64BitTotals) {
  // Eight hours of 44.1 kHz stereo Layer II: 5.08 GB of PCM.
  const std::vector<std::vector<uint8_t>> l2 = Frames(ReadFile(FixtureNamed("l2-44k-stereo-192-table-b").path));
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

}  // namespace
}  // namespace cx::mpeg::test
