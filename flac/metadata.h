// The blocks before the first frame: STREAMINFO, SEEKTABLE and
// VORBIS_COMMENT are read, every other block is stepped over by its length,
// as is an ID3v2 tag before the "fLaC" marker.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "codec/audio_decoder.h"
#include "codec/byte_source.h"

namespace cx::flac {

struct StreamInfo {
  uint32_t minBlockSize = 0;
  uint32_t maxBlockSize = 0;
  uint32_t minFrameSize = 0;
  uint32_t maxFrameSize = 0;  // 0: unknown
  uint32_t sampleRate = 0;
  int channels = 0;
  int bitsPerSample = 0;
  uint64_t totalSamples = 0;  // 0: unknown
  uint8_t md5[16] = {};       // all zero: none stored
};

struct SeekPoint {
  uint64_t sample = 0;
  uint64_t offset = 0;  // from the first frame
};

struct Metadata {
  StreamInfo info;
  std::vector<SeekPoint> seekPoints;  // placeholders dropped, ascending
  codec::DecoderTags tags;
  std::string vendor;
  int64_t firstFrame = 0;  // byte offset of the first frame
};

// Bytes ID3v2 tags at the start of `head` take (0 when there is none).
int64_t Id3v2Length(const uint8_t* head, size_t n);

// False when the source is not a FLAC stream or its STREAMINFO is unusable.
bool ReadMetadata(codec::ByteSource& source, Metadata* out);

// Takes TITLE, ARTIST and ALBUM from a VORBIS_COMMENT block's body.
void ParseVorbisComment(const uint8_t* p, size_t n, codec::DecoderTags* tags, std::string* vendor);

}  // namespace cx::flac
