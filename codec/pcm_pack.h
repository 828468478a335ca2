// PCM at the edge of the decoders: the int32 values a decoder delivers
// packed as WAV stores them (8-bit unsigned; 16, 24 and 32-bit signed,
// little-endian, 24-bit in three bytes), or brought to 16 bits with
// triangular dither for an output that takes no more.
#pragma once

#include <cstddef>
#include <cstdint>

namespace cx::codec {

// Bytes a WAV sample of this depth takes (1 to 4).
inline int WavBytesPerSample(int bits) { return (bits + 7) / 8; }

// Packs `values` samples of `bits` bits into out, at the WAV container
// depth WavBytesPerSample(bits) * 8, values left-aligned as WAV expects
// (a 20-bit value fills the top of three bytes). Returns bytes written.
size_t PackWav(const int32_t* in, size_t values, int bits, uint8_t* out);

// Reduces values of `bits` bits (17..32) to 16-bit little-endian with
// triangular dither; `state` carries the generator between calls.
size_t PackDithered16(const int32_t* in, size_t values, int bits, uint8_t* out, uint32_t* state);

}  // namespace cx::codec
