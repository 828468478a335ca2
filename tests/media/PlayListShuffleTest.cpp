// Its own program: the shuffle generator must be seen from program start,
// so nothing else may draw from it first.
#include "media/PlayList.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

// The generator and shuffle written out from their description, to predict
// what a freshly started program does.
struct ReferenceShuffler {
  uint32_t state = 1;
  int Draw() {
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 0x7FFF);
  }
  std::vector<int> Shuffle(int count) {
    int start = Draw() % 80833;
    std::vector<int> order;
    for (int i = 0; i < count; ++i) order.push_back((start + i * 80833) % count);
    if (count > 2) {
      for (int swap = 0; swap < 3; ++swap) {
        int a = Draw() % count + 1;
        int b = Draw() % count + 1;
        if (a != b) std::swap(order[a - 1], order[b - 1]);
      }
    }
    return order;
  }
};

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

TEST(PlayListShuffleTest, FreshProgramShufflesTheSameWayEveryTime) {
  struct Step {
    int count;
    std::vector<int> expected;  // worked out by hand from the first draws
  };
  // Draws 41, 18467, 6334, 26500, 19169, 15724, 11478 serve the first list:
  // start 41 gives the rotation 2 0 1, then the swaps (3,2), (2,3), (2,1).
  // One or two entries take one draw each and are only rotated: 29358,
  // 26962 and 24464 are even, 5705 is odd.
  const Step steps[] = {
      {3, {0, 2, 1}}, {1, {0}}, {2, {0, 1}}, {2, {0, 1}}, {2, {1, 0}},
      {0, {}},        {4, {1, 0, 2, 3}},      {5, {1, 3, 0, 2, 4}},
      {7, {5, 1, 6, 3, 0, 2, 4}},
  };
  ReferenceShuffler reference;
  for (const Step& step : steps) {
    auto list = WaveListOf(step.count);
    list->Shuffle();
    EXPECT_EQ(OrderOf(*list), step.expected) << step.count << " entries";
    EXPECT_EQ(reference.Shuffle(step.count), step.expected) << "reference, " << step.count;
    EXPECT_TRUE(list->IsShuffled());
    EXPECT_EQ(list->Position(), 0);
  }

  // Unshuffling, playing an entry and reloading never touch the generator:
  // later shuffles of long lists go on with the same sequence.
  for (int count : {99, 50, 3, 98}) {
    auto list = WaveListOf(count);
    list->Unshuffle();
    char buffer[kPlayListSlot];
    list->PlayEntry(1, buffer, sizeof buffer);
    list->Shuffle();
    EXPECT_EQ(OrderOf(*list), reference.Shuffle(count)) << count << " entries";
    // Shuffling again starts from the straight order, not from this one.
    list->Shuffle();
    EXPECT_EQ(OrderOf(*list), reference.Shuffle(count)) << count << " entries, again";
  }
}

}  // namespace
