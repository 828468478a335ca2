// Residues: the spectral fine structure, coded in partitions whose class
// (read first, several partitions to a codeword) picks a codebook for each
// of up to eight refining passes. Type 2 codes all channels as one vector,
// interleaved.
#pragma once

#include <vector>

#include "vorbis/setup.h"

namespace cx::vorbis {

// Adds the packet's residue to vectors[c][0, n) for the channels whose
// doNotDecode is false (vectors start zeroed). Stops quietly at the end of
// the packet. `classes` and `interleave` are scratch.
void DecodeResidue(const Residue& r, const Setup& s, BitReader& br, int channels, const bool* doNotDecode,
                   float* const* vectors, int n, std::vector<int>& classes, std::vector<float>& interleave);

}  // namespace cx::vorbis
