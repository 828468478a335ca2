// One MPEG audio stream being decoded: opening (tags, first frame, stream
// information), the frame loop, blocks of PCM and seeking. Every piece of
// mutable decoding state lives here, so streams can be decoded side by side.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mpeg/bit_reader.h"
#include "mpeg/frame_header.h"
#include "mpeg/layer12.h"
#include "mpeg/layer3.h"
#include "mpeg/synthesis.h"

namespace cx::mpeg {

struct TagText {
  char title[31];
  char artist[31];
  char album[31];
  char year[5];
  char comment[31];
  uint8_t genre;
};

struct StreamInfo {
  uint32_t id;
  uint32_t layerCode;
  bool crcPresent;
  uint32_t bitrate;       // bits per second
  uint32_t samplingRate;  // Hz
  bool padding;
  uint32_t mode;
  uint32_t modeExtension;
  uint32_t emphasis;
  int32_t frameCount;     // estimate from the first frame's length
  int32_t samplesPerFrame;
  int32_t totalSamples;   // per channel
  int32_t channels;
  int32_t bytesPerSample;
  int32_t totalMilliseconds;
  int32_t totalPcmBytes;
  int32_t millisecondsPerFrame;
  bool tagPresent;        // ID3v1 tag at the end of the file
  TagText tag;
};

enum class FrameResult { kDecoded, kBadFrame, kEndOfStream };

class MpegStream {
 public:
  static constexpr int kFramesPerBlock = 4;
  // How far past an ID3v2 tag the first frame is searched for.
  static constexpr int64_t kSyncSearchLimit = 65536;

  MpegStream();
  MpegStream(const MpegStream&) = delete;
  MpegStream& operator=(const MpegStream&) = delete;

  bool valid() const { return reader_.valid(); }
  bool OpenStream(const std::string& path);
  bool is_open() const { return open_; }
  const StreamInfo& info() const { return info_; }
  // Byte offset of the first frame's header (behind any ID3v2 tag).
  int64_t FirstFrameOffset() const { return firstFrameOffset_; }

  // Decodes the next frame and appends its PCM to the block.
  FrameResult DecodeFrame();
  // Clears the block and decodes up to four frames into it; false when none
  // could be decoded (end of the file, or four bad frames in a row).
  bool DecodeBlock();
  // Positions the stream so that the next frame decoded is frame f.
  bool SeekFrame(int32_t f);

  // Valid while the last DecodeBlock produced frames; otherwise null and 0.
  const int16_t* PcmBlock() const;
  int32_t PcmValues() const;
  int32_t FrameIndex() const { return frameIndex_; }
  const FrameHeader& header() const { return header_; }
  const Layer3Decoder& layer3() const { return layer3_; }

  // The steps of the frame loop, public for tests.
  bool FindSync();
  bool ParseHeader(bool compare);
  void ReadCrcWord();

 private:
  void ReadId3v1Tag(const std::string& path);
  int64_t SkipId3v2Tag();
  bool FindFirstFrame(int64_t from);
  void SkipInformationFrame();
  void ClearFilters();
  // Offset of frame f's header, found by walking the headers from the
  // first frame (remembering what was walked). -1 past the end.
  int64_t FrameOffset(int32_t f);

  BitReader reader_;
  Layer3Decoder layer3_;
  Layer12Decoder layer12_;
  HybridFilterbank hybrid_;
  SubbandSynthesis synthesis_;
  FrameHeader header_;
  FrameHeader first_;
  StreamInfo info_{};
  bool open_ = false;
  int64_t firstFrameOffset_ = 0;
  std::vector<int64_t> frameOffsets_;

  int32_t frameIndex_ = 0;
  bool blockHoldsFrames_ = false;
  std::vector<int16_t> pcm_;
  int32_t pcmValues_ = 0;
};

}  // namespace cx::mpeg
