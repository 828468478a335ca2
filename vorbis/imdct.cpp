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
    pre_[j] = {static_cast<float>(std::cos(kPi * j / m)), static_cast<float>(-std::sin(kPi * j / m))};
    const double a = kPi * (j + 0.25) / m;
    post_[j] = {static_cast<float>(std::cos(a)), static_cast<float>(-std::sin(a))};
  }
  for (int len = 8; len <= q; len <<= 1) {
    for (int k = 0; k < len / 2; ++k) {
      const double a = 2.0 * kPi * k / len;
      twiddle_.push_back({static_cast<float>(std::cos(a)), static_cast<float>(-std::sin(a))});
    }
  }
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

void Imdct::Fft(Cpx* z) const {
  const int q = n_ / 4;
  // The first two stages at once: their twiddles are 1 and -i.
  for (int s = 0; s < q; s += 4) {
    const Cpx a = z[s], b = z[s + 1], c = z[s + 2], d = z[s + 3];
    const Cpx t0 = {a.re + b.re, a.im + b.im}, t1 = {a.re - b.re, a.im - b.im};
    const Cpx t2 = {c.re + d.re, c.im + d.im}, t3 = {c.im - d.im, d.re - c.re};  // (c - d) * -i
    z[s] = {t0.re + t2.re, t0.im + t2.im};
    z[s + 2] = {t0.re - t2.re, t0.im - t2.im};
    z[s + 1] = {t1.re + t3.re, t1.im + t3.im};
    z[s + 3] = {t1.re - t3.re, t1.im - t3.im};
  }
  const Cpx* w = twiddle_.data();
  for (int len = 8; len <= q; len <<= 1) {
    const int half = len / 2;
    for (int start = 0; start < q; start += len) {
      Cpx* lo = z + start;
      Cpx* hi = lo + half;
      for (int k = 0; k < half; ++k) {
        const float tr = hi[k].re * w[k].re - hi[k].im * w[k].im;
        const float ti = hi[k].re * w[k].im + hi[k].im * w[k].re;
        hi[k] = {lo[k].re - tr, lo[k].im - ti};
        lo[k] = {lo[k].re + tr, lo[k].im + ti};
      }
    }
    w += half;
  }
}

void Imdct::Transform(const float* in, float* out) {
  const int m = n_ / 2, q = n_ / 4;
  Cpx* z = work_.data();
  for (int j = 0; j < q; ++j) {
    const float re = in[2 * j], im = in[m - 1 - 2 * j];
    const Cpx p = pre_[j];
    z[reverse_[j]] = {re * p.re - im * p.im, re * p.im + im * p.re};
  }
  Fft(z);
  // u is the DCT-IV of the coefficients: u[2k] and u[m - 1 - 2k] come from
  // z[k]. u[i] lands at out[i - q] (i >= q), negated at out[3q - 1 - i],
  // and negated at out[i + 3q] (i < q).
  for (int k = 0; k < q; ++k) {
    const Cpx p = post_[k];
    const float even = z[k].re * p.re - z[k].im * p.im;     // u[2k]
    const float odd = -(z[k].re * p.im + z[k].im * p.re);   // u[m - 1 - 2k]
    const int e = 2 * k, o = m - 1 - 2 * k;
    out[3 * q - 1 - e] = -even;
    out[3 * q - 1 - o] = -odd;
    if (e >= q) {
      out[e - q] = even;
    } else {
      out[e + 3 * q] = -even;
    }
    if (o >= q) {
      out[o - q] = odd;
    } else {
      out[o + 3 * q] = -odd;
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
