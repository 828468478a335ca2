#include "codec/md5.h"

#include <cstring>

namespace cx::codec {

namespace {

inline uint32_t Rotl(uint32_t x, int c) { return (x << c) | (x >> (32 - c)); }

// The sine-derived constants of RFC 1321 3.4.
const uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

}  // namespace

void Md5::Reset() {
  state_[0] = 0x67452301;
  state_[1] = 0xefcdab89;
  state_[2] = 0x98badcfe;
  state_[3] = 0x10325476;
  length_ = 0;
  pendingLen_ = 0;
}

// Four steps a pass with the roles of a, b, c, d rotating, the passes
// written out so the compiler sees constant shifts and word indices.
#define CX_MD5_STEP(f, a, b, c, d, k, s) \
  a += f(b, c, d) + x[(k)&15] + kSine[i + ((k) >> 4)]; \
  a = Rotl(a, s) + b;

void Md5::Block(const uint8_t* p) {
  uint32_t x[16];
  for (int i = 0; i < 16; ++i) {
    x[i] = uint32_t{p[4 * i]} | uint32_t{p[4 * i + 1]} << 8 | uint32_t{p[4 * i + 2]} << 16 |
           uint32_t{p[4 * i + 3]} << 24;
  }
  uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
  auto F = [](uint32_t x, uint32_t y, uint32_t z) { return z ^ (x & (y ^ z)); };
  auto G = [](uint32_t x, uint32_t y, uint32_t z) { return y ^ (z & (x ^ y)); };
  auto H = [](uint32_t x, uint32_t y, uint32_t z) { return x ^ y ^ z; };
  auto I = [](uint32_t x, uint32_t y, uint32_t z) { return y ^ (x | ~z); };
  // Step i of a pass takes word g(i) and constant i; the macro's k packs
  // g(i) in its low four bits and the step's offset from i above them.
  for (int i = 0; i < 16; i += 4) {
    CX_MD5_STEP(F, a, b, c, d, i, 7)
    CX_MD5_STEP(F, d, a, b, c, (i + 1) | 16, 12)
    CX_MD5_STEP(F, c, d, a, b, (i + 2) | 32, 17)
    CX_MD5_STEP(F, b, c, d, a, (i + 3) | 48, 22)
  }
  for (int i = 16; i < 32; i += 4) {
    CX_MD5_STEP(G, a, b, c, d, (5 * i + 1) & 15, 5)
    CX_MD5_STEP(G, d, a, b, c, ((5 * (i + 1) + 1) & 15) | 16, 9)
    CX_MD5_STEP(G, c, d, a, b, ((5 * (i + 2) + 1) & 15) | 32, 14)
    CX_MD5_STEP(G, b, c, d, a, ((5 * (i + 3) + 1) & 15) | 48, 20)
  }
  for (int i = 32; i < 48; i += 4) {
    CX_MD5_STEP(H, a, b, c, d, (3 * i + 5) & 15, 4)
    CX_MD5_STEP(H, d, a, b, c, ((3 * (i + 1) + 5) & 15) | 16, 11)
    CX_MD5_STEP(H, c, d, a, b, ((3 * (i + 2) + 5) & 15) | 32, 16)
    CX_MD5_STEP(H, b, c, d, a, ((3 * (i + 3) + 5) & 15) | 48, 23)
  }
  for (int i = 48; i < 64; i += 4) {
    CX_MD5_STEP(I, a, b, c, d, (7 * i) & 15, 6)
    CX_MD5_STEP(I, d, a, b, c, ((7 * (i + 1)) & 15) | 16, 10)
    CX_MD5_STEP(I, c, d, a, b, ((7 * (i + 2)) & 15) | 32, 15)
    CX_MD5_STEP(I, b, c, d, a, ((7 * (i + 3)) & 15) | 48, 21)
  }
  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
}

#undef CX_MD5_STEP

void Md5::Update(const uint8_t* data, size_t n) {
  length_ += n;
  if (pendingLen_ > 0) {
    const size_t take = n < 64 - pendingLen_ ? n : 64 - pendingLen_;
    std::memcpy(pending_ + pendingLen_, data, take);
    pendingLen_ += take;
    data += take;
    n -= take;
    if (pendingLen_ < 64) return;
    Block(pending_);
    pendingLen_ = 0;
  }
  for (; n >= 64; n -= 64, data += 64) Block(data);
  std::memcpy(pending_, data, n);
  pendingLen_ = n;
}

void Md5::Finish(uint8_t digest[16]) {
  const uint64_t bits = length_ * 8;
  uint8_t pad[72] = {0x80};
  const size_t padLen = (pendingLen_ < 56 ? 56 : 120) - pendingLen_;
  for (int i = 0; i < 8; ++i) pad[padLen + i] = static_cast<uint8_t>(bits >> (8 * i));
  Update(pad, padLen + 8);
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) digest[4 * i + j] = static_cast<uint8_t>(state_[i] >> (8 * j));
  }
}

}  // namespace cx::codec
