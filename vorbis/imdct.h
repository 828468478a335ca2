// The inverse MDCT of one block (n = 64..8192 samples from n/2
// coefficients), through a complex FFT of n/4 points: the DCT-IV at its
// core takes even and odd coefficients as one complex vector, and the
// block's halves follow from the DCT-IV's symmetries.
#pragma once

#include <vector>

namespace cx::vorbis {

class Imdct {
 public:
  explicit Imdct(int n);
  int size() const { return n_; }
  // in: n/2 coefficients; out: n samples. in and out may not overlap.
  void Transform(const float* in, float* out);

 private:
  // Plain pairs: std::complex multiplication guards against infinities on
  // every product, which costs more than the transform itself.
  struct Cpx {
    float re, im;
  };
  void Fft(Cpx* z) const;

  int n_;
  std::vector<Cpx> pre_, post_, twiddle_, work_;  // twiddle_: each stage's, from length 8 up
  std::vector<int> reverse_;
};

// Straight from the definition, O(n^2); the tests hold the fast one to it.
void ImdctDirect(const float* in, float* out, int n);

}  // namespace cx::vorbis
