// MD5 message digest (RFC 1321): FLAC streams carry one over their decoded
// samples, which a whole decode checks.
#pragma once

#include <cstddef>
#include <cstdint>

namespace cx::codec {

class Md5 {
 public:
  Md5() { Reset(); }
  void Reset();
  void Update(const uint8_t* data, size_t n);
  // Ends the message and writes the 16-byte digest; Reset before reuse.
  void Finish(uint8_t digest[16]);

 private:
  void Block(const uint8_t* p);

  uint32_t state_[4];
  uint64_t length_ = 0;  // bytes so far
  uint8_t pending_[64];
  size_t pendingLen_ = 0;
};

}  // namespace cx::codec
