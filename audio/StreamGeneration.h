// Every run of a feeding thread gets its own number, which its end notice
// carries in wParam. A notice can still be queued when its output has been
// stopped, closed or replaced; the player then sees that the number is not
// the one of the run it is waiting for and ignores it, rather than the
// player sweeping its queue (which would run other messages mid-close).
#pragma once

#include <atomic>
#include <cstdint>

// A new number, never 0 (0 stands for "no run").
inline uint32_t NewStreamGeneration() {
  static std::atomic<uint32_t> last{0};
  uint32_t generation = ++last;
  if (generation == 0) generation = ++last;
  return generation;
}
