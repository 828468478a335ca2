#include "audio/WavSamples.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

namespace {

constexpr double kFullScale24 = 8388608.0;

class WavSampleDecoder : public cx::codec::AudioDecoder {
 public:
  explicit WavSampleDecoder(const WavSampleLayout& layout) : layout_(layout) {}

  bool Open(std::unique_ptr<cx::codec::ByteSource> source) override {
    const bool floats = layout_.kind == WavSampleKind::kFloat;
    const int bytes = layout_.containerBytes;
    const bool depthOk = floats ? (bytes == 4 || bytes == 8) : (bytes >= 1 && bytes <= 4);
    if (!source || !depthOk || layout_.channels <= 0 || layout_.sampleRate == 0) return false;
    source_ = std::move(source);
    frameBytes_ = static_cast<int64_t>(bytes) * layout_.channels;
    format_.channels = layout_.channels;
    format_.sampleRate = layout_.sampleRate;
    format_.bitsPerSample = floats ? 24 : bytes * 8;
    format_.totalFrames = source_->Size() / frameBytes_;
    format_.bitrate = static_cast<uint32_t>(frameBytes_ * 8 * layout_.sampleRate);
    position_ = 0;
    return true;
  }
  const cx::codec::DecoderFormat& format() const override { return format_; }
  const cx::codec::DecoderTags& tags() const override { return tags_; }

  size_t Read(int32_t* out, size_t maxFrames) override {
    if (!source_ || position_ >= format_.totalFrames) return 0;
    const int64_t left = format_.totalFrames - position_;
    const size_t frames = static_cast<size_t>(std::min<int64_t>(left, static_cast<int64_t>(maxFrames)));
    raw_.resize(frames * static_cast<size_t>(frameBytes_));
    const size_t got = source_->ReadAt(position_ * frameBytes_, raw_.data(), raw_.size());
    // A read cut short ends the stream at its last whole frame.
    const size_t whole = got / static_cast<size_t>(frameBytes_);
    const size_t values = whole * static_cast<size_t>(layout_.channels);
    for (size_t i = 0; i < values; ++i) out[i] = Sample(raw_.data() + i * layout_.containerBytes);
    position_ = whole < frames ? format_.totalFrames : position_ + static_cast<int64_t>(whole);
    return whole;
  }

  bool Seek(int64_t frame) override {
    if (!source_) return false;
    position_ = std::max<int64_t>(0, std::min(frame, format_.totalFrames));
    return true;
  }
  int64_t Position() const override { return position_; }
  std::string Describe() const override {
    return layout_.kind == WavSampleKind::kFloat ? "WAV, floating point" : "WAV, integer PCM";
  }

 private:
  int32_t Sample(const uint8_t* p) const {
    if (layout_.kind == WavSampleKind::kFloat) {
      if (layout_.containerBytes == 4) {
        uint32_t bits = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return FloatTo24Bits(f);
      }
      uint64_t bits = 0;
      for (int i = 7; i >= 0; --i) bits = (bits << 8) | p[i];
      double d;
      std::memcpy(&d, &bits, sizeof d);
      return FloatTo24Bits(d);
    }
    switch (layout_.containerBytes) {
      case 1: return static_cast<int32_t>(p[0]) - 128;
      case 2: return static_cast<int16_t>(p[0] | (p[1] << 8));
      case 3: {
        const uint32_t v = p[0] | (p[1] << 8) | (static_cast<uint32_t>(p[2]) << 16);
        return static_cast<int32_t>(v << 8) >> 8;
      }
      default:
        return static_cast<int32_t>(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24));
    }
  }

  WavSampleLayout layout_;
  std::unique_ptr<cx::codec::ByteSource> source_;
  cx::codec::DecoderFormat format_;
  cx::codec::DecoderTags tags_;
  int64_t frameBytes_ = 1;
  int64_t position_ = 0;
  std::vector<uint8_t> raw_;
};

}  // namespace

int32_t FloatTo24Bits(double x) {
  if (std::isnan(x)) return 0;
  const double scaled = std::round(x * kFullScale24);
  if (scaled >= kFullScale24 - 1) return 8388607;
  if (scaled <= -kFullScale24) return -8388608;
  return static_cast<int32_t>(scaled);
}

std::unique_ptr<cx::codec::AudioDecoder> MakeWavSampleDecoder(const WavSampleLayout& layout) {
  return std::unique_ptr<cx::codec::AudioDecoder>(new (std::nothrow) WavSampleDecoder(layout));
}
