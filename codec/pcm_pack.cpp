#include "codec/pcm_pack.h"

namespace cx::codec {

size_t PackWav(const int32_t* in, size_t values, int bits, uint8_t* out) {
  const int bytes = WavBytesPerSample(bits);
  const int shift = bytes * 8 - bits;
  uint8_t* p = out;
  switch (bytes) {
    case 1:
      for (size_t i = 0; i < values; ++i) *p++ = static_cast<uint8_t>((static_cast<uint32_t>(in[i]) << shift) + 128);
      break;
    case 2:
      for (size_t i = 0; i < values; ++i) {
        const uint32_t v = static_cast<uint32_t>(in[i]) << shift;
        p[0] = static_cast<uint8_t>(v);
        p[1] = static_cast<uint8_t>(v >> 8);
        p += 2;
      }
      break;
    case 3:
      for (size_t i = 0; i < values; ++i) {
        const uint32_t v = static_cast<uint32_t>(in[i]) << shift;
        p[0] = static_cast<uint8_t>(v);
        p[1] = static_cast<uint8_t>(v >> 8);
        p[2] = static_cast<uint8_t>(v >> 16);
        p += 3;
      }
      break;
    default:
      for (size_t i = 0; i < values; ++i) {
        const uint32_t v = static_cast<uint32_t>(in[i]) << shift;
        p[0] = static_cast<uint8_t>(v);
        p[1] = static_cast<uint8_t>(v >> 8);
        p[2] = static_cast<uint8_t>(v >> 16);
        p[3] = static_cast<uint8_t>(v >> 24);
        p += 4;
      }
      break;
  }
  return static_cast<size_t>(p - out);
}

size_t PackDithered16(const int32_t* in, size_t values, int bits, uint8_t* out, uint32_t* state) {
  const int shift = bits - 16;
  if (shift <= 0) return PackWav(in, values, bits, out);
  const int64_t half = int64_t{1} << (shift - 1);
  uint32_t s = *state ? *state : 0x9E3779B9u;
  for (size_t i = 0; i < values; ++i) {
    // Two uniform values of one output step each: a triangular dither.
    s ^= s << 13, s ^= s >> 17, s ^= s << 5;
    const int64_t a = s & ((int64_t{1} << shift) - 1);
    s ^= s << 13, s ^= s >> 17, s ^= s << 5;
    const int64_t b = s & ((int64_t{1} << shift) - 1);
    int64_t v = (static_cast<int64_t>(in[i]) + a - b + half) >> shift;
    if (v > 32767) v = 32767;
    if (v < -32768) v = -32768;
    out[2 * i] = static_cast<uint8_t>(v);
    out[2 * i + 1] = static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8);
  }
  *state = s;
  return values * 2;
}

}  // namespace cx::codec
