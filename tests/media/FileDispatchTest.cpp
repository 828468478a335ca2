#include "media/FileDispatch.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/WinTestSupport.h"

namespace {

// Distinct stand-in windows per player, so the test sees which one the
// dispatcher picked.
HWND FakePlayerWindow(uint16_t route) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(route) * 16); }

class FileDispatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    owner_ = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                             nullptr, nullptr);
    ASSERT_NE(owner_, nullptr);
  }
  void TearDown() override { DestroyWindow(owner_); }

  // Dispatches and returns the route; `boxes` gets the texts shown.
  uint16_t Dispatch(const std::string& name, std::vector<std::string>* boxes = nullptr) {
    MessageBoxWatcher watcher;
    DispatchTarget target = DispatchMediaFile(name.c_str(), owner_, FakePlayerWindow);
    PumpFor(50);
    if (boxes != nullptr) *boxes = watcher.Texts();
    for (HWND owner : watcher.Owners()) EXPECT_EQ(owner, owner_);
    if (target.playerId != 0) {
      EXPECT_EQ(target.window, FakePlayerWindow(target.playerId));
    } else {
      EXPECT_EQ(target.window, nullptr);
    }
    return target.playerId;
  }

  TempFolder dir_;
  HWND owner_ = nullptr;
};

TEST_F(FileDispatchTest, MediaFilesGoByExtensionWithoutLookingInside) {
  std::vector<std::string> boxes;
  // The files need not exist: only the name counts.
  EXPECT_EQ(Dispatch("C:\\music\\SONG.MP3", &boxes), 2006);
  EXPECT_EQ(Dispatch("song.mp3"), 2006);
  EXPECT_EQ(Dispatch("take.wav"), 2006);
  EXPECT_EQ(Dispatch("tune.MID"), 2003);
  EXPECT_EQ(Dispatch("tune.rmi"), 2003);
  EXPECT_EQ(Dispatch("D:\\Track01.cda"), 2000);
  // Every kind the wave player plays goes to it, whatever the extension's case.
  for (const char* name : {"song.mp2", "song.MP1", "song.mpa", "take.flac", "piece.OGG", "piece.oga"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(Dispatch(name, &boxes), 2006);
  }
  EXPECT_EQ(Dispatch("piece.oggx", &boxes), 0);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(Dispatch("noextension", &boxes), 0);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(Dispatch("D:\\dir.x\\file", &boxes), 0);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(FileDispatchTest, ListFilesGoByTheirFirstLine) {
  EXPECT_EQ(Dispatch(dir_.Write("cd.m3u", "D:\\Track01.cda\r\nsong.mp3\r\nx.mid\r\n")), 2000);
  EXPECT_EQ(Dispatch(dir_.Write("lf.m3u", "tune.mid\nsong.mp3\n")), 2003);
  EXPECT_EQ(Dispatch(dir_.Write("cr.m3u", "a.wav\rtune.mid\r")), 2006);
  EXPECT_EQ(Dispatch(dir_.Write("noend.M3U", "x.mp2")), 2006);  // kinds from the list: any MPEG
  EXPECT_EQ(Dispatch(dir_.Write("zero.m3u", std::string("a.mid\0b.wav", 11))), 2003);
}

TEST_F(FileDispatchTest, TheFirstEntryDecidesHoweverLongAndAfterComments) {
  // A path of 259 Japanese characters is 777 bytes of UTF-8.
  std::string kanji;
  for (int i = 0; i < 250; ++i) kanji += "\xE6\x97\xA5";
  EXPECT_EQ(Dispatch(dir_.Write("long.m3u8", "C:\\" + kanji + ".mid\r\nsong.mp3\r\n")), 2003);
  // Comments and the extended format's lines come before the first entry;
  // a byte-order mark before them all.
  std::string extended = "\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:123,Artist - Title.mid\r\n";
  for (int i = 0; i < 500; ++i) extended += "# padding line " + std::to_string(i) + "\r\n";
  EXPECT_EQ(Dispatch(dir_.Write("ext.m3u", extended + "C:\\song.mp3\r\n")), 2006);
  std::vector<std::string> boxes;
  EXPECT_EQ(Dispatch(dir_.Write("comments.m3u", "#EXTM3U\r\n#EXTINF:1,x\r\n"), &boxes), 0);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "File in list is not supported.");
}

TEST_F(FileDispatchTest, BadListsAreReportedOnce) {
  const struct {
    std::string name;
    std::string text;
  } cases[] = {
      {dir_.Write("empty.m3u", ""), "File in list is not supported."},
      {dir_.Write("other.m3u", "notes.txt\r\n"), "File in list is not supported."},
      {dir_.Write("nested.m3u", "other.m3u\r\n"), "File in list is not supported."},
      {dir_.Path("missing.m3u"), "Can not open this file."},
      {std::string(300, 'x') + ".m3u", "Can not open this file."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name.substr(0, 80));
    std::vector<std::string> boxes;
    EXPECT_EQ(Dispatch(c.name, &boxes), 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], c.text);
  }
}

TEST_F(FileDispatchTest, ListHeldOpenByAnotherHandleCannotBeOpened) {
  std::string path = dir_.Write("busy.m3u", "song.mp3\r\n");
  HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  std::vector<std::string> boxes;
  EXPECT_EQ(Dispatch(path, &boxes), 0);
  CloseHandle(held);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "Can not open this file.");
  EXPECT_EQ(Dispatch(path), 2006);
}

}  // namespace
