// Started by names_dialogs_end_to_end_test.py through tools/wine-run with
// ALSA's file sink for playback and a counting pattern as capture. The
// script put Cantorix.exe (with its SoundFont) into a folder named in
// Cyrillic and Japanese, Handset.exe into another, and the music into a
// folder with blanks. Here, as a user would:
// - "Application Path" is set to Cantorix's folder (a UTF-8 value through
//   the "A" registry call) and Handset is started with a file, so Handset
//   has to find Cantorix through the setting and hand the name over;
// - the playlist window's ADD takes two such names from the real open
//   dialog, SAVE writes the list and its disc record through the real save
//   dialog, the record is read back;
// - the FLAC file's Japanese tag title is shown, and the title line saved
//   as a screenshot and checked for real glyphs;
// - RECFILE records into a Japanese name with an emoji, and that recording
//   is played.
// Prints the files in the order they should have been heard.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include <windows.h>
#include <commctrl.h>

#include "common/CommandCodes.h"
#include "common/PathLimits.h"
#include "common/SettingsKey.h"
#include "common/Win32Handles.h"
#include "media/DiscList.h"
#include "tests/support/ScreenCapture.h"
#include "tests/support/WinTestSupport.h"

namespace {

constexpr char kSettingsKey[] = "Software\\Vex\\Vex Cantorix Wavesmith";
constexpr uint32_t kStopped = kStatusPlaylist | kStatusPlay | kStatusTrackForward | kStatusTrackBack |
                              kStatusWaveShown | kStatusCdShown | kStatusMidiShown;
enum : int { kRecFile = 3000, kRecPlay = 3001, kRecStop = 3002 };
enum : int { kListOk = 1001, kListAdd = 1004, kListSave = 1008 };
constexpr int kFileNameBox = 0x47c;  // the explorer-style dialog's name combo

// The names the script gave the fixtures (UTF-8).
const std::string kMusicFolder = "My Music \xE9\x9F\xB3\xE6\xA5\xBD";                // My Music 音楽
const std::string kWavName = "\xD0\x9C\xD1\x83\xD0\xB7\xD1\x8B\xD0\xBA\xD0\xB0 "     // Музыка
                             "\xE6\x97\xA5\xE6\x9C\xAC\xE3\x81\xAE\xE6\xAD\x8C "     // 日本の歌
                             "\xF0\x9F\x8E\xB5";                                     // 🎵
const std::string kFlacName = "track 02 \xE5\xA4\x9C\xE6\x98\x8E\xE3\x81\x91";        // track 02 夜明け
const std::string kProgramFolderName = "\xD0\x9F\xD1\x80\xD0\xBE\xD0\xB3\xD1\x80\xD0\xB0\xD0\xBC\xD0\xBC\xD1\x8B "
                                       "\xE6\x97\xA5\xE6\x9C\xAC";                   // Программы 日本
const std::string kRemoteFolderName = "Remote \xD0\x9F\xD1\x83\xD0\xBB\xD1\x8C\xD1\x82";  // Remote Пульт
// Tags of the FLAC file: artist "Aoi", title 朝の練習曲.
const std::string kTagTitle = "Aoi \xE2\x80\x93 \xE6\x9C\x9D\xE3\x81\xAE\xE7\xB7\xB4\xE7\xBF\x92\xE6\x9B\xB2";
const std::string kListName = "\xE6\x97\xA5\xE6\x9C\xAC\xE3\x81\xAE\xE6\xAD\x8C list";  // 日本の歌 list
const std::string kRecordName = "\xE9\x8C\xB2\xE9\x9F\xB3 \xF0\x9F\x8E\xA4 take";     // 録音 🎤 take

std::wstring Wide(const std::string& utf8) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
  std::wstring wide(n > 0 ? n - 1 : 0, L'\0');
  if (n > 1) MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &wide[0], n);
  return wide;
}

// A shown top-level window of a class in one process.
HWND ShownWindowOf(const char* className, DWORD processId) {
  for (HWND w : FindTopLevelWindows(className)) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == processId && IsWindowVisible(w)) return w;
  }
  return nullptr;
}

void Click(HWND window, int id) {
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
}

// How many entries the dialog's file list shows.
int FileListCount(HWND dialog) {
  HWND view = FindWindowExA(dialog, nullptr, "SHELLDLL_DefView", nullptr);
  HWND list = view != nullptr ? FindWindowExA(view, nullptr, "SysListView32", nullptr) : nullptr;
  return list != nullptr ? static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)) : -1;
}

// Answers the file dialog that comes up in `processId`: each text is typed
// into the name box and confirmed. All but the last name a folder, which
// the dialog opens: it has then `folderItems` entries in its list.
bool AnswerFileDialog(DWORD processId, const std::vector<std::string>& typed, int folderItems = 0) {
  HWND dialog = nullptr;
  if (!PumpUntil([&] { return (dialog = ShownWindowOf("#32770", processId)) != nullptr &&
                              GetDlgItem(dialog, kFileNameBox) != nullptr; },
                 10000)) {
    return false;
  }
  for (size_t i = 0; i < typed.size(); ++i) {
    if (!SetDlgItemTextW(dialog, kFileNameBox, Wide(typed[i]).c_str())) return false;
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    const bool last = i + 1 == typed.size();
    wchar_t text[1024] = {};
    const bool done = PumpUntil(
        [&] {
          if (last) return !IsWindow(dialog) || !IsWindowVisible(dialog);
          GetDlgItemTextW(dialog, kFileNameBox, text, 1024);
          return FileListCount(dialog) == folderItems;
        },
        10000);
    if (!done) {
      ADD_FAILURE() << "step " << i << " of the dialog; the name box holds " << text << ", the list "
                    << FileListCount(dialog) << " entries";
    }
    if (!done) return false;
  }
  return true;
}

std::vector<bool> InkOf(const std::vector<COLORREF>& pixels, int stride, RECT area) {
  std::vector<bool> ink;
  for (int y = area.top; y < area.bottom; ++y) {
    for (int x = area.left; x < area.right; ++x) ink.push_back(pixels[y * stride + x] != RGB(0, 0, 0));
  }
  return ink;
}

// The strip's own font alone drawing `text` as the strip does (yellow on
// black, 160 x 16): what the title looks like without a face for its
// Japanese characters.
std::vector<COLORREF> OwnFontRender(const std::string& text, int width, int height) {
  WindowDc screen(nullptr);
  MemoryDc memory(screen.dc);
  GdiObject bitmap(CreateCompatibleBitmap(screen.dc, width, height));
  std::vector<COLORREF> pixels;
  Selection selected(memory.dc, bitmap.object);
  Selection font(memory.dc, GetStockObject(SYSTEM_FONT));
  SetBkMode(memory.dc, OPAQUE);
  SetBkColor(memory.dc, RGB(0, 0, 0));
  SetTextColor(memory.dc, RGB(255, 255, 0));
  std::wstring wide = Wide(text) + std::wstring(40, L' ');
  TextOutW(memory.dc, 0, 0, wide.c_str(), static_cast<int>(wide.size()));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) pixels.push_back(GetPixel(memory.dc, x, y));
  }
  return pixels;
}

// The glyph shapes in a mask, split at blank columns: boxes drawn for
// missing glyphs are all one shape.
std::set<std::vector<bool>> GlyphShapes(const std::vector<bool>& ink, int width, int height, int from) {
  std::set<std::vector<bool>> shapes;
  std::vector<bool> shape;
  for (int x = from; x <= width; ++x) {
    bool blank = true;
    std::vector<bool> column;
    for (int y = 0; x < width && y < height; ++y) {
      column.push_back(ink[y * width + x]);
      blank = blank && !ink[y * width + x];
    }
    if (!blank) {
      shape.insert(shape.end(), column.begin(), column.end());
    } else if (!shape.empty()) {
      shapes.insert(shape);
      shape.clear();
    }
  }
  return shapes;
}

struct Cantorix {
  HWND panel = nullptr;
  HWND wave = nullptr;
  DWORD processId = 0;
  UINT commandMessage = RegisterWindowMessageA(kCommandMessageName);
  StatusPoller poller;
  std::vector<std::string> heard;

  void Command(uint16_t code, LPARAM lParam = 0) const {
    PostMessageA(panel, commandMessage, MakeCommand(kRouteWave, code), lParam);
  }
  // Waits until every title has been seen, in order, and the player stopped.
  void ExpectPlayed(const std::vector<std::string>& titles, const std::vector<std::string>& files) {
    std::string seen;
    EXPECT_TRUE(WaitPlayedInOrder(panel, wave, poller, titles, kStopped, 60000, &seen)) << seen;
    heard.insert(heard.end(), files.begin(), files.end());
  }
};

// "Application Path" for this run, put back as it was afterwards.
class ApplicationPath {
 public:
  explicit ApplicationPath(const std::string& folder) {
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key_, nullptr);
    DWORD size = sizeof old_ - 1;
    DWORD type = 0;
    had_ = RegQueryValueExA(key_, "Application Path", nullptr, &type, reinterpret_cast<BYTE*>(old_), &size) ==
               ERROR_SUCCESS && type == REG_SZ;
    set_ = RegSetValueExA(key_, "Application Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                          static_cast<DWORD>(folder.size() + 1)) == ERROR_SUCCESS;
  }
  ~ApplicationPath() {
    if (had_) {
      RegSetValueExA(key_, "Application Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(old_),
                     static_cast<DWORD>(std::strlen(old_) + 1));
    } else {
      RegDeleteValueA(key_, "Application Path");
    }
    RegCloseKey(key_);
  }
  bool set() const { return set_; }
  // The value as the registry holds it, in UTF-16.
  std::wstring Stored() const {
    wchar_t value[1024] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(key_, L"Application Path", nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
        ERROR_SUCCESS) {
      return L"";
    }
    return value;
  }

 private:
  HKEY key_ = nullptr;
  char old_[2048] = {};
  bool had_ = false;
  bool set_ = false;
};

// The disc database is the user's real one; this run starts without one
// and leaves none behind.
class DiscDatabase {
 public:
  DiscDatabase() {
    char folder[kPathCapacity] = {};
    ProgramDataFolder(folder, sizeof folder, true);
    path_ = std::string(folder) + "\\" + kDiscListFile;
    Flush();
    DeleteFileA(path_.c_str());
  }
  ~DiscDatabase() {
    Flush();
    DeleteFileA(path_.c_str());
  }
  std::string Bytes() {
    Flush();
    return ReadFileToString(path_);
  }

 private:
  void Flush() const { WritePrivateProfileStringA(nullptr, nullptr, nullptr, path_.c_str()); }
  std::string path_;
};

// Ends the Cantorix the test reached, on every path: closed as a user would
// at the end, ended outright when a failed check left it running.
class CantorixEnder {
 public:
  ~CantorixEnder() {
    if (processId == 0) return;
    UniqueHandle process(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, processId));
    if (process.get() == nullptr) return;
    if (panel != nullptr) PostMessageA(panel, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.get(), 15000) != WAIT_OBJECT_0) TerminateProcess(process.get(), 1);
  }
  HWND panel = nullptr;
  DWORD processId = 0;
};

std::string ImagePathOf(DWORD processId) {
  UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  wchar_t path[1024] = {};
  DWORD size = 1024;
  if (process.get() == nullptr || !QueryFullProcessImageNameW(process.get(), 0, path, &size)) return "";
  char utf8[4096] = {};
  WideCharToMultiByte(CP_UTF8, 0, path, -1, utf8, sizeof utf8, nullptr, nullptr);
  return utf8;
}

TEST(NamesDialogs, HandsetDialogsTitleAndRecordingTakeUtf8Names) {
  ASSERT_EQ(GetACP(), 65001u) << "the manifest's code page";
  const char* work = std::getenv("CX_NAMES_DIR");
  const char* shots = std::getenv("CX_SCREENSHOT_DIR");
  ASSERT_NE(work, nullptr);
  ASSERT_NE(shots, nullptr);
  const std::string music = std::string(work) + "\\" + kMusicFolder;
  const std::string programFolder = std::string(work) + "\\" + kProgramFolderName;
  const std::string wav = music + "\\" + kWavName + ".wav";
  ASSERT_NE(GetFileAttributesA(wav.c_str()), INVALID_FILE_ATTRIBUTES) << wav;
  DiscDatabase database;

  // Handset alone in its folder: it finds Cantorix through the setting only.
  ApplicationPath setting(programFolder);
  ASSERT_TRUE(setting.set());
  EXPECT_EQ(setting.Stored(), Wide(programFolder)) << "the registry holds the folder's real name";
  ChildProcess handset(std::string(work) + "\\" + kRemoteFolderName + "\\Handset.exe \"" + wav + "\"");
  ASSERT_TRUE(handset.started());
  Cantorix c;
  CantorixEnder ender;
  c.panel = WaitForShownPanel(30000);
  ASSERT_NE(c.panel, nullptr);
  GetWindowThreadProcessId(c.panel, &c.processId);
  ender.panel = c.panel;
  ender.processId = c.processId;
  EXPECT_EQ(ImagePathOf(c.processId), programFolder + "\\Cantorix.exe");
  c.wave = FindWindowExA(c.panel, nullptr, "CXWavePlayerClass", nullptr);
  ASSERT_NE(c.wave, nullptr);
  MessageBoxWatcher boxes("Cantorix Error Reporting", c.processId);
  c.ExpectPlayed({kWavName}, {"wav"});
  EXPECT_TRUE(PumpUntil([&] { return ShownWindowOf("HandsetClass", handset.id()) != nullptr; }, 10000));

  // ADD: the open dialog goes to the music folder, then takes two names.
  c.Command(kCmdShowPlaylist);
  HWND listWindow = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (listWindow = ShownWindowOf("PlayListClass", c.processId)) != nullptr; },
                        10000));
  HWND listBox = GetDlgItem(listWindow, 999);
  Click(listWindow, kListAdd);
  ASSERT_TRUE(AnswerFileDialog(c.processId, {music, "\"" + kFlacName + ".flac\" \"" + kWavName + ".wav\""}, 2));
  EXPECT_TRUE(PumpUntil([&] { return SendMessageA(listBox, LB_GETCOUNT, 0, 0) == 3; }, 5000))
      << SendMessageA(listBox, LB_GETCOUNT, 0, 0);

  // SAVE: the list file and its disc record, read back as the player's
  // disc lookup reads it.
  Click(listWindow, kListSave);
  ASSERT_TRUE(AnswerFileDialog(c.processId, {music + "\\" + kListName}));
  const std::string listFile = music + "\\" + kListName + ".m3u";
  EXPECT_TRUE(PumpUntil([&] { return database.Bytes().find(listFile) != std::string::npos; }, 5000))
      << "the record holds the list's UTF-8 name: " << database.Bytes();
  // The record's keys are written one after the other: the lookup is
  // waited for, not tried once.
  char found[1024] = {};
  EXPECT_TRUE(PumpUntil([&] { return FindDiscList(VolumeSerial("Z:\\"), kWavePlayerKinds, found, sizeof found); },
                        5000))
      << database.Bytes();
  EXPECT_EQ(std::string(found), listFile);

  // OK, then PLAY from the top: the list is the Handset's file, then the
  // two added ones. The FLAC's tag title is drawn with real glyphs, and the
  // file that follows it closes the round.
  Click(listWindow, kListOk);
  ASSERT_TRUE(PumpUntil([&] { return !IsWindowVisible(listWindow); }, 5000));
  c.Command(kCmdPlay);
  ASSERT_TRUE(PumpUntil([&] { return WaveTitle(c.wave) == kTagTitle; }, 60000)) << WaveTitle(c.wave);
  // Another process's window is read from the screen: Handset is moved
  // off the panel first. The script cuts the wave player out of the picture.
  if (HWND remote = ShownWindowOf("HandsetClass", handset.id())) {
    SetWindowPos(remote, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
  }
  RedrawWindow(c.wave, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  RECT wr;
  GetWindowRect(c.wave, &wr);
  RECT screenRect;
  GetWindowRect(GetDesktopWindow(), &screenRect);
  const int stride = screenRect.right - screenRect.left;
  std::printf("wave_rect=%ldx%ld+%ld+%ld\n", wr.right - wr.left, wr.bottom - wr.top, wr.left, wr.top);
  constexpr int kTitleWidth = 160, kTitleHeight = 16;
  std::vector<COLORREF> face;
  std::vector<bool> shown;
  const RECT title = {wr.left + 27, wr.top + 56, wr.left + 27 + kTitleWidth, wr.top + 56 + kTitleHeight};
  ASSERT_TRUE(PumpUntil(
      [&] {
        face = CaptureWindow(GetDesktopWindow(), std::string(shots) + "\\wave-player-japanese-screen.bmp");
        if (face.size() != static_cast<size_t>(stride * (screenRect.bottom - screenRect.top))) return false;
        shown = InkOf(face, stride, title);
        return WaveTitle(c.wave) == kTagTitle && std::count(shown.begin(), shown.end(), true) > 0;
      },
      5000));
  const std::vector<bool> ownFont =
      InkOf(OwnFontRender(kTagTitle, kTitleWidth, kTitleHeight), kTitleWidth, {0, 0, kTitleWidth, kTitleHeight});
  // "Aoi – " is drawn in the strip's own face, as before; where the
  // Japanese begins the pictures part, and five different glyphs follow.
  int latin = 0;
  while (latin < kTitleWidth) {
    bool same = true;
    for (int y = 0; y < kTitleHeight; ++y) same = same && shown[y * kTitleWidth + latin] == ownFont[y * kTitleWidth + latin];
    if (!same) break;
    ++latin;
  }
  HDC screen = GetDC(nullptr);
  SIZE prefix = {};
  {
    Selection font(screen, GetStockObject(SYSTEM_FONT));
    GetTextExtentPoint32W(screen, L"Aoi \x2013 ", 6, &prefix);
  }
  ReleaseDC(nullptr, screen);
  EXPECT_GE(latin, prefix.cx) << "the Latin part matches the strip's own font up to column " << latin;
  EXPECT_LT(latin, kTitleWidth) << "the Japanese part differs from what the strip's own font draws";
  EXPECT_GE(GlyphShapes(shown, kTitleWidth, kTitleHeight, prefix.cx).size(), 5u)
      << "five different Japanese glyphs, not one box shape";
  // The sink plays the FLAC in a couple of seconds, and the short file
  // after it may have come and gone while the screen was read: its title
  // was seen at the first start, the capture shows it was heard.
  c.ExpectPlayed({}, {"wav", "flac", "wav"});

  // RECFILE into a Japanese name with an emoji, in CD quality (row 11),
  // two seconds or more; then the recording is played by a second start.
  PostMessageA(c.panel, WM_COMMAND, 1109, 0);
  HWND config = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (config = ShownWindowOf("CXConfigClass", c.processId)) != nullptr; }, 5000));
  SendDlgItemMessageA(config, 10001, LB_SETCURSEL, 11, 0);
  PostMessageA(config, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  ASSERT_TRUE(PumpUntil([&] { return !IsWindowVisible(config); }, 5000));
  Click(c.wave, kRecFile);
  ASSERT_TRUE(AnswerFileDialog(c.processId, {music + "\\" + kRecordName}));
  ASSERT_TRUE(PumpUntil([&] { return IsWindowEnabled(GetDlgItem(c.wave, kRecPlay)) != FALSE; }, 5000));
  Click(c.wave, kRecPlay);
  auto image = [&](int id) { return static_cast<int>(GetWindowLongPtrA(GetDlgItem(c.wave, id), GWLP_USERDATA)) - 193; };
  EXPECT_TRUE(PumpUntil([&] { return image(2056) * 10 + image(2057) >= 2; }, 20000)) << "the record time runs";
  Click(c.wave, kRecStop);
  ASSERT_TRUE(PumpUntil([&] { return IsWindowEnabled(GetDlgItem(c.wave, kRecFile)) &&
                                     !IsWindowEnabled(GetDlgItem(c.wave, kRecStop)); },
                        5000));
  const std::string recording = music + "\\" + kRecordName + ".wav";
  UniqueHandle file(CreateFileW(Wide(recording).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                nullptr));
  EXPECT_NE(file.get(), INVALID_HANDLE_VALUE) << "the recording is found by its UTF-16 name";
  {
    ChildProcess second("\"" + programFolder + "\\Cantorix.exe\" \"" + recording + "\"");
    EXPECT_EQ(second.Wait(20000), 0);
    c.ExpectPlayed({kRecordName}, {"recording"});
  }
  EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts()[0];

  for (const std::string& f : c.heard) std::printf("heard %s\n", f.c_str());
  std::fflush(stdout);
  if (HWND remote = ShownWindowOf("HandsetClass", handset.id())) PostMessageA(remote, WM_CLOSE, 0, 0);
  EXPECT_EQ(handset.Wait(15000), 0);
  UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, c.processId));
  PostMessageA(c.panel, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(process.get(), 15000), WAIT_OBJECT_0);
  ender.processId = 0;
}

}  // namespace
