// The one place tests put scratch files: a folder per test program under the
// build tree (never the source tree or the system's temporary folder), with a
// fresh subfolder per TempFolder object. Each subfolder is removed when its
// object goes, and the program's folder when the program ends, so files are
// cleaned up whether the test passed or failed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace cx::test {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder, and a file in it, with the platform's separators.
  std::string path() const;
  std::string Path(const std::string& name) const;
  // Writes a file in the folder anew and returns its full path.
  std::string Write(const std::string& name, const std::string& bytes) const;
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const;

 private:
  std::filesystem::path dir_;
};

// A file name in this test program's own folder; the file lives until the
// program ends. For tests that need a single scratch file and no object.
std::string ProcessTempPath(const std::string& name);

}  // namespace cx::test
