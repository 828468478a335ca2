#include "audio/MpegDecoder.h"

#include <cstring>
#include <new>

namespace {

// Tag texts are up to 30 characters; the fields hold 39 and a NUL.
void CopyText(char* to, const char* from) {
  std::strncpy(to, from, kMediaTextSize - 1);
  to[kMediaTextSize - 1] = '\0';
}

}  // namespace

MpegDecoder::MpegDecoder() : stream_(new (std::nothrow) cx::mpeg::MpegStream) {}

MpegDecoder::~MpegDecoder() { delete stream_; }

bool MpegDecoder::Open(const char* path) {
  if (!stream_ || !path || !stream_->OpenStream(path)) {
    atEnd_ = true;
    pending_ = blockOffset_ = 0;
    open_ = false;
    return false;
  }
  streamInfo_ = stream_->info();
  const cx::mpeg::StreamInfo& s = streamInfo_;
  std::memset(&info_, 0, sizeof info_);
  info_.kind = kMediaMpeg;
  if (s.tagPresent) {
    // The tag's fields may fill all 30 characters without a terminator.
    char text[sizeof s.tag.title + 1];
    std::memcpy(text, s.tag.title, sizeof s.tag.title);
    text[sizeof s.tag.title] = '\0';
    CopyText(info_.title, text);
    std::memcpy(text, s.tag.artist, sizeof s.tag.artist);
    text[sizeof s.tag.artist] = '\0';
    CopyText(info_.artist, text);
    std::memcpy(text, s.tag.comment, sizeof s.tag.comment);
    text[sizeof s.tag.comment] = '\0';
    CopyText(info_.comment, text);
  }
  CopyText(info_.text3, "Unknown");
  CopyText(info_.text4, "Unknown");
  info_.duration = s.totalMilliseconds > 0 ? static_cast<uint32_t>(s.totalMilliseconds) / 1000 : 0;
  info_.dataSize = s.totalPcmBytes > 0 ? static_cast<uint32_t>(s.totalPcmBytes) : 0;
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

int32_t MpegDecoder::FrameIndex() const { return open_ && stream_ ? stream_->FrameIndex() : 0; }

uint32_t MpegDecoder::PositionMs() {
  if (!open_ || !stream_ || streamInfo_.millisecondsPerFrame <= 0) return 0;
  const int32_t frames = stream_->FrameIndex();
  return frames > 0 ? static_cast<uint32_t>(frames) * static_cast<uint32_t>(streamInfo_.millisecondsPerFrame) : 0;
}

uint32_t MpegDecoder::Seek(uint32_t ms) {
  if (!open_ || !stream_) return 0;
  std::lock_guard<std::mutex> hold(lock_);
  const uint32_t before = PositionMs();
  const int64_t total = streamInfo_.totalMilliseconds;
  int64_t target = static_cast<int64_t>(ms) > total ? total - 1 : static_cast<int64_t>(ms);
  if (target < 0) target = 0;
  const int64_t perFrame = streamInfo_.millisecondsPerFrame;
  const int32_t frame = perFrame > 0 ? static_cast<int32_t>(target / perFrame) : 0;
  stream_->SeekFrame(frame);  // a failed preload reads on from wherever the file stands
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
