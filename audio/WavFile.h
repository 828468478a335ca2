// RIFF/WAVE files: the header parse, reading PCM into one or two regions,
// seeking by milliseconds, and the writer the recorders use.
#pragma once

#include <cstdint>

#include "audio/ByteFile.h"
#include "audio/PcmFormat.h"
#include "audio/WavSamples.h"
#include "common/PathLimits.h"

constexpr uint32_t kSeekFailed = 0xFFFFFFFFu;
constexpr uint32_t kWavHeaderBytes = 46;
// The RIFF size is 32 bits and counts everything behind its own field: the
// data of one file must stay 38 bytes short of 4 GiB.
constexpr uint32_t kMaxWavDataBytes = 0xFFFFFFFFu - (kWavHeaderBytes - 8);

constexpr uint16_t kWavFloatTag = 3;
constexpr uint16_t kWavExtensibleTag = 0xFFFE;

// What the header parse learns about a file.
struct WavLayout {
  uint32_t dataStart = 0;  // offset of the first sample byte
  // As stored, unless the stored size is 0 or more than the file holds (a
  // recording cut off before its header was finished): then the whole
  // frames the file really holds.
  uint32_t dataSize = 0;
  // The frames as stored. Integer samples (format tag 1, or an extensible
  // file of PCM) are described as plain PCM of their container depth, which
  // is how they play; floating-point ones keep tag 3.
  PcmFormat format{};
  uint32_t duration = 0;   // whole seconds
  WavSampleKind sampleKind = WavSampleKind::kInteger;
  uint16_t validBits = 0;  // of the container's bits; extensible files may say fewer
  uint32_t channelMask = 0;  // extensible files only; the channels play as stored
};

// Reads the header from the start of `file`. Chunks before "fmt " and between
// "fmt " and "data" are skipped; a RIFF pad byte after an odd-sized chunk is
// skipped when the next bytes only make a chunk id one byte further on.
// Accepted: integer PCM (tag 1), 32 and 64-bit floating point (tag 3), and
// the extensible format (0xFFFE) whose subformat is either of them.
bool ParseWavHeader(ByteFile& file, WavLayout* layout);

// For a WAV file whose data is not PCM (MPEG audio in a WAV file, format
// tags 0x0050 and 0x0055): the format tag and where the data chunk's bytes
// lie, cut to what the file holds (a size of 0 or past the end, as a
// recording cut off leaves it, means the rest of the file).
bool FindWavData(ByteFile& file, uint16_t* formatTag, uint64_t* dataStart, uint64_t* dataSize);

// Copies PCM from *readPos into region 1 and, when given, region 2; *count
// receives the bytes delivered. False when the data is exhausted.
bool ReadWavData(ByteFile& file, const WavLayout& layout, uint32_t* readPos, void* region1,
                 uint32_t length1, void* region2, uint32_t length2, uint32_t* count);

// Moves *readPos to the whole frame at `ms` into the data (the end at
// most); returns ms.
uint32_t SeekWavMs(ByteFile& file, const WavLayout& layout, uint32_t* readPos, uint32_t ms);
uint32_t WavPositionMs(const WavLayout& layout, uint32_t readPos);

// Why a writer takes no more data.
enum class WavWriteStop : int { kNone = 0, kWriteFailed = 1, kSizeLimit = 2 };

// Writes a 46-byte header (18-byte format chunk), then the PCM as it comes;
// the two lengths are brought up to date about once a second of sound and
// fixed up when finished, and an empty recording leaves no file behind.
// After a failed write or at the size limit it takes no more data; what it
// holds stays a correct file.
class WavWriter {
 public:
  explicit WavWriter(uint32_t maxDataBytes = kMaxWavDataBytes) : maxDataBytes_(maxDataBytes) {}
  ~WavWriter() { FinishWavFile(); }
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  bool CreateWavFile(const char* path, const PcmFormat& format);
  bool AppendData(const void* bytes, uint32_t n);
  bool FinishWavFile();
  uint32_t RecordedMs() const;
  bool IsOpen() const { return file_.IsOpen(); }
  uint32_t DataBytes() const { return dataBytes_; }
  WavWriteStop stopped() const { return stop_; }

 private:
  bool WriteAll(const void* bytes, uint32_t n);
  // Both lengths as they stand now, the file pointer back at the end.
  bool PatchHeader();

  ByteFile file_;
  char path_[kPathCapacity] = {};  // UTF-8
  uint32_t dataBytes_ = 0;
  uint32_t avgBytesPerSec_ = 0;
  uint32_t blockAlign_ = 1;
  uint32_t patchedBytes_ = 0;  // the data size the header holds
  uint32_t maxDataBytes_;
  WavWriteStop stop_ = WavWriteStop::kNone;
};
