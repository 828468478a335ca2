#include "tests/support/TempFolder.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#define CX_GETPID _getpid
#else
#include <unistd.h>
#define CX_GETPID getpid
#endif

namespace cx::test {
namespace {

// CTest gives every test the build folder; a program started by hand falls
// back to the folder it runs in.
std::filesystem::path BuildFolder() {
  const char* dir = std::getenv("CX_BINARY_DIR");
  if (!dir || !*dir) return std::filesystem::current_path();
  std::string path = dir;
#ifdef _WIN32
  // Under Wine the build folder arrives as a Unix path; drive Z: is the root.
  if (path[0] == '/') path = "Z:" + path;
#endif
  return std::filesystem::path(path);
}

// Removes a folder with everything in it, read-only files included (some
// tests lock files that way).
void RemoveTree(const std::filesystem::path& dir) {
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(dir, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add, ec);
  }
  std::filesystem::remove_all(dir, ec);
}

// Process ids are only unique within one Wine session: the tests' second
// lane (CX_LANE, tools/wine-run) runs its own beside the first, whose ids
// it repeats.
std::string LanePrefix() {
  const char* lane = std::getenv("CX_LANE");
  if (lane == nullptr || *lane == '\0' || std::string(lane) == "a") return "";
  return std::string(lane) + "-";
}

class ProcessFolder {
 public:
  ProcessFolder() {
    dir_ = BuildFolder() / "test-tmp" / (LanePrefix() + "p" + std::to_string(CX_GETPID()));
    RemoveTree(dir_);  // left by an earlier program with this id
    std::error_code ec;
    std::filesystem::create_directories(dir_, ec);
  }
  ~ProcessFolder() { RemoveTree(dir_); }
  const std::filesystem::path& dir() const { return dir_; }

 private:
  std::filesystem::path dir_;
};

const std::filesystem::path& ProcessDir() {
  static ProcessFolder folder;
  return folder.dir();
}

}  // namespace

TempFolder::TempFolder() {
  static std::atomic<int> counter{0};
  dir_ = ProcessDir() / ("t" + std::to_string(counter++));
  std::error_code ec;
  std::filesystem::create_directories(dir_, ec);
}

TempFolder::~TempFolder() { RemoveTree(dir_); }

std::string TempFolder::path() const { return std::filesystem::path(dir_).make_preferred().string(); }

std::string TempFolder::Path(const std::string& name) const {
  return (dir_ / name).make_preferred().string();
}

std::string TempFolder::Write(const std::string& name, const std::string& bytes) const {
  const std::string full = Path(name);
  std::ofstream out(full, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return full;
}

std::string TempFolder::Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
  return Write(name, std::string(bytes.begin(), bytes.end()));
}

std::string ProcessTempPath(const std::string& name) {
  return (ProcessDir() / name).make_preferred().string();
}

}  // namespace cx::test
