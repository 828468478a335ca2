// The MPEG audio stream behind the common decoder interface: what the
// player's media source and the command-line decoder see of an MP1, MP2 or
// MP3 file. Seeks are exact to the sample: the stream is placed on the
// frame holding the target and the samples before it are decoded and
// dropped.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "codec/audio_decoder.h"
#include "mpeg/mpeg_stream.h"

namespace cx::mpeg {

class MpegAudioDecoder : public codec::AudioDecoder {
 public:
  MpegAudioDecoder() = default;
  // Trims the encoder's delay and padding (on by default); before Open.
  void SetGapless(bool on) { stream_.SetGapless(on); }

  bool Open(std::unique_ptr<ByteSource> source) override;
  const codec::DecoderFormat& format() const override { return format_; }
  const codec::DecoderTags& tags() const override { return tags_; }
  size_t Read(int32_t* out, size_t maxFrames) override;
  bool Seek(int64_t frame) override;
  int64_t Position() const override { return position_; }
  std::string Describe() const override;

  const StreamInfo& streamInfo() const { return stream_.info(); }

 private:
  bool NextBlock();

  MpegStream stream_;
  codec::DecoderFormat format_;
  codec::DecoderTags tags_;
  const int16_t* block_ = nullptr;
  int32_t blockValues_ = 0;
  int32_t blockOffset_ = 0;  // values of the block already delivered
  int64_t position_ = 0;
  bool atEnd_ = true;
};

// ISO-8859-1 text (the ID3v1 tag's) as UTF-8, up to `length` bytes or a NUL.
std::string Latin1ToUtf8(const char* text, size_t length);

}  // namespace cx::mpeg
