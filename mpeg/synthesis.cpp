#include "mpeg/synthesis.h"

#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "mpeg/standard_tables.h"
#include "mpeg/synthesis_avx2.h"

namespace cx::mpeg {
namespace {

constexpr double kPi = 3.14159265358979323846;

#if defined(__SSE2__)
constexpr bool kHaveSse2 = true;
#else
constexpr bool kHaveSse2 = false;
#endif

bool HaveAvx2() {
#if defined(CX_MPEG_AVX2)
  static const bool supported = avx2::Supported();
  return supported;
#else
  return false;
#endif
}

Kernels BestKernels() {
  return HaveAvx2() ? Kernels::kAvx2 : kHaveSse2 ? Kernels::kSse2 : Kernels::kPortable;
}

Kernels DefaultKernels() {
  const char* name = std::getenv("CX_MPEG_KERNELS");
  for (Kernels k : {Kernels::kPortable, Kernels::kSse2, Kernels::kAvx2}) {
    if (name != nullptr && std::strcmp(name, KernelsName(k)) == 0 && KernelsAvailable(k)) return k;
  }
  return BestKernels();
}

// Set when the program starts (before that it reads as portable), so that
// the inner loops ask for it with one load.
std::atomic<int> gActive{static_cast<int>(DefaultKernels())};

inline Kernels Active() { return static_cast<Kernels>(gActive.load(std::memory_order_relaxed)); }

// ---------------------------------------------------------------- DCT

// Butterfly factors 0.5 / cos((2k + 1) pi / 2N) of the fast DCT.
template <int N>
struct DctFactors {
  float f[N / 2];
  DctFactors() {
    for (int k = 0; k < N / 2; ++k) f[k] = static_cast<float>(0.5 / std::cos((2 * k + 1) * kPi / (2 * N)));
  }
};

template <int N>
const DctFactors<N>& Factors() {
  static const DctFactors<N> factors;
  return factors;
}

// X[m] = sum over k of x[k] cos((2k + 1) m pi / 2N), by splitting into the
// even outputs (a DCT of the folded sums) and the odd ones (a DCT of the
// scaled differences, added pairwise). T is float, or a vector of floats
// that runs the same arithmetic for several time slots side by side.
template <int N, typename T = float>
struct FastDct {
  static void Run(const T* x, T* out) {
    constexpr int H = N / 2;
    const DctFactors<N>& fac = Factors<N>();
    T a[H], b[H], ea[H], eb[H];
    for (int k = 0; k < H; ++k) {
      a[k] = x[k] + x[N - 1 - k];
      b[k] = (x[k] - x[N - 1 - k]) * fac.f[k];
    }
    FastDct<H, T>::Run(a, ea);
    FastDct<H, T>::Run(b, eb);
    for (int m = 0; m + 1 < H; ++m) {
      out[2 * m] = ea[m];
      out[2 * m + 1] = eb[m] + eb[m + 1];
    }
    out[N - 2] = ea[H - 1];
    out[N - 1] = eb[H - 1];
  }
};

template <typename T>
struct FastDct<1, T> {
  static void Run(const T* x, T* out) { out[0] = x[0]; }
};

#if defined(__GNUC__)
// Several time slots at once (GCC and Clang vectors): eight, as SSE2 pairs
// on x86-64; four on Windows, whose stack is not kept aligned to 32 bytes.
#if defined(_WIN32)
constexpr int kLanes = 4;
typedef float Lanes __attribute__((vector_size(16)));
#else
constexpr int kLanes = 8;
typedef float Lanes __attribute__((vector_size(32)));
#endif
#endif

// ---------------------------------------------------------------- IMDCT

struct ImdctTables {
  float window[4][36];
  // [input line][output]: outputs 0..8 and 18..26 only; the others follow
  // by symmetry. The inner loop runs over outputs.
  // Rows padded to 24 so that the vector paths work in whole vectors.
  alignas(32) float longCos[18][24];
  float shortCos[6][12];

  ImdctTables() {
    for (int i = 0; i < 36; ++i) {
      double longWin = std::sin(kPi / 36 * (i + 0.5));
      window[0][i] = static_cast<float>(longWin);
      window[1][i] = static_cast<float>(i < 18 ? longWin : i < 24 ? 1.0
                                        : i < 30 ? std::sin(kPi / 12 * (i + 0.5 - 18)) : 0.0);
      window[3][i] = static_cast<float>(i < 6 ? 0.0 : i < 12 ? std::sin(kPi / 12 * (i + 0.5 - 6))
                                        : i < 18 ? 1.0 : longWin);
      window[2][i] = static_cast<float>(i < 12 ? std::sin(kPi / 12 * (i + 0.5)) : 0.0);
    }
    std::memset(longCos, 0, sizeof longCos);
    for (int q = 0; q < 18; ++q) {
      int p = q < 9 ? q : q + 9;
      for (int m = 0; m < 18; ++m) {
        int k = ((2 * p + 19) * (2 * m + 1)) % 144;
        longCos[m][q] = static_cast<float>(std::cos(kPi / 72 * k));
      }
    }
    for (int p = 0; p < 12; ++p) {
      for (int m = 0; m < 6; ++m) {
        shortCos[m][p] = static_cast<float>(std::cos(kPi / 24 * (2 * p + 7) * (2 * m + 1)));
      }
    }
  }
};

const ImdctTables& Imdct() {
  static const ImdctTables tables;
  return tables;
}

void LongImdct(const float* in, const float* window, Kernels kernels, float* out) {
  const ImdctTables& t = Imdct();
  alignas(16) float half[24];
#if defined(CX_MPEG_AVX2)
  if (kernels == Kernels::kAvx2) {
    avx2::LongImdctProduct(in, t.longCos, half);
  } else
#endif
#if defined(__SSE2__)
  if (kernels == Kernels::kSse2) {
    __m128 h[5] = {_mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps()};
    for (int m = 0; m < 18; ++m) {
      const __m128 x = _mm_set1_ps(in[m]);
      const float* c = t.longCos[m];
      for (int k = 0; k < 5; ++k) h[k] = _mm_add_ps(h[k], _mm_mul_ps(x, _mm_load_ps(c + 4 * k)));
    }
    for (int k = 0; k < 5; ++k) _mm_store_ps(half + 4 * k, h[k]);
  } else
#endif
  {
    for (float& h : half) h = 0.0f;
    for (int m = 0; m < 18; ++m) {
      const float x = in[m];
      const float* c = t.longCos[m];
      for (int q = 0; q < 18; ++q) half[q] += x * c[q];
    }
  }
  // The cosine arguments of outputs p and 17 - p add up to pi times an odd
  // number, those of p and 53 - p to a multiple of 2 pi.
  for (int p = 0; p < 9; ++p) {
    out[p] = half[p] * window[p];
    out[17 - p] = -half[p] * window[17 - p];
    out[18 + p] = half[9 + p] * window[18 + p];
    out[35 - p] = half[9 + p] * window[35 - p];
  }
}

void ShortImdct(const float* in, float* out) {
  const ImdctTables& t = Imdct();
  for (int p = 0; p < 36; ++p) out[p] = 0.0f;
  for (int w = 0; w < 3; ++w) {
    float sum[12] = {};
    for (int m = 0; m < 6; ++m) {
      float x = in[w + 3 * m];
      const float* c = t.shortCos[m];
      for (int p = 0; p < 12; ++p) sum[p] += x * c[p];
    }
    for (int p = 0; p < 12; ++p) out[6 * w + p + 6] += sum[p] * t.window[2][p];
  }
}

// The 16 taps of the window over the history for each of the 32 outputs.
// The taps of output j lie at the same place j in 16 slices of the ring.
void WindowTaps(const float* hist, int offset, const float* taps[16]) {
  for (int i = 0; i < 16; ++i) taps[i] = hist + ((offset + 128 * (i / 2) + ((i & 1) ? 96 : 0)) & 1023);
}

void WindowSumPortable(const float* hist, int offset, int16_t* out, int stride) {
  const float* taps[16];
  WindowTaps(hist, offset, taps);
  for (int j = 0; j < 32; ++j) {
    double acc = 0.0;
    for (int i = 0; i < 16; ++i) acc += kSynthesisWindow[32 * i + j] * taps[i][j];
    out[j * stride] = RoundToPcm(acc);
  }
}

#if defined(__SSE2__) || defined(CX_MPEG_AVX2)
struct FloatWindow {
  alignas(32) float w[512];
  FloatWindow() {
    for (int i = 0; i < 512; ++i) w[i] = static_cast<float>(kSynthesisWindow[i]);
  }
};

// Scales four sums to 16 bits, clips, and rounds half away from zero, as
// RoundToPcm does one at a time.
__m128i RoundFour(__m128 sum) {
  __m128 v = _mm_mul_ps(sum, _mm_set1_ps(32768.0f));
  v = _mm_min_ps(_mm_max_ps(v, _mm_set1_ps(-32768.0f)), _mm_set1_ps(32767.0f));
  const __m128 half = _mm_or_ps(_mm_set1_ps(0.5f), _mm_and_ps(v, _mm_set1_ps(-0.0f)));
  return _mm_cvttps_epi32(_mm_add_ps(v, half));
}

void WindowSumSse2(const float* hist, int offset, int16_t* out, int stride) {
  static const FloatWindow window;
  const float* taps[16];
  WindowTaps(hist, offset, taps);
  // The history offset is a multiple of 64 and every slice 32-aligned, so
  // all loads are aligned. Eight accumulators of four outputs each keep
  // the additions independent; two passes cover the 32 outputs.
  alignas(16) int16_t pcm[32];
  for (int j = 0; j < 32; j += 16) {
    __m128 a[4] = {_mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps()};
    __m128 b[4] = {_mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps(), _mm_setzero_ps()};
    for (int i = 0; i < 16; i += 2) {
      const float* w0 = window.w + 32 * i + j;
      const float* w1 = w0 + 32;
      for (int k = 0; k < 4; ++k) {
        a[k] = _mm_add_ps(a[k], _mm_mul_ps(_mm_load_ps(w0 + 4 * k), _mm_load_ps(taps[i] + j + 4 * k)));
        b[k] = _mm_add_ps(b[k], _mm_mul_ps(_mm_load_ps(w1 + 4 * k), _mm_load_ps(taps[i + 1] + j + 4 * k)));
      }
    }
    for (int k = 0; k < 4; k += 2) {
      _mm_store_si128(reinterpret_cast<__m128i*>(pcm + j + 4 * k),
                      _mm_packs_epi32(RoundFour(_mm_add_ps(a[k], b[k])), RoundFour(_mm_add_ps(a[k + 1], b[k + 1]))));
    }
  }
  if (stride == 1) {
    std::memcpy(out, pcm, sizeof pcm);
  } else {
    for (int j = 0; j < 32; ++j) out[j * stride] = pcm[j];
  }
}
#endif

}  // namespace

// ---------------------------------------------------------------- synthesis

bool KernelsAvailable(Kernels k) {
  switch (k) {
    case Kernels::kPortable: return true;
    case Kernels::kSse2: return kHaveSse2;
    case Kernels::kAvx2: return HaveAvx2();
  }
  return false;
}

bool UseKernels(Kernels k) {
  if (!KernelsAvailable(k)) return false;
  gActive.store(static_cast<int>(k));
  return true;
}

Kernels ActiveKernels() { return Active(); }

const char* KernelsName(Kernels k) {
  switch (k) {
    case Kernels::kPortable: return "portable";
    case Kernels::kSse2: return "sse2";
    case Kernels::kAvx2: return "avx2";
  }
  return "?";
}

void SubbandSynthesis::Reset() {
  std::memset(history_, 0, sizeof history_);
  offset_[0] = offset_[1] = 64;
}

int16_t RoundToPcm(double sum) {
  // Clip first, then round half away from zero by truncating v +/- 0.5;
  // written without branches so the 32 outputs vectorise.
  double v = sum * 32768.0;
  v = v < -32768.0 ? -32768.0 : v;
  v = v > 32767.0 ? 32767.0 : v;
  return static_cast<int16_t>(static_cast<int32_t>(v + std::copysign(0.5, v)));
}

void SubbandSynthesis::SynthesizeSubbands(const float samples[32], int channel, int16_t* out,
                                          int stride) {
  float x[32];
  FastDct<32>::Run(samples, x);
  SynthesizeTransformed(x, channel, out, stride);
}

void SubbandSynthesis::SynthesizeSlots(const float* samples, int count, int channel, int16_t* out,
                                       int slotStep, int stride) {
#if defined(__GNUC__)
  // The transforms several slots at a time, as for a Layer III granule.
  for (int first = 0; first < count; first += kLanes) {
    const int n = count - first < kLanes ? count - first : kLanes;
    Lanes in[32], x[32];
    for (int sb = 0; sb < 32; ++sb) {
      for (int lane = 0; lane < kLanes; ++lane) in[sb][lane] = lane < n ? samples[32 * (first + lane) + sb] : 0.0f;
    }
    FastDct<32, Lanes>::Run(in, x);
    for (int lane = 0; lane < n; ++lane) {
      float t[32];
      for (int m = 0; m < 32; ++m) t[m] = x[m][lane];
      SynthesizeTransformed(t, channel, out + static_cast<ptrdiff_t>(first + lane) * slotStep, stride);
    }
  }
#else
  for (int k = 0; k < count; ++k) {
    SynthesizeSubbands(samples + 32 * k, channel, out + static_cast<ptrdiff_t>(k) * slotStep, stride);
  }
#endif
}

void SubbandSynthesis::SynthesizeTransformed(const float x[32], int channel, int16_t* out, int stride) {
  channel &= 1;
  int offset = (offset_[channel] - 64) & 1023;
  offset_[channel] = offset;
  // V[i] = X[i + 16] with X[32] = 0, X[64 - m] = -X[m] and X[m + 64] = -X[m].
  float* v = history_[channel] + offset;
  for (int i = 0; i < 16; ++i) v[i] = x[i + 16];
  v[16] = 0.0f;
  for (int i = 17; i < 48; ++i) v[i] = -x[48 - i];
  for (int i = 48; i < 64; ++i) v[i] = -x[i - 48];

  const Kernels kernels = Active();
#if defined(CX_MPEG_AVX2)
  if (kernels == Kernels::kAvx2) {
    static const FloatWindow window;
    const float* taps[16];
    WindowTaps(history_[channel], offset, taps);
    avx2::WindowSum(window.w, taps, out, stride);
    return;
  }
#endif
#if defined(__SSE2__)
  if (kernels == Kernels::kSse2) {
    WindowSumSse2(history_[channel], offset, out, stride);
    return;
  }
#endif
  WindowSumPortable(history_[channel], offset, out, stride);
}

// ---------------------------------------------------------------- hybrid

void HybridFilterbank::Reset() { std::memset(overlap_, 0, sizeof overlap_); }

void HybridFilterbank::Transform(const float lines[576], const BlockShape& shape, int channel,
                                 float out[576], int codedSubbands) {
  const ImdctTables& t = Imdct();
  const Kernels kernels = Active();
  channel &= 1;
  for (int sb = 0; sb < 32; ++sb) {
    float* ov = overlap_[channel][sb];
    float* o = out + 18 * sb;
    if (sb >= codedSubbands) {
      // Nothing coded: only the last granule's overlap rings on.
      for (int i = 0; i < 18; ++i) o[i] = ov[i], ov[i] = 0.0f;
      continue;
    }
    uint32_t type = shape.blockType & 3;
    if (shape.windowSwitching && shape.mixed && sb < 2) type = 0;
    float raw[36];
    if (type == 2) {
      ShortImdct(lines + 18 * sb, raw);
    } else {
      LongImdct(lines + 18 * sb, t.window[type], kernels, raw);
    }
    for (int i = 0; i < 18; ++i) {
      o[i] = raw[i] + ov[i];
      ov[i] = raw[i + 18];
    }
  }
}

void SynthesizeGranule(SubbandSynthesis& synthesis, const float hybrid[576], int channel,
                       int16_t* out, int stride) {
  // Frequency inversion: odd subbands change sign in odd time slots.
#if defined(__GNUC__)
  // The 18 transforms of a granule are independent: several at a time, the
  // slots of a subband lying side by side in the hybrid output. The last
  // batch is moved back to end at slot 17 and keeps only its new slots.
  alignas(16) float transformed[18][32];
  Lanes oddSigns;
  for (int lane = 0; lane < kLanes; ++lane) oddSigns[lane] = (lane & 1) ? -1.0f : 1.0f;
  for (int first = 0; first < 18; first += kLanes) {
    const int start = first + kLanes > 18 ? 18 - kLanes : first;  // even, like first
    Lanes in[32], x[32];
    for (int sb = 0; sb < 32; ++sb) {
      std::memcpy(&in[sb], hybrid + 18 * sb + start, sizeof in[sb]);
      if (sb & 1) in[sb] *= oddSigns;
    }
    FastDct<32, Lanes>::Run(in, x);
    for (int lane = first - start; lane < kLanes; ++lane) {
      for (int m = 0; m < 32; ++m) transformed[start + lane][m] = x[m][lane];
    }
  }
  for (int t = 0; t < 18; ++t) synthesis.SynthesizeTransformed(transformed[t], channel, out + 32 * stride * t, stride);
#else
  for (int t = 0; t < 18; ++t) {
    float s[32];
    for (int sb = 0; sb < 32; ++sb) s[sb] = hybrid[18 * sb + t];
    if (t & 1) {
      for (int sb = 1; sb < 32; sb += 2) s[sb] = -s[sb];
    }
    synthesis.SynthesizeSubbands(s, channel, out + 32 * stride * t, stride);
  }
#endif
}

}  // namespace cx::mpeg
