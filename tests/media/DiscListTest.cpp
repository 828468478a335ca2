#include "media/DiscList.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "common/PathLimits.h"
#include "tests/support/WinTestSupport.h"

namespace {


// A profile file of the test prefix put back as it was afterwards.
class SavedFile {
 public:
  explicit SavedFile(std::string path) : path_(std::move(path)) {
    had_ = GetFileAttributesA(path_.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (had_) bytes_ = ReadFileToString(path_);
  }
  void Remove() const {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path_.c_str());
    DeleteFileA(path_.c_str());
    RemoveDirectoryA(path_.c_str());
  }
  void PutBack() const {
    Remove();
    if (had_) WriteStringToFile(path_, bytes_);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  bool had_ = false;
  std::string bytes_;
};

std::string WindowsFolderFile() {
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, sizeof windows);
  return std::string(windows) + "\\CXDB.INI";
}

// The user's database is the real one of the test prefix, in its user's
// application data; the Windows directory holds the one earlier versions
// wrote. Each test starts without either; what was there is put back.
class DiscListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(user_.path().empty());
    folder_ = user_.path().substr(0, user_.path().rfind('\\'));
    hadFolder_ = GetFileAttributesA(folder_.c_str()) != INVALID_FILE_ATTRIBUTES;
    ini_ = user_.path();
    user_.Remove();
    old_.Remove();
  }
  void TearDown() override {
    if (hadFolder_) CreateDirectoryA(folder_.c_str(), nullptr);
    user_.PutBack();
    old_.PutBack();
    if (!hadFolder_) RemoveDirectoryA(folder_.c_str());
  }
  // The profile functions may keep a file cached; writing it by hand must be
  // seen by the next call.
  void FlushProfileCache() const {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini_.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, kDiscListFile);
  }
  void WriteIni(const std::string& text, const std::string& path = std::string()) {
    FlushProfileCache();
    CreateDirectoryA(folder_.c_str(), nullptr);
    ASSERT_TRUE(WriteStringToFile(path.empty() ? ini_ : path, text));
  }
  std::string IniText(const std::string& path = std::string()) {
    FlushProfileCache();
    return ReadFileToString(path.empty() ? ini_ : path);
  }
  bool HasLine(const std::string& line) {
    std::string text = "\n" + IniText();
    return text.find("\n" + line + "\r\n") != std::string::npos ||
           text.find("\n" + line + "\n") != std::string::npos;
  }
  static std::string Find(uint32_t serial, MediaKind kind = kWavePlayerKinds) {
    char path[260];
    std::memset(path, 'z', sizeof path);
    bool found = FindDiscList(serial, kind, path, sizeof path);
    EXPECT_EQ(found, path[0] != '\0') << "a failed lookup empties the path";
    return path;
  }

  SavedFile user_{UserDiscListFile()};
  SavedFile old_{WindowsFolderFile()};
  std::string folder_;
  bool hadFolder_ = false;
  std::string ini_;
  TempFolder dir_;
};

TEST_F(DiscListTest, RecordsAreAppendedToTheUsersProfile) {
  std::string list = dir_.Write("disc a.m3u", "D:\\a.mp3\r\n");
  // The folder is made with the first record.
  if (!hadFolder_) ASSERT_EQ(GetFileAttributesA(folder_.c_str()), INVALID_FILE_ATTRIBUTES);
  ASSERT_TRUE(AddDiscList(list.c_str(), 0x1234ABCDu, kWavePlayerKinds));
  ASSERT_TRUE(AddDiscList(list.c_str(), 0x1234ABCDu, kCdPlayerKinds));
  ASSERT_NE(GetFileAttributesA(ini_.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA(old_.path().c_str()), INVALID_FILE_ATTRIBUTES) << "nothing goes to the Windows folder";
  EXPECT_NE(IniText().find("[CANTORIX]"), std::string::npos) << IniText();
  EXPECT_TRUE(HasLine("PlayListCount=2")) << IniText();
  EXPECT_TRUE(HasLine("LIST1=" + list)) << IniText();
  EXPECT_TRUE(HasLine("SERIAL1=305441741")) << IniText();
  EXPECT_TRUE(HasLine("MEDIATYPE1=3")) << IniText();  // WAV and MPEG, as records have always said
  EXPECT_TRUE(HasLine("LIST2=" + list)) << IniText();
  EXPECT_TRUE(HasLine("SERIAL2=305441741")) << IniText();
  EXPECT_TRUE(HasLine("MEDIATYPE2=8")) << IniText();
  EXPECT_EQ(Find(0x1234ABCDu), list);
  EXPECT_EQ(Find(0x1234ABCEu), "");
}

TEST_F(DiscListTest, LookupSkipsRecordsWhoseListFileIsGone) {
  std::string first = dir_.Write("first.m3u", "x");
  std::string other = dir_.Write("other.m3u", "x");
  std::string second = dir_.Write("second.m3u", "x");
  ASSERT_TRUE(AddDiscList(other.c_str(), 77, kWavePlayerKinds));
  ASSERT_TRUE(AddDiscList(first.c_str(), 42, kWavePlayerKinds));
  EXPECT_EQ(Find(42), first);
  ASSERT_TRUE(DeleteFileA(first.c_str()));
  EXPECT_EQ(Find(42), "");
  ASSERT_TRUE(AddDiscList(second.c_str(), 42, kCdPlayerKinds));
  // The CD player's record is found by the wave player's lookup too.
  EXPECT_EQ(Find(42, kWavePlayerKinds), second);
  EXPECT_EQ(Find(42, kMidiPlayerKinds), second);
  // The stale record stays where it was.
  EXPECT_TRUE(HasLine("LIST2=" + first)) << IniText();
  EXPECT_TRUE(HasLine("PlayListCount=3")) << IniText();
  EXPECT_EQ(Find(77), other);
}

TEST_F(DiscListTest, TheListSavedLastForADiscWins) {
  std::string older = dir_.Write("older.m3u", "x");
  std::string newer = dir_.Write("newer.m3u", "x");
  ASSERT_TRUE(AddDiscList(older.c_str(), 42, kWavePlayerKinds));
  EXPECT_EQ(Find(42), older);
  ASSERT_TRUE(AddDiscList(newer.c_str(), 42, kWavePlayerKinds));
  EXPECT_EQ(Find(42), newer);
  ASSERT_TRUE(AddDiscList(older.c_str(), 42, kWavePlayerKinds));  // saved again: latest once more
  EXPECT_EQ(Find(42), older);
  ASSERT_TRUE(DeleteFileA(older.c_str()));
  EXPECT_EQ(Find(42), newer);
}

TEST_F(DiscListTest, AListFileThatDoesNotExistIsNotAdded) {
  EXPECT_FALSE(AddDiscList(dir_.Path("never.m3u").c_str(), 5, kWavePlayerKinds));
  EXPECT_FALSE(AddDiscList(nullptr, 5, kWavePlayerKinds));
  EXPECT_EQ(GetFileAttributesA(ini_.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(DiscListTest, HighBitSerialsAreStoredNegativeAndFoundAgain) {
  struct Case {
    uint32_t serial;
    const char* stored;
  };
  const Case cases[] = {
      {0xABCD1234u, "-1412623820"},
      {0x80000000u, "-2147483648"},
      {0xFFFFFFFFu, "-1"},
      {0x7FFFFFFFu, "2147483647"},
      {0u, "0"},
  };
  int record = 0;
  for (const Case& c : cases) {
    std::string list = dir_.Write("serial" + std::to_string(++record) + ".m3u", "x");
    ASSERT_TRUE(AddDiscList(list.c_str(), c.serial, kWavePlayerKinds));
    EXPECT_TRUE(HasLine("SERIAL" + std::to_string(record) + "=" + c.stored)) << IniText();
  }
  record = 0;
  for (const Case& c : cases) {
    EXPECT_EQ(Find(c.serial), dir_.Path("serial" + std::to_string(++record) + ".m3u")) << c.stored;
  }
  EXPECT_EQ(Find(0x2BCD1234u), "");  // the same low bits without the high bit
}

TEST_F(DiscListTest, AMissingOrEmptyFileHoldsNoRecords) {
  EXPECT_EQ(Find(0), "");
  EXPECT_EQ(Find(42), "");
  WriteIni("");
  EXPECT_EQ(Find(0), "");
  WriteIni("[OTHER]\r\nPlayListCount=1\r\nSERIAL1=42\r\nLIST1=" + dir_.Write("x.m3u", "x") + "\r\n");
  EXPECT_EQ(Find(42), "");
  char small[1];
  EXPECT_FALSE(FindDiscList(42, kWavePlayerKinds, small, 0));
}

TEST_F(DiscListTest, DamagedFilesNeitherMatchWronglyNorLoseRecords) {
  std::string good = dir_.Write("good.m3u", "x");
  std::string kept = dir_.Write("kept.m3u", "x");

  // Garbage bytes: no records, and adding starts a clean section.
  std::string noise;
  for (int i = 0; i < 3000; ++i) noise.push_back(static_cast<char>((i * 7919) % 251 + 1));
  WriteIni(noise);
  EXPECT_EQ(Find(0), "");
  ASSERT_TRUE(AddDiscList(good.c_str(), 9, kWavePlayerKinds));
  EXPECT_EQ(Find(9), good);

  // A serial that is not a number is a damaged record, not serial 0.
  WriteIni("[CANTORIX]\r\nPlayListCount=2\r\nLIST1=" + kept + "\r\nSERIAL1=garbage\r\n"
           "LIST2=" + good + "\r\nSERIAL2=0\r\n");
  EXPECT_EQ(Find(0), good);
  // Serials written unsigned by hand are read as the same 32-bit value.
  WriteIni("[CANTORIX]\r\nPlayListCount=1\r\nLIST1=" + good + "\r\nSERIAL1=2882343476\r\n");
  EXPECT_EQ(Find(0xABCD1234u), good);

  // A count that is not a number hides the records from lookups, but adding
  // must not overwrite them.
  WriteIni("[CANTORIX]\r\nPlayListCount=lots\r\nLIST1=" + kept + "\r\nSERIAL1=5\r\nMEDIATYPE1=3\r\n");
  EXPECT_EQ(Find(5), "");
  ASSERT_TRUE(AddDiscList(good.c_str(), 6, kWavePlayerKinds));
  EXPECT_TRUE(HasLine("LIST1=" + kept)) << IniText();
  EXPECT_TRUE(HasLine("LIST2=" + good)) << IniText();
  EXPECT_TRUE(HasLine("PlayListCount=2")) << IniText();
  EXPECT_EQ(Find(5), kept);
  EXPECT_EQ(Find(6), good);

  // A huge count is looked up quickly through the records that exist; it
  // cannot be counted past, so nothing more is added.
  WriteIni("[CANTORIX]\r\nPlayListCount=2147483647\r\nLIST7=" + kept + "\r\nSERIAL7=-3\r\n");
  DWORD start = GetTickCount();
  EXPECT_EQ(Find(static_cast<uint32_t>(-3)), kept);
  EXPECT_EQ(Find(4), "");
  EXPECT_LT(GetTickCount() - start, 5000u);
  EXPECT_FALSE(AddDiscList(good.c_str(), 4, kWavePlayerKinds));

  // Records beyond the count are not considered, as before.
  WriteIni("[CANTORIX]\r\nPlayListCount=1\r\nLIST1=" + dir_.Path("gone.m3u") + "\r\nSERIAL1=8\r\n"
           "LIST2=" + good + "\r\nSERIAL2=8\r\n");
  EXPECT_EQ(Find(8), "");
}

// In the programs' code page the profile holds names as UTF-8: a list named
// in Cyrillic, an emoji and Japanese, longer than 260 bytes, is written as
// those bytes and found again whole.
TEST_F(DiscListTest, ListNamesOutsideTheLegacyCodePageSurviveTheFile) {
  ASSERT_EQ(GetACP(), 65001u);
  TempFolder dir;
  // Each component within the 255 bytes a Linux file name may take.
  const std::string folder = dir.Path("\xD0\xA1\xD0\xBF\xD0\xB8\xD1\x81\xD0\xBE\xD0\xBA \xF0\x9F\x8E\xB5");  // Список 🎵
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  std::string name;
  for (int i = 0; i < 80; ++i) name += "\xE6\x9B\xB2";  // 曲
  const std::string list = folder + "\\" + name + ".m3u";
  ASSERT_GT(list.size(), 260u);
  ASSERT_TRUE(WriteStringToFile(list, "x")) << GetLastError();
  ASSERT_TRUE(AddDiscList(list.c_str(), 0x1234, kWavePlayerKinds));
  EXPECT_TRUE(HasLine("LIST1=" + list)) << IniText();
  char found[kPathCapacity] = {};
  ASSERT_TRUE(FindDiscList(0x1234, kWavePlayerKinds, found, sizeof found));
  EXPECT_EQ(std::string(found), list);
}

TEST_F(DiscListTest, VolumeSerialOfANonexistentDriveIsZero) {
  // Find a letter with no drive behind it.
  for (char letter = 'Q'; letter <= 'W'; ++letter) {
    char root[] = {letter, ':', '\\', '\0'};
    if (GetDriveTypeA(root) != DRIVE_NO_ROOT_DIR) continue;
    EXPECT_EQ(VolumeSerial(root), 0u) << root;
    return;
  }
  GTEST_SKIP() << "every letter from Q to W is in use";
}

// Records earlier versions wrote to the Windows directory keep working for
// the discs the user's file does not know; that file is never written.
TEST_F(DiscListTest, TheWindowsFoldersFileServesForDiscsTheUsersFileLacks) {
  const std::string early = dir_.Write("early.m3u", "x");
  const std::string other = dir_.Write("other.m3u", "x");
  const std::string mine = dir_.Write("mine.m3u", "x");
  const std::string oldText = "[CANTORIX]\r\nPlayListCount=2\r\nLIST1=" + early + "\r\nSERIAL1=42\r\nMEDIATYPE1=3\r\n"
                              "LIST2=" + other + "\r\nSERIAL2=-7\r\nMEDIATYPE2=8\r\n";
  WriteIni(oldText, old_.path());
  EXPECT_EQ(Find(42), early);
  EXPECT_EQ(Find(static_cast<uint32_t>(-7)), other);
  ASSERT_TRUE(AddDiscList(mine.c_str(), 42, kWavePlayerKinds));
  EXPECT_TRUE(HasLine("LIST1=" + mine)) << IniText();  // the user's file counts on its own
  EXPECT_EQ(Find(42), mine);
  EXPECT_EQ(Find(static_cast<uint32_t>(-7)), other);
  EXPECT_EQ(IniText(old_.path()), oldText);
  // The user's list gone, the old record serves again.
  ASSERT_TRUE(DeleteFileA(mine.c_str()));
  EXPECT_EQ(Find(42), early);
  EXPECT_EQ(Find(5), "");
}

// A record that cannot be written is reported as failed. (The tests run as
// root, for whom a read-only file is writable: a folder of the file's name
// stands in the way instead.)
// Another program holds the file open for reading and lets nobody write it:
// for a moment, the record waits and is written whole; for good, the add
// fails after a while instead of hanging.
TEST_F(DiscListTest, AFileHeldByAReaderIsWrittenOnceItIsLetGo) {
  const std::string list = dir_.Write("held.m3u", "x");
  ASSERT_TRUE(AddDiscList(list.c_str(), 7, kWavePlayerKinds));
  FlushProfileCache();
  auto holdFile = [&] {
    return CreateFileA(ini_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  };
  HANDLE held = holdFile();
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  std::thread reader([held] {
    Sleep(300);
    CloseHandle(held);
  });
  EXPECT_TRUE(AddDiscList(list.c_str(), 8, kWavePlayerKinds));
  reader.join();
  EXPECT_TRUE(HasLine("PlayListCount=2")) << IniText();
  EXPECT_TRUE(HasLine("LIST2=" + list)) << IniText();
  EXPECT_TRUE(HasLine("SERIAL2=8")) << IniText();
  EXPECT_TRUE(HasLine("MEDIATYPE2=3")) << IniText();
  EXPECT_EQ(Find(8), list);

  held = holdFile();
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const DWORD start = GetTickCount();
  EXPECT_FALSE(AddDiscList(list.c_str(), 9, kWavePlayerKinds));
  EXPECT_LT(GetTickCount() - start, 5000u);
  CloseHandle(held);
  EXPECT_EQ(Find(7), list);
  EXPECT_EQ(Find(8), list);
}

TEST_F(DiscListTest, AFileOrFolderThatCannotBeWrittenFailsTheAdd) {
  const std::string list = dir_.Write("list.m3u", "x");
  CreateDirectoryA(folder_.c_str(), nullptr);
  ASSERT_TRUE(CreateDirectoryA(ini_.c_str(), nullptr));
  EXPECT_FALSE(AddDiscList(list.c_str(), 2, kWavePlayerKinds));
  EXPECT_EQ(Find(2), "");
  ASSERT_TRUE(RemoveDirectoryA(ini_.c_str()));

  // A file where the program's folder belongs.
  if (!RemoveDirectoryA(folder_.c_str())) GTEST_SKIP() << "the prefix's folder holds other files";
  ASSERT_TRUE(WriteStringToFile(folder_, "in the way"));
  EXPECT_FALSE(AddDiscList(list.c_str(), 2, kWavePlayerKinds));
  EXPECT_EQ(ReadFileToString(folder_), "in the way");
  ASSERT_TRUE(DeleteFileA(folder_.c_str()));
}

}  // namespace
