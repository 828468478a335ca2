// The one surface every compressed format offers the player and the
// command-line decoder: open from a byte source, a format record, tags,
// "read N frames", "seek to frame". Positions and lengths count PCM frames
// (one sample of every channel), 64-bit; times are derived at the edge.
// Codecs are portable: no file names, no platform calls, no locks (the
// caller serialises reads and seeks).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "codec/byte_source.h"

namespace cx::codec {

struct DecoderFormat {
  int channels = 0;
  uint32_t sampleRate = 0;
  // The stream's own depth: what each value delivered by Read spans
  // (16 for the lossy formats, 4..32 for FLAC).
  int bitsPerSample = 0;
  // Frames a whole decode delivers (after gapless trimming); -1 unknown.
  int64_t totalFrames = -1;
  // Average bits per second of the coded stream, for display; 0 unknown.
  uint32_t bitrate = 0;
};

// Texts from the file's tags, UTF-8; empty when absent.
struct DecoderTags {
  std::string title;
  std::string artist;
  std::string album;
  std::string comment;
};

// What a decode met that a player does not stop for but a checking tool
// reports.
struct DecoderHealth {
  enum class Checksum { kNotChecked, kMatch, kMismatch };
  int64_t damagedBlocks = 0;  // replaced by silence of their length
  Checksum checksum = Checksum::kNotChecked;  // the stream's own, over a whole decode
};

class AudioDecoder {
 public:
  virtual ~AudioDecoder() = default;

  // Takes the source over; false when the bytes are not a stream of this
  // format (or nothing in it can be decoded).
  virtual bool Open(std::unique_ptr<ByteSource> source) = 0;
  virtual const DecoderFormat& format() const = 0;
  virtual const DecoderTags& tags() const = 0;
  // Decodes up to maxFrames frames into out, interleaved (format().channels
  // values a frame), each a signed value of format().bitsPerSample bits in
  // an int32_t. Returns the frames delivered; 0 only at the end.
  virtual size_t Read(int32_t* out, size_t maxFrames) = 0;
  // The next Read starts exactly at this frame (clamped to the length).
  virtual bool Seek(int64_t frame) = 0;
  // The frame the next Read starts at.
  virtual int64_t Position() const = 0;
  virtual DecoderHealth health() const { return {}; }
  // A short description for `cxdecode --info` (codec, version, settings).
  virtual std::string Describe() const = 0;
};

}  // namespace cx::codec
