#include "mpeg/bit_reader.h"

#include <algorithm>
#include <cstring>

namespace cx::mpeg {

BitReader::BitReader(int size) {
  if (size >= 64) buffer_.assign(static_cast<size_t>(size), 0);
}

bool BitReader::Open(const std::string& path) {
  if (!valid()) return false;
  return Open(FileByteSource::Open(path));
}

bool BitReader::Open(std::unique_ptr<ByteSource> source) {
  source_ = std::move(source);
  fileLength_ = source_ ? source_->Size() : 0;
  bufferStart_ = 0;
  bufferBytes_ = 0;
  if (!valid() || !source_) return false;
  return Rewind();
}

bool BitReader::SeekByte(int64_t offset) {
  if (!source_ || offset < 0) return false;
  bitPos_ = offset * 8;
  seekBit_ = bitPos_;
  endOfFile_ = false;
  return true;
}

bool BitReader::Fill(int64_t at) {
  if (at >= bufferStart_ && at < bufferStart_ + bufferBytes_) return true;
  if (!source_ || at >= fileLength_ || at < 0) return false;
  // Reads sequentially from the wanted byte on; a seek backwards or far
  // ahead simply reloads the buffer there.
  size_t got = source_->ReadAt(at, buffer_.data(), buffer_.size());
  bufferStart_ = at;
  bufferBytes_ = static_cast<int64_t>(got);
  return got > 0;
}

uint32_t BitReader::GetBitsSlowly(int n) {
  if (n < 1) return 0;
  if (n > 32) n = 32;
  uint32_t value = 0;
  int wanted = n;
  while (wanted > 0) {
    int64_t byte = bitPos_ >> 3;
    int used = static_cast<int>(bitPos_ & 7);
    int take = std::min(wanted, 8 - used);
    uint32_t b = 0;
    if (Fill(byte)) {
      b = buffer_[static_cast<size_t>(byte - bufferStart_)];
    } else {
      endOfFile_ = true;
    }
    uint32_t bits = (b >> (8 - used - take)) & ((1u << take) - 1);
    value = (value << take) | bits;
    bitPos_ += take;
    wanted -= take;
  }
  return value;
}

void BitReader::SkipBits(int64_t n) {
  if (n <= 0) return;
  bitPos_ += n;
  if ((bitPos_ - 1) >> 3 >= fileLength_) endOfFile_ = true;
}

void BitReader::AlignToByte() {
  if (bitPos_ & 7) bitPos_ += 8 - (bitPos_ & 7);
}

void BitReader::GetBytes(uint8_t* out, int count) {
  if (count <= 0) return;
  if ((bitPos_ & 7) == 0) {
    // Whole bytes straight from the buffer.
    int done = 0;
    while (done < count) {
      int64_t byte = bitPos_ >> 3;
      if (!Fill(byte)) {
        std::memset(out + done, 0, static_cast<size_t>(count - done));
        bitPos_ += static_cast<int64_t>(count - done) * 8;
        endOfFile_ = true;
        return;
      }
      int64_t avail = bufferStart_ + bufferBytes_ - byte;
      int n = static_cast<int>(std::min<int64_t>(avail, count - done));
      std::memcpy(out + done, buffer_.data() + (byte - bufferStart_), static_cast<size_t>(n));
      done += n;
      bitPos_ += static_cast<int64_t>(n) * 8;
    }
    return;
  }
  for (int i = 0; i < count; ++i) out[i] = static_cast<uint8_t>(GetBits(8));
}

bool BitReader::PeekBytes(int64_t offset, uint8_t* out, int count) {
  for (int i = 0; i < count; ++i) {
    if (!Fill(offset + i)) return false;
    out[i] = buffer_[static_cast<size_t>(offset + i - bufferStart_)];
  }
  return true;
}

BitReservoir::BitReservoir(int size) {
  // The size is rounded down to a power of two so positions wrap by masking.
  uint64_t s = 1;
  while (s * 2 <= static_cast<uint64_t>(size > 0 ? size : 0)) s *= 2;
  if (size >= 4096) {
    buffer_.assign(s + 8, 0);
    mask_ = s - 1;
  }
}

void BitReservoir::Reset() {
  totalBits_ = 0;
  writeCount_ = 0;
}

}  // namespace cx::mpeg
