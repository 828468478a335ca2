// The real playlist window, driven as a user would: keys clicked, files
// dropped, the open and save dialogs answered (through the dialog seam, and
// once through the real dialog), list files read and written on disk, and
// the player's list checked after OK, cancel and LOAD.
#include "media/PlayListWindow.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "media/DiscList.h"
#include "media/PlayList.h"
#include "media/PlayListLayout.h"
#include "resources/ResourceIds.h"
#include "skin/DibButton.h"
#include "skin/SkinPalette.h"
#include "tests/support/ScreenCapture.h"
#include "tests/support/WinTestSupport.h"

namespace {

using Strings = std::vector<std::string>;

std::string gListFolder;
bool ReadListFolder(char* folder, DWORD capacity) {
  if (gListFolder.empty() || gListFolder.size() >= capacity) return false;
  std::strcpy(folder, gListFolder.c_str());
  return true;
}

// The dialog seam: each call takes the next answer ("" = cancelled) and
// records what the dialog was opened with.
struct DialogCall {
  std::string initialFolder;
  HWND owner;
  std::string filter;  // its rows, NULs shown as '|'
};
std::vector<std::string> gAnswers;
std::vector<DialogCall> gCalls;
BOOL WINAPI Answer(OPENFILENAMEA* dialog) {
  std::string filter;
  for (const char* p = dialog->lpstrFilter; p != nullptr && *p != '\0'; p += std::strlen(p) + 1) {
    filter += std::string(p) + "|";
  }
  gCalls.push_back({dialog->lpstrInitialDir ? dialog->lpstrInitialDir : "", dialog->hwndOwner, filter});
  if (gAnswers.empty()) return FALSE;
  std::string answer = gAnswers.front();
  gAnswers.erase(gAnswers.begin());
  if (answer.empty() || answer.size() + 2 > dialog->nMaxFile) return FALSE;
  std::memcpy(dialog->lpstrFile, answer.data(), answer.size());
  dialog->lpstrFile[answer.size()] = '\0';
  dialog->lpstrFile[answer.size() + 1] = '\0';
  return TRUE;
}

// A player as far as the list is concerned: it takes the edited list on
// 1046 and hides the window, as every player does.
PlayList* gPlayerList = nullptr;
int gEditedNotices = 0;
LRESULT CALLBACK PlayerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kMsgListEdited && gPlayerList != nullptr) {
    ++gEditedNotices;
    gPlayerList->CommitEdits();
    gPlayerList->HideListWindow();
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void PrepareOnce() {
  static bool prepared = false;
  if (prepared) return;
  prepared = true;
  HINSTANCE instance = GetModuleHandleA(nullptr);
  RegisterDibButton(instance, MAKEINTRESOURCEA(kButtonCursor));
  SetSkinPalette(BuildSkinPalette(instance, MAKEINTRESOURCEA(kMainPanelFace)));
  WNDCLASSA wc = {};
  wc.lpfnWndProc = PlayerProc;
  wc.hInstance = instance;
  wc.lpszClassName = "CXPlayListTestPlayer";
  RegisterClassA(&wc);
  ASSERT_TRUE(InstallPlayListWindow(instance, ReadListFolder));
}

class PlayListWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PrepareOnce();
    gListFolder = dir_.path();
    gAnswers.clear();
    gCalls.clear();
    gEditedNotices = 0;
    SetPlayListFileDialogs(Answer, Answer);
    owner_ = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, nullptr,
                             nullptr);
    player_ = CreateWindowExA(0, "CXPlayListTestPlayer", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    list_ = std::make_unique<PlayList>();
    gPlayerList = list_.get();
    list_->SetOwnerWindow(owner_);
    list_->SetNotifyWindow(player_);
    ASSERT_TRUE(list_->Create(kWavePlayerKinds));
    window_ = list_->ListWindow();
    ASSERT_TRUE(IsWindow(window_));
  }
  void TearDown() override {
    gPlayerList = nullptr;
    list_.reset();  // destroys the window
    DestroyWindow(player_);
    DestroyWindow(owner_);
    SetPlayListFileDialogs(nullptr, nullptr);
  }

  // The player's list as if it had been played from: entries given.
  void SetEntries(const Strings& paths) {
    for (int i = 0; i < kPlayListCapacity; ++i) {
      std::strcpy(list_->EditSlot(i), i < static_cast<int>(paths.size()) ? paths[i].c_str() : "");
    }
    list_->CommitEdits();
  }
  void Show() {
    ASSERT_TRUE(list_->ShowListWindow());
    PumpFor(20);
  }
  HWND Key(const char* name) { return FindWindowExA(window_, nullptr, kDibButtonClass, name); }
  void Click(const char* name) {
    HWND key = Key(name);
    ASSERT_NE(key, nullptr) << name;
    SendMessageA(key, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageA(key, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    PumpFor(30);
  }
  HWND Box() { return GetDlgItem(window_, kPlayListBox); }
  Strings Lines() {
    Strings lines;
    const int n = static_cast<int>(SendMessageA(Box(), LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
      char text[kPlayListSlot] = {};
      SendMessageA(Box(), LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
      lines.emplace_back(text);
    }
    return lines;
  }
  std::vector<int> Selected() {
    int lines[kPlayListCapacity];
    const int n = static_cast<int>(
        SendMessageA(Box(), LB_GETSELITEMS, kPlayListCapacity, reinterpret_cast<LPARAM>(lines)));
    return std::vector<int>(lines, lines + (n > 0 ? n : 0));
  }
  void Select(std::initializer_list<int> lines) {
    SendMessageA(Box(), LB_SETSEL, FALSE, -1);
    for (int line : lines) SendMessageA(Box(), LB_SETSEL, TRUE, line);
  }
  Strings Edits() {
    Strings edits;
    for (int i = 0; i < kPlayListCapacity && list_->EditSlot(i)[0] != '\0'; ++i) {
      edits.emplace_back(list_->EditSlot(i));
    }
    return edits;
  }
  Strings Entries() {
    Strings entries;
    for (int i = 0; i < list_->Count(); ++i) entries.emplace_back(list_->EntryAt(i));
    return entries;
  }
  void Drop(const Strings& files) {
    std::string names;
    for (const std::string& f : files) names += f + '\0';
    names += '\0';
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size());
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), names.data(), names.size());
    GlobalUnlock(memory);
    SendMessageA(window_, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
  }
  // As the shell drops them: the names in UTF-16.
  void DropWide(const Strings& files) {
    std::wstring names;
    for (const std::string& f : files) {
      std::wstring wide(f.size() + 1, L'\0');
      const int n = MultiByteToWideChar(CP_UTF8, 0, f.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
      names += wide.substr(0, n > 0 ? n - 1 : 0) + L'\0';
    }
    names += L'\0';
    const size_t bytes = names.size() * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + bytes);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), names.data(), bytes);
    GlobalUnlock(memory);
    SendMessageA(window_, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
  }
  bool Shown() { return IsWindowVisible(window_) != FALSE; }
  bool OwnerEnabled() { return IsWindowEnabled(owner_) != FALSE; }

  TempFolder dir_;
  HWND owner_ = nullptr;
  HWND player_ = nullptr;
  HWND window_ = nullptr;
  std::unique_ptr<PlayList> list_;
};

const Strings kStart = {"C:\\m\\one.mp3", "two.wav", "C:\\m\\three.x.mp3", "C:\\m\\noext\\four.wav"};

TEST_F(PlayListWindowTest, ShowsTheListAndOkHandsTheEditsToThePlayer) {
  SetEntries(kStart);
  Show();
  EXPECT_TRUE(Shown());
  EXPECT_FALSE(OwnerEnabled()) << "the window is modal to its owner";
  EXPECT_EQ(ShownListWindow(), window_);
  // Entries without a backslash are shown whole, so lines and entries match.
  EXPECT_EQ(Lines(), (Strings{"one", "two.wav", "three.x", "four"}));
  Select({1});
  PumpFor(300);
  const char* binary = std::getenv("CX_BINARY_DIR");
  const std::string folder = std::string(binary != nullptr ? binary : ".") + "/../screenshots";
  CreateDirectoryA(folder.c_str(), nullptr);
  EXPECT_EQ(CaptureWindow(window_, folder + "/playlist-window.bmp").size(),
            static_cast<size_t>(kPlayListWidth * kPlayListHeight));

  Drop({"C:\\d\\a.mp3", "C:\\d\\b.mid", "C:\\d\\c.WAV"});
  EXPECT_EQ(Lines(), (Strings{"one", "two.wav", "three.x", "four", "a", "c"}));
  EXPECT_EQ(Entries(), kStart) << "the player's list changes only on OK";

  // DELETE lines 2 and 4 (1-based) of six: 1, 3, 5, 6 remain.
  Select({1, 3});
  Click("DELETE");
  EXPECT_EQ(Edits(), (Strings{"C:\\m\\one.mp3", "C:\\m\\three.x.mp3", "C:\\d\\a.mp3", "C:\\d\\c.WAV"}));
  EXPECT_EQ(Lines(), (Strings{"one", "three.x", "a", "c"}));

  Select({1, 3});
  Click("UP");
  EXPECT_EQ(Lines(), (Strings{"three.x", "one", "c", "a"}));
  EXPECT_EQ(Selected(), (std::vector<int>{0, 2})) << "the moved lines stay selected";
  Click("UP");  // line 0 is selected: nothing moves
  EXPECT_EQ(Lines(), (Strings{"three.x", "one", "c", "a"}));
  Select({1, 2});
  Click("DOWN");
  EXPECT_EQ(Lines(), (Strings{"three.x", "a", "one", "c"}));
  EXPECT_EQ(Selected(), (std::vector<int>{2, 3}));
  Click("DOWN");  // the last entry is selected: nothing moves
  EXPECT_EQ(Lines(), (Strings{"three.x", "a", "one", "c"}));

  Click("OKSMALL");
  EXPECT_FALSE(Shown());
  EXPECT_EQ(gEditedNotices, 1);
  EXPECT_EQ(Entries(), (Strings{"C:\\m\\three.x.mp3", "C:\\d\\a.mp3", "C:\\m\\one.mp3", "C:\\d\\c.WAV"}));
  EXPECT_TRUE(OwnerEnabled());
  EXPECT_EQ(ShownListWindow(), nullptr);
}

TEST_F(PlayListWindowTest, EveryCancelRestoresTheListTheWindowStartedFrom) {
  SetEntries(kStart);
  for (const char* how : {"X", "CANCELSMALL", "close"}) {
    Show();
    Drop({"C:\\d\\a.mp3"});
    Select({0});
    Click("DELETE");
    ASSERT_EQ(Edits().size(), kStart.size()) << how;
    if (std::strcmp(how, "close") == 0) {
      SendMessageA(window_, WM_CLOSE, 0, 0);
    } else {
      Click(how);
    }
    EXPECT_FALSE(Shown()) << how;
    EXPECT_TRUE(OwnerEnabled()) << how;
    EXPECT_EQ(Edits(), kStart) << how;
    EXPECT_EQ(Entries(), kStart) << how;
    EXPECT_EQ(Lines(), (Strings{"one", "two.wav", "three.x", "four"})) << how;
    EXPECT_EQ(gEditedNotices, 0) << how;
  }
}

TEST_F(PlayListWindowTest, DropsFillTheFirstEmptyEntriesUpTo99) {
  Strings start = {"relative.mp3"};  // no backslash: has a line and keeps its entry
  for (int i = 1; i < 95; ++i) start.push_back("C:\\m\\" + std::to_string(i) + ".mp3");
  SetEntries(start);
  Show();
  const std::string tooLong = "C:\\" + std::string(300, 'L') + ".mp3";
  Drop({"C:\\d\\x.mid", tooLong, "C:\\d\\1.mp3", "C:\\d\\2.mp3", "C:\\d\\3.wav", "C:\\d\\4.mp3",
        "C:\\d\\5.mp3", "C:\\d\\6.mp3", "C:\\d\\7.mp3", "C:\\d\\8.mp3"});
  Strings edits = Edits();
  ASSERT_EQ(edits.size(), 99u);
  EXPECT_EQ(edits[0], "relative.mp3");
  EXPECT_EQ(Strings(edits.begin() + 95, edits.end()),
            (Strings{"C:\\d\\1.mp3", "C:\\d\\2.mp3", "C:\\d\\3.wav", "C:\\d\\4.mp3"}));
  EXPECT_EQ(Lines().size(), 99u);
  EXPECT_EQ(list_->Count(), 95) << "dropping does not touch the player's list";
}

TEST_F(PlayListWindowTest, AddTakesOneOrSeveralFilesThroughTheOpenDialog) {
  SetEntries({});
  Show();
  const std::string longFolder = "C:\\" + std::string(240, 'f');
  gAnswers = {std::string("C:\\one\\single.mp3"),
              std::string("C:\\many\0a.mp3\0b.mid\0c.wav\0", 26),
              std::string("C:\\\0root.mp3\0", 13),
              longFolder + std::string("\0short.mp3\0", 11) + std::string(20, 'n') + ".mp3",
              ""};
  for (int i = 0; i < 5; ++i) Click("ADD");
  EXPECT_EQ(Edits(), (Strings{"C:\\one\\single.mp3", "C:\\many\\a.mp3", "C:\\many\\c.wav", "C:\\root.mp3",
                              longFolder + "\\short.mp3"}))
      << "a path over 259 characters is skipped, never cut";
  ASSERT_EQ(gCalls.size(), 5u);
  EXPECT_EQ(gCalls[0].owner, window_);
}

std::string Repeat(const std::string& piece, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += piece;
  return out;
}

// Names outside the legacy code page, dropped as the shell drops them
// (UTF-16): each arrives whole in UTF-8, one longer than 255 bytes too;
// a name longer than the system opens is skipped.
TEST_F(PlayListWindowTest, DroppedUnicodeNamesArriveWholeInUtf8) {
  SetEntries({});
  Show();
  const std::string blanks = "C:\\My Music \xE9\x9F\xB3\xE6\xA5\xBD\\\xD0\x9C\xD1\x83\xD0\xB7\xD1\x8B\xD0\xBA"
                             "\xD0\xB0 \xE6\x97\xA5\xE6\x9C\xAC\xE3\x81\xAE\xE6\xAD\x8C \xF0\x9F\x8E\xB5.wav";
  const std::string longName = "C:\\" + Repeat("\xE9\x95\xB7", 250) + ".mp3";      // 257 units, 757 bytes
  const std::string tooLong = "C:\\" + Repeat("\xE9\x95\xB7", 260) + ".mp3";       // 267 units
  DropWide({blanks, tooLong, longName, "C:\\d\\\xF0\x9F\x8E\xB5.mid"});
  EXPECT_EQ(Edits(), (Strings{blanks, longName}));
  EXPECT_EQ(Lines()[0], "\xD0\x9C\xD1\x83\xD0\xB7\xD1\x8B\xD0\xBA\xD0\xB0 \xE6\x97\xA5\xE6\x9C\xAC\xE3\x81\xAE\xE6\xAD\x8C \xF0\x9F\x8E\xB5");
}

// The open dialog's multiple selection in UTF-8 (a folder, then names):
// 99 names of nearly the longest path, three bytes a character, fit the
// buffer ADD gives the dialog and are taken whole.
TEST_F(PlayListWindowTest, AddTakesAFullSelectionOfJapaneseNames) {
  SetEntries({});
  Show();
  const std::string folder = "C:\\" + Repeat("\xE9\x9F\xB3", 50);  // 音 x 50
  std::string selection = folder + '\0';
  Strings expected;
  for (int i = 0; i < 99; ++i) {
    // 258 UTF-16 units a path, 756 bytes.
    const std::string name = Repeat("\xE6\x9B\xB2", 198) + std::to_string(10 + i) + ".mp3";  // 曲 x 198
    selection += name + '\0';
    expected.push_back(folder + "\\" + name);
  }
  gAnswers = {selection};
  Click("ADD");
  EXPECT_EQ(Edits(), expected);
  ASSERT_EQ(gCalls.size(), 1u);
}

// A selection of many long names fits, and one that overfills the list
// adds what fits and says so.
TEST_F(PlayListWindowTest, AddTakesManyLongNamesAndSaysWhenTheListIsFull) {
  SetEntries({});
  Show();
  const std::string folder = "C:\\" + std::string(200, 'd');
  auto selection = [&](int from, int count) {
    std::string s = folder + '\0';
    for (int i = from; i < from + count; ++i) s += std::string(40, 'n') + std::to_string(i) + ".mp3" + '\0';
    return s;
  };
  MessageBoxWatcher boxes;
  gAnswers = {selection(0, 60)};
  Click("ADD");
  EXPECT_EQ(Edits().size(), 60u);
  EXPECT_TRUE(boxes.Texts().empty());
  gAnswers = {selection(60, 60)};
  Click("ADD");
  const Strings edits = Edits();
  ASSERT_EQ(edits.size(), 99u);
  EXPECT_EQ(edits[98], folder + "\\" + std::string(40, 'n') + "98.mp3");
  ASSERT_TRUE(boxes.WaitFor(1, 5000));
  EXPECT_EQ(boxes.Texts()[0], "The list is full: it holds 99 files.");
}

// LOAD gives the player the list at once; the file is closed on every path.
TEST_F(PlayListWindowTest, LoadHandsTheFileToThePlayerOrShowsWhyNot) {
  SetEntries(kStart);
  const std::string longLine = "C:\\" + std::string(300, 'L') + ".mp3";
  const std::string good =
      dir_.Write("good.m3u", "C:\\a.mp3\r\n" + longLine + "\nrel.mid\r\n\r\nC:\\last.wav");
  const std::string empty = dir_.Write("empty.m3u", "");
  const std::string cd = dir_.Write("cd.m3u", "D:\\Track01.cda\r\nC:\\a.mp3\r\n");
  gAnswers = {dir_.Path("missing.m3u"), empty, cd, good};
  MessageBoxWatcher boxes;
  for (int i = 0; i < 3; ++i) {
    Show();
    Click("LOAD");
    ASSERT_TRUE(boxes.WaitFor(i + 1, 5000));
    EXPECT_TRUE(Shown());
    EXPECT_EQ(Entries(), kStart);
    EXPECT_EQ(Edits(), kStart);
    Click("X");
  }
  EXPECT_EQ(boxes.Texts(),
            (Strings{"Error in open file.", "The File is empty.\n", "The list is not support by the player"}));
  EXPECT_EQ(boxes.Owners(), (std::vector<HWND>{window_, window_, window_}));
  EXPECT_EQ(gCalls[0].initialFolder, dir_.path()) << "list files start in the program's folder";

  Show();
  Click("LOAD");
  EXPECT_EQ(gEditedNotices, 1);
  EXPECT_EQ(Entries(), (Strings{"C:\\a.mp3", dir_.Path("rel.mid"), "C:\\last.wav"}))
      << "lines taken verbatim (a relative one in the list's folder), the overlong one skipped, "
         "the unterminated last one kept";
  EXPECT_FALSE(Shown());
  EXPECT_TRUE(OwnerEnabled());
  for (const char* key : {"X", "CANCELSMALL"}) EXPECT_FALSE(IsWindowEnabled(Key(key))) << key;
  Show();
  for (const char* key : {"X", "CANCELSMALL"}) EXPECT_TRUE(IsWindowEnabled(Key(key))) << key;
  for (const std::string& file : {good, empty, cd}) {
    EXPECT_TRUE(DeleteFileA(file.c_str())) << file << " left open";
  }
}

// SAVE writes the edit entries and records the list against the disc.
class PlayListSaveTest : public PlayListWindowTest {
 protected:
  void SetUp() override {
    PlayListWindowTest::SetUp();
    // The user's disc database, the one SAVE writes.
    ini_ = UserDiscListFile();
    ASSERT_FALSE(ini_.empty());
    hadIni_ = GetFileAttributesA(ini_.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (hadIni_) saved_ = ReadFileToString(ini_);
    RemoveIni();
  }
  void TearDown() override {
    RemoveIni();
    if (hadIni_) WriteStringToFile(ini_, saved_);
    PlayListWindowTest::TearDown();
  }
  void FlushProfiles() const { WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini_.c_str()); }
  void RemoveIni() const {
    FlushProfiles();
    DeleteFileA(ini_.c_str());
    RemoveDirectoryA(ini_.c_str());
  }
  std::string ini_;
  bool hadIni_ = false;
  std::string saved_;
};

// Names in UTF-8 (the test runs in the programs' code page): SAVE writes
// them as they are to ".m3u" and ".m3u8"; LOAD reads both back, with or
// without a byte-order mark, and a list an older program wrote in the
// legacy code page (1252 here).
TEST_F(PlayListSaveTest, ListsOfAnyNameRoundTripAsUtf8) {
  ASSERT_EQ(GetACP(), 65001u);
  const Strings names = {"C:\\Caf\xC3\xA9 \xD0\x9F\xD0\xB5\xD1\x81\xD0\xBD\xD1\x8F.mp3",
                         "C:\\\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.wav", "C:\\\xF0\x9F\x8E\xB5 tune.mp3"};
  const std::string bytes = names[0] + "\r\n" + names[1] + "\r\n" + names[2] + "\r\n";
  SetEntries(names);
  Show();
  const std::string utf8List = dir_.Path("\xE5\x90\x8D list.m3u8");
  gAnswers = {utf8List, dir_.Path("plain")};
  Click("SAVE");
  Click("SAVE");
  EXPECT_EQ(ReadFileToString(utf8List), bytes);
  EXPECT_EQ(ReadFileToString(dir_.Path("plain.m3u")), bytes);
  ASSERT_GE(gCalls.size(), 2u);
  EXPECT_EQ(gCalls.back().filter, "List File|*.m3u;*.m3u8|");
  Click("X");  // saving keeps the window up

  const std::string marked = dir_.Write("marked.m3u8", "\xEF\xBB\xBF" + bytes);
  const std::string legacy = dir_.Write("legacy.m3u", "C:\\Caf\xE9 \x80.mp3\r\n");
  gAnswers = {utf8List, marked, dir_.Path("plain.m3u"), legacy};
  for (const Strings& expected : {names, names, names, Strings{"C:\\Caf\xC3\xA9 \xE2\x82\xAC.mp3"}}) {
    SetEntries({"C:\\before.mp3"});
    Show();
    Click("LOAD");
    EXPECT_EQ(Entries(), expected);
    if (Shown()) Click("X");
  }
  EXPECT_EQ(gCalls.back().filter, "List File|*.m3u;*.m3u8|");
}

TEST_F(PlayListSaveTest, WritesCrLfLinesAndRecordsTheDisc) {
  const std::string first = dir_.Write("first.mp3", "x");
  const std::string second = dir_.Write("second.wav", "x");
  SetEntries({first, second, "rel.mp3"});
  Show();
  dir_.Write("mylist.m3u", std::string(2000, 'o') + "\r\nold.mp3\r\n");  // longer than the new list
  // 256 characters: it fits the dialog's buffer, but not with ".m3u" added.
  const std::string wide = dir_.Path(std::string(255 - dir_.path().size(), 'n'));
  ASSERT_EQ(wide.size(), 256u);
  gAnswers = {dir_.Path("mylist"), dir_.Path("upper.M3U"), wide};
  Click("SAVE");
  // Entries in the list's folder are written relative to it.
  const std::string expected = "first.mp3\r\nsecond.wav\r\nrel.mp3\r\n";
  EXPECT_EQ(ReadFileToString(dir_.Path("mylist.m3u")), expected);

  Click("SAVE");
  EXPECT_EQ(ReadFileToString(dir_.Path("upper.M3U")), expected);
  EXPECT_EQ(GetFileAttributesA(dir_.Path("upper.M3U.m3u").c_str()), INVALID_FILE_ATTRIBUTES);

  // A name with no room left for ".m3u" is refused, not cut.
  MessageBoxWatcher boxes;
  Click("SAVE");
  ASSERT_TRUE(boxes.WaitFor(1, 5000));
  EXPECT_EQ(boxes.Texts(), (Strings{"Error in open file."}));
  EXPECT_EQ(boxes.Owners(), (std::vector<HWND>{window_}));

  char root[4] = {first[0], ':', '\\', '\0'};
  const uint32_t serial = VolumeSerial(root);
  char found[kPlayListSlot];
  ASSERT_TRUE(FindDiscList(serial, kWavePlayerKinds, found, sizeof found));
  EXPECT_EQ(std::string(found), dir_.Path("upper.M3U"));  // the list saved last for the disc
  FlushProfiles();
  EXPECT_EQ(GetPrivateProfileIntA(kDiscListSection, "PlayListCount", 0, ini_.c_str()), 2);
  // The record says "WAV and MPEG" as it always has, whatever else the
  // wave player now plays.
  EXPECT_EQ(GetPrivateProfileIntA(kDiscListSection, "MEDIATYPE2", 0, ini_.c_str()), kKindWave | kKindMpeg);
  EXPECT_TRUE(Shown()) << "saving keeps the window up";
}

// A disc database that cannot be written: the list file is saved all the
// same, and the user learns that its disc will not bring it back.
TEST_F(PlayListSaveTest, ARecordThatCannotBeWrittenIsReported) {
  const std::string first = dir_.Write("first.mp3", "x");
  SetEntries({first});
  Show();
  // A folder of the file's name: the tests run as root, who may write a
  // read-only file.
  CreateDirectoryA(ini_.substr(0, ini_.rfind('\\')).c_str(), nullptr);
  ASSERT_TRUE(CreateDirectoryA(ini_.c_str(), nullptr));
  gAnswers = {dir_.Path("kept")};
  MessageBoxWatcher boxes;
  Click("SAVE");
  ASSERT_TRUE(boxes.WaitFor(1, 5000));
  EXPECT_EQ(boxes.Texts(), (Strings{kDiscListWriteFailedText}));
  EXPECT_EQ(boxes.Owners(), (std::vector<HWND>{window_}));
  EXPECT_EQ(ReadFileToString(dir_.Path("kept.m3u")), "first.mp3\r\n");
  EXPECT_TRUE(Shown());
  RemoveDirectoryA(ini_.c_str());
}

// The real open dialog once: its file name field is filled in and OK pressed
// from another thread, as a user would.
TEST_F(PlayListWindowTest, AddThroughTheRealOpenDialog) {
  SetPlayListFileDialogs(nullptr, nullptr);
  const std::string song = dir_.Write("real.mp3", "x");
  SetEntries({});
  Show();
  std::atomic<bool> answered{false};
  std::thread user([&] {
    for (int i = 0; i < 1000 && !answered; ++i) {
      HWND dialog = nullptr;
      while ((dialog = FindWindowExA(nullptr, dialog, "#32770", nullptr)) != nullptr) {
        if (GetWindow(dialog, GW_OWNER) != window_ || !IsWindowVisible(dialog)) continue;
        HWND name = GetDlgItem(dialog, 0x47c);  // the file name box
        if (name == nullptr) name = GetDlgItem(dialog, 0x480);
        SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(song.c_str()));
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        answered = true;
        break;
      }
      Sleep(20);
    }
  });
  Click("ADD");
  user.join();
  ASSERT_TRUE(answered);
  EXPECT_EQ(Edits(), (Strings{song}));
  EXPECT_EQ(Lines(), (Strings{"real"}));
}

}  // namespace
