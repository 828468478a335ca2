// libFuzzer harness: the input is a FLAC stream in memory, opened, decoded
// to its end (the frames in it found, damaged ones silenced), then sought
// in: the middle, near the end, a frame the first byte picks, the end.
#include <cstdint>
#include <memory>
#include <vector>

#include "codec/byte_source.h"
#include "flac/flac_decoder.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<cx::codec::AudioDecoder> d = cx::flac::MakeFlacDecoder();
  if (!d->Open(std::make_unique<cx::codec::MemoryByteSource>(std::vector<uint8_t>(data, data + size)))) return 0;
  const cx::codec::DecoderFormat f = d->format();
  FUZZ_CHECK(f.channels >= 1 && f.channels <= 8 && f.bitsPerSample >= 4 && f.bitsPerSample <= 32);
  std::vector<int32_t> pcm(1024 * static_cast<size_t>(f.channels));
  int64_t frames = 0;
  // Damage can claim a long length; enough is read to cover real inputs.
  for (int reads = 0; reads < 128; ++reads) {
    const size_t got = d->Read(pcm.data(), 1024);
    FUZZ_CHECK(got <= 1024);
    if (got == 0) break;
    frames += static_cast<int64_t>(got);
  }
  const int64_t total = f.totalFrames >= 0 ? f.totalFrames : frames;
  for (int64_t target : {total / 2, total - 1, int64_t{size ? data[0] : 0} * 97, total}) {
    if (target < 0 || !d->Seek(target)) continue;
    const int64_t expected = f.totalFrames >= 0 && target > f.totalFrames ? f.totalFrames : target;
    if (f.totalFrames >= 0) FUZZ_CHECK(d->Position() == expected);
    d->Read(pcm.data(), 1024);
  }
  return 0;
}
