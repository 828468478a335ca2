// libFuzzer harness: the input is decoded from memory, with and without
// gapless trimming, with the header walk both on and off (so the
// encoder's table of contents and the proportional seek are exercised) and
// with each kernel set the processor has, then sought in.
#include <cstdint>
#include <memory>
#include <vector>

#include "codec/byte_source.h"
#include "mpeg/mpeg_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte chooses the options; the rest is the file.
  const uint8_t options = data[0];
  std::vector<uint8_t> bytes(data + 1, data + size);
  static cx::mpeg::MpegStream stream;  // large; reused like a player reuses one per file
  stream.SetGapless(options & 1);
  stream.SetHeaderWalkLimit(options & 2 ? 0 : cx::mpeg::MpegStream::kHeaderWalkLimit);
  const cx::mpeg::Kernels kernels[] = {cx::mpeg::Kernels::kAvx2, cx::mpeg::Kernels::kSse2,
                                       cx::mpeg::Kernels::kPortable};
  cx::mpeg::UseKernels(kernels[(options >> 2) % 3]);
  if (!stream.OpenStream(std::make_unique<cx::mpeg::MemoryByteSource>(std::move(bytes)))) return 0;
  for (int blocks = 0; blocks < 10000 && stream.DecodeBlock(); ++blocks) {
  }
  const int64_t frames = stream.info().frameCount;
  for (int64_t f : {frames / 2, frames - 1, int64_t{6}, frames}) {
    if (stream.SeekFrame(f)) stream.DecodeBlock();
  }
  return 0;
}
