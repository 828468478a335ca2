// Every corpus file decoded whole through the decoder interface against
// oggdec's output: the exact length the encoder was given (start and end
// trimmed by the granule positions, across chained streams), PSNR of at
// least 90 dB and no value more than 2 off. The file is read from memory
// in one size of piece and from the file in another.
#include <gtest/gtest.h>

#include "codec/byte_source.h"
#include "tests/vorbis/corpus.h"
#include "vorbis/vorbis_decoder.h"

namespace cx::vorbis::test {
namespace {

TEST(VorbisAccuracy, CorpusMatchesOggdec) {
  const std::vector<CorpusFile> corpus = LoadCorpus();
  ASSERT_GE(corpus.size(), 14u) << "the corpus was not made";
  for (const CorpusFile& f : corpus) {
    if (f.kind == "damaged") continue;
    SCOPED_TRACE(f.name);
    const std::vector<int16_t> ref = ReadPcm(f.reference);
    ASSERT_EQ(ref.size(), static_cast<size_t>(f.samples * f.channels)) << "oggdec disagrees with the input length";
    auto d = OpenMemory(ReadBytes(f.path));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->format().channels, f.channels);
    EXPECT_EQ(d->format().sampleRate, f.rate);
    EXPECT_EQ(d->format().bitsPerSample, 16);
    EXPECT_EQ(d->format().totalFrames, f.samples);
    const std::vector<int16_t> pcm = DecodeRest(*d, 1000);
    EXPECT_EQ(pcm.size(), ref.size());
    EXPECT_EQ(d->Position(), f.samples);
    const Difference diff = Compare(pcm, ref);
    EXPECT_GE(diff.psnr, 90.0);
    EXPECT_LE(diff.maxDiff, 2);
    EXPECT_EQ(d->health().damagedBlocks, 0);

    auto fromFile = MakeVorbisDecoder();
    ASSERT_TRUE(fromFile->Open(codec::FileByteSource::Open(f.path)));
    EXPECT_EQ(DecodeRest(*fromFile, 333), pcm) << "piece size or source changed the output";
  }
}

TEST(VorbisAccuracy, TagsAreReadAsUtf8) {
  auto d = OpenMemory(ReadBytes(CorpusNamed("tagged").path));
  ASSERT_TRUE(d);
  EXPECT_EQ(d->tags().title, "Caf\u00e9 \u00e0 la carte");
  EXPECT_EQ(d->tags().artist, "Ensemble \u00c9toile");
  EXPECT_EQ(d->tags().album, "Nuits \u2014 vol. 2");
  EXPECT_NE(d->Describe().find("Vorbis"), std::string::npos);
  auto untagged = OpenMemory(ReadBytes(CorpusNamed("q3-22k-mono").path));
  ASSERT_TRUE(untagged);
  EXPECT_TRUE(untagged->tags().title.empty());
}

// A page with flipped bytes fails its CRC: it is skipped, counted, and its
// length is silence, so the length and everything after it stay right.
TEST(VorbisAccuracy, DamagedPageIsSkippedAndDecodingGoesOn) {
  const CorpusFile f = CorpusNamed("damaged");
  const std::vector<int16_t> clean = ReadPcm(f.reference);
  auto d = OpenMemory(ReadBytes(f.path));
  ASSERT_TRUE(d);
  EXPECT_EQ(d->format().totalFrames, f.samples);
  const std::vector<int16_t> pcm = DecodeRest(*d);
  ASSERT_EQ(pcm.size(), clean.size());
  EXPECT_GT(d->health().damagedBlocks, 0);
  // Before the middle and from three quarters on, the output is the clean one.
  const size_t quarter = pcm.size() / 4;
  const Difference head = Compare(std::vector<int16_t>(pcm.begin(), pcm.begin() + quarter),
                                  std::vector<int16_t>(clean.begin(), clean.begin() + quarter));
  EXPECT_LE(head.maxDiff, 2);
  const Difference tail = Compare(pcm, clean, 3 * quarter);
  EXPECT_LE(tail.maxDiff, 2);
  EXPECT_GT(Compare(pcm, clean).maxDiff, 2) << "the damage was not noticed at all";
}

}  // namespace
}  // namespace cx::vorbis::test

namespace cx::vorbis::test {
namespace {

// A chain whose second stream has another rate and channel count ends at
// the boundary: the format, the length and the output are the first's.
TEST(VorbisAccuracy, ChainStopsWhereTheFormatChanges) {
  const CorpusFile first = CorpusNamed("q6-48k-stereo");
  const CorpusFile second = CorpusNamed("q0-8k-mono");
  std::vector<uint8_t> bytes = ReadBytes(first.path);
  const std::vector<uint8_t> more = ReadBytes(second.path);
  bytes.insert(bytes.end(), more.begin(), more.end());
  auto d = OpenMemory(bytes);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->format().channels, first.channels);
  EXPECT_EQ(d->format().sampleRate, first.rate);
  EXPECT_EQ(d->format().totalFrames, first.samples);
  const std::vector<int16_t> pcm = DecodeRest(*d);
  const std::vector<int16_t> ref = ReadPcm(first.reference);
  ASSERT_EQ(pcm.size(), ref.size());
  EXPECT_LE(Compare(pcm, ref).maxDiff, 2);
}

}  // namespace
}  // namespace cx::vorbis::test
