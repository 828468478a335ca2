// The shuffle: real permutations, every order equally likely, a different
// sequence at every start.
#include "media/ShuffleRandom.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <vector>

namespace {

std::vector<int> Shuffled(int count) {
  std::vector<int> order(static_cast<size_t>(count));
  ShuffleOrder(order.data(), count);
  return order;
}

TEST(ShuffleRandomTest, EveryOrderOfFourComesAboutEquallyOften) {
  SeedShuffleRandom(7);
  std::map<std::vector<int>, int> seen;
  const int rounds = 24000;
  for (int i = 0; i < rounds; ++i) ++seen[Shuffled(4)];
  ASSERT_EQ(seen.size(), 24u);  // all 4! orders
  // 1000 expected each; the standard deviation is about 31.
  for (const auto& [order, n] : seen) EXPECT_NEAR(n, 1000, 160);
}

TEST(ShuffleRandomTest, EachFileOncePerRoundAndEveryPlaceReachable) {
  SeedShuffleRandom(11);
  for (int count = 0; count <= 99; ++count) {
    std::vector<int> order = Shuffled(count);
    std::vector<int> sorted = order;
    std::sort(sorted.begin(), sorted.end());
    for (int i = 0; i < count; ++i) ASSERT_EQ(sorted[i], i) << count;
  }
  // Over many lists of 99, every entry lands at the first and at the last
  // place: no stride, no rotation.
  std::vector<bool> first(99), last(99);
  for (int i = 0; i < 3000; ++i) {
    std::vector<int> order = Shuffled(99);
    first[order.front()] = true;
    last[order.back()] = true;
  }
  EXPECT_EQ(std::count(first.begin(), first.end(), true), 99);
  EXPECT_EQ(std::count(last.begin(), last.end(), true), 99);
}

TEST(ShuffleRandomTest, DrawsAreBoundedAndSeedsFromTheClockDiffer) {
  SeedShuffleRandom(3);
  for (uint32_t n : {1u, 2u, 3u, 99u, 0x80000001u}) {
    for (int i = 0; i < 1000; ++i) ASSERT_LT(DrawShuffleBelow(n), n);
  }
  EXPECT_EQ(DrawShuffleBelow(0), 0u);
  EXPECT_NE(ClockShuffleSeed(), ClockShuffleSeed());
  // Two starts seeded from the clock shuffle 20 files differently (the
  // chance of the same order is 1 in 20!).
  SeedShuffleRandom(ClockShuffleSeed());
  const std::vector<int> one = Shuffled(20);
  SeedShuffleRandom(ClockShuffleSeed());
  EXPECT_NE(Shuffled(20), one);
  // The same seed gives the same sequence: the clock is the only source.
  SeedShuffleRandom(42);
  const std::vector<int> again = Shuffled(20);
  SeedShuffleRandom(42);
  EXPECT_EQ(Shuffled(20), again);
}

}  // namespace
