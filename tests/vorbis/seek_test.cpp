// Seeking lands on the exact frame: after Seek(f) the next frames are the
// ones a whole decode has from f on, for random targets in every file
// (across a chain's boundary too), in random order, and at the edges.
#include <gtest/gtest.h>

#include <random>

#include "tests/vorbis/corpus.h"

namespace cx::vorbis::test {
namespace {

TEST(VorbisSeek, RandomSeeksLandOnTheExactFrame) {
  std::mt19937 rng(12345);
  for (const CorpusFile& f : LoadCorpus()) {
    if (f.kind == "damaged" || f.samples < 100) continue;
    SCOPED_TRACE(f.name);
    const std::vector<uint8_t> bytes = ReadBytes(f.path);
    auto whole = OpenMemory(bytes);
    ASSERT_TRUE(whole);
    const std::vector<int16_t> all = DecodeRest(*whole);
    auto d = OpenMemory(bytes);
    ASSERT_TRUE(d);
    const size_t ch = static_cast<size_t>(f.channels);
    std::vector<int64_t> targets = {0, 1, f.samples - 1, f.samples / 2, 63, 64, 2047, 2048};
    for (int i = 0; i < 12; ++i) targets.push_back(std::uniform_int_distribution<int64_t>(0, f.samples - 1)(rng));
    for (int64_t t : targets) {
      SCOPED_TRACE(t);
      ASSERT_TRUE(d->Seek(t));
      EXPECT_EQ(d->Position(), t);
      const size_t want = static_cast<size_t>(std::min<int64_t>(1500, f.samples - t));
      std::vector<int32_t> buf(want * ch);
      size_t got = 0;
      while (got < want) {
        const size_t n = d->Read(buf.data() + got * ch, want - got);
        if (n == 0) break;
        got += n;
      }
      ASSERT_EQ(got, want);
      size_t mismatches = 0;
      for (size_t i = 0; i < want * ch; ++i) mismatches += buf[i] != all[static_cast<size_t>(t) * ch + i];
      EXPECT_EQ(mismatches, 0u);
      EXPECT_EQ(d->Position(), t + static_cast<int64_t>(want));
    }
    // To the end: nothing more to read; and back to the start: all again.
    ASSERT_TRUE(d->Seek(f.samples));
    std::vector<int32_t> one(ch);
    EXPECT_EQ(d->Read(one.data(), 1), 0u);
    ASSERT_TRUE(d->Seek(0));
    EXPECT_EQ(DecodeRest(*d), all);
  }
}

}  // namespace
}  // namespace cx::vorbis::test
