// What must not be taken for Vorbis, and damaged input that must not
// crash or hang: cut files, random bytes changed, bytes before the
// first page. Also the fast inverse MDCT against
// its definition, and the Ogg CRC on a page oggenc wrote.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "tests/vorbis/corpus.h"
#include "vorbis/imdct.h"
#include "vorbis/ogg.h"
#include "vorbis/vorbis_decoder.h"

namespace cx::vorbis::test {
namespace {

TEST(VorbisRobustness, NotVorbisIsRefused) {
  std::vector<uint8_t> bytes = ReadBytes(CorpusNamed("q3-22k-mono").path);
  ASSERT_GT(bytes.size(), 8000u);
  struct Case {
    const char* what;
    std::vector<uint8_t> data;
  };
  std::vector<uint8_t> noId = bytes;
  noId[28 + 1] = 'X';  // "vorbis" in the first packet, spoilt (page CRC also fails)
  std::vector<uint8_t> headersOnly(bytes.begin(), bytes.begin() + 60);
  const Case cases[] = {
      {"empty", {}},
      {"text", std::vector<uint8_t>(1000, 'a')},
      {"first page only", headersOnly},
      {"identification spoilt", noId},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(OpenMemory(c.data), nullptr);
    EXPECT_FALSE(LooksLikeVorbis(c.data.data(), c.data.size()) && OpenMemory(c.data));
  }
  EXPECT_TRUE(LooksLikeVorbis(bytes.data(), bytes.size()));
}

TEST(VorbisRobustness, CutAndSpoiltFilesDecodeWithoutFaults) {
  const CorpusFile f = CorpusNamed("q6-48k-stereo");
  const std::vector<uint8_t> bytes = ReadBytes(f.path);
  std::mt19937 rng(7);
  for (size_t cut : {bytes.size() / 3, bytes.size() / 2, bytes.size() - 1000, bytes.size() - 1}) {
    SCOPED_TRACE(cut);
    auto d = OpenMemory(std::vector<uint8_t>(bytes.begin(), bytes.begin() + cut));
    ASSERT_TRUE(d);
    const std::vector<int16_t> pcm = DecodeRest(*d);
    EXPECT_EQ(static_cast<int64_t>(pcm.size()) / 2, d->format().totalFrames);
    EXPECT_LT(d->format().totalFrames, f.samples);
    EXPECT_GT(d->format().totalFrames, 0);
  }
  for (int round = 0; round < 30; ++round) {
    std::vector<uint8_t> spoilt = bytes;
    const int flips = 1 + round % 7;
    for (int i = 0; i < flips; ++i) {
      spoilt[std::uniform_int_distribution<size_t>(0, spoilt.size() - 1)(rng)] ^=
          static_cast<uint8_t>(1 + rng() % 255);
    }
    auto d = OpenMemory(spoilt);
    if (!d) continue;
    const std::vector<int16_t> pcm = DecodeRest(*d, 4096, f.samples * 2);
    EXPECT_LE(static_cast<int64_t>(pcm.size()) / 2, d->format().totalFrames);
    d->Seek(d->format().totalFrames / 3);
    DecodeRest(*d, 4096, 5000);
  }
  // Bytes before the first page are scanned over.
  std::vector<uint8_t> prefixed(500, 0x33);
  prefixed.insert(prefixed.end(), bytes.begin(), bytes.end());
  auto clean = OpenMemory(bytes);
  auto d = OpenMemory(prefixed);
  ASSERT_TRUE(clean && d);
  EXPECT_EQ(DecodeRest(*d), DecodeRest(*clean));
}

TEST(VorbisRobustness, FastImdctMatchesTheDefinition) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> value(-1, 1);
  for (int n = 64; n <= 8192; n *= 2) {
    SCOPED_TRACE(n);
    std::vector<float> in(n / 2), fast(n), slow(n);
    for (auto& v : in) v = value(rng);
    Imdct(n).Transform(in.data(), fast.data());
    ImdctDirect(in.data(), slow.data(), n);
    double err = 0;
    for (int i = 0; i < n; ++i) err = std::max(err, static_cast<double>(std::fabs(fast[i] - slow[i])));
    EXPECT_LT(err, 1e-4 * std::sqrt(static_cast<double>(n)));
  }
}

TEST(VorbisRobustness, PagesOfAnEncodedFileCheckOut) {
  const std::vector<uint8_t> bytes = ReadBytes(CorpusNamed("q4-32k-stereo").path);
  codec::MemoryByteSource source(bytes);
  const std::vector<PageInfo> pages = WalkPages(source);
  ASSERT_GT(pages.size(), 3u);
  std::vector<uint8_t> page;
  int64_t last = -1;
  for (size_t i = 0; i < pages.size(); ++i) {
    EXPECT_TRUE(ReadPage(source, pages[i], page)) << "page " << i;
    EXPECT_EQ(pages[i].sequence, i);
    if (pages[i].granule >= 0) {
      EXPECT_GE(pages[i].granule, last);
      last = pages[i].granule;
    }
  }
  EXPECT_TRUE(pages.front().flags & kFirstPage);
  EXPECT_TRUE(pages.back().flags & kLastPage);
  // One byte changed: the CRC no longer matches.
  std::vector<uint8_t> changed = bytes;
  changed[pages[2].offset + pages[2].size / 2] ^= 1;
  codec::MemoryByteSource changedSource(changed);
  EXPECT_FALSE(ReadPage(changedSource, pages[2], page));
}

}  // namespace
}  // namespace cx::vorbis::test
