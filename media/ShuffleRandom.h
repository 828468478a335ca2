// The random numbers behind shuffled play orders.
#pragma once

// One linear congruential generator for the whole process: state * 214013 +
// 2531011 modulo 2^32, a draw being bits 16..30 of the new state (0..32767).
// It starts at state 1 and is never reseeded, so a freshly started program
// shuffles the same way every time. Not thread-safe: only the
// user-interface thread shuffles.
int DrawShuffleRandom();
