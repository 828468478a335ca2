// Started by end_to_end_test.py through tools/wine-run --play, so that all
// Cantorix plays lands in the capture file: starts Cantorix.exe playing the
// WAV named in CX_E2E_OPEN and, while it plays, drives the mixer module from
// this second process the way a user and the remote would (the master
// fader, its mute button, the remote's +/- through the command message).
// Each step is held long enough to show in the capture and printed as
// "step <name> <fader position> <muted>"; the script then measures the
// captured amplitude of each step. The fader and button are read back
// through the window after every step.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/CommandCodes.h"
#include "mixer/MixerLayout.h"
#include "resources/ResourceIds.h"
#include "skin/SkinControls.h"
#include "tests/support/WinTestSupport.h"

namespace {

constexpr DWORD kHoldMs = 1500;

struct Cantorix {
  UINT command = RegisterWindowMessageA(kCommandMessageName);
  HWND panel = nullptr;
  HWND mixer = nullptr;
  StatusPoller poller;

  HWND Item(int id) const { return GetDlgItem(mixer, id); }
  int Fader() const { return static_cast<int>(SendMessageA(Item(kPlaybackMasterFader), kMsgSliderGetPosition, 0, 0)); }
  bool Muted() const { return GetWindowLongPtrA(Item(kPlaybackButton), GWLP_USERDATA) == kMixerMuteOn; }
  bool Playing() { return (poller.Query(panel, kRouteWave) & kStatusPause) != 0; }
  // As a drag of the fader: the fader tells the mixer window.
  void MoveFader(int position) { SendMessageA(Item(kPlaybackMasterFader), kMsgSliderSetPosition, position, 1); }
  void ClickMute() { PostMessageA(mixer, WM_COMMAND, MAKEWPARAM(kPlaybackButton, 0), 0); }
  void RemoteKey(LPARAM key) { PostMessageA(panel, command, MakeCommand(kRouteMixer, kCmdMixerStep), key); }
};

TEST(MixerEndToEnd, FaderMuteAndRemoteScaleWhatPlays) {
  const char* open = std::getenv("CX_E2E_OPEN");
  ASSERT_NE(open, nullptr);
  Cantorix c;
  ChildProcess cantorix(ProgramFolder() + "\\Cantorix.exe " + open);
  ASSERT_TRUE(cantorix.started());
  c.panel = WaitForShownPanel(20000);
  ASSERT_NE(c.panel, nullptr);
  c.mixer = FindWindowExA(c.panel, nullptr, kMixerClass, nullptr);
  ASSERT_NE(c.mixer, nullptr);
  ASSERT_NE(c.Item(kPlaybackMasterFader), nullptr);
  ASSERT_TRUE(PumpUntil([&] { return c.Playing(); }, 20000));

  struct Step {
    const char* name;
    void (*act)(Cantorix&);
    int fader;
    bool muted;
  };
  const Step steps[] = {
      {"full", [](Cantorix& x) { x.MoveFader(50); }, 50, false},
      {"half", [](Cantorix& x) { x.MoveFader(25); }, 25, false},
      {"fifth", [](Cantorix& x) { x.MoveFader(10); }, 10, false},
      {"muted", [](Cantorix& x) { x.ClickMute(); }, 10, true},
      {"unmuted", [](Cantorix& x) { x.ClickMute(); }, 10, false},
      {"remote-up", [](Cantorix& x) { x.RemoteKey(kMixerStepUp); }, 12, false},
      {"bottom", [](Cantorix& x) { x.MoveFader(1); x.RemoteKey(kMixerStepDown); x.RemoteKey(kMixerStepDown); }, 0,
       false},
  };
  for (const Step& step : steps) {
    step.act(c);
    EXPECT_TRUE(PumpUntil([&] { return c.Fader() == step.fader && c.Muted() == step.muted; }, 3000))
        << step.name << ": fader " << c.Fader() << " muted " << c.Muted();
    std::printf("step %s %d %d\n", step.name, step.fader, step.muted ? 1 : 0);
    std::fflush(stdout);
    PumpFor(kHoldMs);
  }
  EXPECT_TRUE(c.Playing()) << "the file ended before the last step was held";
  PostMessageA(c.panel, c.command, MakeCommand(kRouteWave, kCmdStop), 0);
  PumpFor(300);
  PostMessageA(c.panel, WM_CLOSE, 0, 0);
  EXPECT_EQ(cantorix.Wait(15000), 0);
}

}  // namespace
