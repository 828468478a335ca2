// The 3D panel's arithmetic: the block computed from the steps, the slider
// limits and which zone a press hits.
#include <gtest/gtest.h>

#include "remote/Panel3DModel.h"

namespace {

TEST(Panel3DBlock, NeutralStepsGiveAnAudibleBlock) {
  const Shared3DBlock b = Compute3DBlock(Panel3DSteps{});
  EXPECT_EQ(b.minDistance, 1.0f);
  EXPECT_EQ(b.maxDistance, 1.0f);
  EXPECT_EQ(b.positionX, 0.0f);
  EXPECT_EQ(b.positionZ, 0.0f);
  EXPECT_EQ(b.velocityY, 0.0f);
  EXPECT_EQ(b.coneInsideAngle, 30u);
  EXPECT_EQ(b.coneOutsideAngle, 60u);
}

TEST(Panel3DBlock, PositionScalesWithTheMaximumDistance) {
  Panel3DSteps s;
  s.position[0] = 9;
  s.position[1] = -4;
  s.maxDistance = 19;
  s.velocity[2] = -7;
  const Shared3DBlock b = Compute3DBlock(s);
  EXPECT_EQ(b.positionX, 17.1f);
  EXPECT_EQ(b.positionY, -7.6f);
  EXPECT_EQ(b.maxDistance, 19.0f);
  EXPECT_EQ(b.velocityZ, -7.0f);
}

// Over every combination: distances never silence the buffer and the inside
// cone never exceeds the outside one.
TEST(Panel3DBlock, DistancesAndConesStayValidForEverySetting) {
  Panel3DSteps s;
  for (int low = 0; low <= 19; ++low) {
    for (int high = 0; high <= 19; ++high) {
      s.minDistance = s.coneInside = low;
      s.maxDistance = s.coneOutside = high;
      const Shared3DBlock b = Compute3DBlock(s);
      EXPECT_GE(b.minDistance, 1.0f);
      EXPECT_GE(b.maxDistance, b.minDistance);
      EXPECT_LE(b.coneInsideAngle, b.coneOutsideAngle) << low << " " << high;
      EXPECT_EQ(b.coneOutsideAngle, static_cast<uint32_t>(3 * high + 60));
      if (low > 0) {
        EXPECT_EQ(b.minDistance, static_cast<float>(low));
      }
    }
  }
  s.coneInside = 5;
  s.coneOutside = 0;
  EXPECT_EQ(Compute3DBlock(s).coneInsideAngle, 45u);  // 45 <= 60: kept as set
}

TEST(Panel3DSliders, StepsStopAtTheirLimits) {
  Panel3DModel m;
  m.page = kPageVelocity;
  for (int i = 0; i < 9; ++i) EXPECT_TRUE(StepSliderDown(m, 1));
  EXPECT_FALSE(StepSliderDown(m, 1));
  EXPECT_EQ(m.steps.velocity[0], -9);
  EXPECT_EQ(SliderMarker(m, 1), 0);

  m.page = kPageDistance;
  for (int i = 0; i < 19; ++i) EXPECT_TRUE(StepSliderUp(m, 2));
  EXPECT_FALSE(StepSliderUp(m, 2));
  EXPECT_EQ(m.steps.maxDistance, 19);
  EXPECT_EQ(SliderMarker(m, 2), 19);
  EXPECT_FALSE(StepSliderDown(m, 1));  // already 0

  m.page = kPageCone;
  EXPECT_FALSE(StepSliderUp(m, 3));  // the cone page has two sliders
  EXPECT_EQ(SliderMarker(m, 3), -1);
  EXPECT_TRUE(StepSliderUp(m, 1));
  EXPECT_EQ(m.steps.coneInside, 1);
}

TEST(Panel3DZones, PressesHitTheFirstEnabledZone) {
  const struct {
    int page, x, y;
    Panel3DAction want;
  } kCases[] = {
      {kPagePosition, 150, 80, kActionConePage},  // overlap: the cone tab is tested first
      {kPagePosition, 149, 102, kActionPositionPage},
      {kPagePosition, 361, 102, kActionDistancePage},
      {kPagePosition, 150, 103, kActionNone},
      {kPageVelocity, 264, 66, kActionSlider3Up},
      {kPageCone, 62, 58, kActionNone},  // slider 3's arrows are off on two-slider pages
      {kPageDistance, 327, 57, kActionResetAndHide},
      {kPageDistance, 328, 57, kActionNone},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(HitPanel3DZone(c.page, c.x, c.y), c.want) << c.page << " " << c.x << "," << c.y;
  }
}

}  // namespace
