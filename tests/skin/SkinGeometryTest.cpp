// The arithmetic of the level bar, the slider, the marker strips and the
// LED time display, and the recording format table.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "audio/RecordFormats.h"
#include "skin/SkinGeometry.h"

namespace {

TEST(LevelBar, LitSquaresFollowTheLevel) {
  const struct { int level, lit; } kCases[] = {
      {100, 13}, {99, 12}, {50, 6}, {8, 1}, {7, 0}, {0, 0}, {16, 2}};
  for (const auto& c : kCases) EXPECT_EQ(LevelBarLitSquares(c.level), c.lit) << c.level;
  EXPECT_EQ(LevelBarSquare(0).y, 52);
  EXPECT_EQ(LevelBarSquare(12).y, 4);
  EXPECT_EQ(LevelBarSquare(5).x, 3);
}

SliderGeometry Vertical(int position, int height = 65) {
  return SliderGeometry{true, 16, height, 0, 0, 7, 0, 50, position};
}
SliderGeometry Horizontal(int position, int width = 50) {
  return SliderGeometry{false, width, 14, 0, 0, 5, 0, 50, position};
}

TEST(Slider, ThumbPositions) {
  const struct { SliderGeometry g; int x, y, w, h; } kCases[] = {
      {Vertical(50), 0, 0, 16, 7},      {Vertical(0), 0, 58, 16, 7},
      {Vertical(25), 0, 29, 16, 7},     {Horizontal(25), 22, 5, 5, 14},
      {Horizontal(0), 5, 5, 5, 14},     {Horizontal(50), 40, 5, 5, 14},
  };
  for (const auto& c : kCases) {
    SkinRect t = SliderThumb(c.g);
    EXPECT_EQ(t.x, c.x);
    EXPECT_EQ(t.y, c.y);
    EXPECT_EQ(t.width, c.w);
    EXPECT_EQ(t.height, c.h);
  }
}

TEST(Slider, ClickJumps) {
  const struct { SliderGeometry g; int px, py, value; } kCases[] = {
      {Vertical(10), 8, 2, 50},     // 2 pixels from the top: maximum
      {Vertical(10), 8, 62, 0},     // 2 pixels from the bottom: minimum
      {Vertical(10), 8, 32, 25},    // 50 - 50 * (32 - 3) / 58
      {Vertical(10), 8, 60, 1},     // 50 - 50 * 57 / 58
      {Horizontal(10), 1, 7, 0},    // near the left: minimum
      {Horizontal(10), 48, 7, 50},  // near the right: maximum
      {Horizontal(10), 24, 7, 24},  // 50 * (24 - 2) / 45
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(SliderJumpValue(c.g, c.px, c.py), c.value) << c.px << "," << c.py;
  }
}

TEST(Slider, DraggingFollowsTheGrabOffsetAndStopsBeyondTheEnd) {
  int value = -1;
  // Grabbed 3 rows into a vertical thumb, dragged to y 30.
  ASSERT_TRUE(SliderDragValue(Vertical(0), 8, 30, 0, 3, &value));
  EXPECT_EQ(value, 50 - 50 * (30 - 3) / 58);
  ASSERT_TRUE(SliderDragValue(Vertical(0), 8, -4, 0, 3, &value));
  EXPECT_EQ(value, 50);
  ASSERT_TRUE(SliderDragValue(Vertical(0), 8, 63, 0, 3, &value));
  EXPECT_EQ(value, 0);
  value = -1;
  EXPECT_FALSE(SliderDragValue(Vertical(0), 8, 65, 0, 3, &value));
  EXPECT_EQ(value, -1);
  ASSERT_TRUE(SliderDragValue(Horizontal(0), 20, 3, 2, 0, &value));
  EXPECT_EQ(value, (20 - 2) * 50 / 45);
  EXPECT_FALSE(SliderDragValue(Horizontal(0), 50, 3, 2, 0, &value));
}

TEST(Slider, DegenerateSlidersDoNotDivideByZero) {
  SliderGeometry noRange = Vertical(0);
  noRange.maximum = 0;
  EXPECT_EQ(SliderThumb(noRange).y, 0);
  EXPECT_EQ(SliderJumpValue(noRange, 3, 30), 0);
  SliderGeometry tooShort = Horizontal(10, 5);
  EXPECT_EQ(SliderThumb(tooShort).x, 5);
  int value = 0;
  EXPECT_FALSE(SliderDragValue(tooShort, 2, 2, 0, 0, &value));
}

TEST(MarkerStrip, MarkerRectangles) {
  const struct { int pos, left, right; } kCases[] = {{0, 1, 9}, {9, 82, 90}, {28, 253, 261}};
  for (const auto& c : kCases) {
    SkinRect r = MarkerRect(c.pos);
    EXPECT_EQ(r.x, c.left);
    EXPECT_EQ(r.x + r.width, c.right);
    EXPECT_EQ(r.y, 1);
    EXPECT_EQ(r.y + r.height, 8);
  }
}

TEST(LedDigits, TrackTimeDigits) {
  const struct { int t, m, s; int digits[6]; } kCases[] = {
      {7, 3, 5, {193, 200, 193, 196, 193, 198}},
      {99, 59, 10, {202, 202, 198, 202, 194, 193}},
      {0, 0, 0, {193, 193, 193, 193, 193, 193}},
  };
  for (const auto& c : kCases) {
    int digits[6];
    TrackTimeDigits(c.t, c.m, c.s, digits);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(digits[i], c.digits[i]) << c.t << " " << i;
  }
}

// Each list text names the row's own rate, bits, channels and byte rate.
TEST(RecordFormats, TextsAgreeWithTheirRows) {
  ASSERT_EQ(kRecordFormatCount, 12);
  for (int i = 0; i < kRecordFormatCount; ++i) {
    const RecordFormat& f = RecordFormatAt(i);
    char expected[64];
    unsigned kbPerSecond = (f.rate * f.channels * (f.bits / 8) + 512) / 1024;  // nearest
    std::snprintf(expected, sizeof expected, " %uHZ,  %uBit ,%s   %uKB/S", f.rate, f.bits,
                  f.channels == 1 ? "Mono" : "Stereo", kbPerSecond);
    EXPECT_EQ(std::string(RecordFormatText(i)), expected) << i;
    EXPECT_EQ(f.rate, i < 4 ? 11025u : i < 8 ? 22050u : 44100u);
  }
  EXPECT_EQ(&RecordFormatAt(42), &RecordFormatAt(0));
  EXPECT_EQ(RecordFormatAt(9).channels, 2u);
}

}  // namespace

namespace {

// Past 99:59 the clock pairs show hours and minutes instead of stopping.
TEST(ClockDigits, MinutesAndSecondsThenHoursAndMinutes) {
  const struct {
    uint32_t seconds;
    long left, right;
  } cases[] = {
      {0, 0, 0},        {59, 0, 59},        {61, 1, 1},          {3599, 59, 59},
      {3600, 60, 0},    {5999, 99, 59},     {6000, 1, 40},       {7200, 2, 0},
      {7505, 2, 5},     {359999, 99, 59},   {360000, 100, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.seconds);
    EXPECT_EQ(ClockPairsOf(c.seconds).left, c.left);
    EXPECT_EQ(ClockPairsOf(c.seconds).right, c.right);
    EXPECT_EQ(TwoDigitValue(ClockPairsOf(c.seconds).left), c.left > 99 ? 99 : c.left);
  }
}

// Whole multiples only, rounded down, never below 1: 150 % and 175 % keep
// the plain skin, 200 % doubles it, 300 % triples it.
TEST(SkinScale, WholeMultiplesOfTheBitmapsFromTheDpi) {
  const struct { int dpi, scale; } cases[] = {
      {0, 1},   {72, 1},  {96, 1},  {120, 1}, {144, 1}, {168, 1}, {191, 1},
      {192, 2}, {240, 2}, {287, 2}, {288, 3}, {384, 4}, {5000, kMaxSkinScale},
  };
  for (const auto& c : cases) EXPECT_EQ(SkinScaleForDpi(c.dpi), c.scale) << c.dpi;
}

}  // namespace
