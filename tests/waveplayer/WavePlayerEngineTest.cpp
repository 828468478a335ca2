// The wave player engine with real WAV files, a real playlist and the real
// output engines (sound goes to ALSA's file sink), once in wave output mode
// and once in DirectSound mode. A hidden host window takes the end-of-stream
// notices and hands them to the engine, as the player window does.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/Shared3DBlock.h"
#include "media/PlayList.h"
#include "tests/audio/AudioTestFiles.h"
#include "tests/support/WinTestSupport.h"
#include "waveplayer/WavePlayerEngine.h"

namespace {

enum class Mode { kWaveOut, kDirectSound };

// Notes the boxes instead of showing them, so most tests need no watcher.
class QuietEngine : public WavePlayerEngine {
 public:
  using WavePlayerEngine::WavePlayerEngine;
  int unsupportedBoxes = 0;
  bool quiet = true;

 protected:
  void ReportUnsupportedFile() override {
    ++unsupportedBoxes;
    if (!quiet) WavePlayerEngine::ReportUnsupportedFile();
  }
};

struct Host {
  static QuietEngine* engine;
  static std::vector<int> endedEntries;  // the current entry at every end notice
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == 953 && engine != nullptr) {
      endedEntries.push_back(engine->list()->CurrentEntryNumber());
      engine->OnStreamEnd(static_cast<uint32_t>(wParam));
      return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
  }
};
QuietEngine* Host::engine = nullptr;
std::vector<int> Host::endedEntries;

HWND CreateHost() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = Host::Proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "CXEngineTestHost";
  RegisterClassA(&wc);
  return CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                         wc.hInstance, nullptr);
}

// 8 kHz mono 8-bit: small files of any length.
std::string WriteWav(TempFolder& folder, const std::string& name, double seconds, uint32_t seed) {
  return folder.Write(name, SimpleWav(8000, 1, 8, TestPcm(static_cast<uint32_t>(8000 * seconds), seed)));
}

class EngineTest : public ::testing::TestWithParam<Mode> {
 protected:
  void SetUp() override {
    host_ = CreateHost();
    ASSERT_NE(host_, nullptr);
    list_.SetNotifyWindow(host_);
    list_.Create(kWavePlayerKinds);
    engine_ = new QuietEngine(&list_, host_);
    Host::engine = engine_;
    Host::endedEntries.clear();
    ASSERT_TRUE(engine_->InitOutput(host_, GetParam() == Mode::kDirectSound));
    ASSERT_EQ(engine_->directSound(), GetParam() == Mode::kDirectSound)
        << "the output this mode needs could not be set up";
  }
  void TearDown() override {
    Host::engine = nullptr;
    delete engine_;
    DestroyWindow(host_);
  }
  bool ds() const { return GetParam() == Mode::kDirectSound; }
  void AddFiles(std::initializer_list<std::string> paths) {
    for (const std::string& p : paths) engine_->AddFile(p.c_str());
  }
  // Freezes the read position: nothing is read while paused.
  void PlayPaused() {
    engine_->PlayOrResume();
    ASSERT_TRUE(engine_->outputPlaying());
    engine_->PauseOrResume();
    ASSERT_FALSE(engine_->outputPlaying());
    ASSERT_EQ(engine_->buttons(), ButtonSet::kPaused);
  }
  int current() const { return list_.CurrentEntryNumber(); }

  TempFolder folder_;
  PlayList list_;
  HWND host_ = nullptr;
  QuietEngine* engine_ = nullptr;
};

TEST(ButtonSets, TableOfEnables) {
  struct Row {
    ButtonSet set;
    TransportEnables on;
  };
  const Row rows[] = {
      {ButtonSet::kStopped, {1, 0, 0, 0, 0, 1, 1}},   {ButtonSet::kEmptyList, {0, 0, 0, 0, 0, 0, 0}},
      {ButtonSet::kLoaded, {1, 0, 0, 1, 1, 0, 0}},    {ButtonSet::kLoadedDirectSound, {1, 0, 0, 0, 0, 1, 1}},
      {ButtonSet::kPlaying, {0, 1, 1, 1, 1, 1, 1}},   {ButtonSet::kPaused, {1, 1, 1, 1, 1, 1, 1}},
  };
  for (const Row& r : rows) {
    TransportEnables e = EnablesOf(r.set);
    EXPECT_EQ(e.play, r.on.play);
    EXPECT_EQ(e.stop, r.on.stop);
    EXPECT_EQ(e.pause, r.on.pause);
    EXPECT_EQ(e.skipForward, r.on.skipForward);
    EXPECT_EQ(e.skipBack, r.on.skipBack);
    EXPECT_EQ(e.trackForward, r.on.trackForward);
    EXPECT_EQ(e.trackBack, r.on.trackBack);
  }
}

TEST_P(EngineTest, EmptyListShowsNothingToPress) {
  EXPECT_EQ(engine_->buttons(), ButtonSet::kEmptyList);
  engine_->PlayOrResume();
  EXPECT_FALSE(engine_->outputOpen());
  EXPECT_EQ(engine_->playState(), static_cast<uint32_t>(kPlayStopped));
  AddFiles({WriteWav(folder_, "one.wav", 1, 1)});
  EXPECT_EQ(engine_->buttons(), ButtonSet::kStopped);
  EXPECT_EQ(engine_->trackState(1), kTrackToCome);
  EXPECT_EQ(engine_->trackState(2), kTrackHidden);
}

// Takes the next end notice out of the host's queue before it is served.
bool TakeEndNotice(HWND host, MSG* notice, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (!PeekMessageA(notice, host, 953, 953, PM_REMOVE)) {
    const DWORD spent = GetTickCount() - start;
    if (spent >= timeoutMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs - spent, QS_POSTMESSAGE);
  }
  return true;
}

// The end notice of a file is still queued when the next file starts (the
// user pressed TRACKF just then): served late, it must not end the new one.
TEST_P(EngineTest, ALateEndNoticeOfTheFileBeforeDoesNotEndTheNext) {
  AddFiles({WriteWav(folder_, "short.wav", 0.3, 1), WriteWav(folder_, "long.wav", 20, 2)});
  engine_->PlayOrResume();
  ASSERT_TRUE(engine_->outputPlaying());
  MSG stale = {};
  ASSERT_TRUE(TakeEndNotice(host_, &stale, 10000));
  engine_->NextTrack();
  ASSERT_TRUE(engine_->outputPlaying());
  ASSERT_EQ(current(), 2);
  DispatchMessageA(&stale);
  EXPECT_TRUE(engine_->outputPlaying());
  EXPECT_EQ(current(), 2);
  EXPECT_EQ(engine_->playState(), static_cast<uint32_t>(kPlayPlaying));
}

TEST_P(EngineTest, ListOfThreePlaysInOrderThenStopsRewound) {
  AddFiles({WriteWav(folder_, "a.wav", 0.6, 1), WriteWav(folder_, "b.wav", 0.6, 2),
            WriteWav(folder_, "c.wav", 0.6, 3)});
  engine_->PlayOrResume();
  EXPECT_EQ(engine_->buttons(), ButtonSet::kPlaying);
  EXPECT_EQ(engine_->playState() & kPlayPlaying, static_cast<uint32_t>(kPlayPlaying));
  EXPECT_STREQ(engine_->title(), "a");
  EXPECT_EQ(engine_->trackState(1), kTrackCurrent);
  EXPECT_TRUE(engine_->currentBlink());
  engine_->Tick();
  EXPECT_EQ(engine_->shownTrack(), 1);

  ASSERT_TRUE(PumpUntil([&] { return Host::endedEntries.size() >= 3 && !engine_->outputOpen(); }, 30000));
  EXPECT_EQ(Host::endedEntries, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(engine_->playState(), static_cast<uint32_t>(kPlayStopped));
  EXPECT_EQ(engine_->buttons(), ButtonSet::kStopped);
  EXPECT_FALSE(engine_->currentBlink());
  EXPECT_EQ(engine_->shownTrack(), 0);
  EXPECT_EQ(engine_->shownSeconds(), 0u);
  EXPECT_STREQ(engine_->title(), "");
  EXPECT_EQ(engine_->source(), nullptr);
  EXPECT_EQ(list_.Position(), 0);
  for (int n = 1; n <= 3; ++n) EXPECT_EQ(engine_->trackState(n), kTrackToCome) << n;

  // PLAY starts again with the first file.
  engine_->PlayOrResume();
  EXPECT_EQ(current(), 1);
  EXPECT_TRUE(engine_->outputPlaying());
  engine_->StopPlayback();
}

TEST_P(EngineTest, TrackBackWithinTwoSecondsGoesToThePreviousFile) {
  AddFiles({WriteWav(folder_, "a.wav", 8, 1), WriteWav(folder_, "b.wav", 8, 2)});
  engine_->PlayOrResume();
  engine_->NextTrack();
  ASSERT_EQ(current(), 2);
  ASSERT_TRUE(engine_->outputPlaying());
  engine_->PauseOrResume();
  engine_->source()->Seek(1000);
  engine_->PreviousTrack();
  EXPECT_EQ(current(), 1);
  EXPECT_STREQ(engine_->source() ? "open" : "none", "open");
  // Wave output's pause keeps the playing bit, so the previous file plays;
  // DirectSound's pause does not, so it is only loaded.
  EXPECT_EQ(engine_->outputPlaying(), !ds());
  EXPECT_EQ(engine_->buttons(), ds() ? ButtonSet::kLoaded : ButtonSet::kPlaying);
  engine_->StopPlayback();
}

TEST_P(EngineTest, TrackBackAfterTwoSecondsRestartsInDirectSoundOnly) {
  AddFiles({WriteWav(folder_, "a.wav", 8, 1), WriteWav(folder_, "b.wav", 8, 2)});
  engine_->PlayOrResume();
  engine_->NextTrack();
  ASSERT_EQ(current(), 2);
  // Playing, well past 2 s of the file heard (what the device holds ahead
  // does not count).
  ASSERT_TRUE(PumpUntil([&] { return engine_->HeardMs() > 2500; }, 10000));
  EXPECT_LT(engine_->HeardMs(), engine_->source()->PositionMs());
  engine_->PreviousTrack();
  if (ds()) {
    EXPECT_EQ(current(), 2);
    EXPECT_LT(engine_->source()->PositionMs(), 3000u);
    EXPECT_TRUE(engine_->outputPlaying());
  } else {
    EXPECT_EQ(current(), 1);
    EXPECT_TRUE(engine_->outputPlaying());
  }
  // Paused, 3 s into the file: DirectSound goes back to 0 and stays paused.
  if (ds()) {
    ASSERT_TRUE(PumpUntil([&] { return engine_->HeardMs() > 2500; }, 10000));
    engine_->PauseOrResume();
    ASSERT_EQ(engine_->playState(), static_cast<uint32_t>(kPlayPaused));
    engine_->PreviousTrack();
    EXPECT_EQ(current(), 2);
    EXPECT_EQ(engine_->source()->PositionMs(), 0u);
    EXPECT_EQ(engine_->playState(), static_cast<uint32_t>(kPlayPaused));
    EXPECT_FALSE(engine_->outputPlaying());
  }
  engine_->StopPlayback();
}

TEST_P(EngineTest, TrackForwardWhilePaused) {
  AddFiles({WriteWav(folder_, "a.wav", 8, 1), WriteWav(folder_, "b.wav", 8, 2)});
  PlayPaused();
  engine_->NextTrack();
  EXPECT_EQ(current(), 2);
  EXPECT_STREQ(engine_->source() ? "open" : "none", "open");
  if (ds()) {
    // Loaded, not playing.
    EXPECT_FALSE(engine_->outputPlaying());
    EXPECT_EQ(engine_->buttons(), ButtonSet::kLoaded);
    EXPECT_TRUE(engine_->playState() & kPlayStopped);
  } else {
    EXPECT_TRUE(engine_->outputPlaying());
    EXPECT_EQ(engine_->buttons(), ButtonSet::kPlaying);
    EXPECT_STREQ(engine_->title(), "b");
  }
  engine_->StopPlayback();
}

TEST_P(EngineTest, SkipBackNearTheStartSeeksToZeroAndSkipForwardJumpsTenSeconds) {
  AddFiles({WriteWav(folder_, "long.wav", 30, 1)});
  PlayPaused();
  engine_->source()->Seek(4000);
  engine_->SkipBack();
  EXPECT_EQ(engine_->source()->PositionMs(), 0u);
  engine_->source()->Seek(15000);
  engine_->SkipBack();
  EXPECT_EQ(engine_->source()->PositionMs(), 5000u);
  engine_->SkipForward();
  EXPECT_EQ(engine_->source()->PositionMs(), 15000u);
  // Still paused; resuming plays on from there.
  EXPECT_FALSE(engine_->outputPlaying());
  engine_->PauseOrResume();
  EXPECT_TRUE(engine_->outputPlaying());
  EXPECT_TRUE(PumpUntil([&] { return engine_->source()->PositionMs() > 15000; }, 5000));
  // A skip while playing keeps it playing.
  engine_->SkipBack();
  EXPECT_TRUE(engine_->outputPlaying());
  EXPECT_TRUE(PumpUntil([&] { return engine_->source()->PositionMs() > 6000; }, 5000));
  engine_->StopPlayback();
  EXPECT_EQ(engine_->source(), nullptr);
}

TEST_P(EngineTest, SkipForwardPastTheEndEndsTheFileNormally) {
  AddFiles({WriteWav(folder_, "a.wav", 3, 1), WriteWav(folder_, "b.wav", 3, 2)});
  engine_->PlayOrResume();
  engine_->SkipForward();
  ASSERT_TRUE(PumpUntil([&] { return !Host::endedEntries.empty(); }, 10000));
  EXPECT_EQ(Host::endedEntries[0], 1);
  EXPECT_EQ(current(), 2);
  EXPECT_TRUE(engine_->outputPlaying());
  engine_->StopPlayback();
}

TEST_P(EngineTest, UnsupportedFileIsReportedWhenPlayLooksForAFile) {
  std::string bad = folder_.Write("bad.wav", Bytes(200, 0x41));
  AddFiles({bad, WriteWav(folder_, "good.wav", 3, 1)});
  engine_->quiet = false;
  MessageBoxWatcher watcher;
  engine_->PlayOrResume();
  ASSERT_TRUE(watcher.WaitFor(1, 5000));
  EXPECT_EQ(watcher.Texts()[0], "The media file has unsupported format.");
  EXPECT_EQ(watcher.Owners()[0], host_);
  EXPECT_EQ(current(), 2);
  EXPECT_TRUE(engine_->outputPlaying());
  EXPECT_STREQ(engine_->title(), "good");
  engine_->StopPlayback();
}

// More channels than the device takes: reported as a file this machine
// cannot play; as for any format the device refuses, the player stops.
TEST_P(EngineTest, AFileWithMoreChannelsThanTheDeviceIsReported) {
  const std::string wide = folder_.Write("wide.wav", SimpleWav(8000, 64, 8, TestPcm(64 * 8000)));
  AddFiles({wide, WriteWav(folder_, "good.wav", 3, 1)});
  engine_->PlayOrResume();
  if (GetParam() == Mode::kDirectSound) {
    // Wine's DirectSound takes a buffer of any channel count and mixes it
    // down to the device's: the file plays.
    EXPECT_EQ(engine_->unsupportedBoxes, 0);
    EXPECT_TRUE(engine_->outputPlaying());
    engine_->StopPlayback();
    return;
  }
  EXPECT_EQ(engine_->unsupportedBoxes, 1);
  EXPECT_FALSE(engine_->outputOpen());
  // The next file plays as ever.
  engine_->NextTrack();
  engine_->PlayOrResume();
  EXPECT_EQ(current(), 2);
  EXPECT_TRUE(engine_->outputPlaying());
  engine_->StopPlayback();
}

TEST_P(EngineTest, UnplayableFilesOnTrackChanges) {
  std::string bad = folder_.Write("bad.wav", Bytes(200, 0x41));
  AddFiles({WriteWav(folder_, "a.wav", 5, 1), bad, WriteWav(folder_, "c.wav", 5, 2)});
  engine_->PlayOrResume();
  engine_->NextTrack();
  // In both modes: reported once, then passed over; play goes on.
  EXPECT_EQ(engine_->unsupportedBoxes, 1);
  EXPECT_EQ(current(), 3);
  EXPECT_TRUE(engine_->outputPlaying());
  EXPECT_STREQ(engine_->title(), "c");
  // The same when the file before it ends by itself.
  engine_->PlayEntryNumber(1);
  ASSERT_TRUE(PumpUntil([&] { return current() == 3; }, 20000)) << current();
  EXPECT_EQ(engine_->unsupportedBoxes, 2);
  EXPECT_TRUE(engine_->outputPlaying());
  engine_->StopPlayback();
  // A track button on it does nothing either.
  engine_->PlayEntryNumber(2);
  EXPECT_FALSE(engine_->outputOpen());
  EXPECT_EQ(engine_->unsupportedBoxes, 2);
}

// OK with the list unchanged, or with the file that plays still in it, and
// RANDOM on or off: the file plays on, and the lamp (the random flag) and
// the order agree afterwards.
TEST_P(EngineTest, OkAndRandomKeepTheFileThatPlays) {
  AddFiles({WriteWav(folder_, "a.wav", 6, 1), WriteWav(folder_, "b.wav", 6, 2), WriteWav(folder_, "c.wav", 6, 3)});
  auto editsAsEntries = [&](std::vector<int> entries) {
    std::vector<std::string> paths;
    for (int e : entries) paths.push_back(list_.EntryAt(e));
    for (int i = 0; i < kPlayListCapacity; ++i) {
      std::strcpy(list_.EditSlot(i), i < static_cast<int>(paths.size()) ? paths[i].c_str() : "");
    }
  };
  engine_->PlayOrResume();
  engine_->NextTrack();
  ASSERT_EQ(current(), 2);
  editsAsEntries({0, 1, 2});
  engine_->OnListEdited();
  EXPECT_TRUE(engine_->outputPlaying());
  EXPECT_EQ(current(), 2);
  EXPECT_STREQ(engine_->title(), "b");

  engine_->ToggleRandom();
  EXPECT_TRUE(engine_->outputPlaying());
  EXPECT_TRUE(list_.IsShuffled());
  EXPECT_EQ(current(), 2);
  EXPECT_EQ(list_.OrderAt(1), 1);  // the new order starts after it
  EXPECT_EQ(list_.Position(), 1);

  // The playing file moved to the end of the list: it plays on, shuffled.
  editsAsEntries({2, 0, 1});
  engine_->OnListEdited();
  EXPECT_TRUE(engine_->outputPlaying());
  EXPECT_TRUE(list_.IsShuffled());
  EXPECT_EQ(current(), 3);
  EXPECT_STREQ(engine_->title(), "b");

  engine_->ToggleRandom();
  EXPECT_TRUE(engine_->outputPlaying());
  EXPECT_FALSE(list_.IsShuffled());
  EXPECT_EQ(list_.Position(), 3);  // straight: next comes nothing more

  // Gone from the list: play stops, as before.
  editsAsEntries({0, 1});
  engine_->OnListEdited();
  EXPECT_FALSE(engine_->outputOpen());
  engine_->StopPlayback();
}

TEST_P(EngineTest, LoopedListOfNothingPlayableEndsAfterOneRound) {
  AddFiles({folder_.Write("x.wav", Bytes(100, 1)), folder_.Write("y.wav", Bytes(100, 2))});
  engine_->ToggleLoop();
  engine_->PlayOrResume();
  EXPECT_EQ(engine_->unsupportedBoxes, 2);
  EXPECT_FALSE(engine_->outputOpen());
  // A track change looks once more, one round, and says so for each file.
  engine_->NextTrack();
  EXPECT_FALSE(engine_->outputOpen());
  EXPECT_EQ(engine_->unsupportedBoxes, 4);
}

TEST_P(EngineTest, PlayEntryNumberAndRandomOrder) {
  std::vector<std::string> files;
  for (int i = 0; i < 25; ++i) files.push_back(WriteWav(folder_, "t" + std::to_string(i + 1) + ".wav", 2, i + 1));
  for (const std::string& f : files) engine_->AddFile(f.c_str());
  engine_->PlayEntryNumber(0);
  engine_->PlayEntryNumber(26);
  EXPECT_FALSE(engine_->outputOpen());

  engine_->ToggleRandom();
  EXPECT_TRUE(list_.IsShuffled());
  engine_->PlayEntryNumber(23);
  EXPECT_FALSE(list_.IsShuffled());
  EXPECT_EQ(current(), 23);
  EXPECT_TRUE(engine_->outputPlaying());
  EXPECT_EQ(engine_->page(), 20);
  EXPECT_EQ(engine_->trackState(23), kTrackCurrent);
  EXPECT_EQ(engine_->trackState(22), kTrackPlayed);
  EXPECT_EQ(engine_->trackState(24), kTrackToCome);
  EXPECT_STREQ(engine_->title(), "t23");

  // Random on keeps the file playing; the new order starts after it.
  engine_->ToggleRandom();
  EXPECT_TRUE(engine_->outputPlaying());
  EXPECT_EQ(current(), 23);
  EXPECT_TRUE(list_.IsShuffled());
  engine_->SetRandom(false);
  EXPECT_FALSE(list_.IsShuffled());
}

TEST_P(EngineTest, PagesOfTrackButtons) {
  for (int i = 0; i < 25; ++i) engine_->AddFile(WriteWav(folder_, "p" + std::to_string(i) + ".wav", 0.1, i + 1).c_str());
  EXPECT_EQ(engine_->page(), 0);
  EXPECT_TRUE(engine_->NextPage());
  EXPECT_EQ(engine_->page(), 20);
  EXPECT_FALSE(engine_->NextPage());  // 40 is not below 25
  EXPECT_EQ(engine_->page(), 20);
  EXPECT_TRUE(engine_->PreviousPage());
  EXPECT_FALSE(engine_->PreviousPage());
  EXPECT_EQ(engine_->page(), 0);
}

TEST_P(EngineTest, StopFromAnyStateAndClear) {
  AddFiles({WriteWav(folder_, "a.wav", 5, 1), WriteWav(folder_, "b.wav", 5, 2)});
  engine_->PlayOrResume();
  engine_->NextTrack();
  engine_->StopPlayback();
  EXPECT_EQ(engine_->buttons(), ButtonSet::kStopped);
  EXPECT_FALSE(engine_->outputOpen());
  EXPECT_EQ(list_.Position(), 0);
  engine_->PlayOrResume();
  EXPECT_EQ(current(), 1);
  engine_->ClearList();
  EXPECT_EQ(list_.Count(), 0);
  EXPECT_FALSE(engine_->outputOpen());
  EXPECT_EQ(engine_->buttons(), ButtonSet::kEmptyList);
  EXPECT_EQ(engine_->trackState(1), kTrackHidden);
}

// An extended list: "#EXTINF" gives the title line of the entry after it;
// an entry without one shows its file's name.
TEST_P(EngineTest, ExtendedListTitlesShowOnTheTitleLine) {
  WriteWav(folder_, "a.wav", 5, 1);
  WriteWav(folder_, "b.wav", 5, 2);
  const std::string text = "\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:5,Caf\xC3\xA9 \xE2\x80\x93 Listed\r\na.wav\r\nb.wav\r\n";
  const std::string list = folder_.Write("ext.m3u8", Bytes(text.begin(), text.end()));
  engine_->AddFile(list.c_str());
  ASSERT_EQ(list_.Count(), 2);
  EXPECT_TRUE(engine_->outputPlaying());
  EXPECT_STREQ(engine_->title(), "Caf\xC3\xA9 \xE2\x80\x93 Listed");
  engine_->NextTrack();
  EXPECT_STREQ(engine_->title(), "b");
  engine_->StopPlayback();
}

TEST_P(EngineTest, ListFileIsLoadedAndPlayed) {
  std::string a = WriteWav(folder_, "a.wav", 5, 1), b = WriteWav(folder_, "b.wav", 5, 2);
  std::string list = folder_.Write("two.m3u", Bytes(0));
  {
    std::string text = a + "\r\n" + b + "\r\n";
    list = folder_.Write("two.m3u", Bytes(text.begin(), text.end()));
  }
  engine_->AddFile(list.c_str());
  EXPECT_EQ(list_.Count(), 2);
  EXPECT_EQ(current(), 1);
  EXPECT_TRUE(engine_->outputPlaying());
  EXPECT_EQ(engine_->buttons(), ButtonSet::kPlaying);
  engine_->OnSuspendQuery();
  EXPECT_FALSE(engine_->outputOpen());
  EXPECT_EQ(engine_->buttons(), ButtonSet::kStopped);
}

TEST_P(EngineTest, ThreeDCommandsNeedDirectSoundAndAStream) {
  AddFiles({WriteWav(folder_, "a.wav", 20, 1)});
  EXPECT_FALSE(engine_->Handle3D(5020, 15));  // nothing loaded
  engine_->PlayOrResume();
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 40, "3DShareName");
  ASSERT_NE(mapping, nullptr);
  auto* block = static_cast<Shared3DBlock*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(Shared3DBlock)));
  ASSERT_NE(block, nullptr);
  // Handset's values: only the cone angles are selected.
  *block = Shared3DBlock{50.0f, 2.0f, 1.0f, 2.0f, 3.0f, 0.0f, 0.0f, 0.0f, 30, 60};
  EXPECT_EQ(engine_->Handle3D(5020, k3DConeAngles), ds());
  *block = Shared3DBlock{};
  EXPECT_EQ(engine_->Handle3D(5021, k3DAllGroups), ds());
  if (ds()) {
    EXPECT_EQ(block->coneInsideAngle, 30u);
    EXPECT_EQ(block->coneOutsideAngle, 60u);
    EXPECT_EQ(block->positionX, 0.0f);  // position was not applied
    EXPECT_EQ(block->positionZ, 0.0f);
    EXPECT_GT(block->maxDistance, 50.0f);  // the buffer's own default distance
  } else {
    EXPECT_EQ(block->coneInsideAngle, 0u);  // nothing written back
  }
  UnmapViewOfFile(block);
  CloseHandle(mapping);
  engine_->StopPlayback();
}

// The decoder's fixtures (made at build time in the build folder, the
// tests' working folder): one file of each layer, a few seconds each.
std::string MpegFixture(const char* name) {
  char folder[MAX_PATH] = {};
  GetCurrentDirectoryA(sizeof folder, folder);
  return std::string(folder) + "\\mpeg-fixtures\\" + name;
}

// The title line comes from the tags when there are any: "Artist – Title",
// the title alone, the artist with the file's name; else the file's name.
TEST_P(EngineTest, TitleLineFromTheTagsElseTheFileName) {
  const std::string mp3 = ReadFileToString(MpegFixture("l3-44k-stereo-192.mp3"));
  ASSERT_FALSE(mp3.empty());
  auto tagged = [&](const char* title, const char* artist) {
    std::string tag(128, '\0');
    tag.replace(0, 3, "TAG");
    tag.replace(3, std::strlen(title), title);
    tag.replace(33, std::strlen(artist), artist);
    return mp3 + tag;
  };
  TempFolder dir;
  AddFiles({dir.Write("both.mp3", tagged("Song", "Band")), dir.Write("title.mp3", tagged("Only Title", "")),
            dir.Write("artist.mp3", tagged("", "Band")), dir.Write("none.mp3", mp3)});
  const char* expected[] = {"Band \xE2\x80\x93 Song", "Only Title", "Band \xE2\x80\x93 artist", "none"};
  for (int n = 1; n <= 4; ++n) {
    engine_->PlayEntryNumber(n);
    ASSERT_TRUE(engine_->outputPlaying()) << n;
    EXPECT_STREQ(engine_->title(), expected[n - 1]);
  }
  engine_->StopPlayback();
}

TEST_P(EngineTest, MpegFilesOfEveryLayerPlayToTheEndInOrder) {
  AddFiles({MpegFixture("l3-44k-stereo-192.mp3"), MpegFixture("l2-44k-stereo-192-table-b.mp2"),
            MpegFixture("l1-44k-stereo-384.mp1")});
  ASSERT_EQ(list_.Count(), 3);
  engine_->PlayOrResume();
  ASSERT_TRUE(engine_->outputPlaying());
  EXPECT_STREQ(engine_->title(), "l3-44k-stereo-192");
  // SKIPB 2.5 s into an MPEG file seeks the decoder to its start; from
  // there the list plays on to its end.
  PlayPaused();
  engine_->source()->Seek(2500);
  engine_->SkipBack();
  EXPECT_EQ(engine_->source()->PositionMs(), 0u);
  engine_->PauseOrResume();
  ASSERT_TRUE(PumpUntil([&] { return Host::endedEntries.size() >= 3 && !engine_->outputOpen(); }, 40000));
  EXPECT_EQ(Host::endedEntries, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(engine_->buttons(), ButtonSet::kStopped);
  EXPECT_EQ(list_.Position(), 0);
}

INSTANTIATE_TEST_SUITE_P(BothOutputs, EngineTest, ::testing::Values(Mode::kWaveOut, Mode::kDirectSound),
                         [](const ::testing::TestParamInfo<Mode>& info) {
                           return info.param == Mode::kWaveOut ? std::string("WaveOut") : std::string("DirectSound");
                         });

}  // namespace
