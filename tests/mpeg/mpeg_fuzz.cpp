// libFuzzer harness: the input is written to a file (the decoder reads
// files), opened, decoded to the end, and sought in.
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "mpeg/mpeg_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/cx-mpeg-fuzz-" + std::to_string(getpid()) + ".bin";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
  cx::mpeg::MpegStream stream;
  if (!stream.OpenStream(path)) return 0;
  for (int blocks = 0; blocks < 10000 && stream.DecodeBlock(); ++blocks) {
  }
  if (stream.SeekFrame(stream.info().frameCount / 2)) stream.DecodeBlock();
  if (stream.SeekFrame(6)) stream.DecodeBlock();
  return 0;
}
