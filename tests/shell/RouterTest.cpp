// The main panel's command router, driven by the registered command message
// on a real main panel whose player slots hold recording windows.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "shell/App.h"
#include "common/CommandCodes.h"
#include "shell/MainPanel.h"
#include "tests/shell/PanelTestSupport.h"
#include "tests/support/WinTestSupport.h"

namespace {

bool No() { return false; }

class RouterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // This machine has no CD drive or MIDI device: the device tests stand in.
    panel_ = CreateTestPanel(false);
    ASSERT_NE(panel_, nullptr);
    // Ticks are driven by hand here, so they cannot mix into what a test sees.
    KillTimer(panel_, kPanelTimerId);
    TakePlayerMessages();
  }

  void TearDown() override {
    DestroyWindow(panel_);
    PumpFor(20);
    TakePlayerMessages();
  }

  // Sends a command to the panel; returns what the players got during the
  // send (that is, what the router sent rather than posted).
  std::vector<PlayerMessage> Send(uint32_t route, uint32_t code, LPARAM lParam = 0) {
    TakePlayerMessages();
    SendMessageA(panel_, gApp.commandMessage, MakeCommand(route, code), lParam);
    return TakePlayerMessages();
  }

  // What arrived through the message queue afterwards.
  std::vector<PlayerMessage> Posted() { return PlayerMessages(); }

  HWND Window(PlayerIndex p) { return PlayerSlotOf(p).window; }
  bool Shown(PlayerIndex p) {
    return PlayerSlotOf(p).shown && (GetWindowLongA(Window(p), GWL_STYLE) & WS_VISIBLE) != 0;
  }
  SIZE PanelSize() {
    RECT r;
    GetWindowRect(panel_, &r);
    return SIZE{r.right - r.left, r.bottom - r.top};
  }
  int PlayerTop(PlayerIndex p) {
    RECT r;
    GetWindowRect(Window(p), &r);
    POINT pt{r.left, r.top};
    ScreenToClient(panel_, &pt);
    return pt.y;
  }

  HWND panel_ = nullptr;
};

TEST_F(RouterTest, GenericPlayerCommandsArePostedOnlyToShownPlayers) {
  OpenPlayer(panel_, kPlayerWave);
  EXPECT_TRUE(Send(kRouteWave, kCmdPlay, 7).empty());
  std::vector<PlayerMessage> posted = Posted();
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].window, Window(kPlayerWave));
  EXPECT_EQ(posted[0].wParam, MakeCommand(kRouteWave, kCmdPlay));
  EXPECT_EQ(posted[0].lParam, 7);

  // Never created, and created but hidden: both dropped.
  EXPECT_TRUE(Send(kRouteMidi, kCmdPlay).empty());
  ClosePlayer(panel_, kPlayerWave);
  EXPECT_TRUE(Send(kRouteWave, kCmdApply3D, 15).empty());
  EXPECT_TRUE(Posted().empty());
}

TEST_F(RouterTest, OpenCloseAndToggleActOnTheNamedPlayer) {
  Send(kRouteMidi, kCmdOpenPlayer);
  ASSERT_TRUE(Shown(kPlayerMidi));
  HWND midi = Window(kPlayerMidi);
  Send(kRouteMidi, kCmdOpenPlayer);  // already shown: nothing
  EXPECT_TRUE(Shown(kPlayerMidi));
  Send(kRouteMidi, kCmdTogglePlayer);
  EXPECT_FALSE(Shown(kPlayerMidi));
  Send(kRouteMidi, kCmdTogglePlayer);
  EXPECT_TRUE(Shown(kPlayerMidi));
  EXPECT_EQ(Window(kPlayerMidi), midi);  // created once, then only shown
  Send(kRouteMidi, kCmdClosePlayer);
  EXPECT_FALSE(Shown(kPlayerMidi));
  // The mixer is not among the players these commands name.
  Send(kRouteMixer, kCmdOpenPlayer);
  EXPECT_FALSE(PlayerSlotOf(kPlayerMixer).shown);
  EXPECT_TRUE(Posted().empty());
}

TEST_F(RouterTest, OpenAllSkipsTheMixerAndCloseAllIncludesIt) {
  OpenPlayer(panel_, kPlayerMixer);
  Send(kRouteIgnored, kCmdOpenAllPlayers);
  EXPECT_TRUE(Shown(kPlayerCd) && Shown(kPlayerWave) && Shown(kPlayerMidi) && Shown(kPlayerMixer));
  EXPECT_EQ(PanelSize().cy, 552);
  Send(0, kCmdCloseAllPlayers);
  EXPECT_FALSE(Shown(kPlayerCd) || Shown(kPlayerWave) || Shown(kPlayerMidi) || Shown(kPlayerMixer));
  EXPECT_EQ(PanelSize().cy, 61);
  Send(0, kCmdOpenAllPlayers);
  EXPECT_FALSE(Shown(kPlayerMixer));
  EXPECT_EQ(PanelSize().cy, 61 + 90 + 108 + 170);
}

TEST_F(RouterTest, MissingDevicesKeepPlayersClosed) {
  SetPlayerDeviceTest(kPlayerCd, No);
  Send(kRouteCd, kCmdOpenPlayer);
  Send(kRouteCd, kCmdTogglePlayer);
  Send(0, kCmdOpenAllPlayers);
  EXPECT_EQ(Window(kPlayerCd), nullptr);
  EXPECT_TRUE(Shown(kPlayerWave));
}

TEST_F(RouterTest, MixerRouteBecomesTheFaderStepWithItsArgument) {
  OpenPlayer(panel_, kPlayerMixer);
  ClosePlayer(panel_, kPlayerMixer);  // hidden mixers still take it
  EXPECT_TRUE(Send(kRouteMixer, 4711, kMixerStepUp).empty());
  std::vector<PlayerMessage> posted = Posted();
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].window, Window(kPlayerMixer));
  EXPECT_EQ(posted[0].wParam, MakeCommand(kRouteMixer, kCmdMixerStep));
  EXPECT_EQ(posted[0].lParam, kMixerStepUp);
}

TEST_F(RouterTest, PlaylistRouteGoesToTheFirstShownPlayer) {
  OpenPlayer(panel_, kPlayerWave);
  OpenPlayer(panel_, kPlayerMidi);
  std::vector<PlayerMessage> sent = Send(kRoutePlaylist, 1, 99);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].window, Window(kPlayerMidi));
  EXPECT_EQ(sent[0].wParam, MakeCommand(kRouteMidi, kCmdShowPlaylist));
  EXPECT_EQ(sent[0].lParam, 99);

  ClosePlayer(panel_, kPlayerWave);
  ClosePlayer(panel_, kPlayerMidi);
  sent = Send(kRoutePlaylist, 0);  // nothing shown: the CD player opens
  EXPECT_TRUE(Shown(kPlayerCd));
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].window, Window(kPlayerCd));
  EXPECT_EQ(sent[0].wParam, MakeCommand(kRouteCd, kCmdShowPlaylist));
}

TEST_F(RouterTest, CdPauseOpensTheCdPlayerAndStopOrEjectNeedsItShown) {
  EXPECT_TRUE(Send(0, kCmdCdStopOrEject).empty());
  EXPECT_EQ(Window(kPlayerCd), nullptr);
  std::vector<PlayerMessage> sent = Send(0, kCmdCdPause);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_TRUE(Shown(kPlayerCd));
  EXPECT_EQ(sent[0].wParam, MakeCommand(kRouteCd, kCmdCdPause));
  sent = Send(0, kCmdCdStopOrEject);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].wParam, MakeCommand(kRouteCd, kCmdCdStopOrEject));
  EXPECT_TRUE(Posted().empty());
}

TEST_F(RouterTest, OtherRoutesAndCodesAreIgnored) {
  OpenPlayer(panel_, kPlayerCd);
  OpenPlayer(panel_, kPlayerWave);
  OpenPlayer(panel_, kPlayerMixer);
  for (uint32_t route : {7033u, 1234u, 65535u}) EXPECT_TRUE(Send(route, kCmdPlay).empty());
  for (uint32_t code : {4000u, 1u, 5001u}) EXPECT_TRUE(Send(0, code).empty());
  EXPECT_TRUE(Posted().empty());
}

TEST_F(RouterTest, HandedFileIsSentAsClearTakePlayWhileTheAtomLives) {
  OpenPlayer(panel_, kPlayerMidi);
  ClosePlayer(panel_, kPlayerMidi);  // a hidden player still receives the file
  ATOM atom = GlobalAddAtomA("C:\\music\\Tune.MID");
  std::vector<PlayerMessage> sent = Send(0, kCmdOpenFile, atom);
  GlobalDeleteAtom(atom);
  ASSERT_EQ(sent.size(), 3u);
  for (const PlayerMessage& r : sent) EXPECT_EQ(r.window, Window(kPlayerMidi));
  EXPECT_EQ(sent[0].wParam, MakeCommand(kRouteMidi, kCmdClearList));
  EXPECT_EQ(sent[1].wParam, MakeCommand(kRouteMidi, kCmdOpenFile));
  EXPECT_EQ(sent[1].lParam, atom);
  EXPECT_EQ(sent[1].atomName, "C:\\music\\Tune.MID");
  EXPECT_EQ(sent[2].wParam, MakeCommand(kRouteMidi, kCmdPlay));
  EXPECT_FALSE(Shown(kPlayerMidi));
  EXPECT_TRUE(Posted().empty());
}

TEST_F(RouterTest, HandedFilesThatGoNowhereChangeNothing) {
  // A player never created (a start with ALLCLOSE) is opened for the file,
  // which it then receives; a stale atom is dropped.
  ATOM atom = GlobalAddAtomA("x.wav");
  const std::vector<PlayerMessage> opened = Send(0, kCmdOpenFile, atom);
  ASSERT_EQ(opened.size(), 3u);
  EXPECT_EQ(opened[0].window, Window(kPlayerWave));
  EXPECT_EQ(opened[1].atomName, "x.wav");
  EXPECT_TRUE(Shown(kPlayerWave));
  GlobalDeleteAtom(atom);
  EXPECT_TRUE(Send(0, kCmdOpenFile, atom).empty());
  EXPECT_TRUE(Send(0, kCmdOpenFile, 0).empty());

  TempFolder dir;
  OpenPlayer(panel_, kPlayerWave);
  MessageBoxWatcher watcher;
  atom = GlobalAddAtomA(dir.Write("bad.m3u", "readme.txt\r\n").c_str());
  EXPECT_TRUE(Send(0, kCmdOpenFile, atom).empty());
  GlobalDeleteAtom(atom);
  ASSERT_TRUE(watcher.WaitFor(1, 2000));
  EXPECT_EQ(watcher.Texts()[0], "File in list is not supported.");
  EXPECT_EQ(watcher.Owners()[0], panel_);
}

TEST_F(RouterTest, LayoutStacksShownPlayersInFixedOrder) {
  OpenPlayer(panel_, kPlayerWave);
  EXPECT_EQ(PanelSize().cx, 462);
  EXPECT_EQ(PanelSize().cy, 231);
  EXPECT_EQ(PlayerTop(kPlayerWave), 61);
  OpenPlayer(panel_, kPlayerCd);
  EXPECT_EQ(PlayerTop(kPlayerCd), 61);
  EXPECT_EQ(PlayerTop(kPlayerWave), 151);
  OpenPlayer(panel_, kPlayerMixer);
  OpenPlayer(panel_, kPlayerMidi);
  EXPECT_EQ(PanelSize().cy, 552);
  EXPECT_EQ(PlayerTop(kPlayerMidi), 61 + 123 + 90);
  ClosePlayer(panel_, kPlayerMixer);
  EXPECT_EQ(PanelSize().cy, 429);
  EXPECT_EQ(PlayerTop(kPlayerCd), 61);
  EXPECT_EQ(PlayerTop(kPlayerMidi), 151);
  EXPECT_EQ(PlayerTop(kPlayerWave), 259);

  // The window region is the union of the shapes: the slot between the
  // CD and MIDI modules is cut away, the tabs are not.
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(panel_, region), ERROR);
  EXPECT_TRUE(PtInRegion(region, 30, 148));   // CD module's left tab
  EXPECT_FALSE(PtInRegion(region, 200, 148)); // the slot
  EXPECT_TRUE(PtInRegion(region, 200, 140));
  EXPECT_FALSE(PtInRegion(region, 3, 58));    // beside the panel's own tab
  DeleteObject(region);
}

TEST_F(RouterTest, TimerTicksShownPlayersAndFlipsTheBlinkPhase) {
  OpenPlayer(panel_, kPlayerMixer);
  OpenPlayer(panel_, kPlayerWave);
  OpenPlayer(panel_, kPlayerCd);
  bool before = gApp.blinkPhase;
  TakePlayerMessages();
  SendMessageA(panel_, WM_TIMER, kPanelTimerId, 0);
  EXPECT_NE(gApp.blinkPhase, before);
  std::vector<PlayerMessage> ticks = TakePlayerMessages();
  ASSERT_EQ(ticks.size(), 2u);
  EXPECT_EQ(ticks[0].window, Window(kPlayerCd));
  EXPECT_EQ(ticks[1].window, Window(kPlayerWave));
  EXPECT_EQ(ticks[0].message, kMsgPanelTick);
}

// Builds the drop handle Explorer would hand over for these names.
HDROP MakeDrop(const std::vector<std::string>& names) {
  size_t chars = 1;
  for (const std::string& n : names) chars += n.size() + 1;
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + chars);
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = FALSE;
  char* p = reinterpret_cast<char*>(drop) + sizeof(DROPFILES);
  for (const std::string& n : names) {
    std::memcpy(p, n.c_str(), n.size() + 1);
    p += n.size() + 1;
  }
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

TEST_F(RouterTest, DroppedMediaFilesAreAppendedWithoutPlaying) {
  OpenPlayer(panel_, kPlayerWave);
  OpenPlayer(panel_, kPlayerMidi);
  TempFolder dir;
  std::string list = dir.Write("tunes.m3u", "a.mid\r\nb.mid\r\n");
  TakePlayerMessages();
  SendMessageA(panel_, WM_DROPFILES,
               reinterpret_cast<WPARAM>(MakeDrop({"C:\\a.WAV", "C:\\b.wav", "C:\\notes.txt",
                                                  list, "C:\\c.mp3"})),
               0);
  std::vector<PlayerMessage> sent = TakePlayerMessages();
  ASSERT_EQ(sent.size(), 4u);
  const char* expected[] = {"C:\\a.WAV", "C:\\b.wav", nullptr, "C:\\c.mp3"};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(sent[i].wParam, MakeCommand(i == 2 ? kRouteMidi : kRouteWave, kCmdOpenFile));
    EXPECT_EQ(sent[i].atomName, expected[i] != nullptr ? expected[i] : list);
    EXPECT_EQ(sent[i].window, Window(i == 2 ? kPlayerMidi : kPlayerWave));
    // The sender deletes each atom once the player has read it.
    char name[kAtomNameCapacity];
    EXPECT_EQ(GlobalGetAtomNameA(static_cast<ATOM>(sent[i].lParam), name, sizeof name), 0u);
  }
  EXPECT_TRUE(Posted().empty());
}

TEST_F(RouterTest, DroppedListThatCannotBeReadIsReportedOnceAndEndsTheDrop) {
  OpenPlayer(panel_, kPlayerWave);
  TempFolder dir;
  MessageBoxWatcher watcher;
  TakePlayerMessages();
  SendMessageA(panel_, WM_DROPFILES,
               reinterpret_cast<WPARAM>(MakeDrop({dir.Path("missing.m3u"), "C:\\a.wav"})), 0);
  PumpFor(300);
  EXPECT_EQ(watcher.Texts(), std::vector<std::string>{"Can not open this file."});
  EXPECT_TRUE(TakePlayerMessages().empty());
}

// The shell drops names in UTF-16. Dropped on the panel (or on a player,
// whose drops the panel takes), each reaches its player whole in UTF-8,
// one longer than an atom holds too; a name longer than the system opens
// is left out.
TEST_F(RouterTest, DroppedUnicodeNamesReachThePlayersInUtf8) {
  ASSERT_EQ(GetACP(), 65001u) << "the programs' code page";
  OpenPlayer(panel_, kPlayerWave);
  OpenPlayer(panel_, kPlayerMidi);
  std::string kanji;
  for (int i = 0; i < 250; ++i) kanji += "\xE9\x95\xB7";  // 長
  const std::string blanks = "C:\\My Music \xE9\x9F\xB3\xE6\xA5\xBD\\\xD0\x9C\xD1\x83\xD0\xB7\xD1\x8B\xD0\xBA"
                             "\xD0\xB0 \xE6\x97\xA5\xE6\x9C\xAC\xE3\x81\xAE\xE6\xAD\x8C \xF0\x9F\x8E\xB5.wav";
  const std::string longName = "C:\\" + kanji + ".mp3";                                 // 257 units
  const std::string tooLong = "C:\\" + kanji + "\xE9\x95\xB7\xE9\x95\xB7\xE9\x95\xB7.mid";  // 260 units
  const std::string midi = "C:\\\xF0\x9F\x8E\xB9 \xE6\xBC\x94\xE5\xA5\x8F.mid";
  std::wstring names;
  for (const std::string& n : {blanks, tooLong, longName, midi}) {
    wchar_t wide[1024];
    const int units = MultiByteToWideChar(CP_UTF8, 0, n.c_str(), -1, wide, 1024);
    ASSERT_GT(units, 0);
    names.append(wide, static_cast<size_t>(units));
  }
  names += L'\0';
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), names.data(), names.size() * sizeof(wchar_t));
  GlobalUnlock(memory);
  TakePlayerMessages();
  SendMessageA(panel_, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
  std::vector<PlayerMessage> sent = TakePlayerMessages();
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0].atomName, blanks);
  EXPECT_EQ(sent[1].atomName, longName);
  EXPECT_EQ(sent[2].atomName, midi);
  EXPECT_EQ(sent[2].window, Window(kPlayerMidi));
}

}  // namespace
