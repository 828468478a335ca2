// The two filterbanks: the Layer III hybrid filterbank (IMDCT, windowing and
// overlap-add) and the polyphase synthesis that turns 32 subband samples
// into 32 PCM samples for every layer. Both keep per-channel state, so each
// stream owns its own instances.
#pragma once

#include <cstdint>

namespace cx::mpeg {

// The inner loops of the synthesis window and the long IMDCT come in three
// forms: AVX2 with FMA (where the processor has it), SSE2 (always there on
// x86-64) and portable C++. All meet the same accuracy; tests run each
// against the same references.
enum class Kernels { kPortable, kSse2, kAvx2 };
// True when built in and run by this processor.
bool KernelsAvailable(Kernels k);
// Selects the kernels for the whole process; false (and no change) when
// they are not available. The default is the best available, or the one
// that the environment variable CX_MPEG_KERNELS names (portable, sse2, avx2).
bool UseKernels(Kernels k);
Kernels ActiveKernels();
const char* KernelsName(Kernels k);

class SubbandSynthesis {
 public:
  SubbandSynthesis() { Reset(); }
  // Clears the histories, so that nothing of an earlier position is heard.
  void Reset();
  // Consumes 32 subband samples of one channel and writes 32 PCM samples to
  // out[0], out[stride], ... (stride 2 interleaves two channels).
  void SynthesizeSubbands(const float samples[32], int channel, int16_t* out, int stride);
  // Consumes 'count' slots of 32 subband samples (slot k at samples + 32 k)
  // of one channel; slot k's PCM starts at out + k * slotStep.
  void SynthesizeSlots(const float* samples, int count, int channel, int16_t* out, int slotStep, int stride);
  // The same from the subband samples' DCT (X[m] = sum of s[k] cos((2k + 1)
  // m pi / 64)), for callers that transform several slots at once.
  void SynthesizeTransformed(const float x[32], int channel, int16_t* out, int stride);

 private:
  // The V vectors of each channel, a ring, in the single precision they
  // are computed in. The portable window sum runs in double, the vector
  // ones in single precision.
  alignas(16) float history_[2][1024];
  int offset_[2];
};

// Rounds half away from zero and clips to 16 bits.
int16_t RoundToPcm(double sum);

struct BlockShape {
  bool windowSwitching = false;
  uint32_t blockType = 0;  // 0 normal, 1 start, 2 short, 3 stop
  bool mixed = false;
};

class HybridFilterbank {
 public:
  HybridFilterbank() { Reset(); }
  void Reset();
  // IMDCT and overlap of the 32 subbands of one granule and channel. Input
  // and output are subband-major: line = 18 * subband + index. Subbands
  // from codedSubbands on must hold zeros only; they are not transformed.
  void Transform(const float lines[576], const BlockShape& shape, int channel, float out[576],
                 int codedSubbands = 32);

 private:
  alignas(16) float overlap_[2][32][18];
};

// Layer III synthesis of one granule and channel: frequency inversion, then
// 18 calls of SynthesizeSubbands writing 18 * 32 samples with 'stride'.
void SynthesizeGranule(SubbandSynthesis& synthesis, const float hybrid[576], int channel,
                       int16_t* out, int stride);

}  // namespace cx::mpeg
