// The arithmetic of the small skinned controls, kept apart from the windows
// so it can be checked without a display. Integer arithmetic throughout,
// truncating like the controls do when they paint.
#pragma once

#include <cstdint>

#include "resources/ResourceIds.h"

struct SkinRect {
  int x, y, width, height;
};

// The skin is drawn at a whole multiple of its bitmaps, so every pixel of
// the art stays a sharp square: 1 below 192 dpi, 2 from 192, 3 from 288.
// Layout tables stay in units of 96 dpi and are multiplied at the edges.
constexpr int kSkinBaseDpi = 96;
constexpr int kMaxSkinScale = 8;
constexpr int SkinScaleForDpi(int dpi) {
  return dpi / kSkinBaseDpi < 1 ? 1 : dpi / kSkinBaseDpi > kMaxSkinScale ? kMaxSkinScale : dpi / kSkinBaseDpi;
}

// Level bar: how many of its 13 green squares a level of 0..100 lights, and
// where square k (0 at the bottom) sits.
constexpr int kLevelBarSquares = 13;
constexpr int LevelBarLitSquares(int level) { return level * kLevelBarSquares / 100; }
constexpr SkinRect LevelBarSquare(int k) { return SkinRect{3, 52 - 4 * k, 3, 3}; }

// Slider ("IndicatorControlClass").
struct SliderGeometry {
  bool vertical;
  int width, height;
  int originX, originY;
  int thumbLength;  // 7 vertical, 5 horizontal
  int minimum, maximum, position;
};

// The thumb rectangle as the slider paints it.
SkinRect SliderThumb(const SliderGeometry& s);
// The value a click at (px, py) away from the thumb jumps to.
int SliderJumpValue(const SliderGeometry& s, int px, int py);
// The value while dragging with the grab offset; false when the pointer is
// beyond the far end (the move is ignored then).
bool SliderDragValue(const SliderGeometry& s, int px, int py, int grabX, int grabY, int* value);

// Marker strips: the marker's rectangle (right and bottom excluded).
constexpr SkinRect MarkerRect(int markerPos) { return SkinRect{9 * markerPos + 1, 1, 8, 7}; }

// LED time display: the six digit resources for track, minutes, seconds.
constexpr int kFirstDigitBitmap = kLedDigit0;
void TrackTimeDigits(int track, int minutes, int seconds, int digits[6]);

// A value for the two-digit LED displays: they stop at 0 and 99.
constexpr int TwoDigitValue(long value) { return value < 0 ? 0 : value > 99 ? 99 : static_cast<int>(value); }

// A playing time on the two pairs of clock digits: minutes and seconds up
// to 99:59; from 100 minutes on hours and minutes (1 h 40 min shows 01:40,
// a 2-hour file at 2 h 5 min 02:05), so the display never stops. The pairs
// stop at 99 h 59 min.
struct ClockPairs {
  long left, right;
};
constexpr ClockPairs ClockPairsOf(uint32_t seconds) {
  return seconds < 100u * 60u ? ClockPairs{static_cast<long>(seconds / 60), static_cast<long>(seconds % 60)}
                              : ClockPairs{static_cast<long>(seconds / 3600), static_cast<long>(seconds / 60 % 60)};
}
