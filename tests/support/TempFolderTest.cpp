// Scratch files of every test land under the build tree and go away with
// their folder object, whatever the test's outcome.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tests/mpeg/test_files.h"
#include "tests/support/TempFolder.h"

namespace fs = std::filesystem;

namespace {

// The build folder as this program sees it.
fs::path BuildFolder() {
  std::string dir = std::getenv("CX_BINARY_DIR") ? std::getenv("CX_BINARY_DIR") : "";
#ifdef _WIN32
  if (!dir.empty() && dir[0] == '/') dir = "Z:" + dir;
#endif
  return fs::weakly_canonical(dir.empty() ? fs::current_path() : fs::path(dir));
}

bool Inside(const fs::path& file, const fs::path& folder) {
  const fs::path f = fs::weakly_canonical(file);
  auto mismatch = std::mismatch(folder.begin(), folder.end(), f.begin(), f.end());
  return mismatch.first == folder.end();
}

TEST(TempFolderTest, ScratchFilesLiveUnderTheBuildTreeAndGoWithTheirFolder) {
  std::string kept;
  {
    cx::test::TempFolder folder;
    kept = folder.Write("a.bin", std::string("abc"));
    EXPECT_TRUE(Inside(kept, BuildFolder() / "test-tmp")) << kept;
    std::ifstream in(kept, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "abc");
  }
  EXPECT_FALSE(fs::exists(kept));
}

TEST(TempFolderTest, DecoderTestScratchPathsAreNotInTheCurrentFolder) {
  const std::string path = cx::mpeg::test::TempPath("x.mp3");
  EXPECT_TRUE(Inside(path, BuildFolder() / "test-tmp")) << path;
  EXPECT_FALSE(fs::path(path).is_relative()) << path;
}

}  // namespace
