// libFuzzer harness: the input is opened as an Ogg Vorbis file from
// memory, decoded (a bounded number of frames), then sought in at places
// the input's first bytes choose, at the edges, and read after each seek.
#include <cstdint>
#include <memory>
#include <vector>

#include "codec/byte_source.h"
#include "vorbis/vorbis_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto decoder = cx::vorbis::MakeVorbisDecoder();
  std::vector<uint8_t> bytes(data, data + size);
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
