// One FLAC frame: its header (sync code, block size, rate, channel
// assignment, depth, coded number, CRC-8), then its subframes decoded and
// decorrelated into one buffer per channel, checked by the frame's CRC-16.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace cx::flac {

uint8_t Crc8(const uint8_t* data, size_t n);
uint16_t Crc16(const uint8_t* data, size_t n);

struct FrameHeader {
  bool variableBlocking = false;
  uint32_t blockSize = 0;
  uint32_t sampleRate = 0;  // 0: the stream's
  int channelCode = 0;      // 0..7 independent, 8 left/side, 9 side/right, 10 mid/side
  int channels = 0;
  int bitsPerSample = 0;    // 0: the stream's
  uint64_t number = 0;      // frame number (fixed blocking) or first sample (variable)
  size_t bytes = 0;         // header length including the CRC-8
};

// The longest header: sync and codes, a 7-byte number, 2 + 2 bytes of
// block size and rate, CRC-8.
constexpr size_t kMaxHeaderBytes = 16;

// False unless `data` (size bytes) starts with a well-formed header whose
// CRC-8 matches.
bool ParseFrameHeader(const uint8_t* data, size_t size, FrameHeader* h);

class FrameDecoder {
 public:
  enum class Result { kOk, kDamaged, kNeedMoreBytes };

  // Decodes the frame at data whose header is h, at `bps` bits (4..32).
  // size bytes are at hand; atEnd says nothing follows them, so running
  // out is damage rather than a request for more. On kOk, *frameBytes is
  // the frame's length and channel(c) holds h.blockSize samples.
  Result Decode(const uint8_t* data, size_t size, bool atEnd, const FrameHeader& h, int bps,
                size_t* frameBytes);
  const int32_t* channel(int c) const { return channels_[c].data(); }

 private:
  template <typename T>
  bool DecodeSubframe(class BitReader& br, int bps, uint32_t n, T* out);
  bool DecodeResidual(class BitReader& br, uint32_t n, int order, int32_t* res);
  void Reserve(uint32_t n, int channels, bool wide);

  std::vector<int32_t> channels_[8];
  std::vector<int64_t> wide_[2];  // a 32-bit stream's stereo pair: its side takes 33 bits
  std::vector<int32_t> residual_;
};

}  // namespace cx::flac
