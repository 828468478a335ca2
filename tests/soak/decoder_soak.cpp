// The decoder soak: every MPEG file given is opened, decoded to its end
// through the player's media source (two regions per read, as the output
// engines ask), sought to its middle and read again, and closed, PASSES
// times in one process. Memory in use must stay flat: the heap's bytes in
// use and the resident set after the first pass (tables built, allocator
// warm) are compared with the end.
//   decoder_soak PASSES FILE...
#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/MediaSource.h"

namespace {

constexpr size_t kHeapMarginBytes = 64 * 1024;
constexpr size_t kRssMarginBytes = 4 * 1024 * 1024;

size_t HeapInUse() { return mallinfo2().uordblks; }

size_t ResidentBytes() {
  long pages = 0, resident = 0;
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (f == nullptr) return 0;
  if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
  std::fclose(f);
  return static_cast<size_t>(resident) * 4096;
}

// Decodes one file whole, then from its middle; the bytes of PCM delivered,
// or 0 when the file does not open.
uint64_t DecodeOnce(const std::string& path, std::vector<uint8_t>& a, std::vector<uint8_t>& b) {
  MediaSource decoder;
  if (!decoder.OpenMedia(path.c_str())) return 0;
  uint64_t total = 0;
  uint32_t count = 0;
  const uint32_t lengthA = static_cast<uint32_t>(a.size()), lengthB = static_cast<uint32_t>(b.size());
  while (decoder.Read(0, a.data(), lengthA, b.data(), lengthB, &count) && count > 0) total += count;
  decoder.Seek(decoder.info().duration * 500);
  while (decoder.Read(0, a.data(), lengthA, nullptr, 0, &count) && count > 0) total += count;
  decoder.CloseMedia();
  return total;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: decoder_soak PASSES FILE...\n");
    return 2;
  }
  const int passes = std::atoi(argv[1]);
  const std::vector<std::string> files(argv + 2, argv + argc);
  std::vector<uint8_t> a(16384), b(7000);
  const auto start = std::chrono::steady_clock::now();

  std::vector<uint64_t> firstPass;
  for (const std::string& f : files) firstPass.push_back(DecodeOnce(f, a, b));
  const size_t heapBefore = HeapInUse(), rssBefore = ResidentBytes();

  int changed = 0;
  for (int pass = 1; pass < passes; ++pass) {
    for (size_t i = 0; i < files.size(); ++i) {
      // The same file must give the same PCM every time.
      if (DecodeOnce(files[i], a, b) != firstPass[i] && changed++ < 5) {
        std::fprintf(stderr, "pass %d: %s gave a different length\n", pass, files[i].c_str());
      }
    }
  }
  const size_t heapAfter = HeapInUse(), rssAfter = ResidentBytes();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  int unopened = 0;
  for (uint64_t n : firstPass) unopened += n == 0;
  std::printf("decoder soak: %zu files x %d passes in %.0f s; heap in use %zu -> %zu bytes, "
              "resident %zu -> %zu KiB\n",
              files.size(), passes, seconds, heapBefore, heapAfter, rssBefore / 1024,
              rssAfter / 1024);
  const bool heapFlat = heapAfter <= heapBefore + kHeapMarginBytes;
  const bool rssFlat = rssAfter <= rssBefore + kRssMarginBytes;
  if (!heapFlat) std::printf("FAILED: the heap grew by more than %zu bytes\n", kHeapMarginBytes);
  if (!rssFlat) std::printf("FAILED: the resident set grew by more than %zu bytes\n", kRssMarginBytes);
  if (unopened) std::printf("FAILED: %d files did not open\n", unopened);
  if (changed) std::printf("FAILED: %d decodes gave a different length\n", changed);
  return heapFlat && rssFlat && !unopened && !changed ? 0 : 1;
}
