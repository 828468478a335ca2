// The media source of an MPEG audio file: owns one MpegStream, fills the
// media information block from it, and decodes blocks of up to four frames
// on demand into the one or two regions a read asks for.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "audio/MediaSource.h"
#include "mpeg/mpeg_stream.h"

class MpegDecoder : public MediaSource {
 public:
  MpegDecoder();
  ~MpegDecoder() override;

  // Returns the position in milliseconds before the seek; 0 when not open.
  uint32_t Seek(uint32_t ms) override;
  // Frames decoded so far times the frame length; ahead of what is heard.
  uint32_t PositionMs() override;
  // Fills region 1 completely, then region 2; *count receives the bytes of
  // decoded PCM, the rest is zeros. False once nothing was delivered.
  bool Read(uint32_t reserved, void* region1, uint32_t length1, void* region2, uint32_t length2,
            uint32_t* count) override;

  bool Open(const char* path);
  // Decodes from any byte source (memory in tests), which it then owns.
  bool Open(std::unique_ptr<cx::mpeg::ByteSource> source);
  bool Close();
  int32_t FrameIndex() const;
  const cx::mpeg::StreamInfo& streamInfo() const { return streamInfo_; }

 private:
  // Copies pending PCM into `to`, decoding blocks as needed; returns bytes copied.
  uint32_t Serve(uint8_t* to, uint32_t length);

  cx::mpeg::StreamInfo streamInfo_{};
  std::mutex lock_;
  bool open_ = false;
  cx::mpeg::MpegStream* stream_ = nullptr;
  uint32_t pending_ = 0;
  uint32_t blockOffset_ = 0;
  bool atEnd_ = true;
};
