// libFuzzer harness: the input is opened as an Ogg Vorbis file from
// memory, decoded (a bounded number of frames), then sought in at places
// the input chooses, at the edges, and read after each seek. The first
// byte is options: with bit 0 set, every page's CRC is made right before
// decoding, so that changes inside pages reach the Vorbis parsers instead
// of stopping at the page check.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "codec/byte_source.h"
#include "vorbis/ogg.h"
#include "vorbis/vorbis_decoder.h"

namespace {

void FixCrcs(std::vector<uint8_t>& b) {
  size_t pos = 0;
  while (pos + 27 <= b.size()) {
    if (std::memcmp(&b[pos], "OggS", 4) != 0) {
      ++pos;
      continue;
    }
    const size_t segments = b[pos + 26];
    if (pos + 27 + segments > b.size()) break;
    size_t size = 27 + segments;
    for (size_t i = 0; i < segments; ++i) size += b[pos + 27 + i];
    if (pos + size > b.size()) break;
    std::memset(&b[pos + 22], 0, 4);
    const uint32_t crc = cx::vorbis::OggCrc(&b[pos], size);
    for (int i = 0; i < 4; ++i) b[pos + 22 + i] = static_cast<uint8_t>(crc >> (8 * i));
    pos += size;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t options = data[0];
  std::vector<uint8_t> bytes(data + 1, data + size);
  if (options & 1) FixCrcs(bytes);
  auto decoder = cx::vorbis::MakeVorbisDecoder();
  if (!decoder->Open(std::make_unique<cx::codec::MemoryByteSource>(std::move(bytes)))) return 0;
  const cx::codec::DecoderFormat& f = decoder->format();
  std::vector<int32_t> pcm(1024 * static_cast<size_t>(f.channels));
  // The seeds hold 16 kB, a second or two of sound; more frames than this
  // only come from lengths that lie, which the seeks below try as well.
  int64_t frames = 0;
  while (frames < 65536) {
    const size_t n = decoder->Read(pcm.data(), 1024);
    if (n == 0) break;
    frames += static_cast<int64_t>(n);
  }
  const int64_t total = f.totalFrames > 0 ? f.totalFrames : 1;
  const uint32_t pick = size >= 4 ? data[size - 1] | (data[size - 2] << 8) | (data[size - 3] << 16) : 7;
  for (int64_t target : {static_cast<int64_t>(pick) % total, total / 2, total - 1, total, int64_t{0}}) {
    decoder->Seek(target);
    for (int i = 0; i < 3 && decoder->Read(pcm.data(), 1024) > 0; ++i) {
    }
  }
  decoder->health();
  return 0;
}
