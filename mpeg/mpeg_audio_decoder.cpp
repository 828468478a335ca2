#include "mpeg/mpeg_audio_decoder.h"

#include <algorithm>
#include <cstdio>

namespace cx::mpeg {

std::string Latin1ToUtf8(const char* text, size_t length) {
  std::string out;
  for (size_t i = 0; i < length && text[i] != '\0'; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  // ID3v1 fields are padded with blanks as often as with NULs.
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

bool MpegAudioDecoder::Open(std::unique_ptr<ByteSource> source) {
  atEnd_ = true;
  block_ = nullptr;
  blockValues_ = blockOffset_ = 0;
  position_ = 0;
  format_ = {};
  tags_ = {};
  if (!source || !stream_.OpenStream(std::move(source))) return false;
  const StreamInfo& s = stream_.info();
  if (s.channels <= 0 || s.samplingRate == 0) return false;
  format_.channels = s.channels;
  format_.sampleRate = s.samplingRate;
  format_.bitsPerSample = 16;
  format_.totalFrames = s.totalSamples;
  format_.bitrate = s.bitrate;
  if (s.id3v2Title[0]) tags_.title = s.id3v2Title;
  if (s.tagPresent) {
    if (tags_.title.empty()) tags_.title = Latin1ToUtf8(s.tag.title, sizeof s.tag.title);
    tags_.artist = Latin1ToUtf8(s.tag.artist, sizeof s.tag.artist);
    tags_.album = Latin1ToUtf8(s.tag.album, sizeof s.tag.album);
    tags_.comment = Latin1ToUtf8(s.tag.comment, sizeof s.tag.comment);
  }
  atEnd_ = false;
  return true;
}

bool MpegAudioDecoder::NextBlock() {
  if (atEnd_) return false;
  if (!stream_.DecodeBlock()) {
    atEnd_ = true;
    block_ = nullptr;
    blockValues_ = blockOffset_ = 0;
    return false;
  }
  block_ = stream_.PcmBlock();
  blockValues_ = block_ ? stream_.PcmValues() : 0;
  blockOffset_ = 0;
  return true;
}

size_t MpegAudioDecoder::Read(int32_t* out, size_t maxFrames) {
  const int channels = format_.channels;
  if (channels <= 0) return 0;
  size_t frames = 0;
  while (frames < maxFrames) {
    if (blockOffset_ >= blockValues_ && !NextBlock()) break;
    const size_t available = static_cast<size_t>(blockValues_ - blockOffset_) / channels;
    const size_t n = std::min(available, maxFrames - frames);
    const int16_t* from = block_ + blockOffset_;
    int32_t* to = out + frames * channels;
    for (size_t i = 0; i < n * channels; ++i) to[i] = from[i];
    blockOffset_ += static_cast<int32_t>(n * channels);
    frames += n;
    // A block holds whole frames of samples; anything else is dropped.
    if (n == 0) blockOffset_ = blockValues_;
  }
  position_ += static_cast<int64_t>(frames);
  return frames;
}

bool MpegAudioDecoder::Seek(int64_t frame) {
  if (format_.channels <= 0) return false;
  const int64_t total = format_.totalFrames;
  int64_t target = std::max<int64_t>(frame, 0);
  if (total > 0) target = std::min(target, total);
  stream_.SeekFrame(stream_.FrameOfSample(target));
  block_ = nullptr;
  blockValues_ = blockOffset_ = 0;
  atEnd_ = false;
  position_ = stream_.PositionSamples();
  // Decode from the frame's start up to the sample itself.
  int32_t scratch[1152 * 2];
  const int64_t perRead = static_cast<int64_t>(sizeof scratch / sizeof scratch[0]) / format_.channels;
  while (position_ < target) {
    const size_t want = static_cast<size_t>(std::min<int64_t>(perRead, target - position_));
    if (Read(scratch, want) == 0) break;
  }
  return true;
}

std::string MpegAudioDecoder::Describe() const {
  const StreamInfo& s = stream_.info();
  char text[96];
  std::snprintf(text, sizeof text, "MPEG %s Layer %u, %u Hz, %u kbit/s", s.id ? "1" : s.mpeg25 ? "2.5" : "2",
                4 - s.layerCode, s.samplingRate, s.bitrate / 1000);
  return text;
}

}  // namespace cx::mpeg
