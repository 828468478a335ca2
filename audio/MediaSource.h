// The object every playback engine pulls PCM from. A WAV file is read
// straight from the file; an MPEG audio file is decoded by an owned decoder
// that derives from this class and shares its information block.
#pragma once

#include <cstddef>
#include <cstdint>

#include "audio/ByteFile.h"
#include "audio/PcmFormat.h"
#include "audio/SyncMutex.h"
#include "audio/WavFile.h"
#include "media/MediaKind.h"

constexpr uint32_t kMediaWav = kKindWave;
constexpr uint32_t kMediaMpeg = kKindMpeg;
constexpr uint32_t kMediaMidi = kKindMidi;
constexpr int kMediaTextSize = 40;

class MpegDecoder;

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
// kMediaMpeg, kMediaMidi (recognised, never opened) or 0.
uint32_t MediaKindOfPath(const char* path);

class MediaSource {
 public:
  MediaSource();
  virtual ~MediaSource();
  MediaSource(const MediaSource&) = delete;
  MediaSource& operator=(const MediaSource&) = delete;

  // New position taken: ms, or kSeekFailed (WAV); the decoder's answer (MPEG).
  virtual uint32_t Seek(uint32_t ms);
  virtual uint32_t PositionMs();
  // Fills region 1 and, when given, region 2 with PCM in info().format;
  // *count receives the bytes delivered. False at the end of the stream.
  virtual bool Read(uint32_t reserved, void* region1, uint32_t length1, void* region2,
                    uint32_t length2, uint32_t* count);

  bool OpenMedia(const char* path);
  void CloseMedia();

  const MediaInfo& info() const { return info_; }
  uint32_t dataStart() const { return dataStart_; }
  bool ReadInProgress() const { return readInProgress_ != 0; }
  // The lock shared by every source; the DirectSound stop takes it too.
  SyncMutex& syncMutex() { return sync_; }

 protected:
  virtual bool ReadData(void* region1, uint32_t length1, void* region2, uint32_t length2,
                        uint32_t* count);
  virtual bool ParseWavHeader();

  uint32_t dataStart_ = 0;
  MediaInfo info_{};

 private:
  MediaSource* delegate_ = nullptr;  // this source (WAV) or the decoder (MPEG)
  MpegDecoder* decoder_ = nullptr;    // owned
  SyncMutex sync_;
  uint32_t readPos_ = 0;
  ByteFile file_;
  volatile uint32_t readInProgress_ = 0;
  WavLayout wav_;
};
