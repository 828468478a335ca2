// Runs as its own program so that the generator is seen from program start.
#include "media/ShuffleRandom.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(ShuffleRandomTest, FreshProcessGivesTheClassicSequenceAndNeverReseeds) {
  // The first draws of the classic C library generator seeded with 1.
  const int kFirst[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
  for (int expected : kFirst) EXPECT_EQ(DrawShuffleRandom(), expected);

  // Further draws continue the same recurrence, computed independently here.
  uint32_t state = 1;
  for (int i = 0; i < 10; ++i) state = state * 214013u + 2531011u;
  for (int i = 0; i < 5000; ++i) {
    state = state * 214013u + 2531011u;
    int draw = DrawShuffleRandom();
    ASSERT_EQ(draw, static_cast<int>((state >> 16) & 0x7FFF)) << "draw " << i + 10;
    ASSERT_GE(draw, 0);
    ASSERT_LE(draw, 32767);
  }
}

}  // namespace
