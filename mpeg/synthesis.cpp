#include "mpeg/synthesis.h"

#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "mpeg/standard_tables.h"

namespace cx::mpeg {
namespace {

constexpr double kPi = 3.14159265358979323846;

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
// scaled differences, added pairwise).
template <int N>
struct FastDct {
  static void Run(const float* x, float* out) {
    constexpr int H = N / 2;
    const DctFactors<N>& fac = Factors<N>();
    float a[H], b[H], ea[H], eb[H];
    for (int k = 0; k < H; ++k) {
      a[k] = x[k] + x[N - 1 - k];
      b[k] = (x[k] - x[N - 1 - k]) * fac.f[k];
    }
    FastDct<H>::Run(a, ea);
    FastDct<H>::Run(b, eb);
    for (int m = 0; m < H; ++m) {
      out[2 * m] = ea[m];
      out[2 * m + 1] = eb[m] + (m + 1 < H ? eb[m + 1] : 0.0f);
    }
  }
};

template <>
struct FastDct<1> {
  static void Run(const float* x, float* out) { out[0] = x[0]; }
};

// ---------------------------------------------------------------- IMDCT

struct ImdctTables {
  float window[4][36];
  // [input line][output]: outputs 0..8 and 18..26 only; the others follow
  // by symmetry. The inner loop runs over outputs.
  float longCos[18][18];
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

void LongImdct(const float* in, const float* window, float* out) {
  const ImdctTables& t = Imdct();
  // A subband of exact zeros (the usual case above the last coded line)
  // is skipped whole; small values are kept, since they still shape quiet
  // passages and fade-outs.
  bool any = false;
  for (int m = 0; m < 18; ++m) any |= in[m] != 0.0f;
  if (!any) {
    for (int p = 0; p < 36; ++p) out[p] = 0.0f;
    return;
  }
  float half[18] = {};
  for (int m = 0; m < 18; ++m) {
    const float x = in[m];
    const float* c = t.longCos[m];
    for (int q = 0; q < 18; ++q) half[q] += x * c[q];
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

// sum[j] = the 16 taps of the window over the history, for the 32 outputs,
// in double precision. Tap pointers are computed once per call; the SSE2
// path does two outputs per instruction.
void WindowSum(const double* hist, int offset, double* sum) {
  const double* taps[16];
  for (int i = 0; i < 16; ++i) taps[i] = hist + ((offset + 128 * (i / 2) + ((i & 1) ? 96 : 0)) & 1023);
#if defined(__SSE2__)
  for (int j = 0; j < 32; j += 4) {
    __m128d a0 = _mm_setzero_pd(), a1 = _mm_setzero_pd();
    for (int i = 0; i < 16; ++i) {
      const double* w = kSynthesisWindow + 32 * i + j;
      a0 = _mm_add_pd(a0, _mm_mul_pd(_mm_loadu_pd(w), _mm_loadu_pd(taps[i] + j)));
      a1 = _mm_add_pd(a1, _mm_mul_pd(_mm_loadu_pd(w + 2), _mm_loadu_pd(taps[i] + j + 2)));
    }
    _mm_storeu_pd(sum + j, a0);
    _mm_storeu_pd(sum + j + 2, a1);
  }
#else
  for (int j = 0; j < 32; ++j) {
    double acc = 0.0;
    for (int i = 0; i < 16; ++i) acc += kSynthesisWindow[32 * i + j] * taps[i][j];
    sum[j] = acc;
  }
#endif
}

}  // namespace

// ---------------------------------------------------------------- synthesis

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
  channel &= 1;
  int offset = (offset_[channel] - 64) & 1023;
  offset_[channel] = offset;
  float x[32];
  FastDct<32>::Run(samples, x);
  // V[i] = X[i + 16] with X[32] = 0, X[64 - m] = -X[m] and X[m + 64] = -X[m].
  double* v = history_[channel] + offset;
  for (int i = 0; i < 16; ++i) v[i] = x[i + 16];
  v[16] = 0.0;
  for (int i = 17; i < 48; ++i) v[i] = -x[48 - i];
  for (int i = 48; i < 64; ++i) v[i] = -x[i - 48];

  alignas(16) double sum[32];
  WindowSum(history_[channel], offset, sum);
  for (int j = 0; j < 32; ++j) out[j * stride] = RoundToPcm(sum[j]);
}

// ---------------------------------------------------------------- hybrid

void HybridFilterbank::Reset() { std::memset(overlap_, 0, sizeof overlap_); }

void HybridFilterbank::Transform(const float lines[576], const BlockShape& shape, int channel,
                                 float out[576]) {
  const ImdctTables& t = Imdct();
  channel &= 1;
  for (int sb = 0; sb < 32; ++sb) {
    uint32_t type = shape.blockType & 3;
    if (shape.windowSwitching && shape.mixed && sb < 2) type = 0;
    float raw[36];
    if (type == 2) {
      ShortImdct(lines + 18 * sb, raw);
    } else {
      LongImdct(lines + 18 * sb, t.window[type], raw);
    }
    float* ov = overlap_[channel][sb];
    float* o = out + 18 * sb;
    for (int i = 0; i < 18; ++i) {
      o[i] = raw[i] + ov[i];
      ov[i] = raw[i + 18];
    }
  }
}

void SynthesizeGranule(SubbandSynthesis& synthesis, const float hybrid[576], int channel,
                       int16_t* out, int stride) {
  for (int t = 0; t < 18; ++t) {
    float s[32];
    for (int sb = 0; sb < 32; ++sb) s[sb] = hybrid[18 * sb + t];
    if (t & 1) {
      for (int sb = 1; sb < 32; sb += 2) s[sb] = -s[sb];
    }
    synthesis.SynthesizeSubbands(s, channel, out + 32 * stride * t, stride);
  }
}

}  // namespace cx::mpeg
