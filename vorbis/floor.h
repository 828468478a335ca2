// Floors: the spectral envelope each channel's residue is multiplied by.
// Floor 1 is a piecewise-linear curve in a dB domain, floor 0 an LSP
// filter's response on a Bark scale. Decoding reads the curve's points;
// applying multiplies the n/2 residue values by it.
#pragma once

#include <cstdint>
#include <vector>

#include "vorbis/setup.h"

namespace cx::vorbis {

// What one channel's floor read from a packet.
struct FloorData {
  bool used = false;
  int y[65];                  // floor 1 points
  std::vector<float> coeffs;  // floor 0 LSP coefficients
  uint32_t amplitude = 0;     // floor 0
};

// Reads the channel's floor; data.used false when the packet says the
// channel is silent (or ends first).
void DecodeFloor(const Floor& floor, const Setup& setup, BitReader& br, FloorData& data);
// Multiplies spectrum[0, n) by the floor curve.
void ApplyFloor(const Floor& floor, const FloorData& data, int n, float* spectrum);

}  // namespace cx::vorbis
