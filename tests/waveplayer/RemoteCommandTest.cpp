// Two real processes: Cantorix.exe runs, and this program drives its wave
// player the way Handset does, by posting the registered command message to
// the main panel and polling the status with command 1080. What the player
// shows is read across the process boundary: the title line's text and the
// image numbers the LED digits and lamps keep in their user data.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/CommandCodes.h"
#include "tests/audio/AudioTestFiles.h"
#include "tests/support/WinTestSupport.h"

namespace {

UINT gCommandMessage = 0;

class RemoteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FindTopLevelWindows("CANTORIX").empty());
    gCommandMessage = RegisterWindowMessageA(kCommandMessageName);
    // CTest runs this with dsound disabled (the child inherits Wine's
    // environment), so Cantorix plays through the wave output device, whose
    // pause keeps "playing": the steps below rely on that.
    cantorix_.reset(new ChildProcess(ProgramFolder() + "\\Cantorix.exe"));
    ASSERT_TRUE(cantorix_->started());
    panel_ = WaitForShownPanel(20000);
    ASSERT_NE(panel_, nullptr);
    wave_ = FindWindowExA(panel_, nullptr, "CXWavePlayerClass", nullptr);
    ASSERT_NE(wave_, nullptr);
  }
  void TearDown() override {
    if (panel_ != nullptr) PostMessageA(panel_, WM_CLOSE, 0, 0);
    if (cantorix_) {
      EXPECT_EQ(cantorix_->Wait(15000), 0);
    }
  }
  void Post(uint16_t code, LPARAM lParam = 0) {
    PostMessageA(panel_, gCommandMessage, MakeCommand(kRouteWave, code), lParam);
  }
  uint32_t Status() { return poller_.Query(panel_, kRouteWave); }
  bool WaitStatus(uint32_t expected) {
    return PumpUntil([&] { return Status() == expected; }, 8000);
  }
  std::string Title() { return WaveTitle(wave_); }
  bool WaitTitle(const std::string& title) { return WaitWaveTitle(wave_, title); }
  int Image(int id) { return PictureImage(wave_, id); }
  int Digits(int firstId) { return ShownDigits(wave_, firstId); }
  int ShownSeconds() { return Digits(2034) * 60 + Digits(2036); }
  // Opens a file the way a second start of Cantorix hands it over.
  void HandOver(const std::string& path) {
    ATOM atom = GlobalAddAtomA(path.c_str());
    SendMessageA(panel_, gCommandMessage, MakeCommand(kRouteMainPanel, kCmdOpenFile), atom);
    GlobalDeleteAtom(atom);
  }

  TempFolder folder_;
  std::unique_ptr<ChildProcess> cantorix_;
  HWND panel_ = nullptr;
  HWND wave_ = nullptr;
  StatusPoller poller_;
};

// The test prefix has the CD-ROM drive X:, so the CD player is shown too.
// The MIDI player is there too: the built-in synthesizer plays where no MIDI
// device is.
constexpr uint32_t kShown = kStatusWaveShown | kStatusCdShown | kStatusMidiShown;
constexpr uint32_t kStopped = kStatusPlaylist | kStatusPlay | kStatusTrackForward | kStatusTrackBack | kShown;
constexpr uint32_t kPlaying = kStatusPlaylist | kStatusStop | kStatusPause | kStatusSkipForward |
                              kStatusSkipBack | kStatusTrackForward | kStatusTrackBack | kShown;

TEST_F(RemoteTest, HandsetCommandsDriveTheWavePlayer) {
  std::string list;
  for (const char* name : {"alpha", "beta", "gamma", "delta"}) {
    // Ten minutes each. The file sink plays about four times faster than
    // real time, so that is still minutes: no file ends while the steps
    // run, however loaded the machine is.
    list += folder_.Write(std::string(name) + ".wav", SimpleWav(8000, 1, 8, TestPcm(8000 * 600, name[0]))) + "\r\n";
  }
  std::string listFile = folder_.Write("four.m3u", Bytes(list.begin(), list.end()));
  EXPECT_EQ(Status(), kStatusPlaylist | kShown);

  HandOver(listFile);
  ASSERT_TRUE(WaitTitle("alpha"));
  EXPECT_TRUE(WaitStatus(kPlaying));
  EXPECT_TRUE(PumpUntil([&] { return Digits(2032) == 1; }, 3000));

  Post(kCmdPause);
  EXPECT_TRUE(WaitStatus(kPlaying | kStatusPlay));
  Post(kCmdPause);
  EXPECT_TRUE(WaitStatus(kPlaying));
  Post(kCmdPlay);  // already playing: nothing changes
  EXPECT_TRUE(WaitStatus(kPlaying));

  Post(kCmdNext);
  EXPECT_TRUE(WaitTitle("beta"));
  EXPECT_TRUE(PumpUntil([&] { return Digits(2032) == 2; }, 3000));
  Post(kCmdPrevious);
  EXPECT_TRUE(WaitTitle("alpha"));
  Post(kCmdPlayEntry, 3);
  EXPECT_TRUE(WaitTitle("gamma"));
  EXPECT_TRUE(PumpUntil([&] { return Digits(2032) == 3; }, 3000));
  EXPECT_TRUE(WaitStatus(kPlaying));

  // Skips move the time shown by ten seconds.
  Post(kCmdSkipForward);
  Post(kCmdSkipForward);
  ASSERT_TRUE(PumpUntil([&] { return ShownSeconds() >= 20; }, 4000)) << ShownSeconds();
  const int before = ShownSeconds();
  Post(kCmdSkipBack);
  EXPECT_TRUE(PumpUntil([&] { return ShownSeconds() < before; }, 4000)) << before << " " << ShownSeconds();
  EXPECT_TRUE(WaitStatus(kPlaying));

  Post(kCmdStop);
  EXPECT_TRUE(WaitStatus(kStopped));
  EXPECT_TRUE(WaitTitle(""));
  EXPECT_EQ(Digits(2032), 0);
  EXPECT_EQ(ShownSeconds(), 0);

  Post(kCmdRandom);
  EXPECT_TRUE(PumpUntil([&] { return Image(2042) == 450 && Image(2041) == 445; }, 3000));
  Post(kCmdRandom);
  EXPECT_TRUE(PumpUntil([&] { return Image(2042) == 449 && Image(2041) == 446; }, 3000));
  Post(kCmdRepeat);
  EXPECT_TRUE(PumpUntil([&] { return Image(2040) == 444; }, 3000));
  Post(kCmdRepeat);
  EXPECT_TRUE(PumpUntil([&] { return Image(2040) == 453; }, 3000));

  // After a stop PLAY starts from the first entry again.
  Post(kCmdPlay);
  EXPECT_TRUE(WaitTitle("alpha"));
  Post(kCmdStop);
  EXPECT_TRUE(WaitStatus(kStopped));

  // Hidden, the player gets no commands and says so in the status bits.
  PostMessageA(panel_, gCommandMessage, MakeCommand(kRouteWave, kCmdClosePlayer), 0);
  Post(kCmdPlay);
  PumpFor(300);
  EXPECT_FALSE(IsWindowVisible(wave_));
  EXPECT_EQ(Title(), "");
}

// Cantorix gives every player's list its playlist window at start-up: the
// PLAYLIST command brings it up, owned by the panel, which waits for it.
TEST_F(RemoteTest, PlaylistCommandShowsThePlaylistWindow) {
  Post(kCmdShowPlaylist);
  HWND window = nullptr;
  ASSERT_TRUE(PumpUntil(
      [&] {
        // Every player's list has its window (the CD player's too); only
        // the wave player's is to be shown.
        std::vector<HWND> shown;
        for (HWND w : FindTopLevelWindows("PlayListClass")) {
          if (IsWindowVisible(w)) shown.push_back(w);
        }
        window = shown.size() == 1 ? shown[0] : nullptr;
        return window != nullptr && !IsWindowEnabled(panel_);
      },
      8000));
  char title[32] = {};
  GetWindowTextA(window, title, sizeof title);
  EXPECT_STREQ(title, "PlayList");
  EXPECT_EQ(GetWindow(window, GW_OWNER), panel_);
  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(PumpUntil([&] { return IsWindowEnabled(panel_) && !IsWindowVisible(window); }, 8000));
}

}  // namespace
