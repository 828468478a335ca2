// One MPEG audio stream being decoded: opening (tags, first frame, stream
// information), the frame loop, blocks of PCM and seeking. Every piece of
// mutable decoding state lives here, so streams can be decoded side by side.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mpeg/bit_reader.h"
#include "codec/byte_source.h"
#include "mpeg/frame_header.h"
#include "mpeg/layer12.h"
#include "mpeg/layer3.h"
#include "mpeg/synthesis.h"
#include "mpeg/vbr_header.h"

namespace cx::mpeg {

struct TagText {
  char title[31];
  char artist[31];
  char album[31];
  char year[5];
  char comment[31];
  uint8_t genre;
};

// Where the frame count comes from.
enum class FrameCount : uint32_t {
  kEstimate,    // stream bytes / the first frame's length (large files)
  kHeaderWalk,  // every frame header walked at open
  kXing,        // the encoder's Xing/Info header
  kVbri,        // the encoder's VBRI header
};

struct StreamInfo {
  uint32_t id;
  bool mpeg25;            // id 0 at the quartered rates (11.025, 12, 8 kHz)
  uint32_t layerCode;
  bool crcPresent;
  uint32_t bitrate;       // bits per second, of the first frame
  uint32_t samplingRate;  // Hz
  bool padding;
  uint32_t mode;
  uint32_t modeExtension;
  uint32_t emphasis;
  int64_t frameCount;     // audio frames of the stream's rate and layer
  int32_t samplesPerFrame;
  int64_t totalSamples;   // per channel, as played (after gapless trimming)
  int32_t channels;       // fixed by the first frame for the whole stream
  int32_t bytesPerSample;
  int64_t totalMilliseconds;
  int64_t totalPcmBytes;
  int32_t millisecondsPerFrame;  // integer part; for display, never for timing
  FrameCount countSource;
  // Frames of another sampling rate or layer met by the header walk; they
  // are skipped when decoding.
  int64_t otherFrames;
  bool encoderTag;        // the encoder's delay and padding are known
  int32_t encoderDelay;   // samples
  int32_t encoderPadding;
  bool gapless;           // the delay and padding are trimmed from the output
  bool tagPresent;        // ID3v1 tag at the end of the file
  TagText tag;
  char id3v2Title[128];   // UTF-8; empty without an ID3v2 title frame
};

enum class FrameResult { kDecoded, kBadFrame, kEndOfStream };

class MpegStream {
 public:
  static constexpr int kFramesPerBlock = 4;
  // How far past an ID3v2 tag the first frame is searched for.
  static constexpr int64_t kSyncSearchLimit = 65536;
  // Streams up to this many bytes (17 minutes at 128 kbit/s) have every
  // frame header walked at open for the exact frame count: about 50 ms for
  // 16 MiB from the disk cache, 20 ms of it processor time. Larger ones
  // take the count from an encoder's header, or estimate it.
  static constexpr int64_t kHeaderWalkLimit = 16 << 20;
  // The decoder's own delay behind the encoder's, trimmed with it.
  static constexpr int32_t kDecoderDelay = 529;

  MpegStream();
  MpegStream(const MpegStream&) = delete;
  MpegStream& operator=(const MpegStream&) = delete;

  bool valid() const { return reader_.valid(); }
  bool OpenStream(const std::string& path);
  // Opens the stream on a source of bytes, which the stream then owns.
  bool OpenStream(std::unique_ptr<ByteSource> source);
  // Trims the encoder's delay and padding when the stream says what they
  // are (on by default). Takes effect at the next open.
  void SetGapless(bool on) { gaplessWanted_ = on; }
  // For tests: the largest stream whose headers are walked at open.
  void SetHeaderWalkLimit(int64_t bytes) { walkLimit_ = bytes; }
  bool is_open() const { return open_; }
  const StreamInfo& info() const { return info_; }
  // Byte offset of the first frame's header (behind any ID3v2 tag).
  int64_t FirstFrameOffset() const { return firstFrameOffset_; }

  // Decodes the next frame and appends its PCM to the block.
  FrameResult DecodeFrame();
  // Clears the block and decodes up to four frames into it; false when none
  // could be decoded (end of the file, or four bad frames in a row).
  bool DecodeBlock();
  // Positions the stream so that the next frame decoded is frame f: exactly
  // where the frame headers were walked, else by the encoder's table of
  // contents or in proportion to the stream's bytes.
  bool SeekFrame(int64_t f);
  // Samples per channel delivered before the current frame index (what
  // gapless trimming leaves of them), and the frame holding a sample.
  int64_t PositionSamples() const;
  int64_t FrameOfSample(int64_t sample) const;

  // Valid while the last DecodeBlock produced frames; otherwise null and 0.
  const int16_t* PcmBlock() const;
  int32_t PcmValues() const;
  int64_t FrameIndex() const { return frameIndex_; }
  const FrameHeader& header() const { return header_; }
  const Layer3Decoder& layer3() const { return layer3_; }

  // The steps of the frame loop, public for tests. FindSync stops behind
  // twelve bits whose first eleven are ones.
  bool FindSync();
  bool ParseHeader(bool compare);
  void ReadCrcWord();

 private:
  void ReadId3v1Tag();
  int64_t SkipId3v2Tag();
  bool FindFirstFrame(int64_t from);
  void ReadInformationFrame();
  bool IsInformationFrame(int64_t at, const FrameHeader& h);
  // True when the data ends at 'at' (too little left for a header) or a
  // header of the stream that 'h' belongs to starts there.
  bool StreamGoesOnAt(int64_t at, const FrameHeader& h);
  // True when a frame header (or the end of the data) follows at 'at'.
  bool HeaderFollows(int64_t at);
  void WalkFrameHeaders();
  void ClearFilters();
  // Offset of a frame header at or after 'from' that matches the stream
  // and is followed by another; -1 when none is near.
  int64_t ResyncFrom(int64_t from);
  // Decodes one frame of another channel count and converts it.
  bool DecodeOtherChannels(int16_t* out);
  bool DecodeAudio(int16_t* out);

  BitReader reader_;
  Layer3Decoder layer3_;
  Layer12Decoder layer12_;
  HybridFilterbank hybrid_;
  SubbandSynthesis synthesis_;
  FrameHeader header_;
  FrameHeader first_;
  uint32_t syncLowBit_ = 1;  // the last sync word's twelfth bit
  StreamInfo info_{};
  bool open_ = false;
  int64_t firstFrameOffset_ = 0;
  int64_t dataEnd_ = 0;  // behind the last frame byte (an ID3v1 tag is not data)
  std::vector<int64_t> frameOffsets_;  // every frame, when the headers were walked
  VbrHeader vbr_;
  int64_t infoFrameOffset_ = -1;
  int64_t walkLimit_ = kHeaderWalkLimit;
  bool gaplessWanted_ = true;
  // Gapless trimming in samples from the first frame: what lies before
  // trimStart_ or from trimEnd_ on is not delivered.
  int64_t trimStart_ = 0;
  int64_t trimEnd_ = INT64_MAX;
  std::vector<int16_t> otherChannels_;

  int64_t frameIndex_ = 0;
  bool blockHoldsFrames_ = false;
  std::vector<int16_t> pcm_;
  int32_t pcmValues_ = 0;
};

}  // namespace cx::mpeg
