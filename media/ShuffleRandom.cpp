#include "media/ShuffleRandom.h"

#include <cstdint>

namespace {

uint32_t gShuffleState = 1;

}  // namespace

int DrawShuffleRandom() {
  gShuffleState = gShuffleState * 214013u + 2531011u;
  return static_cast<int>((gShuffleState >> 16) & 0x7FFF);
}
