// libFuzzer harness for the WAV reader: the input is a file (held in memory
// behind a memfd, so the real ByteFile opens it by path); the header is
// parsed, the data read in two regions as the wave player's double buffer
// does, then sought in and the position read back.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "audio/WavFile.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

struct MemoryFile {
  int fd = memfd_create("wav_fuzz", 0);
  char path[64] = {};
  MemoryFile() { std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static MemoryFile memory;
  if (memory.fd < 0 || ftruncate(memory.fd, 0) != 0) return 0;
  if (size > 0 && pwrite(memory.fd, data, size, 0) != static_cast<ssize_t>(size)) return 0;

  ByteFile file;
  WavLayout layout;
  if (!file.OpenRead(memory.path) || !ParseWavHeader(file, &layout)) return 0;
  FUZZ_CHECK(layout.format.avgBytesPerSec != 0);
  FUZZ_CHECK(layout.dataStart <= size);

  // Odd region sizes so reads end mid-frame as well as on a boundary.
  static std::vector<uint8_t> region1(4099), region2(1021);
  uint32_t readPos = layout.dataStart;
  uint64_t delivered = 0;
  uint32_t count = 0;
  for (int reads = 0; reads < 64; ++reads) {
    const uint32_t before = readPos;
    if (!ReadWavData(file, layout, &readPos, region1.data(), static_cast<uint32_t>(region1.size()),
                     region2.data(), static_cast<uint32_t>(region2.size()), &count)) {
      break;
    }
    FUZZ_CHECK(count <= region1.size() + region2.size());
    FUZZ_CHECK(readPos - before == count);
    delivered += count;
    if (count == 0) break;
  }
  FUZZ_CHECK(delivered <= layout.dataSize && delivered <= size - layout.dataStart);
  WavPositionMs(layout, readPos);

  const uint32_t durationMs = layout.duration * 1000u;
  for (uint32_t ms : {0u, durationMs / 2, durationMs, durationMs + 1000u, 0xFFFFFFFEu}) {
    const uint32_t at = readPos;
    if (SeekWavMs(file, layout, &readPos, ms) == kSeekFailed) {
      FUZZ_CHECK(readPos == at);
      continue;
    }
    FUZZ_CHECK(readPos >= layout.dataStart);
    FUZZ_CHECK(static_cast<uint64_t>(readPos) - layout.dataStart <= layout.dataSize);
    WavPositionMs(layout, readPos);
    ReadWavData(file, layout, &readPos, region1.data(), static_cast<uint32_t>(region1.size()),
                nullptr, 0, &count);
  }
  return 0;
}
