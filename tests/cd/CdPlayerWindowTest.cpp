// The real CD player window inside a real main panel, playing through the
// project's fake CD audio driver (registered for this test in the prefix's
// system.ini) a disc of track files on the prefix's CD-ROM drive X:. A
// picture of it playing is saved to build/screenshots/ for review.
#include <gtest/gtest.h>

#include <windows.h>
#include <dbt.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cd/CdEngine.h"
#include "cd/CdPlayerLayout.h"
#include "cd/CdPlayerWindow.h"
#include "media/PlayList.h"
#include "media/PlayListWindow.h"
#include "common/CommandCodes.h"
#include "shell/App.h"
#include "shell/MainPanel.h"
#include "skin/DibButton.h"
#include "skin/SkinPalette.h"
#include "tests/cd/CdTestSupport.h"
#include "tests/support/ScreenCapture.h"
#include "tests/support/WinTestSupport.h"

namespace {

bool Yes() { return true; }

std::vector<WPARAM> gReplies;
LRESULT CALLBACK ReplyProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == kMsgStatusReply) {
    gReplies.push_back(wp);
    return 0;
  }
  return DefWindowProcA(w, m, wp, lp);
}

void PrepareClasses() {
  static bool prepared = false;
  if (prepared) return;
  prepared = true;
  gApp.instance = GetModuleHandleA(nullptr);
  gApp.commandMessage = RegisterWindowMessageA(kCommandMessageName);
  RegisterMainPanelClass(gApp.instance);
  RegisterDibButton(gApp.instance, MAKEINTRESOURCEA(kButtonCursor));
  SetSkinPalette(BuildSkinPalette(gApp.instance, MAKEINTRESOURCEA(kMainPanelFace)));
  InstallPlayListWindow(gApp.instance, nullptr);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = ReplyProc;
  wc.hInstance = gApp.instance;
  wc.lpszClassName = "CXCdTestReply";
  RegisterClassA(&wc);
}

class CdWindowTest : public ::testing::Test {
 protected:
  void Start(int tracks, const char* script) {
    disc_.reset(new TestDisc(tracks));
    driver_.Script(script);
    PrepareClasses();
    for (int i = 0; i < kPlayerCount; ++i) SetPlayerDeviceTest(static_cast<PlayerIndex>(i), Yes);
    RegisterPlayerModule(kPlayerCd, &CdPlayerModule());
    panel_ = CreateMainPanel(gApp.instance);
    ASSERT_NE(panel_, nullptr);
    gApp.mainPanel = panel_;
    SetWindowPos(panel_, HWND_TOPMOST, 20, 20, 0, 0, SWP_NOSIZE);
    ShowWindow(panel_, SW_SHOWNA);
    OpenPlayer(panel_, kPlayerCd);
    cd_ = PlayerSlotOf(kPlayerCd).window;
    ASSERT_NE(cd_, nullptr);
    engine_ = CdPlayerEngineOf(cd_);
    ASSERT_NE(engine_, nullptr);
    reply_ = CreateWindowExA(0, "CXCdTestReply", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, gApp.instance, nullptr);
  }
  void TearDown() override {
    DestroyWindow(reply_);
    if (panel_ != nullptr) DestroyWindow(panel_);
    RegisterPlayerModule(kPlayerCd, nullptr);
    PumpFor(20);
  }
  HWND Item(int id) const { return GetDlgItem(cd_, id); }
  int Image(int id) const { return static_cast<int>(GetWindowLongPtrA(Item(id), GWLP_USERDATA)); }
  bool Visible(int id) const { return IsWindowVisible(Item(id)) != FALSE; }
  bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }
  int Digits(int firstId) const { return (Image(firstId) - kLedDigit0) * 10 + Image(firstId + 1) - kLedDigit0; }
  // A remote's command, passed on by the panel's router (posted).
  void Command(uint16_t code, LPARAM lParam = 0) {
    SendMessageA(panel_, gApp.commandMessage, MakeCommand(kRouteCd, code), lParam);
    PumpFor(40);
  }
  void Click(int id) {
    SendMessageA(Item(id), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageA(Item(id), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    PumpFor(60);
  }
  void Tick() {
    SendMessageA(cd_, kMsgPanelTick, 0, 0);
  }
  uint32_t Status() {
    gReplies.clear();
    Command(kCmdStatusQuery, reinterpret_cast<LPARAM>(reply_));
    PumpUntil([] { return !gReplies.empty(); }, 2000);
    return gReplies.empty() ? 0xFFFFFFFFu : static_cast<uint32_t>(gReplies[0]);
  }
  int CurrentTrack() const { return engine_->device() != nullptr ? engine_->device()->track() : 0; }

  TempFolder folder_;
  CdAudioDriver driver_{"fake"};
  std::unique_ptr<TestDisc> disc_;
  HWND panel_ = nullptr;
  HWND cd_ = nullptr;
  HWND reply_ = nullptr;
  CdEngine* engine_ = nullptr;
};

TEST_F(CdWindowTest, PlaysTheDiscThroughTheButtonsAndShowsIt) {
  Start(12, "4:3,2,40,30,20,20,20,20,20,20,20,20");
  // Stopped with the disc loaded: indicators for its 12 tracks, no pages.
  EXPECT_TRUE(Enabled(kCdPlay) && Enabled(kCdTrackForward) && Enabled(kCdEject) && Enabled(kCdPlaylist));
  EXPECT_FALSE(Enabled(kCdStop) || Enabled(kCdPause) || Enabled(kCdSkipForward));
  for (int i = 1; i <= kTrackIndicators; ++i) EXPECT_EQ(Visible(kCdFirstIndicator + i - 1), i <= 12) << i;
  EXPECT_FALSE(Visible(kCdNextPage) || Visible(kCdPreviousPage));
  EXPECT_EQ(Status(), kStatusPlaylist | kStatusEject | kStatusPlay | kStatusTrackForward | kStatusTrackBack |
                          kStatusCdShown);

  Click(kCdPlay);
  ASSERT_EQ(CurrentTrack(), 1);
  EXPECT_TRUE(engine_->device()->IsPlaying());
  EXPECT_EQ(Status(), kStatusPlaylist | kStatusEject | kStatusTrackForward | kStatusTrackBack |
                          kStatusSkipForward | kStatusSkipBack | kStatusStop | kStatusPause | kStatusCdShown);
  // Track 1 (3 s at speed 4) ends by itself and track 2 follows, then 3.
  ASSERT_TRUE(PumpUntil([&] { return CurrentTrack() == 3; }, 8000));
  EXPECT_EQ(engine_->mark(1), kMarkPlayed);
  EXPECT_EQ(Image(kCdFirstIndicator), CdPlayedImage(1));
  PumpFor(600);  // over 2 s into track 3
  Tick();
  EXPECT_EQ(Digits(kCdTrackTens), 3);
  EXPECT_GE(Digits(kCdTrackTens + 4), 1);
  // The current track's indicator blinks with the panel.
  const int before = Image(kCdFirstIndicator + 2);
  SendMessageA(panel_, WM_TIMER, kPanelTimerId, 0);
  EXPECT_NE(Image(kCdFirstIndicator + 2), before);

  const char* binary = std::getenv("CX_BINARY_DIR");
  const std::string folder = std::string(binary != nullptr ? binary : ".") + "/../screenshots";
  CreateDirectoryA(folder.c_str(), nullptr);
  EXPECT_FALSE(CaptureWindow(panel_, folder + "/cd-player.bmp").empty());

  Click(kCdPause);
  EXPECT_EQ(engine_->status(), kCdPaused);
  EXPECT_TRUE(Enabled(kCdPlay));
  Click(kCdStop);
  EXPECT_EQ(engine_->device(), nullptr);
  EXPECT_EQ(Digits(kCdTrackTens), 0);
}

TEST_F(CdWindowTest, PagesAndIndicatorClicksOnALongDisc) {
  Start(25, "4:30,30,30,30,30,30,30,30,30,30,30,30,30,30,30,30,30,30,30,30,30,30,30,30,30");
  EXPECT_TRUE(Visible(kCdNextPage) && Visible(kCdPreviousPage));
  Click(kCdNextPage);
  EXPECT_EQ(engine_->page(), 20);
  for (int i = 1; i <= kTrackIndicators; ++i) EXPECT_EQ(Visible(kCdFirstIndicator + i - 1), i <= 5) << i;
  Click(kCdNextPage);
  EXPECT_EQ(engine_->page(), 20);
  Click(kCdFirstIndicator + 2);
  EXPECT_EQ(CurrentTrack(), 23);
  EXPECT_TRUE(engine_->device()->IsPlaying());
  // The lamps work the list's modes directly.
  Click(kCdLoopLamp);
  EXPECT_EQ(Image(kCdLoopLamp), kLoopLampLit);
  Click(kCdRandomLamp);
  EXPECT_EQ(Image(kCdRandomLamp), kRandomLampLit);
  EXPECT_EQ(Image(kCdOnceLamp), kOnceLampDark);
}

TEST_F(CdWindowTest, FollowsTheDiscOutAndInThroughThePanel) {
  Start(4, "4:30,30,30,30");
  Click(kCdPlay);
  ASSERT_NE(engine_->device(), nullptr);
  // The system's notice of a media change on X:, as the panel receives it.
  DEV_BROADCAST_VOLUME volume = {};
  volume.dbcv_size = sizeof volume;
  volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
  volume.dbcv_unitmask = 1u << kDiscDrive;
  volume.dbcv_flags = DBTF_MEDIA;
  disc_.reset();
  SendMessageA(panel_, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, reinterpret_cast<LPARAM>(&volume));
  PumpFor(60);
  EXPECT_EQ(engine_->device(), nullptr);
  EXPECT_NE(engine_->status() & kCdNoDisc, 0u);
  for (int id : {kCdPlay, kCdStop, kCdPause, kCdSkipForward, kCdSkipBack, kCdTrackForward, kCdTrackBack}) {
    EXPECT_FALSE(Enabled(id)) << id;
  }
  EXPECT_TRUE(Enabled(kCdEject) && Enabled(kCdPlaylist));
  EXPECT_FALSE(Visible(kCdFirstIndicator));

  disc_.reset(new TestDisc(3));
  SendMessageA(panel_, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&volume));
  PumpFor(60);
  EXPECT_EQ(engine_->status(), kCdStopped);  // auto-play is off in the test prefix
  EXPECT_TRUE(Enabled(kCdPlay));
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(Visible(kCdFirstIndicator + i - 1), i <= 3) << i;
}

// The playlist window's OK comes while the "list cut" box of a handed-over
// list is up: it waits until the hand-over has finished (which starts
// playing) and is then taken over, so the list window hides, the panel is
// enabled again and, since the accepted list still holds the track that
// plays, the track plays on with the buttons of a playing player.
TEST_F(CdWindowTest, ListEditedWhileAnErrorBoxIsUpIsTakenOverAfterIt) {
  Start(3, "3:30,30,30");
  Command(kCmdShowPlaylist);
  HWND listWindow = engine_->list()->ListWindow();
  ASSERT_NE(listWindow, nullptr);
  ASSERT_TRUE(IsWindowVisible(listWindow));
  ASSERT_FALSE(IsWindowEnabled(panel_));
  std::string lines;
  for (int i = 0; i < 100; ++i) lines += "X:\\Track0" + std::to_string(1 + i % 3) + ".cda\r\n";
  const std::string listFile = folder_.Write("long.m3u", lines);
  MessageBoxWatcher boxes;
  HWND cd = cd_;
  boxes.BeforeOk([cd](HWND) { PostMessageA(cd, kMsgListEdited, 0, 0); });
  const ATOM atom = GlobalAddAtomA(listFile.c_str());
  PostMessageA(cd_, gApp.commandMessage, MakeCommand(kRouteCd, kCmdOpenFile), atom);
  ASSERT_TRUE(boxes.WaitFor(1, 5000));
  EXPECT_TRUE(PumpUntil([&] { return !IsWindowVisible(listWindow) && IsWindowEnabled(panel_); }, 5000));
  GlobalDeleteAtom(atom);
  EXPECT_EQ(boxes.Texts().size(), 1u);
  EXPECT_EQ(engine_->list()->Count(), kPlayListCapacity);
  EXPECT_TRUE(engine_->playing());
  EXPECT_FALSE(Enabled(kCdPlay));
  EXPECT_TRUE(Enabled(kCdStop));
}

// The status query's reply window is named by whoever asks: the program's
// own windows, where WM_USER + 1 means something else, get no reply.
TEST_F(CdWindowTest, StatusReplyGoesOnlyToAWindowOfAnotherKind) {
  Start(3, "3:30,30,30");
  for (HWND own : {panel_, cd_}) {
    SendMessageA(cd_, gApp.commandMessage, MakeCommand(kRouteCd, kCmdStatusQuery), reinterpret_cast<LPARAM>(own));
    MSG reply;
    EXPECT_FALSE(PeekMessageA(&reply, own, kMsgStatusReply, kMsgStatusReply, PM_REMOVE));
  }
  SendMessageA(cd_, gApp.commandMessage, MakeCommand(kRouteCd, kCmdStatusQuery), reinterpret_cast<LPARAM>(reply_));
  MSG reply;
  ASSERT_TRUE(PeekMessageA(&reply, reply_, kMsgStatusReply, kMsgStatusReply, PM_REMOVE));
  EXPECT_NE(reply.wParam & kStatusPlay, 0u);
}

// RANDOM and OK in the playlist window while a track plays: it goes on
// (the same device, the same track), the lamps show the order the list has.
TEST_F(CdWindowTest, RandomAndTheEditedListKeepTheTrackThatPlays) {
  Start(4, "1:60,60,60,60");
  Click(kCdPlay);
  Command(kCmdNext);
  ASSERT_EQ(CurrentTrack(), 2);
  const MciDevice* playing = engine_->device();
  const auto stillPlaying = [&] {
    return engine_->device() == playing && CurrentTrack() == 2 && engine_->device()->IsPlaying() &&
           engine_->status() == kCdPlaying && engine_->list()->CurrentEntryNumber() == 2;
  };
  const auto lampsShowOrder = [&] {
    const bool shuffled = engine_->list()->IsShuffled();
    return Image(kCdRandomLamp) == (shuffled ? kRandomLampLit : kRandomLampDark) &&
           Image(kCdOnceLamp) == (shuffled ? kOnceLampDark : kOnceLampLit);
  };
  Command(kCmdRandom);
  EXPECT_TRUE(stillPlaying());
  EXPECT_TRUE(engine_->list()->IsShuffled());
  EXPECT_TRUE(lampsShowOrder());
  EXPECT_EQ(engine_->mark(2), kMarkCurrent);
  // The other three come after it, each once.
  std::vector<int> after;
  for (int p = 2; p <= 4; ++p) after.push_back(engine_->list()->OrderAt(p) + 1);
  std::sort(after.begin(), after.end());
  EXPECT_EQ(after, (std::vector<int>{1, 3, 4}));
  Click(kCdOnceLamp);
  EXPECT_TRUE(stillPlaying());
  EXPECT_FALSE(engine_->list()->IsShuffled());
  EXPECT_TRUE(lampsShowOrder());
  // Straight order again: NEXT goes on with track 3.
  Command(kCmdNext);
  ASSERT_EQ(CurrentTrack(), 3);

  // OK on a list that still holds the track: it plays on.
  playing = engine_->device();
  engine_->list()->CopyEntriesToEdits(false);
  SendMessageA(cd_, kMsgListEdited, 0, 0);
  PumpFor(40);
  EXPECT_TRUE(engine_->device() == playing && CurrentTrack() == 3 && engine_->device()->IsPlaying());
  EXPECT_EQ(engine_->list()->CurrentEntryNumber(), 3);
  EXPECT_EQ(engine_->mark(3), kMarkCurrent);
  // OK on a list without it: the player stops.
  engine_->list()->CopyEntriesToEdits(false);
  std::strcpy(engine_->list()->EditSlot(2), engine_->list()->EditSlot(3));
  engine_->list()->EditSlot(3)[0] = '\0';
  SendMessageA(cd_, kMsgListEdited, 0, 0);
  PumpFor(40);
  EXPECT_EQ(engine_->status(), kCdStopped);
  EXPECT_FALSE(engine_->device() != nullptr && engine_->device()->IsPlaying());
  EXPECT_EQ(engine_->list()->Count(), 3);
}

// A disc that arrives under a lit RANDOM lamp plays in random order too.
TEST_F(CdWindowTest, ANewDiscFollowsTheRandomLamp) {
  Start(3, "4:30,30,30");
  Command(kCmdRandom);
  ASSERT_EQ(Image(kCdRandomLamp), kRandomLampLit);
  DEV_BROADCAST_VOLUME volume = {};
  volume.dbcv_size = sizeof volume;
  volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
  volume.dbcv_unitmask = 1u << kDiscDrive;
  volume.dbcv_flags = DBTF_MEDIA;
  disc_.reset();
  SendMessageA(panel_, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, reinterpret_cast<LPARAM>(&volume));
  PumpFor(60);
  disc_.reset(new TestDisc(30));
  SendMessageA(panel_, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&volume));
  PumpFor(60);
  ASSERT_EQ(engine_->list()->Count(), 30);
  EXPECT_EQ(Image(kCdRandomLamp), kRandomLampLit);
  EXPECT_TRUE(engine_->list()->IsShuffled());
  // Thirty tracks in straight order under a lit lamp would be one chance in 30!.
  int straight = 0;
  for (int p = 1; p <= 30; ++p) straight += engine_->list()->OrderAt(p) == p - 1;
  EXPECT_LT(straight, 30);
}

// Past 99:59 the clock shows hours and minutes, as the wave player's does.
TEST_F(CdWindowTest, TheClockShowsHoursPastNinetyNineMinutes) {
  Start(2, "1:7000,30");
  Click(kCdPlay);
  ASSERT_EQ(CurrentTrack(), 1);
  ASSERT_TRUE(engine_->device()->Seek(MakeTmsf(1, 100, 5)));  // 1 h 40 min 5 s
  Tick();
  EXPECT_EQ(Digits(kCdTrackTens + 2), 1);
  EXPECT_EQ(Digits(kCdTrackTens + 4), 40);
  ASSERT_TRUE(engine_->device()->Seek(MakeTmsf(1, 99, 59)));
  Tick();
  EXPECT_EQ(Digits(kCdTrackTens + 2), 99);
  EXPECT_EQ(Digits(kCdTrackTens + 4), 59);
}

}  // namespace
