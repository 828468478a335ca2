// The random numbers behind shuffled play orders.
#pragma once

#include <cstdint>

// One generator for the whole process (64-bit linear congruential, the high
// half of the state as output), seeded from the clock at its first use, so
// every start shuffles differently. Not thread-safe: only the user-interface
// thread shuffles.
void SeedShuffleRandom(uint64_t seed);

// A seed that differs from one call, and one start, to the next: the
// system clock's and a steady clock's ticks with a call counter.
uint64_t ClockShuffleSeed();

// 0..n-1, every value equally likely (rejection, no modulo bias); 0 for n 0.
uint32_t DrawShuffleBelow(uint32_t n);

// A random permutation of 0..count-1 (Fisher-Yates): every order can come
// and is equally likely.
void ShuffleOrder(int* order, int count);
