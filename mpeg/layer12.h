// Layers I and II: bit allocation, scale factors and samples read straight
// from the file behind the header, dequantised into subband samples and
// synthesised into PCM.
#pragma once

#include <cstdint>

#include "mpeg/bit_reader.h"
#include "mpeg/frame_header.h"
#include "mpeg/synthesis.h"

namespace cx::mpeg {

class Layer12Decoder {
 public:
  // Both write a whole frame of interleaved PCM (384 or 1152 samples per
  // channel); a damaged frame decodes into whatever its bits say.
  void DecodeLayer1(BitReader& in, const FrameHeader& h, SubbandSynthesis& synth, int16_t* pcm);
  void DecodeLayer2(BitReader& in, const FrameHeader& h, SubbandSynthesis& synth, int16_t* pcm);

 private:
  uint32_t allocation_[2][32];
  uint32_t scaleIndex_[2][3][32];
  uint32_t codes_[2][3][32];
  // Subband samples of a whole frame per channel, [channel][slot][subband],
  // synthesised together once the frame is read.
  alignas(16) float fractions_[2][36][32];
};

}  // namespace cx::mpeg
