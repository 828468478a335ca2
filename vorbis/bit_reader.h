// Vorbis packs fields least significant bit first. The packet is held with
// kPad zero bytes behind it so a read may load a whole word; past the end
// the reader returns zeros and remembers it ran out, which the decoder
// treats as the end of the packet.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace cx::vorbis {

constexpr size_t kPad = 8;

class BitReader {
 public:
  BitReader(const uint8_t* data, size_t size) : data_(data), limit_(static_cast<uint64_t>(size) * 8) {}

  // n in 0..32.
  uint32_t Read(int n) {
    if (n == 0) return 0;
    if (pos_ + static_cast<uint64_t>(n) > limit_) {
      pos_ = limit_ + 1;
      return 0;
    }
    uint32_t v = Peek32(n);
    pos_ += n;
    return v;
  }
  bool Bit() { return Read(1) != 0; }

  // The next n bits (1..32) without consuming; zeros beyond the end.
  uint32_t Peek32(int n) const {
    if (pos_ >= limit_) return 0;
    uint64_t w;
    std::memcpy(&w, data_ + (pos_ >> 3), 8);
    w >>= (pos_ & 7);
    return static_cast<uint32_t>(w & ((uint64_t{1} << n) - 1));
  }
  // Consumes n bits a Peek looked at; false (and exhausted) past the end.
  bool Skip(int n) {
    pos_ += static_cast<uint64_t>(n);
    if (pos_ > limit_) {
      pos_ = limit_ + 1;
      return false;
    }
    return true;
  }
  bool Exhausted() const { return pos_ > limit_; }
  uint64_t BitsLeft() const { return pos_ >= limit_ ? 0 : limit_ - pos_; }

 private:
  const uint8_t* data_;
  uint64_t limit_;
  uint64_t pos_ = 0;
};

// Bits needed to hold v (0 for 0).
inline int ILog(uint32_t v) {
  int n = 0;
  while (v) {
    ++n;
    v >>= 1;
  }
  return n;
}

}  // namespace cx::vorbis
