// The main panel's keys, the stacking of player windows of the real player
// heights with the union of their shapes, disc notices and the help key.
#include <gtest/gtest.h>

#include <windows.h>
#include <dbt.h>

#include <string>
#include <vector>

#include "shell/App.h"
#include "common/CommandCodes.h"
#include "shell/ConfigWindow.h"
#include "media/DiscList.h"
#include "media/MediaKind.h"
#include "shell/DiscChange.h"
#include "shell/MainPanel.h"
#include "shell/Settings.h"
#include "skin/DibButton.h"
#include "tests/shell/PanelTestSupport.h"
#include "tests/support/WinTestSupport.h"

namespace {

class MainPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    panel_ = CreateTestPanel();
    ASSERT_NE(panel_, nullptr);
    gApp.options.canAutoPlayCd = 0;
    gApp.options.canAutoPlayMp3List = 0;
  }
  void TearDown() override {
    DestroyWindow(panel_);
    PumpFor(20);
    SetCdDriveTest(nullptr);
    SetDiscListLookup(nullptr);
  }

  SIZE PanelSize() {
    RECT r;
    GetWindowRect(panel_, &r);
    return SIZE{r.right - r.left, r.bottom - r.top};
  }
  int Top(PlayerIndex p) {
    RECT r;
    GetWindowRect(PlayerSlotOf(p).window, &r);
    POINT pt{r.left, r.top};
    ScreenToClient(panel_, &pt);
    return pt.y;
  }
  bool InRegion(int x, int y) {
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    GetWindowRgn(panel_, region);
    bool in = PtInRegion(region, x, y) != 0;
    DeleteObject(region);
    return in;
  }

  HWND panel_ = nullptr;
};

TEST_F(MainPanelTest, NineKeysAtTheirPlaces) {
  const struct { int id; const char* name; int x, y, w, h; } kKeys[] = {
      {1104, "POWER", 18, 34, 40, 11}, {1105, "CD", 251, 30, 22, 22},
      {1108, "WAVE", 282, 32, 22, 22}, {1106, "MIDI", 314, 32, 22, 22},
      {1107, "MIXER", 345, 32, 22, 22}, {1109, "CONFIG", 399, 30, 22, 22},
      {1103, "HELP", 432, 31, 22, 22}, {1101, "MIN", 416, 9, 12, 11},
      {1102, "CLOSE", 430, 9, 13, 11},
  };
  for (const auto& k : kKeys) {
    HWND key = GetDlgItem(panel_, k.id);
    ASSERT_NE(key, nullptr) << k.name;
    char text[64] = {}, cls[64] = {};
    GetWindowTextA(key, text, sizeof text);
    GetClassNameA(key, cls, sizeof cls);
    EXPECT_STREQ(text, k.name);
    EXPECT_STREQ(cls, "DibButton");
    EXPECT_TRUE(IsWindowVisible(key)) << k.name;
    RECT r;
    GetWindowRect(key, &r);
    MapWindowPoints(nullptr, panel_, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, k.x) << k.name;
    EXPECT_EQ(r.top, k.y) << k.name;
    EXPECT_EQ(r.right - r.left, k.w) << k.name;
    EXPECT_EQ(r.bottom - r.top, k.h) << k.name;
    std::string up = std::string(k.name) + "U";
    EXPECT_EQ(up, DibButtonImageName(key, kImageUp));
  }
}

TEST_F(MainPanelTest, PlayerKeysToggleTheirPlayers) {
  const struct { int id; PlayerIndex player; } kKeys[] = {
      {1107, kPlayerMixer}, {1105, kPlayerCd}, {1106, kPlayerMidi}, {1108, kPlayerWave}};
  for (const auto& k : kKeys) {
    ClickButton(GetDlgItem(panel_, k.id));
    EXPECT_TRUE(PlayerSlotOf(k.player).shown) << k.id;
  }
  EXPECT_EQ(PanelSize().cy, 552);
  for (const auto& k : kKeys) {
    ClickButton(GetDlgItem(panel_, k.id));
    EXPECT_FALSE(PlayerSlotOf(k.player).shown) << k.id;
  }
  EXPECT_EQ(PanelSize().cy, 61);
}

TEST_F(MainPanelTest, StackingOrderOffsetsAndSizes) {
  OpenPlayer(panel_, kPlayerWave);
  EXPECT_EQ(PanelSize().cx, 462);
  EXPECT_EQ(PanelSize().cy, 231);
  EXPECT_EQ(Top(kPlayerWave), 61);
  OpenPlayer(panel_, kPlayerCd);
  EXPECT_EQ(Top(kPlayerCd), 61);
  EXPECT_EQ(Top(kPlayerWave), 151);
  OpenPlayer(panel_, kPlayerMidi);
  OpenPlayer(panel_, kPlayerMixer);
  const struct { PlayerIndex p; int top; } kAll[] = {
      {kPlayerMixer, 61}, {kPlayerCd, 184}, {kPlayerMidi, 274}, {kPlayerWave, 382}};
  for (const auto& c : kAll) EXPECT_EQ(Top(c.p), c.top);
  EXPECT_EQ(PanelSize().cy, 552);
  ClosePlayer(panel_, kPlayerMixer);
  for (const auto& c : kAll) {
    if (c.p != kPlayerMixer) EXPECT_EQ(Top(c.p), c.top - 123);
  }
  EXPECT_EQ(PanelSize().cx, 462);
  EXPECT_EQ(PanelSize().cy, 429);
}

TEST_F(MainPanelTest, RegionIsTheUnionOfTheShownShapes) {
  // Panel alone: its own outline only.
  EXPECT_TRUE(InRegion(100, 30));
  EXPECT_FALSE(InRegion(2, 10));    // cut corner
  EXPECT_TRUE(InRegion(10, 58));    // left tab
  EXPECT_FALSE(InRegion(200, 58));  // slot between the tabs
  OpenPlayer(panel_, kPlayerWave);
  OpenPlayer(panel_, kPlayerMidi);
  const struct { int x, y; bool in; } kPoints[] = {
      {200, 58, false},               // the panel's slot stays open
      {200, 62, true},                // the MIDI module begins at 61
      {200, 61 + 104, false},         // MIDI's own slot
      {6, 61 + 104, true},            // MIDI's left tab starts at 6
      {69, 61 + 104, false},          // and ends before 69
      {3, 169 + 166, false},          // wave's slot row, left of its tab
      {7, 169 + 5, true},             // wave body
      {10, 169 + 167, true},          // wave's left tab
      {400, 169 + 167, true},         // wave's right tab
      {458, 169 + 167, false},        // right of the right tab
      {10, 169 + 171, false},         // below everything
  };
  for (const auto& p : kPoints) EXPECT_EQ(InRegion(p.x, p.y), p.in) << p.x << "," << p.y;
}

DEV_BROADCAST_VOLUME Volume(DWORD units, WORD flags) {
  DEV_BROADCAST_VOLUME v = {};
  v.dbcv_size = sizeof v;
  v.dbcv_devicetype = DBT_DEVTYP_VOLUME;
  v.dbcv_unitmask = units;
  v.dbcv_flags = flags;
  return v;
}

bool DriveDIsCd(int drive) { return drive == 3; }
bool EveryDiscHasAList(int) { return true; }

LRESULT Notify(HWND panel, WPARAM event, DEV_BROADCAST_VOLUME v) {
  return SendMessageA(panel, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&v));
}

TEST_F(MainPanelTest, DiscArrivalAndRemoval) {
  SetCdDriveTest(DriveDIsCd);
  // Auto-play off and the CD player hidden: nothing opens.
  EXPECT_EQ(Notify(panel_, DBT_DEVICEARRIVAL, Volume(1u << 3, DBTF_MEDIA)), 1);
  EXPECT_FALSE(PlayerSlotOf(kPlayerCd).shown);
  EXPECT_TRUE(PlayerMessages().empty());

  // Not a media change, or not a CD drive: ignored.
  gApp.options.canAutoPlayCd = 1;
  Notify(panel_, DBT_DEVICEARRIVAL, Volume(1u << 3, 0));
  Notify(panel_, DBT_DEVICEARRIVAL, Volume(1u << 2, DBTF_MEDIA));
  EXPECT_FALSE(PlayerSlotOf(kPlayerCd).shown);

  // Auto-play on: the CD player opens and hears of drive D (the lowest unit).
  Notify(panel_, DBT_DEVICEARRIVAL, Volume((1u << 3) | (1u << 5), DBTF_MEDIA));
  EXPECT_TRUE(PlayerSlotOf(kPlayerCd).shown);
  std::vector<PlayerMessage> got = PlayerMessages();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].window, PlayerSlotOf(kPlayerCd).window);
  EXPECT_EQ(got[0].message, static_cast<UINT>(kMsgDiscChange));
  EXPECT_EQ(got[0].wParam, 1u);
  EXPECT_EQ(got[0].lParam, 3);

  // A stored list for the disc opens the wave player too.
  gApp.options.canAutoPlayMp3List = 1;
  SetDiscListLookup(EveryDiscHasAList);
  Notify(panel_, DBT_DEVICEARRIVAL, Volume(1u << 3, DBTF_MEDIA));
  EXPECT_TRUE(PlayerSlotOf(kPlayerWave).shown);
  got = PlayerMessages();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[1].window, PlayerSlotOf(kPlayerWave).window);
  EXPECT_EQ(got[1].wParam, 1u);

  // Removal: the CD player (posted) and the wave player (sent) hear of it.
  Notify(panel_, DBT_DEVICEREMOVECOMPLETE, Volume(1u << 3, DBTF_MEDIA));
  got = PlayerMessages();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].window, PlayerSlotOf(kPlayerWave).window);  // the send arrives first
  EXPECT_EQ(got[1].window, PlayerSlotOf(kPlayerCd).window);
  for (const PlayerMessage& m : got) EXPECT_EQ(m.wParam, 0u);

  // Other notices are ignored.
  EXPECT_EQ(Notify(panel_, DBT_DEVICEQUERYREMOVE, Volume(1u << 3, DBTF_MEDIA)), 1);
  EXPECT_TRUE(PlayerMessages().empty());
}

// The test prefix presents a folder as CD-ROM drive X: with a fixed volume
// serial; the database file is the real one in the user's application data.
TEST_F(MainPanelTest, ARealDiscWithAStoredListOpensTheWavePlayer) {
  const std::string ini = UserDiscListFile();
  ASSERT_FALSE(ini.empty());
  auto flush = [&] { WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini.c_str()); };
  flush();
  ASSERT_EQ(GetFileAttributesA(ini.c_str()), INVALID_FILE_ATTRIBUTES)
      << "another test left a disc database behind";
  const int driveX = 'X' - 'A';
  ASSERT_EQ(GetDriveTypeA("X:\\"), static_cast<UINT>(DRIVE_CDROM));
  gApp.options.canAutoPlayMp3List = 1;

  // No record for the disc: only the CD side reacts.
  Notify(panel_, DBT_DEVICEARRIVAL, Volume(1u << driveX, DBTF_MEDIA));
  EXPECT_FALSE(PlayerSlotOf(kPlayerWave).shown);

  TempFolder dir;
  std::string list = dir.Write("disc.m3u", "a.mp3\r\n");
  ASSERT_TRUE(AddDiscList(list.c_str(), VolumeSerial("X:\\"), kWavePlayerKinds));
  PlayerMessages();
  Notify(panel_, DBT_DEVICEARRIVAL, Volume(1u << driveX, DBTF_MEDIA));
  EXPECT_TRUE(PlayerSlotOf(kPlayerWave).shown);
  std::vector<PlayerMessage> got = PlayerMessages();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].window, PlayerSlotOf(kPlayerWave).window);
  EXPECT_EQ(got[0].message, static_cast<UINT>(kMsgDiscChange));
  EXPECT_EQ(got[0].wParam, 1u);
  EXPECT_EQ(got[0].lParam, driveX);

  // The list file is gone: the record no longer counts.
  ClosePlayer(panel_, kPlayerWave);
  DeleteFileA(list.c_str());
  Notify(panel_, DBT_DEVICEARRIVAL, Volume(1u << driveX, DBTF_MEDIA));
  EXPECT_FALSE(PlayerSlotOf(kPlayerWave).shown);
  flush();
  DeleteFileA(ini.c_str());
}

TEST_F(MainPanelTest, ConfigKeyOpensTheConfigurationWindowModally) {
  ClickButton(GetDlgItem(panel_, 1109));
  HWND config = ConfigWindowHandle();
  ASSERT_NE(config, nullptr);
  EXPECT_TRUE(IsWindowVisible(config));
  EXPECT_FALSE(IsWindowEnabled(panel_));
  EXPECT_EQ(GetWindow(config, GW_OWNER), panel_);
  char title[64] = {};
  GetWindowTextA(config, title, sizeof title);
  EXPECT_STREQ(title, "Record Format Configuration");
  RECT r;
  GetWindowRect(config, &r);
  EXPECT_EQ(r.right - r.left, 347);
  EXPECT_EQ(r.bottom - r.top, 214);
  EXPECT_EQ(r.left, GetSystemMetrics(SM_CXSCREEN) / 2 - 173);
  EXPECT_EQ(r.top, GetSystemMetrics(SM_CYSCREEN) / 2 - 107);
  SendMessageA(config, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindowVisible(config));
  EXPECT_TRUE(IsWindowEnabled(panel_));
  // Opening again shows the same window.
  ClickButton(GetDlgItem(panel_, 1109));
  EXPECT_EQ(ConfigWindowHandle(), config);
  SendMessageA(config, WM_CLOSE, 0, 0);
}

// HELP looks for the help file in the folder the settings name, then for
// the compiled guide and the HTML guide there and beside the program, and
// goes on when a viewer does not open; the opener stands in for the viewers
// so no browser starts.
struct HelpOpened {
  std::vector<std::string> paths;
  std::vector<HelpDocument> documents;
  bool viewersWork = true;
} gHelpOpened;

bool RecordHelp(HWND, const char* path, HelpDocument document) {
  gHelpOpened.paths.push_back(path);
  gHelpOpened.documents.push_back(document);
  return gHelpOpened.viewersWork;
}

void SetApplicationPath(const std::string& folder) {
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
  RegSetValueExA(key, "Application Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                 static_cast<DWORD>(folder.size() + 1));
  RegCloseKey(key);
}

struct RestoreHelp {
  std::string path;
  ~RestoreHelp() {
    SetApplicationPath(path);
    SetHelpOpener(nullptr);
  }
};

std::string SavedApplicationPath() {
  char saved[MAX_PATH] = "";
  ReadSettingText("Application Path", saved, sizeof saved);
  return saved;
}

TEST_F(MainPanelTest, HelpOpensTheHelpFileElseTheCompiledGuideElseTheGuide) {
  const RestoreHelp restore{SavedApplicationPath()};
  ASSERT_FALSE(restore.path.empty());
  SetHelpOpener(RecordHelp);
  gHelpOpened = {};
  MessageBoxWatcher boxes;
  auto press = [&] {
    ClickButton(GetDlgItem(panel_, 1103));
    PumpFor(100);
  };

  TempFolder installed;
  SetApplicationPath(installed.path());
  const std::string own = ProgramFolder() + "\\";
  // Nothing in the settings' folder: the compiled guide the build put beside the program.
  press();
  installed.Write(kGuideFileName, "<html></html>");
  installed.Write(kCompiledHelpFileName, "ITSF");
  press();
  installed.Write("Cantorix.hlp", "?_");
  press();
  const std::vector<std::string> opened = {own + kCompiledHelpFileName, installed.Path(kCompiledHelpFileName),
                                           installed.Path("Cantorix.hlp")};
  EXPECT_EQ(gHelpOpened.paths, opened);
  const std::vector<HelpDocument> kinds = {HelpDocument::kCompiledHelp, HelpDocument::kCompiledHelp,
                                           HelpDocument::kHelpFile};
  EXPECT_EQ(gHelpOpened.documents, kinds);

  // No viewer opens anything: every document is tried in turn, then a box says so.
  gHelpOpened = {};
  gHelpOpened.viewersWork = false;
  press();
  ASSERT_TRUE(boxes.WaitFor(1, 5000));
  const std::vector<std::string> tried = {installed.Path("Cantorix.hlp"), installed.Path(kCompiledHelpFileName),
                                          own + kCompiledHelpFileName, installed.Path(kGuideFileName),
                                          own + kGuideFileName};
  EXPECT_EQ(gHelpOpened.paths, tried);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{kHelpFailedText});
  EXPECT_EQ(boxes.Owners(), std::vector<HWND>{panel_});
  EXPECT_TRUE(IsWindow(panel_));
}

// The real viewer: the compiled guide the build put beside the program
// opens in the system's HTML help viewer, a window of this process.
TEST_F(MainPanelTest, HelpShowsTheCompiledGuideInTheHelpViewer) {
  const RestoreHelp restore{SavedApplicationPath()};
  TempFolder empty;
  SetApplicationPath(empty.path());
  SetHelpOpener(nullptr);
  ASSERT_NE(GetFileAttributesA((ProgramFolder() + "\\" + kCompiledHelpFileName).c_str()), INVALID_FILE_ATTRIBUTES);
  MessageBoxWatcher boxes;
  auto viewer = [] {
    for (HWND w : FindTopLevelWindows("HH Parent")) {
      DWORD process = 0;
      GetWindowThreadProcessId(w, &process);
      if (process == GetCurrentProcessId() && IsWindowVisible(w)) return w;
    }
    return static_cast<HWND>(nullptr);
  };
  ASSERT_EQ(viewer(), nullptr);
  ClickButton(GetDlgItem(panel_, 1103));
  ASSERT_TRUE(PumpUntil([&] { return viewer() != nullptr; }, 20000)) << "no help viewer window";
  char title[128] = "";
  GetWindowTextA(viewer(), title, sizeof title);
  EXPECT_NE(std::string(title).find("Cantorix"), std::string::npos) << title;
  EXPECT_TRUE(boxes.Texts().empty());
  CloseHelpWindows();
  EXPECT_TRUE(PumpUntil([&] { return viewer() == nullptr; }, 5000));
}

}  // namespace
