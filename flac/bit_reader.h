// Big-endian bit reader over one frame's bytes, a 64-bit word at a time.
// Reading past the end yields zero bits and marks the reader overrun, so
// the decoder loops stay free of bounds checks and test once per stage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace cx::flac {

// Leading zeros of a non-zero word, and a big-endian load.
inline int LeadingZeros(uint64_t v) {
#if defined(__GNUC__) || defined(__clang__)
  return __builtin_clzll(v);
#else
  int n = 0;
  while (!(v & (uint64_t{1} << 63))) {
    v <<= 1;
    ++n;
  }
  return n;
#endif
}

inline uint64_t LoadBigEndian64(const uint8_t* p) {
#if defined(__GNUC__) || defined(__clang__)
  uint64_t w;
  std::memcpy(&w, p, 8);
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  w = __builtin_bswap64(w);
#endif
  return w;
#else
  uint64_t w = 0;
  for (int i = 0; i < 8; ++i) w = w << 8 | p[i];
  return w;
#endif
}

class BitReader {
 public:
  BitReader(const uint8_t* data, size_t size) : start_(data), p_(data), end_(data + size) { Refill(); }

  // Bits taken so far.
  uint64_t BitPosition() const { return (static_cast<uint64_t>(p_ - start_) + padBytes_) * 8 - count_; }
  // True once more bits were taken than the bytes hold.
  bool Overrun() const { return BitPosition() > static_cast<uint64_t>(end_ - start_) * 8; }

  // n in 0..32.
  uint32_t Read(int n) {
    if (n == 0) return 0;
    if (count_ < n) Refill();
    const uint32_t v = static_cast<uint32_t>(cache_ >> (64 - n));
    cache_ <<= n;
    count_ -= n;
    return v;
  }
  // A two's complement value of n bits (0..32), sign-extended.
  int32_t ReadSigned(int n) {
    if (n == 0) return 0;
    const uint32_t v = Read(n);
    const uint32_t sign = uint32_t{1} << (n - 1);
    return static_cast<int32_t>((v ^ sign) - sign);
  }
  // As ReadSigned, n in 0..33 (a 32-bit stream's side channel).
  int64_t ReadSigned64(int n) {
    if (n <= 32) return ReadSigned(n);
    const uint64_t hi = Read(n - 32);
    const uint64_t v = hi << 32 | Read(32);
    const uint64_t sign = uint64_t{1} << (n - 1);
    return static_cast<int64_t>((v ^ sign) - sign);
  }
  void Skip(int n) {
    while (n > 32) {
      Read(32);
      n -= 32;
    }
    Read(n);
  }
  // Zero bits up to the next one bit, which is taken too. Gives up (and
  // returns limit) past limit zeros, which only damage produces.
  uint32_t ReadUnary(uint32_t limit) {
    uint32_t zeros = 0;
    for (;;) {
      // Bits below count_ may hold the next bytes already; only a one
      // among the counted bits ends the run.
      if (cache_ != 0) {
        const int z = LeadingZeros(cache_);
        if (z < count_) {
          zeros += static_cast<uint32_t>(z);
          cache_ <<= z;
          cache_ <<= 1;
          count_ -= z + 1;
          return zeros;
        }
      }
      zeros += static_cast<uint32_t>(count_);
      cache_ = 0;
      count_ = 0;
      Refill();
      if (zeros > limit || Overrun()) return limit;
    }
  }
  void AlignToByte() { Read(count_ & 7); }

  // Decodes n Rice codes of parameter k (0..31) folded to signed values.
  // False on damage (a run of zeros longer than any 32-bit residual).
  bool ReadRice(int k, int32_t* out, size_t n);

 private:
  // Tops the cache up to at least 56 valid bits.
  void Refill() {
    if (end_ - p_ >= 8) {
      cache_ |= LoadBigEndian64(p_) >> count_;
      p_ += (63 - count_) >> 3;
      count_ |= 56;
      return;
    }
    while (count_ <= 56) {
      uint64_t b = 0;
      if (p_ < end_) {
        b = *p_++;
      } else {
        ++padBytes_;
      }
      cache_ |= b << (56 - count_);
      count_ += 8;
    }
  }

  const uint8_t* start_;
  const uint8_t* p_;
  const uint8_t* end_;
  uint64_t cache_ = 0;  // next bits, left-aligned
  int count_ = 0;
  uint64_t padBytes_ = 0;  // zero bytes given past the end
};

inline bool BitReader::ReadRice(int k, int32_t* out, size_t n) {
  // The state lives in locals here: stores to out (int32_t) could otherwise
  // alias count_ and force it through memory on every code.
  uint64_t cache = cache_;
  int count = count_;
  const uint8_t* p = p_;
  const uint32_t one = uint32_t{1} << k;
  size_t i = 0;
  while (i < n) {
    // Topped up on every code, without a branch to mispredict: with the
    // cache already full this adds no bytes and ORs in bits it holds.
    if (end_ - p < 8) break;  // the slow path takes the last bytes
    cache |= LoadBigEndian64(p) >> count;
    p += (63 - count) >> 3;
    count |= 56;
    if (cache == 0) break;
    const int z = LeadingZeros(cache);
    const int used = z + 1 + k;
    if (used > count) break;
    // The one bit that ends the quotient and the k low bits, in one shift.
    const uint32_t v = static_cast<uint32_t>((cache << z) >> (63 - k)) - one + (static_cast<uint32_t>(z) << k);
    cache <<= used;  // used <= count <= 63
    count -= used;
    out[i++] = static_cast<int32_t>((v >> 1) ^ (0u - (v & 1)));
  }
  cache_ = cache;
  count_ = count;
  p_ = p;
  for (; i < n; ++i) {
    const uint32_t q = ReadUnary(0xFFFFFFFFu >> k);
    if (q >= (0xFFFFFFFFu >> k) || Overrun()) return false;
    const uint32_t v = q << k | Read(k);
    out[i] = static_cast<int32_t>((v >> 1) ^ (0u - (v & 1)));
  }
  return !Overrun();
}

}  // namespace cx::flac
