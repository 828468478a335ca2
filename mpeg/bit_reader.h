// The two bit readers of the decoder: BitReader walks a byte source (a
// file or memory) through a buffer, BitReservoir holds the Layer III main data that frames share.
// Both read most significant bit first and never read outside their
// buffers: bits past the end of the data read as zeros.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "codec/byte_source.h"

namespace cx::mpeg {

using codec::ByteSource;
using codec::FileByteSource;
using codec::MemoryByteSource;

inline uint64_t LoadBigEndian64(const uint8_t* p) {
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  uint64_t v;
  std::memcpy(&v, p, 8);
  return __builtin_bswap64(v);
#else
  uint64_t v = 0;
  for (int k = 0; k < 8; ++k) v = (v << 8) | p[k];
  return v;
#endif
}

class BitReader {
 public:
  explicit BitReader(int size = 40960);
  BitReader(const BitReader&) = delete;
  BitReader& operator=(const BitReader&) = delete;

  bool valid() const { return !buffer_.empty(); }
  bool Open(const std::string& path);
  // Takes the source over; false (and nothing kept) for a null source.
  bool Open(std::unique_ptr<ByteSource> source);
  // The open source, for reads outside the bit stream (tags); null when none.
  ByteSource* source() const { return source_.get(); }
  int64_t FileLength() const { return fileLength_; }
  bool Rewind() { return SeekByte(0); }
  // Positions the reader at a byte of the file; the bit counter restarts.
  bool SeekByte(int64_t offset);
  // Next n bits (n <= 32), first bit most significant; n < 1 gives 0.
  uint32_t GetBits(int n) {
    // Eight whole bytes in the buffer: one load (the usual case).
    const int64_t byte = bitPos_ >> 3;
    if (n >= 1 && n <= 32 && byte >= bufferStart_ && byte + 8 <= bufferStart_ + bufferBytes_) {
      const uint64_t v = LoadBigEndian64(buffer_.data() + (byte - bufferStart_)) << (bitPos_ & 7);
      bitPos_ += n;
      return static_cast<uint32_t>(v >> (64 - n));
    }
    return GetBitsSlowly(n);
  }
  void SkipBits(int64_t n);
  void AlignToByte();
  // Reads whole bytes; past the end of the file they are zero.
  void GetBytes(uint8_t* out, int count);
  // Copies bytes at a file offset through the buffer without moving the
  // bit position; false when they are not all in the file.
  bool PeekBytes(int64_t offset, uint8_t* out, int count);

  int64_t BitsRead() const { return bitPos_ - seekBit_; }
  int64_t BitPosition() const { return bitPos_; }  // from the file's start
  bool EndOfFile() const { return endOfFile_; }

 private:
  // Makes the byte at file offset 'at' available; false past the file.
  bool Fill(int64_t at);
  uint32_t GetBitsSlowly(int n);

  std::vector<uint8_t> buffer_;
  std::unique_ptr<ByteSource> source_;
  int64_t fileLength_ = 0;
  int64_t bufferStart_ = 0;  // file offset of buffer_[0]
  int64_t bufferBytes_ = 0;  // bytes of file data in buffer_
  int64_t bitPos_ = 0;       // absolute bit position in the file
  int64_t seekBit_ = 0;      // bit position of the last rewind or seek
  bool endOfFile_ = false;
};

class BitReservoir {
 public:
  explicit BitReservoir(int size = 65536);

  bool valid() const { return !buffer_.empty(); }
  void Reset();
  void PutByte(uint8_t b) {
    const uint64_t at = writeCount_ & mask_;
    buffer_[at] = b;
    // The first bytes are mirrored behind the end, so a read of eight bytes
    // never has to wrap.
    if (at < 8) buffer_[mask_ + 1 + at] = b;
    ++writeCount_;
  }
  // The next n bits (1..32) without moving. Bytes not yet put read as zeros.
  uint32_t Peek(int n) const {
    const uint64_t byte = totalBits_ >> 3;
    uint64_t v = 0;
    if (byte + 8 <= writeCount_) {
      v = LoadBigEndian64(buffer_.data() + (byte & mask_));
    } else {
      for (int k = 0; k < 8; ++k) v = (v << 8) | ByteAt(byte + static_cast<uint64_t>(k));
    }
    return static_cast<uint32_t>((v << (totalBits_ & 7)) >> (64 - n));
  }
  // The next 64 bits without moving, of which at least the first 57 are
  // the stream's (the rest may be any bits): a Layer III pair with both
  // escapes and signs (at most 45 bits) in one load.
  uint64_t Peek64() const { return Peek64At(totalBits_); }
  // The same at any bit position since the reset.
  uint64_t Peek64At(uint64_t bit) const {
    const uint64_t byte = bit >> 3;
    uint64_t v = 0;
    if (byte + 8 <= writeCount_) {
      v = LoadBigEndian64(buffer_.data() + (byte & mask_));
    } else {
      for (int k = 0; k < 8; ++k) v = (v << 8) | ByteAt(byte + static_cast<uint64_t>(k));
    }
    return v << (bit & 7);
  }
  // Next n bits (n <= 32); the position advances even past the data put, so
  // that a rewind returns to exactly the same place.
  uint32_t GetBits(int n) {
    if (n < 1) return 0;
    uint32_t v = Peek(n);
    totalBits_ += static_cast<uint64_t>(n);
    return v;
  }
  void RewindBits(uint64_t n) { totalBits_ = n > totalBits_ ? 0 : totalBits_ - n; }
  void SkipBits(uint64_t n) { totalBits_ += n; }

  uint64_t TotalBits() const { return totalBits_; }
  uint64_t WriteCount() const { return writeCount_; }
  // Oldest byte still held: main data may not point back beyond it.
  uint64_t OldestByte() const {
    return writeCount_ > mask_ + 1 ? writeCount_ - (mask_ + 1) : 0;
  }

 private:
  uint8_t ByteAt(uint64_t index) const {
    return index < writeCount_ && index >= OldestByte() ? buffer_[index & mask_] : 0;
  }

  std::vector<uint8_t> buffer_;
  uint64_t mask_ = 0;
  uint64_t totalBits_ = 0;   // read position in bits since the reset
  uint64_t writeCount_ = 0;  // bytes put since the reset
};

}  // namespace cx::mpeg
