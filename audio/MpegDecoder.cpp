#include "audio/MpegDecoder.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// Tag texts are up to 30 characters; the fields hold 39 and a NUL.
void CopyText(char* to, const char* from) {
  std::strncpy(to, from, kMediaTextSize - 1);
  to[kMediaTextSize - 1] = '\0';
}

// The ID3v2 title (UTF-8) in the ANSI code page, cut to the field.
void CopyUtf8Title(char* to, const char* utf8) {
#ifdef _WIN32
  wchar_t wide[128];
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 128);
  if (n <= 0 || WideCharToMultiByte(CP_ACP, 0, wide, -1, to, kMediaTextSize, nullptr, nullptr) <= 0) {
    // A title longer than the field in the code page: convert what fits
    // character by character rather than lose it all.
    int used = 0;
    for (int i = 0; i < n - 1; ++i) {
      char bytes[8];
      const int len = WideCharToMultiByte(CP_ACP, 0, wide + i, 1, bytes, sizeof bytes, nullptr, nullptr);
      if (len <= 0 || used + len > kMediaTextSize - 1) break;
      std::memcpy(to + used, bytes, static_cast<size_t>(len));
      used += len;
    }
    to[used] = '\0';
  }
#else
  // Elsewhere the ANSI code page is taken to be ISO-8859-1.
  int used = 0;
  for (const auto* p = reinterpret_cast<const unsigned char*>(utf8); *p && used < kMediaTextSize - 1;) {
    uint32_t c = *p;
    int len = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
    if (len == 2 && p[1]) c = ((c & 0x1F) << 6) | (p[1] & 0x3F);
    to[used++] = c < 0x100 && (len == 1 || len == 2) ? static_cast<char>(c) : '?';
    for (int i = 0; i < len && *p; ++i) ++p;
  }
  to[used] = '\0';
#endif
}

}  // namespace

MpegDecoder::MpegDecoder() : stream_(new (std::nothrow) cx::mpeg::MpegStream) {}

MpegDecoder::~MpegDecoder() { delete stream_; }

bool MpegDecoder::Open(const char* path) {
  return Open(path ? cx::mpeg::FileByteSource::Open(path) : nullptr);
}

bool MpegDecoder::Open(std::unique_ptr<cx::mpeg::ByteSource> source) {
  if (!stream_ || !source || !stream_->OpenStream(std::move(source))) {
    atEnd_ = true;
    pending_ = blockOffset_ = 0;
    open_ = false;
    return false;
  }
  streamInfo_ = stream_->info();
  const cx::mpeg::StreamInfo& s = streamInfo_;
  std::memset(&info_, 0, sizeof info_);
  info_.kind = kMediaMpeg;
  if (s.id3v2Title[0]) CopyUtf8Title(info_.title, s.id3v2Title);
  if (s.tagPresent) {
    // The tag's fields may fill all 30 characters without a terminator.
    char text[sizeof s.tag.title + 1];
    std::memcpy(text, s.tag.title, sizeof s.tag.title);
    text[sizeof s.tag.title] = '\0';
    if (!info_.title[0]) CopyText(info_.title, text);
    std::memcpy(text, s.tag.artist, sizeof s.tag.artist);
    text[sizeof s.tag.artist] = '\0';
    CopyText(info_.artist, text);
    std::memcpy(text, s.tag.comment, sizeof s.tag.comment);
    text[sizeof s.tag.comment] = '\0';
    CopyText(info_.comment, text);
  }
  CopyText(info_.text3, "Unknown");
  CopyText(info_.text4, "Unknown");
  // The block's fields are 32 bits: a stream of more than 4 GiB of PCM
  // (about 6 h 45 min at 44.1 kHz stereo) reports the largest size.
  constexpr int64_t kMax32 = std::numeric_limits<uint32_t>::max();
  info_.duration = static_cast<uint32_t>(std::clamp<int64_t>(s.totalMilliseconds / 1000, 0, kMax32));
  info_.dataSize = static_cast<uint32_t>(std::clamp<int64_t>(s.totalPcmBytes, 0, kMax32));
  const uint16_t channels = static_cast<uint16_t>(s.channels);
  info_.format.formatTag = kPcmFormatTag;
  info_.format.channels = channels;
  info_.format.samplesPerSec = s.samplingRate;
  info_.format.avgBytesPerSec = s.samplingRate * channels * 2;
  info_.format.blockAlign = static_cast<uint16_t>(channels * 2);
  info_.format.bitsPerSample = 16;
  info_.format.extraSize = 18;
  info_.spare = 0;
  pending_ = blockOffset_ = 0;
  atEnd_ = false;
  open_ = true;
  return true;
}

bool MpegDecoder::Close() {
  open_ = false;
  return true;
}

int32_t MpegDecoder::FrameIndex() const {
  if (!open_ || !stream_) return 0;
  return static_cast<int32_t>(std::min<int64_t>(stream_->FrameIndex(), std::numeric_limits<int32_t>::max()));
}

uint32_t MpegDecoder::PositionMs() {
  if (!open_ || !stream_ || streamInfo_.samplingRate == 0) return 0;
  // From samples, not whole milliseconds per frame: a Layer I frame at
  // 44.1 kHz lasts 8.7 ms, and counting 8 would drift by 8%.
  const int64_t ms = stream_->PositionSamples() * 1000 / streamInfo_.samplingRate;
  return static_cast<uint32_t>(std::min<int64_t>(ms, std::numeric_limits<uint32_t>::max()));
}

uint32_t MpegDecoder::Seek(uint32_t ms) {
  if (!open_ || !stream_) return 0;
  std::lock_guard<std::mutex> hold(lock_);
  const uint32_t before = PositionMs();
  // A position beyond the end lands on the last sample.
  const int64_t sample = std::min<int64_t>(int64_t{ms} * streamInfo_.samplingRate / 1000,
                                           streamInfo_.totalSamples - 1);
  stream_->SeekFrame(stream_->FrameOfSample(sample));  // a failed preload reads on from wherever the file stands
  pending_ = blockOffset_ = 0;
  atEnd_ = false;
  return before;
}

uint32_t MpegDecoder::Serve(uint8_t* to, uint32_t length) {
  uint32_t filled = 0;
  while (filled < length) {
    if (pending_ == 0) {
      if (atEnd_) break;
      if (!stream_->DecodeBlock()) {
        atEnd_ = true;
        break;
      }
      blockOffset_ = 0;
      pending_ = 2 * static_cast<uint32_t>(stream_->PcmValues());
      continue;
    }
    const int16_t* block = stream_->PcmBlock();
    if (!block) {
      // Nothing behind the pending count: drop it and decode on.
      pending_ = blockOffset_ = 0;
      continue;
    }
    const uint32_t n = pending_ < length - filled ? pending_ : length - filled;
    std::memcpy(to + filled, reinterpret_cast<const uint8_t*>(block) + blockOffset_, n);
    filled += n;
    blockOffset_ += n;
    pending_ -= n;
  }
  return filled;
}

bool MpegDecoder::Read(uint32_t, void* region1, uint32_t length1, void* region2, uint32_t length2,
                       uint32_t* count) {
  std::lock_guard<std::mutex> hold(lock_);
  *count = 0;
  if (!open_ || !stream_) return false;
  uint8_t* const regions[2] = {static_cast<uint8_t*>(region1), static_cast<uint8_t*>(region2)};
  const uint32_t lengths[2] = {region1 ? length1 : 0, region2 ? length2 : 0};
  for (int i = 0; i < 2; ++i) {
    if (!regions[i]) continue;
    const uint32_t got = Serve(regions[i], lengths[i]);
    // Whatever decoding could not serve is silence.
    std::memset(regions[i] + got, 0, lengths[i] - got);
    *count += got;
  }
  return *count != 0;
}
