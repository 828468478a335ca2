// The playlist's shuffle: the play order is a permutation that the shuffle
// generator draws (Fisher-Yates), different for every seed, so a fresh
// program no longer plays the same order each time.
#include "media/PlayList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "media/ShuffleRandom.h"

namespace {

std::unique_ptr<PlayList> WaveListOf(int count) {
  auto list = std::make_unique<PlayList>();
  list->Create(kWavePlayerKinds);
  for (int i = 0; i < count; ++i) {
    EXPECT_TRUE(list->Append(("C:\\m\\" + std::to_string(i) + ".mp3").c_str()));
  }
  return list;
}

std::vector<int> OrderOf(const PlayList& list) {
  std::vector<int> order;
  for (int p = 1; p <= list.Count(); ++p) order.push_back(list.OrderAt(p));
  return order;
}

TEST(PlayListShuffleTest, TheOrderIsTheGeneratorsPermutation) {
  for (int count : {0, 1, 2, 3, 7, 99}) {
    auto list = WaveListOf(count);
    SeedShuffleRandom(1000 + count);
    list->Shuffle();
    std::vector<int> expected(static_cast<size_t>(count));
    SeedShuffleRandom(1000 + count);
    ShuffleOrder(expected.data(), count);
    EXPECT_EQ(OrderOf(*list), expected) << count;
    EXPECT_TRUE(list->IsShuffled());
    EXPECT_EQ(list->Position(), 0);
  }
}

TEST(PlayListShuffleTest, ThreeFilesTakeEverySixOrdersAndPlayEachOncePerRound) {
  auto list = WaveListOf(3);
  std::set<std::vector<int>> seen;
  SeedShuffleRandom(ClockShuffleSeed());
  for (int i = 0; i < 600; ++i) {
    list->Shuffle();
    seen.insert(OrderOf(*list));
    std::set<std::string> round;
    char buffer[kPlayListSlot];
    for (int k = 0; k < 3; ++k) {
      ASSERT_TRUE(list->Next(buffer, sizeof buffer));
      round.insert(buffer);
    }
    EXPECT_EQ(round.size(), 3u);
  }
  EXPECT_EQ(seen.size(), 6u);
}

}  // namespace
