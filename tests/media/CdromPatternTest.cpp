// The CD player fills its list from "X:\*.cda" on the disc in the drive.
// Here the "disc" is the folder build/cdrom-x that the test prefix presents
// as the CD-ROM drive X: (tools/wine-cdrom), with its volume serial in the
// folder's ".windows-serial". The track files are written through the
// folder's own path and read back through the drive.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "media/DiscList.h"
#include "media/PlayList.h"

namespace {

constexpr int kTracks = 120;
const char kRoot[] = "X:\\";

// The folder behind X:, reached through Wine's Z: drive.
std::string DiscFolder() {
  const char* build = std::getenv("CX_BINARY_DIR");  // .../build/windows
  if (build == nullptr) return "";
  std::string path = std::string("Z:") + build + "/../cdrom-x";
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

std::string TrackName(int track) {
  char name[32];
  std::snprintf(name, sizeof name, "Track%02d.cda", track);
  return name;
}

// A CD track file as the system shows them: a 44-byte RIFF "CDDA" header.
std::string TrackFileBytes(int track) {
  std::string bytes("RIFF\x24\0\0\0CDDAfmt \x18\0\0\0", 20);
  bytes.push_back(1);
  bytes.push_back(0);
  bytes.push_back(static_cast<char>(track));
  bytes.push_back(0);
  bytes.resize(44, '\0');
  return bytes;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return written == bytes.size();
}

// Names matching a pattern, in the order the file system gives them.
std::vector<std::string> Matches(const std::string& pattern) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    names.push_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

class CdromPatternTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = DiscFolder();
    ASSERT_FALSE(folder_.empty()) << "CX_BINARY_DIR is not set";
    ASSERT_EQ(GetDriveTypeA(kRoot), static_cast<UINT>(DRIVE_CDROM))
        << "X: is not a CD-ROM drive; run tools/setup";
    for (const std::string& name : Matches(folder_ + "\\*.cda")) DeleteFileA((folder_ + "\\" + name).c_str());
    for (int track = 1; track <= kTracks; ++track) {
      ASSERT_TRUE(WriteFileBytes(folder_ + "\\" + TrackName(track), TrackFileBytes(track)));
    }
    ASSERT_TRUE(WriteFileBytes(folder_ + "\\readme.txt", "not a track"));
  }
  void TearDown() override {
    for (int track = 1; track <= kTracks; ++track) DeleteFileA((folder_ + "\\" + TrackName(track)).c_str());
    DeleteFileA((folder_ + "\\readme.txt").c_str());
  }
  std::string folder_;
};

TEST_F(CdromPatternTest, ListsTheFirstNinetyNineTracksOfTheDisc) {
  std::vector<std::string> onDisc = Matches("X:\\*.cda");
  ASSERT_EQ(onDisc.size(), static_cast<size_t>(kTracks));

  PlayList list;
  list.Create(kCdPlayerKinds);
  char pattern[16];
  std::snprintf(pattern, sizeof pattern, "%c:\\*.cda", 'X');
  ASSERT_TRUE(list.FillFromPattern(pattern));
  EXPECT_STREQ(list.PatternDirectory(), "X:");
  ASSERT_EQ(list.Count(), 99);
  for (int i = 0; i < 99; ++i) {
    EXPECT_EQ(list.EntryAt(i), "X:\\" + onDisc[i]) << i;
    EXPECT_EQ(list.OrderAt(i + 1), i);
  }
  EXPECT_STREQ(list.EntryAt(99), "");
  EXPECT_EQ(list.Position(), 0);

  // Ready to play from the first track, straight through to the 99th.
  char path[kPlayListSlot];
  ASSERT_TRUE(list.Next(path, sizeof path));
  EXPECT_EQ(path, "X:\\" + onDisc[0]);
  EXPECT_EQ(list.CurrentDrive(), 'X' - 'A');
  EXPECT_EQ(list.CurrentEntryNumber(), 1);
  EXPECT_TRUE(list.FirstEntryExists());
  for (int i = 1; i < 99; ++i) ASSERT_TRUE(list.Next(path, sizeof path));
  EXPECT_EQ(path, "X:\\" + onDisc[98]);
  EXPECT_FALSE(list.Next(path, sizeof path));
}

TEST_F(CdromPatternTest, TheDiscIsKnownByItsVolumeSerial) {
  // The serial the drive reports is the one in the folder's serial file.
  std::string text;
  HANDLE file = CreateFileA((folder_ + "\\.windows-serial").c_str(), GENERIC_READ, FILE_SHARE_READ,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  char buffer[64] = {};
  DWORD got = 0;
  ReadFile(file, buffer, sizeof buffer - 1, &got, nullptr);
  CloseHandle(file);
  uint32_t expected = static_cast<uint32_t>(std::strtoul(buffer, nullptr, 16));
  ASSERT_NE(expected, 0u);
  EXPECT_EQ(VolumeSerial(kRoot), expected);
  EXPECT_EQ(VolumeSerial("x:\\"), expected);
}

}  // namespace
