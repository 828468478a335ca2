#include "vorbis/imdct.h"

#include <cmath>

namespace cx::vorbis {

namespace {
constexpr double kPi = 3.14159265358979323846;
}

Imdct::Imdct(int n) : n_(n) {
  const int m = n / 2, q = n / 4;
  pre_.resize(q);
  post_.resize(q);
  for (int j = 0; j < q; ++j) {
    pre_[j] = std::polar(1.0, -kPi * j / m);
    post_[j] = std::polar(1.0, -kPi * (j + 0.25) / m);
  }
  twiddle_.resize(q / 2 > 0 ? q / 2 : 1);
  for (int k = 0; k < q / 2; ++k) twiddle_[k] = std::polar(1.0, -2.0 * kPi * k / q);
  reverse_.resize(q);
  int bits = 0;
  while ((1 << bits) < q) ++bits;
  for (int i = 0; i < q; ++i) {
    int r = 0;
    for (int b = 0; b < bits; ++b) r |= ((i >> b) & 1) << (bits - 1 - b);
    reverse_[i] = r;
  }
  work_.resize(q);
}

void Imdct::Fft(std::complex<float>* z) const {
  const int q = n_ / 4;
  for (int len = 2; len <= q; len <<= 1) {
    const int half = len / 2, step = q / len;
    for (int start = 0; start < q; start += len) {
      for (int k = 0; k < half; ++k) {
        std::complex<float> t = z[start + k + half] * twiddle_[k * step];
        z[start + k + half] = z[start + k] - t;
        z[start + k] += t;
      }
    }
  }
}

void Imdct::Transform(const float* in, float* out) {
  const int m = n_ / 2, q = n_ / 4;
  std::complex<float>* z = work_.data();
  for (int j = 0; j < q; ++j) {
    z[reverse_[j]] = std::complex<float>(in[2 * j], in[m - 1 - 2 * j]) * pre_[j];
  }
  Fft(z);
  // u is the DCT-IV of the coefficients; out[i] = u[i + q] for i < q,
  // -u[3q - 1 - i] for q <= i < 3q, -u[i - 3q] from 3q on.
  for (int k = 0; k < q; ++k) {
    std::complex<float> v = z[k] * post_[k];
    const float even = v.real();   // u[2k]
    const float odd = -v.imag();   // u[m - 1 - 2k]
    const int e = 2 * k, o = m - 1 - 2 * k;
    // u[idx] lands at out[idx - q] (idx >= q), negated at out[3q - 1 - idx],
    // and negated at out[idx + 3q] (idx < q).
    for (int pass = 0; pass < 2; ++pass) {
      const int idx = pass ? o : e;
      const float u = pass ? odd : even;
      if (idx >= q) out[idx - q] = u;
      out[3 * q - 1 - idx] = -u;
      if (idx < q) out[idx + 3 * q] = -u;
    }
  }
}

void ImdctDirect(const float* in, float* out, int n) {
  const int m = n / 2;
  for (int i = 0; i < n; ++i) {
    double sum = 0;
    for (int k = 0; k < m; ++k) {
      sum += in[k] * std::cos(2.0 * kPi / n * (i + 0.5 + n / 4.0) * (k + 0.5));
    }
    out[i] = static_cast<float>(sum);
  }
}

}  // namespace cx::vorbis
