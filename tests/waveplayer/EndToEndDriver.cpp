// Started by end_to_end_test.py through tools/wine-run --play, so that all
// Cantorix plays lands in the capture file: starts Cantorix.exe with the
// file or list named in CX_E2E_OPEN, waits until the wave player has played
// it to the end and shows the stopped state, then (for a list, when
// CX_E2E_FIRST_TITLE is set) presses PLAY once more to see the list start
// again from its first file, stops, and closes Cantorix. With CX_E2E_SKIP
// set, SKIPF is pressed once as soon as the file plays.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "common/CommandCodes.h"
#include "tests/support/WinTestSupport.h"

namespace {

UINT gCommandMessage = 0;

// The test prefix has the CD-ROM drive X:, so the CD player is shown too,
// and the MIDI player with its built-in synthesizer.
constexpr uint32_t kStopped = kStatusPlaylist | kStatusPlay | kStatusTrackForward | kStatusTrackBack |
                              kStatusWaveShown | kStatusCdShown | kStatusMidiShown;

struct Player {
  HWND panel = nullptr;
  HWND wave = nullptr;
  StatusPoller* poller = nullptr;

  void Post(uint16_t code, LPARAM lParam = 0) const {
    PostMessageA(panel, gCommandMessage, MakeCommand(kRouteWave, code), lParam);
  }
  uint32_t Status() const { return poller->Query(panel, kRouteWave); }
  std::string Title() const { return WaveTitle(wave); }
  int Digits(int firstId) const { return ShownDigits(wave, firstId); }
  bool ShowsStopped() const {
    return Status() == kStopped && Title().empty() && Digits(2032) == 0 && Digits(2034) == 0 &&
           Digits(2036) == 0;
  }
};

TEST(EndToEnd, PlaysToTheEndAndShowsTheStoppedState) {
  const char* open = std::getenv("CX_E2E_OPEN");
  ASSERT_NE(open, nullptr);
  const char* firstTitle = std::getenv("CX_E2E_FIRST_TITLE");
  gCommandMessage = RegisterWindowMessageA(kCommandMessageName);
  StatusPoller poller;
  Player player;
  player.poller = &poller;

  ChildProcess cantorix(ProgramFolder() + "\\Cantorix.exe " + open);
  ASSERT_TRUE(cantorix.started());
  player.panel = WaitForShownPanel(20000);
  ASSERT_NE(player.panel, nullptr);
  player.wave = FindWindowExA(player.panel, nullptr, "CXWavePlayerClass", nullptr);
  ASSERT_NE(player.wave, nullptr);

  if (std::getenv("CX_E2E_SKIP") != nullptr) {
    ASSERT_TRUE(PumpUntil([&] { return (player.Status() & kStatusStop) != 0; }, 20000))
        << "status " << std::hex << player.Status();
    player.Post(kCmdSkipForward);
  }
  // The file was opened before the panel showed; it plays, then stops.
  ASSERT_TRUE(PumpUntil([&] { return player.ShowsStopped(); }, 60000))
      << "status " << std::hex << player.Status() << " title '" << player.Title() << "'";
  std::printf("stopped: track %d, %d:%02d\n", player.Digits(2032), player.Digits(2034), player.Digits(2036));

  if (firstTitle != nullptr) {
    // Rewound: PLAY starts with the first file of the list. The file sink
    // plays a short first file in a fraction of a second, so PAUSE follows
    // in the same queue and the check reads a state that holds still.
    player.Post(kCmdPlay);
    player.Post(kCmdPause);
    EXPECT_TRUE(PumpUntil([&] { return player.Title() == firstTitle && player.Digits(2032) == 1; }, 5000))
        << "title '" << player.Title() << "' track " << player.Digits(2032);
    player.Post(kCmdStop);
    EXPECT_TRUE(PumpUntil([&] { return player.ShowsStopped(); }, 5000));
  }
  PostMessageA(player.panel, WM_CLOSE, 0, 0);
  EXPECT_EQ(cantorix.Wait(15000), 0);
}

}  // namespace
