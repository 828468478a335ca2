// End to end: Cantorix.exe started with /PLAY plays a disc through the
// project's fake CD audio driver (registered for this run in the prefix's
// system.ini), and this second process watches and drives it as Handset
// does: the status query, NEXT and PAUSE through the main panel, and the
// LED digits' image numbers read across the process boundary. The fake
// disc plays four times faster than real time.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "common/CommandCodes.h"
#include "tests/cd/CdTestSupport.h"
#include "tests/support/WinTestSupport.h"

namespace {

constexpr uint32_t kShown = kStatusCdShown;
constexpr uint32_t kAlways = kStatusPlaylist | kStatusEject | kStatusTrackForward | kStatusTrackBack;
constexpr uint32_t kStopped = kAlways | kStatusPlay;
constexpr uint32_t kPlaying = kAlways | kStatusStop | kStatusPause | kStatusSkipForward | kStatusSkipBack;

class CdEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FindTopLevelWindows("CANTORIX").empty());
    command_ = RegisterWindowMessageA(kCommandMessageName);
    // Tracks of 8, 8, 60 and 3 seconds at four times real speed; Cantorix
    // inherits the script. The first two last long enough to be seen on a
    // busy machine, where the first status reply can take a second.
    SetEnvironmentVariableA("CX_FAKE_CD", "4:8,8,60,3");
    cantorix_.reset(new ChildProcess(ProgramFolder() + "\\Cantorix.exe /PLAY"));
    ASSERT_TRUE(cantorix_->started());
    panel_ = WaitForShownPanel(20000);
    ASSERT_NE(panel_, nullptr);
    cd_ = FindWindowExA(panel_, nullptr, "CXCDPlayerWindow", nullptr);
    ASSERT_NE(cd_, nullptr);
  }
  void TearDown() override {
    if (panel_ != nullptr) PostMessageA(panel_, WM_CLOSE, 0, 0);
    if (cantorix_) {
      EXPECT_EQ(cantorix_->Wait(15000), 0);
    }
  }
  void Post(uint16_t code) { PostMessageA(panel_, command_, MakeCommand(kRouteCd, code), 0); }
  uint32_t Status() { return poller_.Query(panel_, kRouteCd) & ~(kStatusWaveShown | kStatusMidiShown); }
  bool WaitStatus(uint32_t expected) { return PumpUntil([&] { return Status() == expected; }, 8000); }
  int Image(int id) { return static_cast<int>(GetWindowLongPtrA(GetDlgItem(cd_, id), GWLP_USERDATA)); }
  int Digits(int firstId) { return (Image(firstId) - 193) * 10 + Image(firstId + 1) - 193; }
  bool WaitTrack(int track, DWORD ms = 8000) { return PumpUntil([&] { return Digits(2032) == track; }, ms); }

  CdAudioDriver driver_{"fake"};
  TestDisc disc_{4};
  UINT command_ = 0;
  std::unique_ptr<ChildProcess> cantorix_;
  HWND panel_ = nullptr;
  HWND cd_ = nullptr;
  StatusPoller poller_;
};

TEST_F(CdEndToEndTest, PlaysTheDiscTrackByTrackToItsEnd) {
  // /PLAY: the first track plays at once, and each track's end starts the next.
  EXPECT_TRUE(WaitStatus(kPlaying | kShown));
  EXPECT_TRUE(WaitTrack(1));
  EXPECT_TRUE(WaitTrack(2));
  EXPECT_TRUE(WaitTrack(3));
  EXPECT_TRUE(PumpUntil([&] { return Digits(2036) >= 2; }, 8000));  // the seconds run

  Post(kCmdPause);
  EXPECT_TRUE(WaitStatus(kPlaying | kStatusPlay | kShown));
  Post(kCmdPause);
  EXPECT_TRUE(WaitStatus(kPlaying | kShown));
  Post(kCmdSkipForward);  // 10 s on, still in track 3
  EXPECT_TRUE(PumpUntil([&] { return Digits(2036) >= 12; }, 4000));
  EXPECT_EQ(Digits(2032), 3);

  Post(kCmdNext);
  EXPECT_TRUE(WaitTrack(4));
  // The last track ends the disc: stopped, rewound, 00 00 00.
  EXPECT_TRUE(WaitStatus(kStopped | kShown));
  EXPECT_EQ(Digits(2032), 0);
  EXPECT_EQ(Digits(2036), 0);
  // PLAY starts the disc again from the first track.
  Post(kCmdPlay);
  EXPECT_TRUE(WaitTrack(1));
  EXPECT_TRUE(WaitStatus(kPlaying | kShown));
}

}  // namespace
