// The FLAC decoder: frames are found by their sync code and header CRC,
// decoded one block at a time and handed out interleaved. A frame that
// fails its CRC-16 (or cannot be decoded) becomes silence of its length,
// as do frames whose headers are lost, measured by the next frame's number.
// Seeks go through the SEEKTABLE or a bisection over frame headers, then
// decode the block that holds the target and drop what precedes it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "codec/audio_decoder.h"
#include "codec/md5.h"
#include "flac/frame.h"
#include "flac/metadata.h"

namespace cx::flac {

class FlacStreamDecoder : public codec::AudioDecoder {
 public:
  bool Open(std::unique_ptr<codec::ByteSource> source) override;
  const codec::DecoderFormat& format() const override { return format_; }
  const codec::DecoderTags& tags() const override { return meta_.tags; }
  size_t Read(int32_t* out, size_t maxFrames) override;
  bool Seek(int64_t frame) override;
  int64_t Position() const override { return blockStart_ + blockUsed_; }
  codec::DecoderHealth health() const override { return health_; }
  std::string Describe() const override;

 private:
  struct Found {
    FrameHeader header;
    int64_t offset = 0;
    int64_t sample = 0;
  };

  // Up to `need` bytes from offset on (fewer only at the end of the data).
  const uint8_t* Window(int64_t offset, size_t need, size_t* got);
  // The first plausible frame header at or after `from`, before `limit`.
  bool FindFrame(int64_t from, int64_t limit, Found* f);
  // A header at `from` whose successor follows it where its block ends.
  bool FindChainedFrame(int64_t from, int64_t limit, Found* f);
  bool Plausible(const FrameHeader& h) const;
  int64_t SampleOf(const FrameHeader& h) const;
  // Makes the next block current (decoded, or silence); false at the end.
  bool NextBlock();
  bool DecodeFrameAt(const Found& f, size_t* bytes);
  void StartSilence(int64_t frames);
  void HashBlock();
  void FinishStream();
  void Restart();
  bool Known() const { return meta_.info.totalSamples > 0; }

  std::unique_ptr<codec::ByteSource> source_;
  int64_t size_ = 0;
  Metadata meta_;
  codec::DecoderFormat format_;
  codec::DecoderHealth health_;
  FrameDecoder frames_;

  std::vector<uint8_t> window_;
  int64_t windowStart_ = 0;
  size_t windowLength_ = 0;
  size_t readChunk_ = size_t{1} << 20;  // bytes a refill reads at least

  int blocking_ = -1;          // the first frame's strategy: 0 fixed, 1 variable
  uint32_t nominalBlock_ = 0;  // a fixed-blocking stream's block size
  int64_t searchFrom_ = 0;     // where the next frame is looked for
  int64_t nextSample_ = 0;     // the sample the next frame should start at
  int64_t silenceLeft_ = 0;    // frames of silence still owed for lost frames

  // The current block.
  int64_t blockStart_ = 0;
  int64_t blockLength_ = 0;
  int64_t blockUsed_ = 0;
  bool blockSilent_ = false;

  codec::Md5 md5_;
  bool hashing_ = true;  // every sample so far came from the start in order
  bool ended_ = false;
  std::vector<uint8_t> hashBytes_;
};

}  // namespace cx::flac
