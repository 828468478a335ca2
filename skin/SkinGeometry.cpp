#include "skin/SkinGeometry.h"

// A slider whose maximum is 0, or which is no longer than its thumb, would
// divide by zero; such a slider keeps its thumb at the start instead.
static bool SliderDegenerate(const SliderGeometry& s) {
  int length = s.vertical ? s.height : s.width;
  return s.maximum == 0 || length <= s.thumbLength;
}

SkinRect SliderThumb(const SliderGeometry& s) {
  if (SliderDegenerate(s)) {
    return s.vertical ? SkinRect{s.originX, s.originY, s.width, s.thumbLength}
                      : SkinRect{s.originX + 5, s.originY + 5, s.thumbLength, s.height};
  }
  if (s.vertical) {
    int y = s.originY + (s.maximum - s.position) * (s.height - s.thumbLength - s.originY) / s.maximum;
    return SkinRect{s.originX, y, s.width, s.thumbLength};
  }
  int x = s.originX + (s.width - s.thumbLength - s.originX - 10) * s.position / s.maximum + 5;
  return SkinRect{x, s.originY + 5, s.thumbLength, s.height};
}

int SliderJumpValue(const SliderGeometry& s, int px, int py) {
  if (SliderDegenerate(s)) return s.minimum;
  int h = s.thumbLength / 2;
  int span = s.maximum - s.minimum;
  if (s.vertical) {
    if (py < h) return s.maximum;
    if (py + h < s.height) return s.maximum - span * (py - h) / (s.height - s.thumbLength);
    return s.minimum;
  }
  if (px < h) return s.minimum;
  if (px + h < s.width) return span * (px - h) / (s.width - s.thumbLength) + s.minimum;
  return s.maximum;
}

bool SliderDragValue(const SliderGeometry& s, int px, int py, int grabX, int grabY, int* value) {
  if (SliderDegenerate(s)) return false;
  int h = s.thumbLength / 2;
  int span = s.maximum - s.minimum;
  if (s.vertical) {
    if (py >= s.height) return false;
    if (py < h) {
      *value = s.maximum;
    } else if (h + py < s.height) {
      *value = s.maximum - span * (py - grabY) / (s.height - s.thumbLength);
    } else {
      *value = s.minimum;
    }
    return true;
  }
  if (px >= s.width) return false;
  if (px < h) {
    *value = s.minimum;
  } else if (h + px < s.width) {
    *value = (px - grabX) * span / (s.width - s.thumbLength) + s.minimum;
  } else {
    *value = s.maximum;
  }
  return true;
}

void TrackTimeDigits(int track, int minutes, int seconds, int digits[6]) {
  const int values[3] = {track, minutes, seconds};
  for (int i = 0; i < 3; ++i) {
    digits[2 * i] = kFirstDigitBitmap + values[i] / 10;
    digits[2 * i + 1] = kFirstDigitBitmap + values[i] % 10;
  }
}
