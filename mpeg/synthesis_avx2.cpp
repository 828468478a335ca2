#include "mpeg/synthesis_avx2.h"

#if defined(CX_MPEG_AVX2)
#include <immintrin.h>

#include <cstring>

namespace cx::mpeg::avx2 {

bool Supported() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}

__attribute__((target("avx2,fma"))) void WindowSum(const float* window, const float* const taps[16],
                                                    int16_t* out, int stride) {
  // Eight accumulators (four groups of eight outputs, even and odd taps
  // apart) keep the multiply-adds independent of each other.
  __m256 even[4], odd[4];
  for (int k = 0; k < 4; ++k) even[k] = odd[k] = _mm256_setzero_ps();
  for (int i = 0; i < 16; i += 2) {
    const float* w0 = window + 32 * i;
    const float* w1 = w0 + 32;
    for (int k = 0; k < 4; ++k) {
      even[k] = _mm256_fmadd_ps(_mm256_loadu_ps(w0 + 8 * k), _mm256_loadu_ps(taps[i] + 8 * k), even[k]);
      odd[k] = _mm256_fmadd_ps(_mm256_loadu_ps(w1 + 8 * k), _mm256_loadu_ps(taps[i + 1] + 8 * k), odd[k]);
    }
  }
  __m128i pcm[4];
  for (int k = 0; k < 4; k += 2) {
    __m256i r[2];
    for (int h = 0; h < 2; ++h) {
      // Scale to 16 bits, clip, round half away from zero (as RoundToPcm).
      __m256 v = _mm256_mul_ps(_mm256_add_ps(even[k + h], odd[k + h]), _mm256_set1_ps(32768.0f));
      v = _mm256_min_ps(_mm256_max_ps(v, _mm256_set1_ps(-32768.0f)), _mm256_set1_ps(32767.0f));
      const __m256 half = _mm256_or_ps(_mm256_set1_ps(0.5f), _mm256_and_ps(v, _mm256_set1_ps(-0.0f)));
      r[h] = _mm256_cvttps_epi32(_mm256_add_ps(v, half));
    }
    // The pack works within 128-bit lanes; the permute puts 16 outputs in order.
    const __m256i packed = _mm256_permute4x64_epi64(_mm256_packs_epi32(r[0], r[1]), 0xD8);
    pcm[k] = _mm256_castsi256_si128(packed);
    pcm[k + 1] = _mm256_extracti128_si256(packed, 1);
  }
  if (stride == 1) {
    for (int k = 0; k < 4; ++k) _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8 * k), pcm[k]);
    return;
  }
  int16_t values[32];
  for (int k = 0; k < 4; ++k) _mm_storeu_si128(reinterpret_cast<__m128i*>(values + 8 * k), pcm[k]);
  for (int j = 0; j < 32; ++j) out[j * stride] = values[j];
}

__attribute__((target("avx2,fma"))) void LongImdctProduct(const float in[18], const float (*cosines)[24],
                                                           float half[24]) {
  __m256 even[3], odd[3];
  for (int k = 0; k < 3; ++k) even[k] = odd[k] = _mm256_setzero_ps();
  for (int m = 0; m < 18; m += 2) {
    const __m256 x0 = _mm256_set1_ps(in[m]);
    const __m256 x1 = _mm256_set1_ps(in[m + 1]);
    for (int k = 0; k < 3; ++k) {
      even[k] = _mm256_fmadd_ps(x0, _mm256_loadu_ps(cosines[m] + 8 * k), even[k]);
      odd[k] = _mm256_fmadd_ps(x1, _mm256_loadu_ps(cosines[m + 1] + 8 * k), odd[k]);
    }
  }
  for (int k = 0; k < 3; ++k) _mm256_storeu_ps(half + 8 * k, _mm256_add_ps(even[k], odd[k]));
}

}  // namespace cx::mpeg::avx2
#endif
