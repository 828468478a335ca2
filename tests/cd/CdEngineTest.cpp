// The CD engine's states against a scripted double of the MCI device, where
// timing matters (held skips, notices queued before a track change, devices
// that fail on cue). The disc itself is real: track files on the prefix's
// CD-ROM drive X:, found by the engine's own drive scan.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "cd/CdEngine.h"
#include "common/CommandCodes.h"
#include "tests/cd/CdTestSupport.h"
#include "tests/support/WinTestSupport.h"

namespace {

struct Script {
  std::set<int> unopenable;  // tracks whose Open fails
  bool playFails = false;
  uint32_t lengthMsf = 40 << 8;  // 0:40
  std::vector<std::string> calls;
  MCIDEVICEID nextId = 1;
};

class ScriptedDevice : public MciDevice {
 public:
  explicit ScriptedDevice(Script* script) : script_(script) {}
  ~ScriptedDevice() override { ScriptedDevice::Close(); }
  bool Open(const char* path) override {
    const int track = CdTrackNumberOfFile(path);
    Record("open " + std::to_string(track));
    if (script_->unopenable.count(track) != 0) return false;
    id_ = script_->nextId++;
    track_ = track;
    position = MakeTmsf(track, 0, 0);
    return true;
  }
  bool OpenDrive(int drive) override {
    Record("drive " + std::to_string(drive));
    id_ = script_->nextId++;
    return true;
  }
  bool Close() override {
    if (id_ == 0) return false;
    Record("close");
    id_ = 0;
    mode = MCI_MODE_STOP;
    return true;
  }
  bool Play() override {
    Record("play");
    if (id_ == 0 || script_->playFails) return false;
    mode = MCI_MODE_PLAY;
    return true;
  }
  bool Pause() override {
    Record("pause");
    mode = MCI_MODE_PAUSE;
    return id_ != 0;
  }
  bool Seek(uint32_t to) override {
    Record("seek " + std::to_string(to));
    position = to;
    mode = MCI_MODE_STOP;
    return true;
  }
  uint32_t Position() override { return position; }
  uint32_t Mode() override { return mode; }
  bool IsPlaying() override { return mode == MCI_MODE_PLAY; }
  uint32_t Length() override { return script_->lengthMsf; }
  bool OpenDoor() override { return Record("door open"), true; }
  bool CloseDoor() override { return Record("door closed"), true; }
  bool Forward(uint32_t step) override { return Record("forward " + std::to_string(step)), true; }
  bool Back(uint32_t step) override { return Record("back " + std::to_string(step)), true; }
  bool SkipBy(int64_t seconds) override {
    Record("skip " + std::to_string(seconds));
    return true;
  }
  MCIDEVICEID id() const override { return id_; }
  int track() const override { return track_; }

  uint32_t position = 0;
  UINT mode = MCI_MODE_STOP;

 private:
  void Record(const std::string& call) { script_->calls.push_back(call); }
  Script* script_;
  MCIDEVICEID id_ = 0;
  int track_ = 0;
};

struct RecordingLcd : FrontPanelLcd {
  void SetTrack(uint32_t track) override { calls.emplace_back(kLcdSetTrack, track); }
  void SetState(uint32_t status) override { calls.emplace_back(kLcdSetState, status); }
  bool Saw(DWORD code, uint32_t value) const {
    for (const auto& c : calls) {
      if (c.first == code && c.second == value) return true;
    }
    return false;
  }
  std::vector<std::pair<DWORD, uint32_t>> calls;
};

class CdEngineTest : public ::testing::Test {
 protected:
  explicit CdEngineTest(int tracks = 3) : disc_(new TestDisc(tracks)) {
    window_ = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    list_.Create(kCdPlayerKinds);
    engine_.reset(new CdEngine(&list_, window_, &lcd_, [this](HWND) {
      return std::unique_ptr<MciDevice>(new ScriptedDevice(&script_));
    }));
    engine_->StartUp(false);
  }
  ~CdEngineTest() override {
    engine_.reset();
    DestroyWindow(window_);
  }
  ScriptedDevice* Device() { return static_cast<ScriptedDevice*>(engine_->device()); }
  int CurrentTrack() { return Device() != nullptr ? Device()->track() : 0; }
  // The notice a device sends when its track has played to the end.
  void EndTrack() {
    Device()->mode = MCI_MODE_STOP;
    engine_->OnNotify(MCI_NOTIFY_SUCCESSFUL, Device()->id());
  }
  size_t Count(const std::string& call) {
    size_t n = 0;
    for (const auto& c : script_.calls) n += c == call;
    return n;
  }

  std::unique_ptr<TestDisc> disc_;
  HWND window_;
  PlayList list_;
  Script script_;
  RecordingLcd lcd_;
  std::unique_ptr<CdEngine> engine_;
};

TEST_F(CdEngineTest, PlaysTheDiscTrackByTrackAndStopsAtItsEnd) {
  // Start-up closed the tray and found the disc, and waits stopped.
  EXPECT_TRUE(engine_->doorClosed(kDiscDrive));
  EXPECT_EQ(Count("door closed"), 1u);
  ASSERT_EQ(list_.Count(), 3);
  EXPECT_EQ(engine_->device(), nullptr);
  EXPECT_EQ(engine_->status(), kCdStopped);
  EXPECT_TRUE(engine_->buttons().play);
  EXPECT_FALSE(engine_->buttons().stop);

  // NEXT before any PLAY selects a track: the LCD hears it and "stopped".
  engine_->Command(kCmdNext, 0);
  EXPECT_EQ(CurrentTrack(), 1);
  EXPECT_TRUE(lcd_.Saw(kLcdSetState, kCdStopped) && lcd_.Saw(kLcdSetTrack, 1));
  EXPECT_TRUE(engine_->buttons().play && engine_->buttons().stop && !engine_->buttons().pause);
  engine_->Command(kCmdStop, 0);
  EXPECT_EQ(lcd_.calls.back(), std::make_pair(kLcdSetTrack, 0u));

  engine_->Command(kCmdPlay, 0);
  ASSERT_EQ(CurrentTrack(), 1);
  EXPECT_EQ(engine_->status(), kCdPlaying);
  EXPECT_FALSE(engine_->buttons().play);
  EXPECT_TRUE(lcd_.Saw(kLcdSetTrack, 1) && lcd_.Saw(kLcdSetState, kCdPlaying));
  EXPECT_EQ(engine_->mark(1), kMarkCurrent);

  EndTrack();
  ASSERT_EQ(CurrentTrack(), 2);
  EXPECT_TRUE(Device()->IsPlaying());
  EXPECT_EQ(engine_->mark(1), kMarkPlayed);
  EndTrack();
  EndTrack();
  // Loop off: after the last track the player stops, rewound.
  EXPECT_EQ(engine_->device(), nullptr);
  EXPECT_EQ(engine_->status(), kCdStopped);
  EXPECT_TRUE(engine_->buttons().play);
  engine_->Command(kCmdPlay, 0);
  EXPECT_EQ(CurrentTrack(), 1);

  // Loop on: the end of the last track starts the first.
  engine_->Command(kCmdRepeat, 0);
  engine_->Command(kCmdPlayEntry, 3);
  ASSERT_EQ(CurrentTrack(), 3);
  EndTrack();
  EXPECT_EQ(CurrentTrack(), 1);
  EXPECT_TRUE(Device()->IsPlaying());
}

TEST_F(CdEngineTest, NoticesOfAnEarlierDeviceOrAPlayingOneAreIgnored) {
  engine_->Command(kCmdPlay, 0);
  const MCIDEVICEID first = Device()->id();
  engine_->Command(kCmdNext, 0);
  ASSERT_EQ(CurrentTrack(), 2);
  // Queued by the first device before NEXT replaced it.
  engine_->OnNotify(MCI_NOTIFY_SUCCESSFUL, first);
  EXPECT_EQ(CurrentTrack(), 2);
  // The right device, but it still plays (ids are reused by MCI).
  engine_->OnNotify(MCI_NOTIFY_SUCCESSFUL, Device()->id());
  EXPECT_EQ(CurrentTrack(), 2);
  engine_->OnNotify(MCI_NOTIFY_ABORTED, Device()->id());
  EXPECT_EQ(CurrentTrack(), 2);
  EndTrack();
  EXPECT_EQ(CurrentTrack(), 3);
}

TEST_F(CdEngineTest, FailedOpensAndPlaysAreNotReportedAsPlaying) {
  script_.unopenable = {2};
  engine_->Command(kCmdPlay, 0);
  EndTrack();
  EXPECT_EQ(CurrentTrack(), 3);  // track 2 passed over once
  EXPECT_TRUE(Device()->IsPlaying());

  // Nothing opens: each track is tried at most once, then the player stops.
  script_.unopenable = {1, 2, 3};
  script_.calls.clear();
  engine_->Command(kCmdNext, 0);
  EXPECT_EQ(engine_->device(), nullptr);
  EXPECT_LE(Count("open 1") + Count("open 2") + Count("open 3"), 3u);
  EXPECT_EQ(engine_->status() & kCdPlaying, 0u);

  // The device opens but refuses to play: no playing bit, no "playing" LCD.
  script_.unopenable.clear();
  script_.playFails = true;
  lcd_.calls.clear();
  engine_->Command(kCmdPlay, 0);
  ASSERT_NE(engine_->device(), nullptr);
  EXPECT_FALSE(engine_->playing());
  EXPECT_EQ(engine_->status() & kCdPlaying, 0u);
  EXPECT_FALSE(lcd_.Saw(kLcdSetState, kCdPlaying));
  EXPECT_TRUE(engine_->buttons().play);
}

TEST_F(CdEngineTest, PreviousRestartsTheTrackItselfWhenWellIntoIt) {
  engine_->Command(kCmdPlayEntry, 2);
  Device()->position = MakeTmsf(2, 0, 5);
  engine_->Command(kCmdPrevious, 0);
  EXPECT_EQ(CurrentTrack(), 2);
  EXPECT_EQ(Count("seek 2"), 1u);  // TMSF of track 2's start, not 0 (the disc's)
  EXPECT_TRUE(Device()->IsPlaying());

  engine_->Command(kCmdPause, 0);
  ASSERT_EQ(engine_->status(), kCdPaused);
  Device()->position = MakeTmsf(2, 0, 7);
  engine_->Command(kCmdPrevious, 0);
  EXPECT_EQ(Count("seek 2"), 2u);
  EXPECT_EQ(Count("seek 0"), 0u);
  EXPECT_EQ(engine_->status(), kCdPaused);

  // Minutes count too: 1:01 into the track is well into it.
  engine_->Command(kCmdPlay, 0);
  Device()->position = MakeTmsf(2, 1, 1);
  engine_->Command(kCmdPrevious, 0);
  EXPECT_EQ(CurrentTrack(), 2);
  EXPECT_EQ(Count("seek 2"), 3u);
  EXPECT_TRUE(Device()->IsPlaying());

  Device()->position = MakeTmsf(2, 0, 2);  // 2000 ms: not yet
  engine_->Command(kCmdPrevious, 0);
  EXPECT_EQ(CurrentTrack(), 1);
}

TEST_F(CdEngineTest, HeldSkipShowsItsOwnTimeAndLandsPastIt) {
  engine_->Command(kCmdPlay, 0);
  Device()->position = MakeTmsf(1, 0, 10);
  engine_->Command(kCmdFastForwardBegin, 0);
  EXPECT_EQ(Count("pause"), 1u);
  EXPECT_TRUE(engine_->skipRunning());
  for (int i = 0; i < 3; ++i) engine_->OnSkipTick();
  engine_->Refresh();  // the display follows the skip, not the device
  EXPECT_EQ(engine_->shownSeconds(), 13);
  script_.calls.clear();
  engine_->Command(kCmdFastForwardEnd, 0);
  EXPECT_EQ(script_.calls, (std::vector<std::string>{"skip 4", "play"}));
  EXPECT_FALSE(engine_->skipRunning());

  // Released before the first tick, a back skip still goes back.
  engine_->Command(kCmdRewindBegin, 0);
  script_.calls.clear();
  engine_->Command(kCmdRewindEnd, 0);
  EXPECT_EQ(script_.calls.front(), "skip -1");

  // Any other command ends the skip first.
  engine_->Command(kCmdFastForwardBegin, 0);
  script_.calls.clear();
  engine_->Command(kCmdNext, 0);
  ASSERT_GE(script_.calls.size(), 2u);
  EXPECT_EQ(script_.calls[0], "skip 1");
  EXPECT_EQ(CurrentTrack(), 2);

  // Held for good, it ends by itself after 51 ticks.
  engine_->Command(kCmdFastForwardBegin, 0);
  int ticks = 0;
  while (engine_->skipRunning() && ticks < 100) {
    engine_->OnSkipTick();
    ++ticks;
  }
  EXPECT_EQ(ticks, 51);
}

TEST_F(CdEngineTest, EveryPathThatEndsTheDeviceEndsTheSkip) {
  const auto start = [&] {
    engine_->Command(kCmdPlay, 0);
    engine_->Command(kCmdRewindBegin, 0);
    ASSERT_TRUE(engine_->skipRunning());
  };
  start();
  engine_->OnShown(false, false);
  EXPECT_FALSE(engine_->skipRunning());
  start();
  engine_->OnSuspendQuery();
  EXPECT_FALSE(engine_->skipRunning());
  start();
  EndTrack();
  EXPECT_FALSE(engine_->skipRunning());
  start();
  list_.CopyEntriesToEdits(false);  // as the playlist window does
  engine_->OnListEdited();
  EXPECT_FALSE(engine_->skipRunning());
  start();
  disc_.reset();
  engine_->OnDiscChange(false, kDiscDrive, false);
  EXPECT_FALSE(engine_->skipRunning());
  // A tick or an end without a device does nothing and keeps nothing running.
  engine_->OnSkipTick();
  engine_->Command(kCmdFastForwardEnd, 0);
  EXPECT_FALSE(engine_->skipRunning());
}

TEST_F(CdEngineTest, DiscsComeAndGoAndTheDeviceGoesFirst) {
  engine_->Command(kCmdPlay, 0);
  engine_->OnDiscChange(false, 'Q' - 'A', false);  // another drive: its door only
  EXPECT_NE(engine_->device(), nullptr);
  disc_.reset();
  script_.calls.clear();
  engine_->OnDiscChange(false, kDiscDrive, false);
  EXPECT_EQ(Count("close"), 1u);
  EXPECT_EQ(engine_->device(), nullptr);
  EXPECT_EQ(list_.Count(), 0);
  EXPECT_NE(engine_->status() & kCdNoDisc, 0u);
  EXPECT_FALSE(engine_->buttons().play || engine_->buttons().trackForward);
  // Steps from the remote find no device and do nothing.
  engine_->Command(kCmdSkipForward, 0);
  engine_->Command(kCmdSkipBack, 0);

  disc_.reset(new TestDisc(2));
  engine_->OnDiscChange(true, kDiscDrive, false);
  EXPECT_EQ(list_.Count(), 2);
  EXPECT_EQ(engine_->status() & kCdNoDisc, 0u);
  EXPECT_TRUE(engine_->buttons().play);
}

TEST_F(CdEngineTest, StepsNeedAKnownLengthAndDisplaysShowHoursPast99Minutes) {
  engine_->Command(kCmdPlay, 0);
  script_.calls.clear();
  engine_->Command(kCmdSkipForward, 0);
  EXPECT_EQ(script_.calls, (std::vector<std::string>{"forward 10"}));
  // Where a seek to the end leaves a device: 255 minutes and a seconds
  // field that is no time (taken as 59), so 4 h 15 min on the clock.
  Device()->position = 0xFFFFFFFF;
  engine_->Refresh();
  EXPECT_EQ(engine_->shownMinutes(), 4);
  EXPECT_EQ(engine_->shownSeconds(), 15);
  Device()->position = MakeTmsf(1, 99, 59);
  engine_->Refresh();
  EXPECT_EQ(engine_->shownMinutes(), 99);
  EXPECT_EQ(engine_->shownSeconds(), 59);
  // A held skip over a track of unknown length stays where it began.
  script_.lengthMsf = 0;
  Device()->position = MakeTmsf(1, 0, 20);
  engine_->Command(kCmdFastForwardBegin, 0);
  engine_->OnSkipTick();
  EXPECT_EQ(engine_->skipSecond(), 20);
}

TEST(CdPages, PageBasesStayOnTheIndicators) {
  EXPECT_EQ(PageBaseOf(0), 0);
  EXPECT_EQ(PageBaseOf(-5), 0);
  EXPECT_EQ(PageBaseOf(20), 0);
  EXPECT_EQ(PageBaseOf(21), 20);
  EXPECT_EQ(PageBaseOf(99), 80);
  EXPECT_EQ(PageBaseOf(100), 80);
  EXPECT_EQ(PageBaseOf(1000), 80);
}

class CdEngineLongDiscTest : public CdEngineTest {
 protected:
  CdEngineLongDiscTest() : CdEngineTest(25) {}
};

TEST_F(CdEngineLongDiscTest, PagesAndPlayingATrackOnTheSecondPage) {
  EXPECT_TRUE(engine_->NextPage());
  EXPECT_EQ(engine_->page(), 20);
  EXPECT_FALSE(engine_->NextPage());
  EXPECT_EQ(engine_->mark(25), kMarkToCome);
  EXPECT_EQ(engine_->mark(26), kMarkNone);
  EXPECT_EQ(engine_->mark(100), kMarkNone);
  engine_->Command(kCmdRandom, 0);
  ASSERT_TRUE(list_.IsShuffled());
  engine_->Command(kCmdPlayEntry, 23);
  EXPECT_FALSE(list_.IsShuffled());
  EXPECT_EQ(CurrentTrack(), 23);
  EXPECT_EQ(engine_->page(), 20);
  EXPECT_EQ(engine_->mark(23), kMarkCurrent);
  EXPECT_TRUE(engine_->displayActive());
  engine_->Command(kCmdPlayEntry, 0);  // the remote's NUM0 selects nothing
  EXPECT_EQ(CurrentTrack(), 23);
}

}  // namespace
