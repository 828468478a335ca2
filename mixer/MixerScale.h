// The arithmetic between a mixer control's values and the mixer window's
// sliders and bars. Values are levels above the control's minimum; a span
// is maximum minus minimum. Everything runs in 64 bits: a control may span
// the whole 32-bit range, and position times span would overflow 32 bits.
#pragma once

#include <cstdint>

namespace mixer {

constexpr int kSliderTop = 50;  // sliders run 0..50
constexpr int kFaderStep = 2;   // the remote's +/- move the fader this far

struct Levels {
  uint32_t left;
  uint32_t right;
};

// 0..50 for the fader, 0 when the control has no span.
constexpr int LevelToPosition(uint64_t level, uint64_t span) {
  return span == 0 ? 0 : static_cast<int>((level > span ? span : level) * kSliderTop / span);
}

// 0..100 for the level bars.
constexpr int LevelToPercent(uint64_t level, uint64_t span) {
  return span == 0 ? 0 : static_cast<int>((level > span ? span : level) * 100 / span);
}

// The level a fader position stands for. Half a percent is added so a
// position read back from that level is the position set.
constexpr uint32_t PositionToLevel(int position, uint64_t span) {
  const uint64_t p = position < 0 ? 0 : position > kSliderTop ? kSliderTop : static_cast<uint64_t>(position);
  const uint64_t level = span * (2 * p) / 100 + span / 200;
  return static_cast<uint32_t>(level > span ? span : level);
}

// The right value's share of both, in percent; `keep` when both are 0.
constexpr int BalanceOf(uint32_t left, uint32_t right, int keep) {
  const uint64_t total = uint64_t{left} + right;
  return total == 0 ? keep : static_cast<int>(uint64_t{right} * 100 / total);
}

// The remote's step: the fader stays within its range.
constexpr int SteppedPosition(int position, int delta) {
  const int p = position + delta;
  return p < 0 ? 0 : p > kSliderTop ? kSliderTop : p;
}

// Both channels for a fader level `total`, keeping the balance: `share` is
// the stored integer balance (which side is louder), `exact` the one read
// last (by how much). The louder side gets the total.
inline Levels SpreadByBalance(uint32_t total, int share, double exact) {
  if (exact < 0) exact = 0;
  if (exact > 100) exact = 100;
  double other = 0;
  if (share < 50) {
    other = exact >= 100 ? 0 : total * exact / (100 - exact);
  } else {
    other = exact <= 0 ? 0 : (100 - exact) * total / exact;
  }
  const uint32_t quieter = other >= total ? total : static_cast<uint32_t>(other);
  return share < 50 ? Levels{total, quieter} : Levels{quieter, total};
}

// Both channels after the balance slider moved to `position`, with `loudest`
// the larger of the two channels now.
inline Levels BalanceLevels(int position, uint32_t loudest) {
  const int b = position < 0 ? 0 : position > kSliderTop ? 2 * kSliderTop : 2 * position;
  if (b == 50) return {loudest, loudest};
  if (b < 50) return {loudest, static_cast<uint32_t>(uint64_t{loudest} * b / (100 - b))};
  return {static_cast<uint32_t>(uint64_t{loudest} * (100 - b) / b), loudest};
}

}  // namespace mixer
