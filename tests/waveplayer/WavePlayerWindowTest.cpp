// The real wave player window inside a real main panel: its controls, the
// clicks and commands it turns into engine operations, its displays, and a
// picture of it playing saved to build/screenshots/ for review.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <windows.h>
#include <shlobj.h>

#include "media/DiscList.h"
#include "media/PlayList.h"
#include "media/PlayListWindow.h"
#include "shell/App.h"
#include "common/CommandCodes.h"
#include "shell/MainPanel.h"
#include "skin/DibButton.h"
#include "skin/SkinGeometry.h"
#include "common/Win32Handles.h"
#include "skin/SkinControls.h"
#include "skin/SkinPalette.h"
#include "tests/audio/AudioTestFiles.h"
#include "tests/support/ScreenCapture.h"
#include "tests/support/WinTestSupport.h"
#include "waveplayer/WavePlayerEngine.h"
#include "waveplayer/WavePlayerLayout.h"
#include "waveplayer/WavePlayerWindow.h"

namespace {

HWND CreateWaveOutPlayer(const PlayerHost& host, HWND panel) {
  return CreateWavePlayerWindow(host, panel, false);
}
bool Yes() { return true; }

// The real wave player module with wave output instead of DirectSound.
PlayerModule WaveOutModule() {
  PlayerModule module = WavePlayerModule();
  module.create = CreateWaveOutPlayer;
  return module;
}

// Receives the status replies a remote would get.
struct ReplyWindow {
  static std::vector<WPARAM> replies;
  static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == kMsgStatusReply) {
      replies.push_back(wp);
      return 0;
    }
    return DefWindowProcA(w, m, wp, lp);
  }
};
std::vector<WPARAM> ReplyWindow::replies;

void PrepareClasses() {
  static bool prepared = false;
  if (prepared) return;
  prepared = true;
  gApp.instance = GetModuleHandleA(nullptr);
  gApp.commandMessage = RegisterWindowMessageA(kCommandMessageName);
  RegisterMainPanelClass(gApp.instance);
  RegisterDibButton(gApp.instance, MAKEINTRESOURCEA(kButtonCursor));
  RegisterColorText(gApp.instance);
  SetSkinPalette(BuildSkinPalette(gApp.instance, MAKEINTRESOURCEA(kMainPanelFace)));
  InstallPlayListWindow(gApp.instance, nullptr);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = ReplyWindow::Proc;
  wc.hInstance = gApp.instance;
  wc.lpszClassName = "CXWaveTestReply";
  RegisterClassA(&wc);
}

std::string WriteWav(TempFolder& folder, const std::string& name, double seconds, uint32_t seed) {
  return folder.Write(name, SimpleWav(8000, 1, 8, TestPcm(static_cast<uint32_t>(8000 * seconds), seed)));
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PrepareClasses();
    for (int i = 0; i < kPlayerCount; ++i) SetPlayerDeviceTest(static_cast<PlayerIndex>(i), Yes);
    static const PlayerModule waveOut = WaveOutModule();
    RegisterPlayerModule(kPlayerWave, &waveOut);
    panel_ = CreateMainPanel(gApp.instance);
    ASSERT_NE(panel_, nullptr);
    gApp.mainPanel = panel_;
    SetWindowPos(panel_, HWND_TOPMOST, 20, 20, 0, 0, SWP_NOSIZE);
    ShowWindow(panel_, SW_SHOWNA);
    OpenPlayer(panel_, kPlayerWave);
    wave_ = PlayerSlotOf(kPlayerWave).window;
    ASSERT_NE(wave_, nullptr);
    engine_ = WavePlayerEngineOf(wave_);
    ASSERT_NE(engine_, nullptr);
    reply_ = CreateWindowExA(0, "CXWaveTestReply", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, gApp.instance, nullptr);
    ReplyWindow::replies.clear();
  }
  void TearDown() override {
    DestroyWindow(reply_);
    DestroyWindow(panel_);
    PumpFor(20);
  }
  HWND Item(int id) const { return GetDlgItem(wave_, id); }
  int Image(int id) const { return PictureImageNumber(Item(id)); }
  // The way the main panel's router passes a remote's command on: posted.
  void Command(uint16_t code, LPARAM lParam = 0) {
    SendMessageA(panel_, gApp.commandMessage, MakeCommand(kRouteWave, code), lParam);
    PumpFor(40);
  }
  void AddFile(const std::string& path) {
    ATOM atom = GlobalAddAtomA(path.c_str());
    SendMessageA(wave_, gApp.commandMessage, MakeCommand(kRouteWave, kCmdOpenFile), atom);
    GlobalDeleteAtom(atom);
  }
  uint32_t Status() {
    ReplyWindow::replies.clear();
    Command(kCmdStatusQuery, reinterpret_cast<LPARAM>(reply_));
    PumpUntil([] { return !ReplyWindow::replies.empty(); }, 2000);
    return ReplyWindow::replies.empty() ? 0xFFFFFFFFu : static_cast<uint32_t>(ReplyWindow::replies[0]);
  }
  void Click(int id) {
    HWND control = Item(id);
    SendMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageA(control, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    PumpFor(60);
  }
  int ShownDigits(int firstId) const { return (Image(firstId) - kLedDigit0) * 10 + Image(firstId + 1) - kLedDigit0; }

  TempFolder folder_;
  HWND panel_ = nullptr;
  HWND wave_ = nullptr;
  HWND reply_ = nullptr;
  WavePlayerEngine* engine_ = nullptr;
};

TEST(TwoDigitDisplays, ValuesAboveNinetyNineStopAtNinetyNine) {
  const long values[][2] = {{0, 0}, {7, 7}, {59, 59}, {99, 99}, {100, 99}, {612, 99}, {-3, 0}};
  for (const auto& v : values) EXPECT_EQ(TwoDigitValue(v[0]), v[1]) << v[0];
}

TEST_F(WindowTest, CreatedWithItsControlsUnderThePanel) {
  char text[64] = {};
  GetClassNameA(wave_, text, sizeof text);
  EXPECT_STREQ(text, "CXWavePlayerClass");
  GetWindowTextA(wave_, text, sizeof text);
  EXPECT_STREQ(text, "Cantorix CDPlayer");
  RECT r;
  GetWindowRect(wave_, &r);
  RECT p;
  GetWindowRect(panel_, &p);
  EXPECT_EQ(r.right - r.left, 462);
  EXPECT_EQ(r.bottom - r.top, 170);
  EXPECT_EQ(r.top - p.top, 61);
  EXPECT_EQ(p.bottom - p.top, 231);
  EXPECT_EQ(GetWindowLongA(wave_, GWL_STYLE) & (WS_CHILD | WS_POPUP), WS_CHILD);

  for (const WaveButtonPlace& b : kWaveButtons) {
    HWND button = Item(b.id);
    ASSERT_NE(button, nullptr) << b.name;
    GetWindowTextA(button, text, sizeof text);
    EXPECT_STREQ(text, b.name);
    RECT br;
    GetWindowRect(button, &br);
    EXPECT_EQ(br.left - r.left, b.x) << b.name;
    EXPECT_EQ(br.top - r.top, b.y) << b.name;
    // RECFILE too: this machine has a capture device, so a recorder is set up.
    const bool enabled = b.id == kWavePlaylist || b.id == kWaveRecordFile;
    EXPECT_EQ(IsWindowEnabled(button) != FALSE, enabled) << b.name;
  }
  for (int k = 1; k <= 20; ++k) {
    HWND button = Item(2009 + k);
    ASSERT_NE(button, nullptr);
    EXPECT_FALSE(IsWindowVisible(button));
    GetWindowTextA(button, text, sizeof text);
    EXPECT_EQ(std::string(text), std::to_string(k));
  }
  EXPECT_FALSE(IsWindowVisible(Item(kWaveNextPage)));
  EXPECT_FALSE(IsWindowVisible(Item(kWavePreviousPage)));
  GetWindowTextA(Item(kWaveStraightLamp), text, sizeof text);
  EXPECT_STREQ(text, "OneTime");
  EXPECT_EQ(Image(kWaveStraightLamp), kOnceLampLit);
  EXPECT_EQ(Image(kWaveRandomLamp), kRandomLampDark);
  EXPECT_EQ(Image(kWaveLoopLamp), kLoopLampDark);
  for (int id = 2032; id <= 2037; ++id) EXPECT_EQ(Image(id), kLedDigit0);
  GetClassNameA(Item(kWaveTitle), text, sizeof text);
  EXPECT_STREQ(text, "ColorTextClass");
  // Only the wave player is shown, and nothing can be played yet.
  EXPECT_EQ(Status(), kStatusPlaylist | kStatusWaveShown);
}

TEST_F(WindowTest, ButtonsAndStatusFollowThePlayer) {
  AddFile(WriteWav(folder_, "first.wav", 20, 1));
  AddFile(WriteWav(folder_, "second.wav", 20, 2));
  const uint32_t stopped = kStatusPlaylist | kStatusPlay | kStatusTrackForward | kStatusTrackBack | kStatusWaveShown;
  EXPECT_EQ(Status(), stopped);
  EXPECT_TRUE(IsWindowVisible(Item(2010)));
  EXPECT_EQ(Image(2010), ToComeImage(1));
  EXPECT_FALSE(IsWindowVisible(Item(2012)));

  Click(kWavePlay);
  EXPECT_TRUE(engine_->outputPlaying());
  const uint32_t playing = kStatusPlaylist | kStatusStop | kStatusPause | kStatusSkipForward |
                           kStatusSkipBack | kStatusTrackForward | kStatusTrackBack | kStatusWaveShown;
  EXPECT_EQ(Status(), playing);
  char title[64] = {};
  GetWindowTextA(Item(kWaveTitle), title, sizeof title);
  EXPECT_STREQ(title, "first");
  EXPECT_FALSE(IsWindowEnabled(Item(kWavePlay)));

  Click(kWavePause);
  EXPECT_EQ(Status(), playing | kStatusPlay);
  Click(kWaveTrackForward);  // wave output: the pause kept "playing"
  GetWindowTextA(Item(kWaveTitle), title, sizeof title);
  EXPECT_STREQ(title, "second");
  EXPECT_EQ(engine_->list()->CurrentEntryNumber(), 2);
  EXPECT_EQ(engine_->trackState(1), kTrackPlayed);
  EXPECT_EQ(Image(2010), PlayedImage(1));

  Click(kWaveStop);
  EXPECT_EQ(Status(), stopped);
  GetWindowTextA(Item(kWaveTitle), title, sizeof title);
  EXPECT_STREQ(title, "");
}

// The user's way to a list: PLAYLIST, ADD two files, OK, PLAY.
std::vector<std::string> gAddAnswers;
BOOL WINAPI AnswerAdd(OPENFILENAMEA* dialog) {
  if (gAddAnswers.empty()) return FALSE;
  lstrcpynA(dialog->lpstrFile, gAddAnswers.front().c_str(), dialog->nMaxFile);
  gAddAnswers.erase(gAddAnswers.begin());
  return TRUE;
}

TEST_F(WindowTest, FilesAddedInThePlaylistWindowPlayInOrder) {
  gAddAnswers = {WriteWav(folder_, "first.wav", 1, 1), WriteWav(folder_, "second.wav", 1, 2)};
  SetPlayListFileDialogs(AnswerAdd, nullptr);
  Click(kWavePlaylist);
  HWND window = engine_->list()->ListWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_FALSE(IsWindowEnabled(panel_)) << "the panel waits for the playlist window";
  auto key = [&](const char* name) { return FindWindowExA(window, nullptr, kDibButtonClass, name); };
  for (const char* name : {"ADD", "ADD", "OKSMALL"}) {
    SendMessageA(key(name), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    SendMessageA(key(name), WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    PumpFor(60);
  }
  SetPlayListFileDialogs(nullptr, nullptr);
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_TRUE(IsWindowEnabled(panel_));
  ASSERT_EQ(engine_->list()->Count(), 2);
  EXPECT_TRUE(IsWindowVisible(Item(2011)));

  Click(kWavePlay);
  char title[64] = {};
  GetWindowTextA(Item(kWaveTitle), title, sizeof title);
  EXPECT_STREQ(title, "first");
  EXPECT_TRUE(PumpUntil([&] {
    GetWindowTextA(Item(kWaveTitle), title, sizeof title);
    return std::strcmp(title, "second") == 0;
  }, 10000));
  EXPECT_EQ(engine_->list()->CurrentEntryNumber(), 2);
  Command(kCmdStop);
}

TEST_F(WindowTest, TickShowsTheTimeAndBlinksTheCurrentEntry) {
  AddFile(WriteWav(folder_, "one.wav", 20, 1));
  AddFile(WriteWav(folder_, "two.wav", 20, 2));
  AddFile(WriteWav(folder_, "three.wav", 20, 3));
  Command(kCmdPlayEntry, 3);
  ASSERT_TRUE(engine_->outputPlaying());
  // SKIPF: ten seconds on from what is heard (the output's read-ahead does
  // not count), and the time shown is what is heard from there.
  Command(kCmdSkipForward);
  gApp.blinkPhase = true;
  SendMessageA(wave_, kMsgPanelTick, 0, 0);
  EXPECT_EQ(ShownDigits(2032), 3);
  const int seconds = ShownDigits(2034) * 60 + ShownDigits(2036);
  EXPECT_GE(seconds, 10);
  EXPECT_LE(seconds, 12);
  EXPECT_LT(engine_->HeardMs(), engine_->source()->PositionMs());
  EXPECT_EQ(Image(2012), ToComeImage(3));
  gApp.blinkPhase = false;
  SendMessageA(wave_, kMsgPanelTick, 0, 0);
  EXPECT_EQ(Image(2012), PlayedImage(3));
  EXPECT_EQ(Image(2010), PlayedImage(1));
  EXPECT_EQ(Image(2011), PlayedImage(2));
  Command(kCmdStop);
  EXPECT_EQ(ShownDigits(2032), 0);
  EXPECT_EQ(ShownDigits(2034), 0);
  EXPECT_EQ(ShownDigits(2036), 0);
  EXPECT_EQ(Image(2012), ToComeImage(3));
}

TEST_F(WindowTest, PagesLampsAndTrackButtons) {
  // Long enough that entry 23 is still playing when it is checked, at the
  // file sink's speed on a loaded machine.
  for (int i = 1; i <= 25; ++i) AddFile(WriteWav(folder_, "e" + std::to_string(i) + ".wav", 4, i));
  PumpFor(20);
  EXPECT_TRUE(IsWindowVisible(Item(kWaveNextPage)));
  EXPECT_TRUE(IsWindowVisible(Item(kWavePreviousPage)));
  Click(kWaveNextPage);
  EXPECT_EQ(engine_->page(), 20);
  for (int k = 1; k <= 5; ++k) {
    EXPECT_TRUE(IsWindowVisible(Item(2009 + k))) << k;
    EXPECT_EQ(Image(2009 + k), ToComeImage(20 + k)) << k;
  }
  for (int k = 6; k <= 20; ++k) EXPECT_FALSE(IsWindowVisible(Item(2009 + k))) << k;
  Click(kWaveNextPage);  // 40 is not below 25
  EXPECT_EQ(engine_->page(), 20);

  // Button 7 of page 20 names entry 27, which the engine ignores.
  Click(2016);
  EXPECT_FALSE(engine_->outputOpen());
  Click(kWavePreviousPage);
  EXPECT_EQ(engine_->page(), 0);
  EXPECT_EQ(Image(2010), ToComeImage(1));

  // Entry 23 from the remote's keypad: the page follows it.
  Command(kCmdPlayEntry, 23);
  EXPECT_EQ(engine_->list()->CurrentEntryNumber(), 23);
  EXPECT_EQ(engine_->page(), 20);
  EXPECT_TRUE(IsWindowVisible(Item(2012)));
  Command(kCmdStop);

  Click(kWaveLoopLamp);
  EXPECT_TRUE(engine_->list()->IsLoop());
  EXPECT_EQ(Image(kWaveLoopLamp), kLoopLampLit);
  Click(kWaveLoopLamp);
  EXPECT_FALSE(engine_->list()->IsLoop());
  EXPECT_EQ(Image(kWaveLoopLamp), kLoopLampDark);

  Click(kWaveRandomLamp);
  EXPECT_TRUE(engine_->list()->IsShuffled());
  EXPECT_EQ(Image(kWaveRandomLamp), kRandomLampLit);
  EXPECT_EQ(Image(kWaveStraightLamp), kOnceLampDark);
  Command(kCmdRandom);
  EXPECT_FALSE(engine_->list()->IsShuffled());
  EXPECT_EQ(Image(kWaveRandomLamp), kRandomLampDark);
  EXPECT_EQ(Image(kWaveStraightLamp), kOnceLampLit);

  // Command 5012 with 0, as the remote's "NUM0" sends it, selects nothing.
  Command(kCmdPlayEntry, 0);
  EXPECT_FALSE(engine_->outputOpen());
}

TEST_F(WindowTest, HidingThePlayerStopsIt) {
  AddFile(WriteWav(folder_, "a.wav", 20, 1));
  Command(kCmdPlay);
  ASSERT_TRUE(engine_->outputPlaying());
  Command(kCmdTogglePlayer);  // route 2006, 1020: the panel hides the wave player
  EXPECT_FALSE(PlayerSlotOf(kPlayerWave).shown);
  EXPECT_FALSE(engine_->outputOpen());
  // Commands for a hidden player are dropped by the panel.
  Command(kCmdPlay);
  EXPECT_FALSE(engine_->outputOpen());
}

// The "unsupported format" box runs its own message loop. Closing the panel
// from there must not pull the engine away under the operation that showed
// the box, and hiding the player from there must still stop it.
TEST_F(WindowTest, ClosingThePanelWhileAnErrorBoxIsUpEndsThatOperation) {
  AddFile(folder_.Write("bad1.wav", std::string("not a wave file")));
  AddFile(folder_.Write("bad2.wav", std::string("nor this")));
  AddFile(WriteWav(folder_, "good.wav", 20, 1));
  MessageBoxWatcher boxes;
  HWND panel = panel_;
  boxes.BeforeOk([panel](HWND) { PostMessageA(panel, WM_CLOSE, 0, 0); });
  Command(kCmdPlay);
  ASSERT_TRUE(boxes.WaitFor(1, 5000));
  PumpFor(300);
  EXPECT_FALSE(IsWindow(panel));
  // The operation ended with the window: no box for the second bad file.
  EXPECT_EQ(boxes.Texts().size(), 1u);
}

TEST_F(WindowTest, HidingThePlayerWhileAnErrorBoxIsUpStopsItWhenTheBoxCloses) {
  AddFile(folder_.Write("bad.wav", std::string("not a wave file")));
  AddFile(WriteWav(folder_, "good.wav", 20, 1));
  MessageBoxWatcher boxes;
  HWND panel = panel_;
  const UINT message = gApp.commandMessage;
  boxes.BeforeOk([panel, message](HWND) {
    PostMessageA(panel, message, MakeCommand(kRouteWave, kCmdTogglePlayer), 0);
  });
  Command(kCmdPlay);
  ASSERT_TRUE(boxes.WaitFor(1, 5000));
  PumpFor(200);
  EXPECT_FALSE(PlayerSlotOf(kPlayerWave).shown);
  EXPECT_FALSE(engine_->outputOpen());
  EXPECT_EQ(engine_->buttons(), ButtonSet::kStopped);
}

// The playlist window's OK arrives while an error box is up: the edited
// list is taken over once the box has closed, the list window hides and
// the panel is enabled again.
TEST_F(WindowTest, ListEditedWhileAnErrorBoxIsUpIsTakenOverAfterIt) {
  AddFile(folder_.Write("bad.wav", std::string("not a wave file")));
  Click(kWavePlaylist);
  HWND listWindow = engine_->list()->ListWindow();
  ASSERT_NE(listWindow, nullptr);
  ASSERT_TRUE(IsWindowVisible(listWindow));
  ASSERT_FALSE(IsWindowEnabled(panel_));
  MessageBoxWatcher boxes;
  HWND wave = wave_;
  boxes.BeforeOk([wave](HWND) { PostMessageA(wave, kMsgListEdited, 0, 0); });
  Command(kCmdPlay);
  ASSERT_TRUE(boxes.WaitFor(1, 5000));
  EXPECT_TRUE(PumpUntil([&] { return !IsWindowVisible(listWindow) && IsWindowEnabled(panel_); }, 5000));
}

// A second start of the program hands its file over while the player is
// closing its output (the UI thread looks at its queue then): the hand-off
// must wait for the close, then replace the list and play, with the new
// source still there for the output that reads it.
TEST_F(WindowTest, HandOffQueuedWhileClosingIsServedAfterTheClose) {
  AddFile(WriteWav(folder_, "old.wav", 20, 1));
  Command(kCmdPlay);
  ASSERT_TRUE(engine_->outputPlaying());
  const std::string handed = WriteWav(folder_, "handed.wav", 20, 2);
  const ATOM atom = GlobalAddAtomA(handed.c_str());
  // Queued as another thread's send, as another process's would be; it is
  // in the queue before the stop below starts closing.
  HWND panel = panel_;
  const UINT message = gApp.commandMessage;
  std::thread([panel, message, atom] {
    SendNotifyMessageA(panel, message, MakeCommand(kRouteMainPanel, kCmdOpenFile), atom);
  }).join();
  SendMessageA(wave_, gApp.commandMessage, MakeCommand(kRouteWave, kCmdStop), 0);
  // Wine's wave output may itself take in sent messages while it closes;
  // then the hand-off is served right after the stop, still inside this
  // send. Either way an open output has its source.
  EXPECT_TRUE(!engine_->outputOpen() || engine_->source() != nullptr);
  EXPECT_TRUE(PumpUntil([&] { return engine_->outputPlaying(); }, 5000));
  ASSERT_NE(engine_->source(), nullptr);
  EXPECT_EQ(engine_->list()->Count(), 1);
  EXPECT_EQ(std::string(engine_->list()->CurrentPath()), handed);
  GlobalDeleteAtom(atom);
}

// While the error box is up a hand-off (clear, add, play) arrives: it is
// served once the box has closed, in its order, not dropped.
TEST_F(WindowTest, HandOffWhileAnErrorBoxIsUpIsServedAfterIt) {
  AddFile(folder_.Write("bad.wav", std::string("not a wave file")));
  AddFile(WriteWav(folder_, "good.wav", 20, 1));
  const std::string handed = WriteWav(folder_, "handed.wav", 20, 2);
  MessageBoxWatcher boxes;
  HWND panel = panel_;
  const UINT message = gApp.commandMessage;
  boxes.BeforeOk([panel, message, handed](HWND) {
    const ATOM atom = GlobalAddAtomA(handed.c_str());
    SendMessageA(panel, message, MakeCommand(kRouteMainPanel, kCmdOpenFile), atom);
    GlobalDeleteAtom(atom);
  });
  PostMessageA(wave_, gApp.commandMessage, MakeCommand(kRouteWave, kCmdPlay), 0);
  ASSERT_TRUE(boxes.WaitFor(1, 5000));
  EXPECT_TRUE(PumpUntil([&] { return engine_->list()->Count() == 1 && engine_->outputPlaying(); }, 5000));
  EXPECT_EQ(std::string(engine_->list()->CurrentPath()), handed);
  EXPECT_EQ(boxes.Texts().size(), 1u);
}

// Takes the next end notice out of the player's queue before it is served.
bool TakeEndNotice(HWND wave, MSG* notice, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (!PeekMessageA(notice, wave, kEndOfStreamMessage, kEndOfStreamMessage, PM_REMOVE)) {
    const DWORD spent = GetTickCount() - start;
    if (spent >= timeoutMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs - spent, QS_POSTMESSAGE);
  }
  return true;
}

// The end notice of a file that is no longer loaded arrives late, after
// the next file has started: it must not end that one.
TEST_F(WindowTest, ALateEndNoticeOfTheLastFileDoesNotEndTheNext) {
  AddFile(WriteWav(folder_, "short.wav", 0.3, 1));
  AddFile(WriteWav(folder_, "long.wav", 20, 2));
  SendMessageA(wave_, gApp.commandMessage, MakeCommand(kRouteWave, kCmdPlay), 0);
  ASSERT_TRUE(engine_->outputPlaying());
  MSG stale = {};
  ASSERT_TRUE(TakeEndNotice(wave_, &stale, 10000));
  SendMessageA(wave_, gApp.commandMessage, MakeCommand(kRouteWave, kCmdNext), 0);
  ASSERT_TRUE(engine_->outputPlaying());
  ASSERT_EQ(engine_->list()->CurrentEntryNumber(), 2);
  DispatchMessageA(&stale);
  EXPECT_TRUE(engine_->outputPlaying());
  EXPECT_EQ(engine_->list()->CurrentEntryNumber(), 2);
  // Its own end still moves on: the list ends and the player stops.
  MSG own = {};
  SendMessageA(wave_, gApp.commandMessage, MakeCommand(kRouteWave, kCmdSkipForward), 0);
  SendMessageA(wave_, gApp.commandMessage, MakeCommand(kRouteWave, kCmdSkipForward), 0);
  ASSERT_TRUE(TakeEndNotice(wave_, &own, 10000));
  DispatchMessageA(&own);
  EXPECT_FALSE(engine_->outputOpen());
  EXPECT_EQ(engine_->buttons(), ButtonSet::kStopped);
}

// Files dropped on the panel as the shell drops them.
void DropFiles(HWND panel, const std::vector<std::string>& files) {
  std::string names;
  for (const std::string& f : files) names += f + '\0';
  names += '\0';
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size());
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), names.data(), names.size());
  GlobalUnlock(memory);
  SendMessageA(panel, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

TEST_F(WindowTest, DroppedFilesAreAppendedWithoutPlaying) {
  DropFiles(panel_, {WriteWav(folder_, "d1.wav", 5, 1), WriteWav(folder_, "d2.WAV", 5, 2),
                     WriteWav(folder_, "d3.wav", 5, 3)});
  PumpFor(50);
  EXPECT_EQ(engine_->list()->Count(), 3);
  EXPECT_FALSE(engine_->outputOpen());
  for (int k = 1; k <= 3; ++k) EXPECT_TRUE(IsWindowVisible(Item(2009 + k)));
  EXPECT_FALSE(IsWindowVisible(Item(2013)));
  EXPECT_TRUE(IsWindowEnabled(Item(kWavePlay)));
}

TEST_F(WindowTest, SuspendQueryStopsPlayback) {
  AddFile(WriteWav(folder_, "a.wav", 20, 1));
  Command(kCmdPlay);
  ASSERT_TRUE(engine_->outputPlaying());
  SendMessageA(panel_, WM_POWERBROADCAST, PBT_APMQUERYSUSPEND, 0);
  EXPECT_FALSE(engine_->outputOpen());
  EXPECT_TRUE(IsWindowEnabled(Item(kWavePlay)));
  EXPECT_FALSE(IsWindowEnabled(Item(kWaveStop)));
}

// The prefix's CD-ROM drive X: is a folder of the build tree with a fixed
// volume serial (the second lane's prefix has a folder of its own); the
// disc database is the user's real one.
TEST_F(WindowTest, DiscWithAStoredListLoadsItAndItsRemovalStops) {
  const char* binary = std::getenv("CX_BINARY_DIR");
  ASSERT_NE(binary, nullptr);
  ASSERT_EQ(GetDriveTypeA("X:\\"), static_cast<UINT>(DRIVE_CDROM));
  const char* lane = std::getenv("CX_LANE");
  const std::string folder = lane != nullptr && std::strcmp(lane, "b") == 0 ? "cdrom-x-b" : "cdrom-x";
  std::string disc = "Z:" + std::string(binary) + "/../" + folder + "/";
  for (char& c : disc) c = c == '/' ? '\\' : c;
  const Bytes a = SimpleWav(8000, 1, 8, TestPcm(8000 * 20, 1));
  const Bytes b = SimpleWav(8000, 1, 8, TestPcm(8000 * 20, 2));
  for (const auto& f : {std::make_pair(std::string("disc-a.wav"), &a), std::make_pair(std::string("disc-b.wav"), &b)}) {
    FILE* out = std::fopen((disc + f.first).c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(f.second->data(), 1, f.second->size(), out);
    std::fclose(out);
  }
  const std::string text = "X:\\disc-a.wav\r\nX:\\disc-b.wav\r\n";
  const std::string list = folder_.Write("disc.m3u", Bytes(text.begin(), text.end()));
  const std::string ini = UserDiscListFile();
  ASSERT_FALSE(ini.empty());
  auto flush = [&] { WritePrivateProfileStringA(nullptr, nullptr, nullptr, ini.c_str()); };
  flush();
  ASSERT_EQ(GetFileAttributesA(ini.c_str()), INVALID_FILE_ATTRIBUTES) << "another test left a disc database";
  ASSERT_TRUE(AddDiscList(list.c_str(), VolumeSerial("X:\\"), kWavePlayerKinds));
  const int driveX = 'X' - 'A';

  // Without auto-play the list is only loaded.
  gApp.options.canAutoPlayMp3List = 0;
  SendMessageA(wave_, kMsgDiscChange, 1, driveX);
  EXPECT_EQ(engine_->list()->Count(), 2);
  EXPECT_FALSE(engine_->outputOpen());
  EXPECT_TRUE(IsWindowEnabled(Item(kWavePlay)));

  // A list that is not empty is left alone; with auto-play an empty one plays.
  Command(kCmdClearList);
  gApp.options.canAutoPlayMp3List = 1;
  SendMessageA(wave_, kMsgDiscChange, 1, driveX);
  EXPECT_EQ(engine_->list()->Count(), 2);
  EXPECT_TRUE(engine_->outputPlaying());
  EXPECT_STREQ(engine_->title(), "disc-a");
  SendMessageA(wave_, kMsgDiscChange, 1, driveX);
  EXPECT_TRUE(engine_->outputPlaying());

  // Another drive leaving changes nothing; this one stops playback.
  SendMessageA(wave_, kMsgDiscChange, 0, 3);
  EXPECT_TRUE(engine_->outputPlaying());
  SendMessageA(wave_, kMsgDiscChange, 0, driveX);
  EXPECT_FALSE(engine_->outputOpen());
  gApp.options.canAutoPlayMp3List = 0;

  flush();
  DeleteFileA(ini.c_str());
  DeleteFileA((disc + "disc-a.wav").c_str());
  DeleteFileA((disc + "disc-b.wav").c_str());
}

COLORREF ResourcePixel(const char* name, int x, int y) {
  GdiObject bitmap(LoadImageA(gApp.instance, name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  MemoryDc memory(nullptr);
  Selection selected(memory.dc, bitmap.object);
  return GetPixel(memory.dc, x, y);
}


TEST_F(WindowTest, ScreenshotWhilePlaying) {
  for (int i = 1; i <= 7; ++i) AddFile(WriteWav(folder_, "Song " + std::to_string(i) + ".wav", 30, i));
  Command(kCmdPlayEntry, 3);
  ASSERT_TRUE(engine_->outputPlaying());
  engine_->source()->Seek(17000);
  gApp.blinkPhase = true;
  SendMessageA(wave_, kMsgPanelTick, 0, 0);
  RedrawWindow(panel_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpFor(300);
  const char* binary = std::getenv("CX_BINARY_DIR");
  const std::string folder = std::string(binary != nullptr ? binary : ".") + "/../screenshots";
  CreateDirectoryA(folder.c_str(), nullptr);
  std::vector<COLORREF> shot = CaptureWindow(panel_, folder + "/wave-player.bmp");
  ASSERT_EQ(shot.size(), 462u * 231u);
  auto at = [&](int x, int y) { return shot[(61 + y) * 462 + x]; };
  EXPECT_EQ(at(5, 100), ResourcePixel(MAKEINTRESOURCEA(481), 5, 100));
  EXPECT_EQ(at(20, 20), RGB(0, 0, 0));  // the display area
  EXPECT_EQ(at(346 + 12, 58 + 7), ResourcePixel("PLAYX", 12, 7));
  EXPECT_EQ(at(371 + 12, 58 + 7), ResourcePixel("STOPU", 12, 7));
  // Track 3 on the LED digits.
  for (int x = 0; x < 14; ++x) {
    for (int y = 0; y < 20; ++y) {
      ASSERT_EQ(at(82 + x, 31 + y), ResourcePixel(MAKEINTRESOURCEA(196), x, y)) << x << "," << y;
    }
  }
  Command(kCmdStop);
}

}  // namespace
