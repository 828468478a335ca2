// The real mixer window inside a real main panel: first on Wine's own mixer
// (a uniform master, no record destination), then on a fake sound card for
// what Wine cannot offer (many sources, a source selector, stereo, odd
// ranges, and changes made by another program arriving as notifications).
// Saves build/screenshots/mixer.bmp.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "common/CommandCodes.h"
#include "mixer/MixerDevice.h"
#include "mixer/MixerLayout.h"
#include "mixer/MixerScale.h"
#include "mixer/MixerSwitch.h"
#include "mixer/MixerWindow.h"
#include "shell/App.h"
#include "shell/MainPanel.h"
#include "skin/SkinControls.h"
#include "tests/mixer/FakeMixer.h"
#include "tests/shell/PanelTestSupport.h"
#include "tests/support/ScreenCapture.h"
#include "tests/support/WinTestSupport.h"

namespace {

using mixer::PositionToLevel;

FakeMixer* gFake = nullptr;

HWND CreateFakeMixer(const PlayerHost& host, HWND panel) { return CreateMixerWindow(host, panel, *gFake); }
bool Yes() { return true; }

// The panel's helpers register a stand-in under the mixer's class name; the
// real window brings its own.
void PrepareClasses() {
  static bool prepared = false;
  if (prepared) return;
  prepared = true;
  PreparePanelClasses();
  UnregisterClassA(kMixerClass, GetModuleHandleA(nullptr));
}

class MixerTest : public ::testing::Test {
 protected:
  void Open(const PlayerModule& module) {
    module_ = module;
    PrepareClasses();
    RegisterPlayerModule(kPlayerMixer, &module_);
    panel_ = CreateTestPanel(false);
    ASSERT_NE(panel_, nullptr);
    OpenPlayer(panel_, kPlayerMixer);
    mixer_ = PlayerSlotOf(kPlayerMixer).window;
    ASSERT_NE(mixer_, nullptr);
  }
  void TearDown() override {
    if (panel_ != nullptr) DestroyWindow(panel_);
    RegisterPlayerModule(kPlayerMixer, nullptr);
  }
  HWND Item(int id) const { return GetDlgItem(mixer_, id); }
  int Position(int id) const { return static_cast<int>(SendMessageA(Item(id), kMsgSliderGetPosition, 0, 0)); }
  int Level(int id) const { return LevelBarLevel(Item(id)); }
  // Moves a slider as the mouse would: the slider tells the window.
  void Move(int id, int position) {
    SendMessageA(Item(id), kMsgSliderSetPosition, position, 1);
    PumpFor(20);
  }
  void Click(int id) {
    SendMessageA(mixer_, WM_COMMAND, MAKEWPARAM(id, 0), reinterpret_cast<LPARAM>(Item(id)));
  }
  void Remote(uint16_t route, uint16_t code, LPARAM lParam) {
    SendMessageA(panel_, gApp.commandMessage, MakeCommand(route, code), lParam);
    PumpFor(20);
  }
  bool Visible(int id) const { return (GetWindowLongPtrA(Item(id), GWL_STYLE) & WS_VISIBLE) != 0; }

  PlayerModule module_ = {};
  HWND panel_ = nullptr;
  HWND mixer_ = nullptr;
};

// ---- Wine's mixer ----

// Reads mixer 0 as another part of this process would.
struct Probe {
  Probe() : window(CreateWindowExA(0, "STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr)) {
    device.Open(window);
  }
  ~Probe() { DestroyWindow(window); }
  HWND window;
  MixerDevice device{SystemMixerApi()};
};

TEST_F(MixerTest, OnWinesMixerTheFaderAndMuteReachTheDevice) {
  ASSERT_NO_FATAL_FAILURE(Open(MixerModule()));
  Probe probe;
  ASSERT_TRUE(probe.device.speakers().found);
  // Wine has no record destination: its page is empty, and nothing on it
  // drives line 0 (Wine's wave line) by mistake.
  EXPECT_FALSE(probe.device.record().found);
  for (int slot = 0; slot < mixer::kSlotCount; ++slot) {
    EXPECT_EQ(Item(ButtonId(mixer::Side::kRecord, slot)), nullptr) << slot;
    EXPECT_EQ(Item(FaderId(mixer::Side::kRecord, slot)), nullptr) << slot;
  }
  // The master is uniform: one value, no balance, both bars alike.
  ASSERT_NE(Item(kPlaybackMasterFader), nullptr);
  EXPECT_EQ(Item(kPlaybackMasterBalance), nullptr);
  VolumeControl master(probe.device);
  ASSERT_TRUE(master.Attach(probe.device.speakers().lineId));
  Move(kPlaybackMasterFader, 20);
  ASSERT_TRUE(master.Read());
  EXPECT_EQ(master.left(), PositionToLevel(20, master.span()));
  EXPECT_EQ(master.right(), master.left());
  EXPECT_EQ(Level(kPlaybackBarLeft), 40);
  EXPECT_EQ(Level(kPlaybackBarRight), 40);

  MuteControl mute(probe.device);
  ASSERT_TRUE(mute.Attach(probe.device.speakers().lineId));
  Click(kPlaybackButton);
  ASSERT_TRUE(mute.Read());
  EXPECT_TRUE(mute.muted());
  EXPECT_TRUE(SwitchShowsOn(Item(kPlaybackButton)));
  Click(kPlaybackButton);
  ASSERT_TRUE(mute.Read());
  EXPECT_FALSE(mute.muted());
  EXPECT_FALSE(SwitchShowsOn(Item(kPlaybackButton)));
}

TEST_F(MixerTest, RemoteStepsStayWithinTheFaderAndOnlyTheStepCommandCounts) {
  ASSERT_NO_FATAL_FAILURE(Open(MixerModule()));
  Probe probe;
  VolumeControl master(probe.device);
  ASSERT_TRUE(master.Attach(probe.device.speakers().lineId));
  Move(kPlaybackMasterFader, 1);
  Remote(kRouteMixer, kCmdMixerStep, kMixerStepDown);
  EXPECT_EQ(Position(kPlaybackMasterFader), 0);
  // "-" at the bottom stays at the bottom instead of wrapping to full.
  Remote(kRouteMixer, kCmdMixerStep, kMixerStepDown);
  EXPECT_EQ(Position(kPlaybackMasterFader), 0);
  ASSERT_TRUE(master.Read());
  EXPECT_EQ(master.left(), PositionToLevel(0, master.span()));
  Remote(kRouteMixer, kCmdMixerStep, kMixerStepUp);
  EXPECT_EQ(Position(kPlaybackMasterFader), 2);
  Move(kPlaybackMasterFader, 49);
  Remote(kRouteMixer, kCmdMixerStep, kMixerStepUp);
  Remote(kRouteMixer, kCmdMixerStep, kMixerStepUp);
  EXPECT_EQ(Position(kPlaybackMasterFader), 50);
  ASSERT_TRUE(master.Read());
  EXPECT_EQ(master.left(), master.span());

  // The panel turns any code on the mixer's route into the step; other
  // arguments (a status query's reply window) change nothing and get no
  // reply. The window itself checks the route too.
  Move(kPlaybackMasterFader, 30);
  Remote(kRouteMixer, kCmdStatusQuery, reinterpret_cast<LPARAM>(probe.window));
  Remote(kRouteMixer, kCmdMixerStep, 0);
  PostMessageA(mixer_, gApp.commandMessage, MakeCommand(kRouteWave, kCmdMixerStep), kMixerStepUp);
  PumpFor(30);
  MSG reply;
  EXPECT_FALSE(PeekMessageA(&reply, probe.window, kMsgStatusReply, kMsgStatusReply, PM_REMOVE));
  EXPECT_EQ(Position(kPlaybackMasterFader), 30);
  ASSERT_TRUE(master.Read());
  EXPECT_EQ(master.left(), PositionToLevel(30, master.span()));
  Remote(kRouteMixer, kCmdStatusQuery, kMixerStepUp);
  EXPECT_EQ(Position(kPlaybackMasterFader), 32);
}

// ---- a fake sound card ----

// Speakers on line 0 (a real id), with a uniform master; sources that test
// the column rules; a record destination whose selector lists its sources
// in another order than the mixer enumerates them.
void BuildCard(FakeMixer& f) {
  FakeLine& speakers = f.AddDestination(0, "Master Volume", MIXERLINE_COMPONENTTYPE_DST_SPEAKERS);
  FakeControl& master = f.AddControl(speakers, 1, MIXERCONTROL_CONTROLTYPE_VOLUME);
  master.uniform = true;
  master.values[0] = 40000;
  f.AddControl(speakers, 2, MIXERCONTROL_CONTROLTYPE_MUTE);
  struct Source {
    DWORD id;
    const char* name;
    DWORD type;
    DWORD channels;
    DWORD minimum, maximum, value;
    bool muted;
  };
  const Source sources[] = {
      {10, "Wave", mixer::kSourceSynthesizer, 2, 0, 65535, 50000, true},
      {20, "", mixer::kSourceSynthesizer, 2, 0, 65535, 30000, false},
      {30, "Music", mixer::kSourceSynthesizer, 2, 0, 65535, 30000, false},
      {40, "Microphone", mixer::kSourceMicrophone, 1, 0, 65535, 20000, false},
      {50, "CD Audio", mixer::kSourceCompactDisc, 2, 100, 100, 100, false},
      {60, "Aux", mixer::kSourceAuxiliary, 2, 1000, 0xFFFFFFFF, 1000, false},
      {70, "PC Beep", mixer::kSourceUndefined, 2, 0, 65535, 65535, false},
  };
  for (const Source& s : sources) {
    FakeLine& line = f.AddSource(0, s.id, s.name, s.type, s.channels);
    FakeControl& volume = f.AddControl(line, s.id + 1, MIXERCONTROL_CONTROLTYPE_VOLUME);
    volume.minimum = s.minimum;
    volume.maximum = s.maximum;
    volume.values[0] = volume.values[1] = s.value;
    f.AddControl(line, s.id + 2, MIXERCONTROL_CONTROLTYPE_MUTE).values[0] = s.muted;
  }
  FakeLine& record = f.AddDestination(200, "Recording Control", MIXERLINE_COMPONENTTYPE_DST_WAVEIN);
  f.AddControl(record, 201, MIXERCONTROL_CONTROLTYPE_VOLUME).values[0] = 65535;
  FakeControl& mux = f.AddControl(record, 203, MIXERCONTROL_CONTROLTYPE_MUX);
  mux.itemLines = {230, 210, 220};
  mux.selected = {0, 1, 0};
  const Source inputs[] = {{210, "Microphone", mixer::kSourceMicrophone, 1, 0, 65535, 9000, false},
                           {220, "StereoMix", mixer::kSourceWaveOut, 2, 0, 65535, 9000, false},
                           {230, "Line In", mixer::kSourceLine, 2, 0, 65535, 9000, false}};
  for (const Source& s : inputs) {
    FakeLine& line = f.AddSource(1, s.id, s.name, s.type, s.channels);
    f.AddControl(line, s.id + 1, MIXERCONTROL_CONTROLTYPE_VOLUME).values[0] = s.value;
  }
}

class FakeCardTest : public MixerTest {
 protected:
  void SetUp() override {
    BuildCard(fake_);
    gFake = &fake_;
    PlayerModule module = MixerModule();
    module.create = CreateFakeMixer;
    module.deviceExists = Yes;
    ASSERT_NO_FATAL_FAILURE(Open(module));
  }
  void TearDown() override {
    MixerTest::TearDown();
    EXPECT_FALSE(fake_.open) << "the window closes the mixer";
    gFake = nullptr;
  }
  DWORD Value(DWORD control, int k = 0) { return fake_.Control(control)->values[k]; }
  FakeMixer fake_;
};

TEST_F(FakeCardTest, LinesLandInColumnsByNameThenTypeAndTheFirstOneWins) {
  using mixer::Side;
  for (int slot : {0, 1, 2, 3, 4, 6, 9}) EXPECT_NE(Item(ButtonId(Side::kPlayback, slot)), nullptr) << slot;
  for (int slot : {5, 7, 8}) EXPECT_EQ(Item(ButtonId(Side::kPlayback, slot)), nullptr) << slot;
  // Column 2 is the unnamed synthesizer's; "Music" came second and has none.
  Click(ButtonId(Side::kPlayback, 2));
  EXPECT_EQ(Value(22), 1u);
  EXPECT_EQ(Value(32), 0u);
  // The muted "Wave" line shows its button set.
  EXPECT_TRUE(SwitchShowsOn(Item(ButtonId(Side::kPlayback, 1))));
  EXPECT_FALSE(SwitchShowsOn(Item(ButtonId(Side::kPlayback, 3))));
  // One value (uniform master, mono microphone): a fader without balance.
  EXPECT_EQ(Item(kPlaybackMasterBalance), nullptr);
  EXPECT_NE(Item(kPlaybackFader + 4), nullptr);
  EXPECT_EQ(Item(kPlaybackBalance + 4), nullptr);
  EXPECT_NE(Item(kPlaybackBalance + 1), nullptr);
}

TEST_F(FakeCardTest, ControlRangesAreUsedWholeAndAnEmptyRangeIsDisabled) {
  // "CD Audio" has maximum = minimum: shown, but nothing can be set.
  EXPECT_FALSE(IsWindowEnabled(Item(kPlaybackFader + 3)));
  const int calls = fake_.setCalls;
  Move(kPlaybackFader + 3, 30);
  EXPECT_EQ(fake_.setCalls, calls);
  // "Aux" spans 1000..0xFFFFFFFF: positions map over the whole span above
  // the minimum.
  EXPECT_EQ(Position(kPlaybackFader + 6), 0);
  Move(kPlaybackFader + 6, 25);
  const DWORD expected = 1000 + PositionToLevel(25, 0xFFFFFFFFu - 1000);
  EXPECT_EQ(Value(61, 0), expected);
  EXPECT_EQ(Value(61, 1), expected);
  EXPECT_EQ(Level(kPlaybackBarLeft + 6), 50);
  Move(kPlaybackFader + 6, 50);
  EXPECT_EQ(Value(61, 0), 0xFFFFFFFFu);
  EXPECT_EQ(Level(kPlaybackBarRight + 6), 100);
}

TEST_F(FakeCardTest, ChangesFromOutsideMoveFadersBalanceBarsAndButtons) {
  // Another program sets "Wave" to 60000 left, 20000 right.
  fake_.ChangeFromOutside(11, 60000, 20000);
  EXPECT_EQ(Position(kPlaybackFader + 1), 60000 * 50 / 65535);
  EXPECT_EQ(Position(kPlaybackBalance + 1), 25 / 2);
  EXPECT_EQ(Level(kPlaybackBarLeft + 1), 60000 * 100 / 65535);
  EXPECT_EQ(Level(kPlaybackBarRight + 1), 20000 * 100 / 65535);
  fake_.ChangeFromOutside(12, 0);
  EXPECT_FALSE(SwitchShowsOn(Item(kPlaybackButton + 1)));
  // The fader keeps that balance: right stays a third of left.
  Move(kPlaybackFader + 1, 25);
  EXPECT_EQ(Value(11, 0), PositionToLevel(25, 65535));
  EXPECT_NEAR(static_cast<double>(Value(11, 1)), Value(11, 0) / 3.0, 1.0);
  // The balance's middle gives both sides the louder value.
  Move(kPlaybackBalance + 1, 25);
  EXPECT_EQ(Value(11, 1), Value(11, 0));
  // A uniform master answers one value: both bars show it.
  fake_.ChangeFromOutside(1, 65535, 0);
  EXPECT_EQ(Position(kPlaybackMasterFader), 50);
  EXPECT_EQ(Level(kPlaybackBarLeft), 100);
  EXPECT_EQ(Level(kPlaybackBarRight), 100);
}

TEST_F(FakeCardTest, TheSelectorPicksTheClickedSourceAndFollowsOutsideChoices) {
  Click(kRecordPageKey);
  EXPECT_EQ(MixerPageOf(mixer_), kPageRecord);
  // Items name their lines in another order than the sources come.
  EXPECT_TRUE(SwitchShowsOn(Item(kRecordButton + 4)));  // microphone, item 1
  EXPECT_FALSE(SwitchShowsOn(Item(kRecordButton + 1)));
  EXPECT_FALSE(SwitchShowsOn(Item(kRecordButton + 5)));
  Click(kRecordButton + 5);  // line in: item 0, source 2
  const std::vector<LONG> lineIn = {1, 0, 0};
  EXPECT_EQ(fake_.Control(203)->selected, lineIn);
  EXPECT_TRUE(SwitchShowsOn(Item(kRecordButton + 5)));
  EXPECT_FALSE(SwitchShowsOn(Item(kRecordButton + 4)));
  fake_.SelectFromOutside(203, 2);  // stereo mix
  EXPECT_TRUE(SwitchShowsOn(Item(kRecordButton + 1)));
  EXPECT_FALSE(SwitchShowsOn(Item(kRecordButton + 5)));
  EXPECT_TRUE(Visible(kRecordFader + 1));
  EXPECT_FALSE(Visible(kPlaybackFader + 1));
}

TEST_F(FakeCardTest, PagesSwitchSidesAndTheAdvancedColumns) {
  HWND advance = Item(kAdvancedPageKey);
  char text[16] = {};
  EXPECT_TRUE(Visible(kPlaybackButton + 1));
  EXPECT_FALSE(Visible(kPlaybackButton + 9));
  EXPECT_FALSE(IsWindowEnabled(Item(kPlaybackPageKey)));
  Click(kRecordPageKey);
  Click(kAdvancedPageKey);
  EXPECT_EQ(MixerPageOf(mixer_), kPageRecordAdvanced);
  GetWindowTextA(advance, text, sizeof text);
  EXPECT_STREQ(text, "NORMAL");
  EXPECT_TRUE(IsWindowEnabled(Item(kPlaybackPageKey)));
  EXPECT_FALSE(IsWindowEnabled(Item(kRecordPageKey)));
  Click(kPlaybackPageKey);
  Click(kAdvancedPageKey);
  EXPECT_EQ(MixerPageOf(mixer_), kPagePlaybackAdvanced);
  EXPECT_TRUE(Visible(kPlaybackButton + 9));
  EXPECT_FALSE(Visible(kPlaybackButton + 1));
  Click(kAdvancedPageKey);
  GetWindowTextA(advance, text, sizeof text);
  EXPECT_STREQ(text, "ADVANCE");
  EXPECT_EQ(MixerPageOf(mixer_), kPagePlayback);
}

TEST_F(FakeCardTest, Screenshot) {
  fake_.ChangeFromOutside(11, 52000, 26000);
  ShowWindow(panel_, SW_SHOWNA);
  UpdateWindow(panel_);
  PumpFor(300);
  const char* binary = std::getenv("CX_BINARY_DIR");
  const std::string folder = std::string(binary != nullptr ? binary : ".") + "/../screenshots";
  CreateDirectoryA(folder.c_str(), nullptr);
  EXPECT_FALSE(CaptureWindow(panel_, folder + "/mixer.bmp").empty());
}

}  // namespace
