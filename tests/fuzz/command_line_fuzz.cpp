// libFuzzer harness for the command-line scan. Which texts name existing
// files is decided by the text itself (those ending in ".mp3" do), so the
// path that stores the file to open is reached too, through quoted tokens
// and through runs of plain ones.
#include <cstdint>
#include <cstring>
#include <string>

#include "shell/CommandLineScan.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

bool EndsInMp3(const char* path) {
  const size_t length = std::strlen(path);
  return length >= 4 && std::strcmp(path + length - 4, ".mp3") == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The command line reaches the program as a C string.
  const std::string text(reinterpret_cast<const char*>(data), size);
  StartupOptions options;
  ScanCommandLine(text.c_str(), options, EndsInMp3);
  const size_t stored = strnlen(options.fileToOpen, sizeof options.fileToOpen);
  FUZZ_CHECK(stored < sizeof options.fileToOpen);
  if (stored > 0) {
    FUZZ_CHECK(EndsInMp3(options.fileToOpen));
    // A quoted token loses its quotation marks, and a run of plain tokens
    // holds none, so the name is part of the text without them.
    std::string unquoted;
    for (char c : text) {
      if (c != '"') unquoted.push_back(c);
    }
    FUZZ_CHECK(std::strstr(unquoted.c_str(), options.fileToOpen) != nullptr);
  }
  return 0;
}
