// Started by synth_end_to_end_test.py through tools/wine-run --play, so that
// all Cantorix plays lands in the capture file. Cantorix.exe opens the list
// named in CX_E2E_OPEN (two MIDI files) on a machine without a MIDI output
// device: the MIDI player is there and plays it with the built-in
// synthesizer. While the first file's lead-in is still silent the driver
// pauses, presses FAST three times (tempo 120 -> 150) and resumes; then the
// list plays to its end. What was heard is measured by the script.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "common/CommandCodes.h"
#include "midi/MidiPlayerLayout.h"
#include "skin/SkinControls.h"
#include "tests/support/WinTestSupport.h"

namespace {

UINT gCommandMessage = 0;

struct MidiPlayer {
  HWND panel = nullptr;
  HWND midi = nullptr;
  StatusPoller* poller = nullptr;

  void Post(uint16_t code) const { PostMessageA(panel, gCommandMessage, MakeCommand(kRouteMidi, code), 0); }
  void Click(int id) const { PostMessageA(midi, WM_COMMAND, static_cast<WPARAM>(id), 0); }
  uint32_t Status() const { return poller->Query(panel, kRouteMidi); }
  bool Can(uint32_t bit) const {
    const uint32_t s = Status();
    return s != 0xFFFFFFFFu && (s & bit) != 0;
  }
  std::string Title() const {
    char text[128] = {};
    GetWindowTextA(GetDlgItem(midi, kMidiTitle), text, sizeof text);
    return text;
  }
  int Image(int id) const { return static_cast<int>(GetWindowLongPtrA(GetDlgItem(midi, id), GWLP_USERDATA)); }
  int Digits(int firstId) const { return (Image(firstId) - 193) * 10 + Image(firstId + 1) - 193; }
  int Seconds() const { return Digits(2034) * 60 + Digits(2036); }
  int Marker() const { return static_cast<int>(SendMessageA(GetDlgItem(midi, kMidiTempoBar), kMsgGetMarker, 0, 0)); }
};

TEST(SynthEndToEnd, PlaysTheListWithTheTempoChangedWhilePaused) {
  const char* open = std::getenv("CX_E2E_OPEN");
  ASSERT_NE(open, nullptr);
  gCommandMessage = RegisterWindowMessageA(kCommandMessageName);
  StatusPoller poller;
  MidiPlayer player;
  player.poller = &poller;

  ChildProcess cantorix(ProgramFolder() + "\\Cantorix.exe " + open);
  ASSERT_TRUE(cantorix.started());
  player.panel = WaitForShownPanel(20000);
  ASSERT_NE(player.panel, nullptr);
  player.midi = FindWindowExA(player.panel, nullptr, "CXMidiPlayerWindow", nullptr);
  ASSERT_NE(player.midi, nullptr) << "no MIDI player on a machine without a MIDI device";

  // Playing the first file: PAUSE is offered.
  ASSERT_TRUE(PumpUntil([&] { return player.Title() == "first" && player.Can(kStatusPause) && !player.Can(kStatusPlay); },
                        20000))
      << "status " << std::hex << player.Status() << " title '" << player.Title() << "'";
  player.Post(kCmdPause);
  ASSERT_TRUE(PumpUntil([&] { return player.Can(kStatusPlay); }, 10000)) << "no pause";
  const int pausedAt = player.Seconds();
  EXPECT_LT(pausedAt, 5) << "paused after the lead-in: the tempo would change under the notes";
  ASSERT_EQ(player.Marker(), 11);  // tempo 120
  for (int i = 0; i < 3; ++i) player.Click(kMidiFast);
  ASSERT_TRUE(PumpUntil([&] { return player.Marker() == 14; }, 10000)) << "marker " << player.Marker();
  // Nothing moved while paused.
  EXPECT_EQ(player.Seconds(), pausedAt);
  player.Post(kCmdPause);
  ASSERT_TRUE(PumpUntil([&] { return !player.Can(kStatusPlay); }, 10000)) << "no resume";

  // The list goes on to its second file, then stops at its end.
  ASSERT_TRUE(PumpUntil([&] { return player.Title() == "second"; }, 90000)) << "title '" << player.Title() << "'";
  ASSERT_TRUE(PumpUntil([&] { return player.Title().empty() && player.Can(kStatusPlay); }, 90000))
      << "status " << std::hex << player.Status() << " title '" << player.Title() << "'";
  PostMessageA(player.panel, WM_CLOSE, 0, 0);
  EXPECT_EQ(cantorix.Wait(15000), 0);
}

}  // namespace
