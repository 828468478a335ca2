#include "media/ShuffleRandom.h"

#include <chrono>

namespace {

uint64_t gShuffleState = 0;
bool gSeeded = false;
uint64_t gSeedCalls = 0;

uint32_t Next32() {
  if (!gSeeded) SeedShuffleRandom(ClockShuffleSeed());
  gShuffleState = gShuffleState * 6364136223846793005ull + 1442695040888963407ull;
  return static_cast<uint32_t>(gShuffleState >> 32);
}

}  // namespace

void SeedShuffleRandom(uint64_t seed) {
  // A splitmix step spreads seeds that differ in a few low bits.
  uint64_t z = seed + 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  gShuffleState = z ^ (z >> 31);
  gSeeded = true;
}

uint64_t ClockShuffleSeed() {
  const uint64_t wall = static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
  const uint64_t steady = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  return wall ^ (steady * 0x9E3779B97F4A7C15ull) ^ (++gSeedCalls << 48);
}

uint32_t DrawShuffleBelow(uint32_t n) {
  if (n == 0) return 0;
  const uint32_t limit = 0xFFFFFFFFu - 0xFFFFFFFFu % n;  // whole rounds of n only
  uint32_t draw;
  do {
    draw = Next32();
  } while (draw >= limit);
  return draw % n;
}

void ShuffleOrder(int* order, int count) {
  for (int i = 0; i < count; ++i) order[i] = i;
  for (int i = count - 1; i > 0; --i) {
    const int j = static_cast<int>(DrawShuffleBelow(static_cast<uint32_t>(i) + 1));
    const int held = order[i];
    order[i] = order[j];
    order[j] = held;
  }
}
