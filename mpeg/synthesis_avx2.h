// AVX2 and FMA forms of the two hottest loops of the filterbanks, built for
// those instructions alone and chosen at run time (synthesis.cpp) when the
// processor has them. Not in Windows builds: GCC there cannot align the
// stack to 32 bytes for spilled AVX registers.
#pragma once

#include <cstdint>

#if defined(__x86_64__) && defined(__GNUC__) && !defined(_WIN32)
#define CX_MPEG_AVX2 1
#endif

namespace cx::mpeg::avx2 {

#if defined(CX_MPEG_AVX2)
// True when the processor runs AVX2 and FMA.
bool Supported();
// The 16-tap window sum of the polyphase synthesis for 32 outputs: window
// holds D[0..511] in single precision, taps[i] the history slice of tap i.
void WindowSum(const float* window, const float* const taps[16], int16_t* out, int stride);
// half[q] = sum over m of in[m] * cosines[m][q] for q < 24 (18 used).
void LongImdctProduct(const float in[18], const float (*cosines)[24], float half[24]);
#endif

}  // namespace cx::mpeg::avx2
