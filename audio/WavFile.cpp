#include "audio/WavFile.h"

#include <algorithm>
#include <cstring>

namespace {

uint32_t U32At(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t U16At(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// Four printable ASCII characters, which is what every registered chunk id is.
bool LooksLikeChunkId(const uint8_t* id) {
  for (int i = 0; i < 4; ++i) {
    if (id[i] < 0x20 || id[i] > 0x7E) return false;
  }
  return true;
}

// Reads exactly n bytes at `offset`.
bool ReadAt(ByteFile& file, uint64_t offset, void* to, uint32_t n) {
  uint32_t got = 0;
  return file.SeekTo(offset) && file.Read(to, n, &got) && got == n;
}

// The chunk walk: finds the chunk `wanted` at or after *offset, skipping
// others by their stored size. On success *offset is the chunk's body and
// *size its stored size.
bool FindChunk(ByteFile& file, uint64_t fileSize, const char* wanted, bool afterOddChunk,
               uint64_t* offset, uint32_t* size) {
  uint64_t at = *offset;
  for (;;) {
    uint8_t head[8];
    if (at + 8 > fileSize || !ReadAt(file, at, head, 8)) return false;
    if (afterOddChunk && !LooksLikeChunkId(head)) {
      // The writer may have padded the odd chunk to an even size, as RIFF
      // asks; step over the pad byte when that reveals a chunk id.
      uint8_t shifted[8];
      if (at + 9 <= fileSize && ReadAt(file, at + 1, shifted, 8) && LooksLikeChunkId(shifted)) {
        ++at;
        std::memcpy(head, shifted, 8);
      }
    }
    const uint32_t chunkSize = U32At(head + 4);
    if (std::memcmp(head, wanted, 4) == 0) {
      *offset = at + 8;
      *size = chunkSize;
      return true;
    }
    // A chunk that claims more than the file holds cannot be followed by data.
    if (at + 8 + chunkSize > fileSize) return false;
    at += 8 + static_cast<uint64_t>(chunkSize);
    afterOddChunk = (chunkSize & 1) != 0;
  }
}


// The extensible format's 40 bytes, and the tail its subformat GUIDs share
// (the format tag fills the first two bytes).
constexpr uint32_t kExtensibleFmtBytes = 40;
constexpr uint8_t kSubformatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// The format chunk's body (its first bytes, the chunk being `size` long)
// into the layout's format and sample description.
bool ReadFormat(const uint8_t* body, uint32_t size, WavLayout* layout) {
  PcmFormat f{};
  f.formatTag = U16At(body);
  f.channels = U16At(body + 2);
  f.samplesPerSec = U32At(body + 4);
  f.avgBytesPerSec = U32At(body + 8);
  f.blockAlign = U16At(body + 12);
  if (f.avgBytesPerSec != static_cast<uint32_t>(f.blockAlign * f.samplesPerSec)) return false;
  // Zero rate or channels leave the bit depth undefined and a zero byte rate
  // makes every duration and position a division by zero.
  if (f.samplesPerSec == 0 || f.channels == 0 || f.avgBytesPerSec == 0) return false;

  uint16_t tag = f.formatTag;
  layout->validBits = 0;
  layout->channelMask = 0;
  if (tag == kWavExtensibleTag) {
    // cbSize must cover valid bits, channel mask and the subformat.
    if (size < kExtensibleFmtBytes || U16At(body + 16) < 22) return false;
    if (std::memcmp(body + 26, kSubformatTail, sizeof kSubformatTail) != 0) return false;
    tag = U16At(body + 24);
    layout->validBits = U16At(body + 18);
    layout->channelMask = U32At(body + 20);
  }
  if (tag == kPcmFormatTag) {
    if (size < 18) {
      f.bitsPerSample = static_cast<uint16_t>(
          ((static_cast<uint64_t>(f.avgBytesPerSec) * 8) / f.samplesPerSec) / f.channels);
    } else {
      f.bitsPerSample = U16At(body + 14);
    }
    layout->sampleKind = WavSampleKind::kInteger;
  } else if (tag == kWavFloatTag) {
    if (size < 16) return false;
    f.bitsPerSample = U16At(body + 14);
    if (f.bitsPerSample != 32 && f.bitsPerSample != 64) return false;
    layout->sampleKind = WavSampleKind::kFloat;
  } else {
    return false;
  }
  if (f.formatTag != kPcmFormatTag) {
    // The newer formats name their container exactly: each frame holds
    // every channel's sample, and a depth the container cannot hold, or
    // a claim of more valid bits than it has, is damage.
    const uint32_t bits = f.bitsPerSample;
    if (bits == 0 || bits % 8 != 0 || bits > 64 || f.blockAlign != f.channels * (bits / 8)) return false;
    if (layout->validBits > bits) return false;
    if (tag == kPcmFormatTag && bits > 32) return false;
  }
  if (layout->validBits == 0) layout->validBits = f.bitsPerSample;
  // Integer samples play as plain PCM of their container.
  f.formatTag = tag;
  f.extraSize = 0;
  layout->format = f;
  return true;
}

}  // namespace

bool ParseWavHeader(ByteFile& file, WavLayout* layout) {
  uint64_t fileSize = 0;
  uint8_t riff[12];
  if (!file.Size(&fileSize) || !ReadAt(file, 0, riff, 12)) return false;
  if (std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0) return false;

  uint64_t at = 12;
  uint32_t fmtSize = 0;
  if (!FindChunk(file, fileSize, "fmt ", false, &at, &fmtSize)) return false;
  if (fmtSize < 14 || at + fmtSize > fileSize) return false;
  // Only the first 40 bytes (the extensible format's) are looked at; the
  // rest of a longer chunk is skipped, so no size from the file decides an
  // allocation.
  uint8_t body[kExtensibleFmtBytes] = {};
  if (!ReadAt(file, at, body, std::min<uint32_t>(fmtSize, sizeof body))) return false;
  if (!ReadFormat(body, fmtSize, layout)) return false;
  const PcmFormat& f = layout->format;

  at += fmtSize;
  uint32_t dataSize = 0;
  if (!FindChunk(file, fileSize, "data", (fmtSize & 1) != 0, &at, &dataSize)) return false;
  if (at > 0xFFFFFFFFu || !file.SeekTo(at)) return false;
  const uint64_t held = fileSize - at;
  // A recording cut off between two header updates: its RIFF chunk ends
  // with the data, and the file holds more sound behind them.
  const bool cutOff = at + dataSize == 8 + static_cast<uint64_t>(U32At(riff + 4)) && held > dataSize;
  if (dataSize == 0 || dataSize > held || cutOff) {
    // Read positions are 32-bit offsets, so a huge file ends where they do.
    uint64_t real = std::min<uint64_t>(held, 0xFFFFFFFFu - at);
    real -= real % f.blockAlign;
    dataSize = static_cast<uint32_t>(real);
  }

  layout->dataSize = dataSize;
  layout->duration = dataSize / f.avgBytesPerSec;
  layout->dataStart = static_cast<uint32_t>(at);
  return true;
}

bool FindWavData(ByteFile& file, uint16_t* formatTag, uint64_t* dataStart, uint64_t* dataSize) {
  uint64_t fileSize = 0;
  uint8_t riff[12];
  if (!file.Size(&fileSize) || !ReadAt(file, 0, riff, 12)) return false;
  if (std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0) return false;
  uint64_t at = 12;
  uint32_t fmtSize = 0;
  uint8_t tag[2];
  if (!FindChunk(file, fileSize, "fmt ", false, &at, &fmtSize) || fmtSize < 2 || !ReadAt(file, at, tag, 2)) {
    return false;
  }
  at += fmtSize;
  uint32_t stored = 0;
  if (!FindChunk(file, fileSize, "data", (fmtSize & 1) != 0, &at, &stored) || at >= fileSize) return false;
  *formatTag = static_cast<uint16_t>(tag[0] | (tag[1] << 8));
  *dataStart = at;
  *dataSize = stored == 0 || at + stored > fileSize ? fileSize - at : stored;
  return true;
}

bool ReadWavData(ByteFile& file, const WavLayout& layout, uint32_t* readPos, void* region1,
                 uint32_t length1, void* region2, uint32_t length2, uint32_t* count) {
  *count = 0;
  if (!file.SeekTo(*readPos)) return false;
  if (*readPos < layout.dataStart || *readPos - layout.dataStart >= layout.dataSize) return false;

  uint32_t left = layout.dataSize - (*readPos - layout.dataStart);
  uint32_t got = 0;
  if (!file.Read(region1, left < length1 ? left : length1, &got)) return false;
  *readPos += got;
  if (got < length1) {
    *count = got;
    return true;
  }
  *count = length1;
  if (!region2 || length2 == 0) return true;

  left = layout.dataSize - (*readPos - layout.dataStart);
  // A failing second read still leaves region 1 delivered; the count says so.
  if (file.Read(region2, left < length2 ? left : length2, &got)) {
    *count = length1 + got;
    *readPos += got;
  }
  return true;
}

uint32_t SeekWavMs(ByteFile& file, const WavLayout& layout, uint32_t* readPos, uint32_t ms) {
  // The factor is the single-precision 0.001, widened: positions must come
  // out exactly as the player has always computed them.
  const double offsetExact = static_cast<double>(layout.format.avgBytesPerSec) *
                             static_cast<double>(ms) * static_cast<double>(0.001f);
  uint64_t offset = static_cast<uint64_t>(offsetExact);
  // Read positions are 32-bit file offsets: a data chunk claiming nearly
  // 4 GiB (a cut-off recording) ends at the last offset one can name.
  const uint64_t dataEnd = std::min<uint64_t>(layout.dataSize, 0xFFFFFFFFu - layout.dataStart);
  // Always on a whole frame, whatever the frame's size (3 and 6 bytes for
  // 24-bit files), so that the channels stay in their places.
  // Past the end, the end itself: the next read finds the data exhausted.
  const uint64_t frame = layout.format.blockAlign != 0 ? layout.format.blockAlign : 1;
  offset = offset <= dataEnd ? offset - offset % frame : dataEnd;
  *readPos = layout.dataStart + static_cast<uint32_t>(offset);
  file.SeekTo(*readPos);
  return ms;
}

uint32_t WavPositionMs(const WavLayout& layout, uint32_t readPos) {
  if (layout.format.avgBytesPerSec == 0) return 0;
  const double seconds = static_cast<double>(readPos - layout.dataStart) /
                         static_cast<double>(layout.format.avgBytesPerSec);
  // A very slow byte rate makes more milliseconds than 32 bits hold.
  const double ms = seconds * 1000.0;
  return ms < 4294967295.0 ? static_cast<uint32_t>(ms) : 0xFFFFFFFFu;
}

bool WavWriter::WriteAll(const void* bytes, uint32_t n) {
  uint32_t written = 0;
  return file_.Write(bytes, n, &written) && written == n;
}

bool WavWriter::CreateWavFile(const char* path, const PcmFormat& format) {
  if (file_.IsOpen() || std::strlen(path) >= sizeof(path_)) return false;
  if (!file_.CreateWrite(path)) return false;
  std::strcpy(path_, path);
  dataBytes_ = 0;
  patchedBytes_ = 0;
  stop_ = WavWriteStop::kNone;
  avgBytesPerSec_ = format.avgBytesPerSec;
  blockAlign_ = format.blockAlign != 0 ? format.blockAlign : 1;

  PcmFormat written = format;
  const uint32_t formatSize = sizeof(PcmFormat);
  // A creation that fails half-way leaves no half-made header behind.
  const bool ok = WriteAll("RIFF", 4) && WriteAll(&dataBytes_, 4) && WriteAll("WAVEfmt ", 8) &&
                  WriteAll(&formatSize, 4) && WriteAll(&written, sizeof written) &&
                  WriteAll("data", 4) && WriteAll(&dataBytes_, 4);
  if (!ok) {
    file_.Close();
    ByteFile::Delete(path_);
    path_[0] = '\0';
  }
  return ok;
}

bool WavWriter::AppendData(const void* bytes, uint32_t n) {
  if (!file_.IsOpen() || stop_ != WavWriteStop::kNone) return false;
  // At the size limit the file ends on the last whole frame that fits.
  uint32_t room = maxDataBytes_ > dataBytes_ ? maxDataBytes_ - dataBytes_ : 0;
  room -= room % blockAlign_;
  const uint32_t take = n < room ? n : room;
  uint32_t written = 0;
  const bool ok = take == 0 || file_.Write(bytes, take, &written);
  dataBytes_ += written;
  if (!ok || written != take) {
    stop_ = WavWriteStop::kWriteFailed;
  } else if (take < n) {
    stop_ = WavWriteStop::kSizeLimit;
  }
  // A recording cut off by a crash or a power loss keeps a header that
  // covers all but the last second; a stopped one, all of it.
  const bool due = avgBytesPerSec_ == 0 || dataBytes_ - patchedBytes_ >= avgBytesPerSec_;
  if ((due || stop_ != WavWriteStop::kNone) && !PatchHeader()) stop_ = WavWriteStop::kWriteFailed;
  return stop_ == WavWriteStop::kNone;
}

bool WavWriter::PatchHeader() {
  const uint32_t riffSize = dataBytes_ + (kWavHeaderBytes - 8);
  uint64_t end = 0;
  // Overwriting the header takes no new room, so it works on a full disk.
  const bool ok = file_.SeekTo(4) && WriteAll(&riffSize, 4) && file_.SeekTo(42) &&
                  WriteAll(&dataBytes_, 4) && file_.SeekToEnd(&end);
  if (ok) patchedBytes_ = dataBytes_;
  return ok;
}

bool WavWriter::FinishWavFile() {
  if (!file_.IsOpen()) return false;
  if (dataBytes_ == 0) {
    file_.Close();
    ByteFile::Delete(path_);
    return true;
  }
  uint64_t length = 0;
  bool ok = file_.SeekTo(42) && WriteAll(&dataBytes_, 4) && file_.SeekToEnd(&length);
  const uint32_t riffSize = static_cast<uint32_t>(length - 8);
  ok = ok && file_.SeekTo(4) && WriteAll(&riffSize, 4);
  file_.Close();
  return ok;
}

uint32_t WavWriter::RecordedMs() const {
  if (avgBytesPerSec_ == 0) return 0;
  return static_cast<uint32_t>(static_cast<double>(dataBytes_) * 1000.0 / avgBytesPerSec_);
}
