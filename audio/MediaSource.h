// The object every playback engine pulls PCM from. A WAV file is read
// straight from the file; a compressed file is decoded by a decoder the
// source owns (any format behind the common decoder interface), whose
// samples it packs into the PCM format it reports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/ByteFile.h"
#include "audio/PcmFormat.h"
#include "audio/SyncMutex.h"
#include "audio/WavFile.h"
#include "codec/audio_decoder.h"
#include "media/MediaKind.h"

constexpr uint32_t kMediaWav = kKindWave;
constexpr uint32_t kMediaMpeg = kKindMpeg;
constexpr uint32_t kMediaMidi = kKindMidi;
constexpr int kMediaTextSize = 40;

struct MediaInfo {
  uint32_t kind;
  char title[kMediaTextSize];
  char artist[kMediaTextSize];
  char text3[kMediaTextSize];
  char text4[kMediaTextSize];
  uint32_t duration;  // whole seconds
  char comment[kMediaTextSize];
  uint32_t dataSize;  // PCM bytes in the stream
  PcmFormat format;   // what a read delivers
  uint32_t spare;
};
static_assert(sizeof(MediaInfo) == 236, "the media information block has 236 bytes");
static_assert(offsetof(MediaInfo, duration) == 164 && offsetof(MediaInfo, comment) == 168 &&
                  offsetof(MediaInfo, dataSize) == 208 && offsetof(MediaInfo, format) == 212 &&
                  offsetof(MediaInfo, spare) == 232,
              "media information block layout");

// The kind a media source gives a path by its last extension: kMediaWav,
// a compressed kind it decodes, kMediaMidi (recognised, never opened) or 0.
uint32_t MediaKindOfPath(const char* path);

// A new decoder for a compressed kind; null for the kinds read directly.
std::unique_ptr<cx::codec::AudioDecoder> MakeDecoderForKind(uint32_t kind);

class MediaSource {
 public:
  MediaSource();
  virtual ~MediaSource();
  MediaSource(const MediaSource&) = delete;
  MediaSource& operator=(const MediaSource&) = delete;

  // Moves to `ms` (a decoded stream: exactly that sample, the end at most);
  // returns the new position in ms, or kSeekFailed.
  virtual uint32_t Seek(uint32_t ms);
  // Where the next read starts.
  virtual uint32_t PositionMs();
  // Fills region 1 and, when given, region 2 with PCM in info().format;
  // *count receives the bytes delivered, the rest is silence. False at the
  // end of the stream.
  virtual bool Read(uint32_t reserved, void* region1, uint32_t length1, void* region2,
                    uint32_t length2, uint32_t* count);

  bool OpenMedia(const char* path);
  // A compressed stream of `kind` from any byte source (memory in tests);
  // `name` gives the title when the tags have none.
  bool OpenStream(uint32_t kind, std::unique_ptr<cx::codec::ByteSource> bytes, const char* name);
  void CloseMedia();

  // A stream deeper than 16 bits is delivered at its depth (in 24-bit
  // containers above 16; a WAV file's own container when its samples are
  // integers); for an output that refuses that, this brings every later
  // read to 16 bits with dither. False when nothing changes.
  bool ReduceTo16Bits();

  const MediaInfo& info() const { return info_; }
  uint32_t dataStart() const { return dataStart_; }
  bool ReadInProgress() const { return readInProgress_ != 0; }
  // The decoder of a compressed stream; null for WAV.
  const cx::codec::AudioDecoder* decoder() const { return decoder_.get(); }
  // The lock between reads, seeks and the DirectSound stop.
  SyncMutex& syncMutex() { return sync_; }

 protected:
  virtual bool ReadData(void* region1, uint32_t length1, void* region2, uint32_t length2,
                        uint32_t* count);
  virtual bool ParseWavHeader();

  uint32_t dataStart_ = 0;
  MediaInfo info_{};

 private:
  // A WAV file's samples through the sample decoder, from `frame` on.
  bool DecodeWavSamples(int64_t frame);
  bool OpenDecoded(uint32_t kind, std::unique_ptr<cx::codec::AudioDecoder> decoder,
                   std::unique_ptr<cx::codec::ByteSource> bytes, const char* name);
  void DescribeDecodedFormat();
  bool ReadDecoded(void* region1, uint32_t length1, void* region2, uint32_t length2,
                   uint32_t* count);
  // Copies staged PCM into `to`, decoding more as needed; returns bytes copied.
  uint32_t Serve(uint8_t* to, uint32_t length);
  bool Stage();

  SyncMutex sync_;
  uint32_t readPos_ = 0;
  ByteFile file_;
  volatile uint32_t readInProgress_ = 0;
  WavLayout wav_;
  std::string path_;  // of an open WAV file

  std::unique_ptr<cx::codec::AudioDecoder> decoder_;
  int deliveredBits_ = 16;  // 8, 16 or 24 (the container of deeper streams)
  bool atEnd_ = true;
  std::vector<int32_t> frames_;   // decoded, not yet packed
  std::vector<uint8_t> staged_;   // packed, not yet delivered
  size_t stagedPos_ = 0;
  uint32_t dither_ = 0;
};
