// Restoring samples from residuals: the fixed polynomial predictors and
// the quantised linear predictor. On entry s[order..n) hold residuals, on
// return samples. Arithmetic is unsigned (wrapping) where a damaged stream
// could push a value out of range, so bad data gives bad samples, never
// undefined behaviour.
#pragma once

#include <cstdint>
#include <type_traits>

namespace cx::flac {

template <typename T>
void RestoreFixed(T* s, uint32_t n, int order) {
  using U = std::make_unsigned_t<T>;
  // A fixed predictor has no shift, so sums taken modulo 2^32 (or 2^64)
  // are exact whenever the true sample fits, as it does in a valid stream.
  switch (order) {
    case 1:
      for (uint32_t i = 1; i < n; ++i) s[i] = static_cast<T>(U(s[i]) + U(s[i - 1]));
      break;
    case 2:
      for (uint32_t i = 2; i < n; ++i) s[i] = static_cast<T>(U(s[i]) + 2 * U(s[i - 1]) - U(s[i - 2]));
      break;
    case 3:
      for (uint32_t i = 3; i < n; ++i) {
        s[i] = static_cast<T>(U(s[i]) + 3 * U(s[i - 1]) - 3 * U(s[i - 2]) + U(s[i - 3]));
      }
      break;
    case 4:
      for (uint32_t i = 4; i < n; ++i) {
        s[i] = static_cast<T>(U(s[i]) + 4 * U(s[i - 1]) - 6 * U(s[i - 2]) + 4 * U(s[i - 3]) - U(s[i - 4]));
      }
      break;
    default:
      break;
  }
}

// 32-bit accumulation, valid when width + precision + ceil(log2 order) <= 32:
// each product is below 2^(width-1) * 2^(precision-1) in magnitude, order of
// them below 2^(width+precision-2+ceil(log2 order)) <= 2^30, so the sum of a
// valid stream never leaves int32.
template <int N>
void Lpc32(int32_t* s, uint32_t n, const int32_t* coefs, int shift) {
  // The last N samples ride in locals (registers once unrolled), so a new
  // sample feeds the next sum without a trip through memory.
  uint32_t c[N], h[N];
  for (int j = 0; j < N; ++j) {
    c[j] = static_cast<uint32_t>(coefs[j]);
    h[j] = static_cast<uint32_t>(s[N - 1 - j]);
  }
  for (uint32_t i = N; i < n; ++i) {
    // The oldest terms first: the newest sample enters last and the rest of
    // the sum does not wait for it.
    uint32_t sum = 0;
    for (int j = N - 1; j >= 0; --j) sum += c[j] * h[j];
    const uint32_t v = static_cast<uint32_t>(s[i]) + static_cast<uint32_t>(static_cast<int32_t>(sum) >> shift);
    s[i] = static_cast<int32_t>(v);
    for (int j = N - 1; j > 0; --j) h[j] = h[j - 1];
    h[0] = v;
  }
}

// 64-bit accumulation: coefficients of at most 15 bits times any int32
// stay below 2^46, 32 of them below 2^51: no overflow whatever the data.
template <int N>
void Lpc64(int32_t* s, uint32_t n, const int32_t* coefs, int shift) {
  // As Lpc32: the history in locals, the newest term added last.
  int64_t c[N], h[N];
  for (int j = 0; j < N; ++j) {
    c[j] = coefs[j];
    h[j] = s[N - 1 - j];
  }
  for (uint32_t i = N; i < n; ++i) {
    int64_t sum = 0;
    for (int j = N - 1; j >= 0; --j) sum += c[j] * h[j];
    const int32_t v = static_cast<int32_t>(static_cast<uint32_t>(s[i]) + static_cast<uint32_t>(sum >> shift));
    s[i] = v;
    for (int j = N - 1; j > 0; --j) h[j] = h[j - 1];
    h[0] = v;
  }
}

inline void Lpc64Any(int32_t* s, uint32_t n, int order, const int32_t* coefs, int shift) {
  for (uint32_t i = static_cast<uint32_t>(order); i < n; ++i) {
    int64_t sum = 0;
    for (int j = 0; j < order; ++j) sum += int64_t{coefs[j]} * s[i - 1 - j];
    s[i] = static_cast<int32_t>(static_cast<uint32_t>(s[i]) + static_cast<uint32_t>(sum >> shift));
  }
}

// Samples of 33 bits (a 32-bit stream's side channel): wrapping 64-bit sums.
inline void LpcWide(int64_t* s, uint32_t n, int order, const int32_t* coefs, int shift) {
  for (uint32_t i = static_cast<uint32_t>(order); i < n; ++i) {
    uint64_t sum = 0;
    for (int j = 0; j < order; ++j) sum += static_cast<uint64_t>(int64_t{coefs[j]}) * static_cast<uint64_t>(s[i - 1 - j]);
    s[i] = static_cast<int64_t>(static_cast<uint64_t>(s[i]) + static_cast<uint64_t>(static_cast<int64_t>(sum) >> shift));
  }
}

// Picks the loop for an int32 subframe: orders up to 12 (all the encoder's
// presets use) get a loop of fixed length.
void RestoreLpc(int32_t* s, uint32_t n, int order, const int32_t* coefs, int shift, int width, int precision);

}  // namespace cx::flac
