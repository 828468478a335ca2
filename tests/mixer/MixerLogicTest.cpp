// Which column a line lands in, and the arithmetic between control values
// and the mixer window's sliders at spans of the full 32-bit range (run
// natively under UBSan too, which would report an overflow).
#include <gtest/gtest.h>

#include <cstdint>

#include "mixer/MixerScale.h"
#include "mixer/MixerSlots.h"

namespace {

using mixer::Side;
using mixer::SlotForLine;

TEST(MixerSlots, NameBeforeTypeThenTypeAlone) {
  // A name decides whatever the type says; the second table's names count.
  EXPECT_EQ(SlotForLine(Side::kPlayback, "Wave", mixer::kSourceSynthesizer), 1);
  EXPECT_EQ(SlotForLine(Side::kPlayback, "Music", mixer::kSourceWaveOut), 2);
  EXPECT_EQ(SlotForLine(Side::kRecord, "LineInput", mixer::kSourceMicrophone), 5);
  // The sides differ: "StereoMix" plays in column 1 and records in column 1,
  // "Line Out" is a playback name only.
  EXPECT_EQ(SlotForLine(Side::kRecord, "Line Out", mixer::kSourceTelephone), 8);
  // Unnamed or unknown names fall back to the type; an empty name never
  // matches a row.
  EXPECT_EQ(SlotForLine(Side::kPlayback, "", mixer::kSourceSynthesizer), 2);
  EXPECT_EQ(SlotForLine(Side::kPlayback, nullptr, mixer::kSourceUndefined), 9);
  EXPECT_EQ(SlotForLine(Side::kPlayback, "Sampler", mixer::kSourceAnalog), 7);
  // Destinations and the PC speaker type get no column.
  EXPECT_EQ(SlotForLine(Side::kPlayback, "Speakers", 4), mixer::kNoSlot);
  EXPECT_EQ(SlotForLine(Side::kPlayback, "Beeper", 0x1007), mixer::kNoSlot);
}

TEST(MixerScale, FullThirtyTwoBitSpanNeitherOverflowsNorLosesTheTop) {
  const uint64_t span = 0xFFFFFFFFu;
  EXPECT_EQ(mixer::PositionToLevel(50, span), 0xFFFFFFFFu);
  EXPECT_EQ(mixer::LevelToPosition(0xFFFFFFFFu, span), 50);
  EXPECT_EQ(mixer::LevelToPercent(0xFFFFFFFFu, span), 100);
  // Every position comes back as itself through its level.
  for (int p = 0; p <= 50; ++p) {
    EXPECT_EQ(mixer::LevelToPosition(mixer::PositionToLevel(p, span), span), p);
    EXPECT_EQ(mixer::LevelToPosition(mixer::PositionToLevel(p, 65535), 65535), p);
  }
  EXPECT_EQ(mixer::BalanceOf(0xFFFFFFFFu, 0xFFFFFFFFu, 0), 50);
  EXPECT_EQ(mixer::BalanceOf(0, 0, 37), 37);
}

TEST(MixerScale, BalanceKeepsTheLouderSideAtTheFaderLevel) {
  // Right at a quarter of the total: left is three times right.
  mixer::Levels l = mixer::SpreadByBalance(30000, 25, 25.0);
  EXPECT_EQ(l.left, 30000u);
  EXPECT_EQ(l.right, 10000u);
  l = mixer::SpreadByBalance(30000, 75, 75.0);
  EXPECT_EQ(l.left, 10000u);
  EXPECT_EQ(l.right, 30000u);
  l = mixer::SpreadByBalance(30000, 100, 100.0);
  EXPECT_EQ(l.left, 0u);
  EXPECT_EQ(l.right, 30000u);
  // The balance slider: its middle gives both the louder value.
  l = mixer::BalanceLevels(25, 40000);
  EXPECT_EQ(l.left, 40000u);
  EXPECT_EQ(l.right, 40000u);
  l = mixer::BalanceLevels(0, 0xFFFFFFFFu);
  EXPECT_EQ(l.left, 0xFFFFFFFFu);
  EXPECT_EQ(l.right, 0u);
  l = mixer::BalanceLevels(40, 0xFFFFFFFFu);  // b = 80: left is a quarter of right
  EXPECT_EQ(l.right, 0xFFFFFFFFu);
  EXPECT_EQ(l.left, 0xFFFFFFFFu / 4);
}

}  // namespace
