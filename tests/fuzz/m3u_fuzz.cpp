// libFuzzer harness for reading M3U list files: the text is split into lines
// as the playlist and the playlist window's LOAD do (whole file and cut at
// the read limit), and every line goes through the same path checks (slot
// size, media kind by extension, title, player route). The bytes are first
// taken as the players take them: as UTF-8 for ".m3u8", and for ".m3u" as
// UTF-8 when valid, otherwise converted from the legacy code page.
#include <cstdint>
#include <cstring>

#include <string>

#include "common/PathLimits.h"
#include "media/ListLines.h"
#include "media/ListText.h"
#include "media/MediaKind.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

constexpr size_t kSlot = kPathCapacity;  // a list entry's slot, as the playlist holds it

void CheckLine(const char* line, size_t length) {
  FUZZ_CHECK(length > 0);
  for (size_t i = 0; i < length; ++i) {
    FUZZ_CHECK(line[i] != '\r' && line[i] != '\n' && line[i] != '\0');
  }
  const char* listed = nullptr;
  size_t listedLength = 0;
  if (ExtinfTitle(line, length, &listed, &listedLength)) {
    FUZZ_CHECK(listed > line && listedLength > 0 && listed + listedLength == line + length);
  }
  if (length >= kSlot) return;  // refused, as the playlist does
  char path[kSlot];
  std::memcpy(path, line, length);
  path[length] = '\0';
  const MediaKind loose = ClassifyByExtension(path);
  const MediaKind strict = FilterKind(kWavePlayerKinds | kMidiPlayerKinds | kCdPlayerKinds, path);
  FUZZ_CHECK(strict == kKindNone || strict == loose);
  DirectPlayerRoute(path);
  IsListFileName(path);
  char title[kSlot];
  for (size_t size : {sizeof title, size_t{9}, size_t{1}}) {
    std::memset(title, 'x', sizeof title);
    FileTitle(path, title, size);
    FUZZ_CHECK(std::memchr(title, '\0', size) != nullptr);
  }
}

void CheckLines(const char* text, size_t size) {
  size_t covered[2] = {0, 0};
  int mode = 0;
  for (LastLine last : {LastLine::kTaken, LastLine::kDropped}) {
    size_t& bytes = covered[mode++];
    ForEachListLine(text, size, last, [&](const char* line, size_t length) {
      FUZZ_CHECK(line >= text && line + length <= text + size);
      bytes += length;
      CheckLine(line, length);
      return true;
    });
  }
  FUZZ_CHECK(covered[1] <= covered[0] && covered[0] <= size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* bytes = reinterpret_cast<const char*>(data);
  CheckLines(bytes, size);
  const bool valid = IsValidUtf8(bytes, size);
  const std::string legacy = ListTextAsUtf8(bytes, size, false, Cp1252ToUtf8);
  FUZZ_CHECK(IsValidUtf8(legacy.data(), legacy.size()));
  if (valid) FUZZ_CHECK(legacy.size() + 3 >= size && legacy.size() <= size);
  CheckLines(legacy.data(), legacy.size());
  const std::string utf8 = ListTextAsUtf8(bytes, size, true, Cp1252ToUtf8);
  FUZZ_CHECK(utf8.size() <= size);
  return 0;
}
