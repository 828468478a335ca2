// The real MIDI player window inside a real main panel, playing MIDI files
// the test writes through the project's fake sequencer (registered for this
// test in the prefix's system.ini; this machine has no MIDI output, so the
// module's device test is answered "present" here). The fake sequencer
// plays against the clock, faster than real time, and sends real
// MM_MCINOTIFY completions; it logs what it is told. A second process reads
// the player's status as a remote would. A picture of the player is saved
// to build/screenshots/ for review.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/CommandCodes.h"
#include "common/SettingsKey.h"
#include "midi/MidiEngine.h"
#include "midi/MidiPlayerLayout.h"
#include "midi/MidiPlayerWindow.h"
#include "shell/App.h"
#include "shell/MainPanel.h"
#include "skin/DibButton.h"
#include "skin/SkinControls.h"
#include "skin/SkinPalette.h"
#include "tests/cd/CdTestSupport.h"
#include "tests/support/ScreenCapture.h"
#include "tests/support/WinTestSupport.h"

namespace {

constexpr char kPollSwitch[] = "--poll-midi-status";

bool Yes() { return true; }

// The smallest MIDI file the fake sequencer accepts as one: a header and
// an empty track. Its length comes from the sequencer's script.
std::string MidiFile() {
  return std::string("MThd\0\0\0\6\0\0\0\1\0\x60MTrk\0\0\0\4\0\xFF\x2F\0", 26);
}

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
}

// The player is told to use the system's MIDI device (the fake sequencer)
// rather than the built-in synthesizer it would choose on a machine without
// one; the user's earlier setting comes back afterwards.
class SequencerChosen {
 public:
  SequencerChosen() {
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kProgramSettingsKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key_,
                        nullptr) != ERROR_SUCCESS) {
      key_ = nullptr;
      return;
    }
    DWORD size = sizeof old_;
    had_ = RegQueryValueExA(key_, "MidiOutput", nullptr, nullptr, reinterpret_cast<BYTE*>(&old_), &size) == ERROR_SUCCESS;
    const DWORD system = 1;
    RegSetValueExA(key_, "MidiOutput", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&system), sizeof system);
  }
  ~SequencerChosen() {
    if (key_ == nullptr) return;
    if (had_) {
      RegSetValueExA(key_, "MidiOutput", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&old_), sizeof old_);
    } else {
      RegDeleteValueA(key_, "MidiOutput");
    }
    RegCloseKey(key_);
  }
  SequencerChosen(const SequencerChosen&) = delete;
  SequencerChosen& operator=(const SequencerChosen&) = delete;

 private:
  HKEY key_ = nullptr;
  DWORD old_ = 0;
  bool had_ = false;
};

class MidiPlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PrepareClasses();
    for (int i = 0; i < kPlayerCount; ++i) SetPlayerDeviceTest(static_cast<PlayerIndex>(i), Yes);
    RegisterPlayerModule(kPlayerMidi, &MidiPlayerModule());
    panel_ = CreateMainPanel(gApp.instance);
    ASSERT_NE(panel_, nullptr);
    gApp.mainPanel = panel_;
    SetWindowPos(panel_, HWND_TOPMOST, 20, 20, 0, 0, SWP_NOSIZE);
    ShowWindow(panel_, SW_SHOWNA);
    OpenPlayer(panel_, kPlayerMidi);
    midi_ = PlayerSlotOf(kPlayerMidi).window;
    ASSERT_NE(midi_, nullptr);
    engine_ = MidiPlayerEngineOf(midi_);
    ASSERT_NE(engine_, nullptr);
  }
  void TearDown() override {
    if (panel_ != nullptr && IsWindow(panel_)) DestroyWindow(panel_);
    RegisterPlayerModule(kPlayerMidi, nullptr);
    PumpFor(20);
  }
  // The files go into the list as the panel hands them over: 5000 with an
  // atom, sent so the atom outlives the handling.
  void Add(const std::string& name, const std::string& bytes = MidiFile()) {
    const std::string path = folder_.Write(name, bytes);
    const ATOM atom = GlobalAddAtomA(path.c_str());
    SendMessageA(midi_, gApp.commandMessage, MakeCommand(kRouteMidi, kCmdOpenFile), atom);
    GlobalDeleteAtom(atom);
    PumpFor(20);
  }
  HWND Item(int id) const { return GetDlgItem(midi_, id); }
  int Image(int id) const { return PictureImageNumber(Item(id)); }
  bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }
  int Digits(int firstId) const { return (Image(firstId) - kLedDigit0) * 10 + Image(firstId + 1) - kLedDigit0; }
  std::string Title() const {
    char text[128] = {};
    GetWindowTextA(Item(kMidiTitle), text, sizeof text);
    return text;
  }
  int Marker() const { return static_cast<int>(SendMessageA(Item(kMidiTempoBar), kMsgGetMarker, 0, 0)); }
  void Command(uint16_t code, LPARAM lParam = 0) {
    SendMessageA(panel_, gApp.commandMessage, MakeCommand(kRouteMidi, code), lParam);
    PumpFor(40);
  }
  void Click(int id) {
    SendMessageA(Item(id), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageA(Item(id), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    PumpFor(60);
  }
  void Tick() { SendMessageA(midi_, kMsgPanelTick, 0, 0); }
  int Current() const { return engine_->device() != nullptr ? engine_->list()->CurrentEntryNumber() : 0; }
  bool Log(const std::string& line) {
    log_ += sequencer_.Log();
    return log_.find(line + "\n") != std::string::npos;
  }

  FakeSequencer sequencer_;
  SequencerChosen sequencerChosen_;
  TempFolder folder_;
  HWND panel_ = nullptr;
  HWND midi_ = nullptr;
  MidiEngine* engine_ = nullptr;
  std::string log_;
};

TEST_F(MidiPlayerTest, PlaysTheListInOrderWithTitleTempoAndStatus) {
  sequencer_.Script("4:40,first=2,second=2");
  Add("first.mid");
  Add("second.mid");
  Add("Third Song.rmi");
  EXPECT_TRUE(Enabled(kCdPlay) && Enabled(kCdTrackForward) && Enabled(kCdPlaylist));
  EXPECT_FALSE(Enabled(kCdStop) || Enabled(kCdPause) || Enabled(kMidiFast) || Enabled(kMidiSlow));
  EXPECT_EQ(GetDlgItem(midi_, kCdEject), nullptr);
  EXPECT_EQ(Marker(), -1);

  Click(kCdPlay);
  ASSERT_EQ(Current(), 1);
  EXPECT_EQ(Title(), "first");
  EXPECT_EQ(Marker(), 11);  // tempo 120
  EXPECT_TRUE(Enabled(kMidiFast) && Enabled(kMidiSlow) && Enabled(kCdStop) && !Enabled(kCdPlay));
  // Each two-second file (half a second at speed 4) ends by itself and the
  // next one follows, in list order.
  ASSERT_TRUE(PumpUntil([&] { return Current() == 3; }, 8000));
  EXPECT_TRUE(Log("FILE first.mid") && Log("FILE second.mid") && Log("FILE Third Song.rmi"));
  EXPECT_LT(log_.find("FILE first.mid"), log_.find("FILE second.mid"));
  EXPECT_EQ(engine_->marks().mark(1), kMarkPlayed);
  EXPECT_EQ(engine_->marks().mark(2), kMarkPlayed);
  EXPECT_EQ(Image(kCdFirstIndicator), CdPlayedImage(1));
  PumpFor(400);  // over a second into the third file
  Tick();
  EXPECT_EQ(Digits(kCdTrackTens), 3);
  EXPECT_GE(Digits(kCdTrackTens + 4), 1);
  EXPECT_EQ(Title(), "Third Song");

  // FAST and SLOW tell the sequencer, and the bar shows what it took.
  Click(kMidiFast);
  EXPECT_TRUE(Log("TEMPO 130"));
  EXPECT_EQ(Marker(), 12);
  Click(kMidiSlow);
  Click(kMidiSlow);
  EXPECT_TRUE(Log("TEMPO 110"));
  EXPECT_EQ(Marker(), 10);

  // A second process asks for the status as a remote does.
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, sizeof self);
  ChildProcess poller(std::string("\"") + self + "\" " + kPollSwitch);
  ASSERT_TRUE(poller.started());
  long bits = -1;
  PumpUntil([&] { return (bits = poller.Wait(0)) != -1; }, 15000);
  EXPECT_EQ(static_cast<uint32_t>(bits), kStatusPlaylist | kStatusTrackForward | kStatusTrackBack |
                                             kStatusSkipForward | kStatusSkipBack | kStatusStop | kStatusPause |
                                             kStatusMidiShown);

  const char* binary = std::getenv("CX_BINARY_DIR");
  const std::string shots = std::string(binary != nullptr ? binary : ".") + "/../screenshots";
  CreateDirectoryA(shots.c_str(), nullptr);
  EXPECT_FALSE(CaptureWindow(panel_, shots + "/midi-player.bmp").empty());

  // Closing the player (it is only hidden) stops the file and empties the title.
  TogglePlayer(panel_, kPlayerMidi);
  PumpFor(40);
  EXPECT_EQ(engine_->device(), nullptr);
  EXPECT_EQ(Title(), "");
  EXPECT_EQ(Marker(), -1);
  Log("");
  EXPECT_NE(log_.find("CLOSE"), std::string::npos);
}

TEST_F(MidiPlayerTest, ButtonsAndTempoBarShowWhatTheSequencerDid) {
  // A play the sequencer refuses leaves the file loaded, not "playing".
  sequencer_.Script("4:60!noplay");
  Add("song.mid");
  Click(kCdPlay);
  ASSERT_NE(engine_->device(), nullptr);
  EXPECT_EQ(engine_->state(), kMidiStopped);
  EXPECT_TRUE(Enabled(kCdPlay));
  EXPECT_FALSE(Enabled(kCdStop) || Enabled(kCdPause) || Enabled(kMidiFast));

  sequencer_.Script("4:60!tempo=285");
  Command(kCmdStop);
  Click(kCdPlay);
  ASSERT_NE(engine_->device(), nullptr);
  Click(kMidiFast);
  EXPECT_EQ(engine_->tempo(), 290);
  EXPECT_EQ(Marker(), 28);
  Click(kMidiFast);
  EXPECT_EQ(engine_->tempo(), 290);

  sequencer_.Script("4:60!tempo=15!nosettempo");
  Command(kCmdStop);
  Click(kCdPlay);
  EXPECT_EQ(Marker(), 0);  // 15 shows at the left end
  Click(kMidiSlow);  // refused by the sequencer: the bar stays
  EXPECT_EQ(Marker(), 0);
  EXPECT_EQ(engine_->tempo(), 15);
  EXPECT_FALSE(Log("TEMPO 10"));
}

TEST_F(MidiPlayerTest, PreviousAndStepsFollowThePosition) {
  sequencer_.Script("1:60,short=12");
  Add("one.mid");
  Add("two.mid");
  Add("short.mid");
  Command(kCmdPlayEntry, 2);
  ASSERT_EQ(Current(), 2);
  // Within the first two seconds TRACKB goes to the previous file.
  Command(kCmdPrevious);
  EXPECT_EQ(Current(), 1);
  EXPECT_TRUE(engine_->device()->IsPlaying());
  // Well into a file it restarts the file.
  Command(kCmdSkipForward);
  EXPECT_GE(engine_->device()->Position(), 10000u);
  Command(kCmdPrevious);
  EXPECT_EQ(Current(), 1);
  EXPECT_LT(engine_->device()->Position(), 2000u);
  EXPECT_TRUE(engine_->device()->IsPlaying());
  // Back near the start stops at 0 instead of wrapping round.
  sequencer_.Log();
  log_.clear();
  Command(kCmdSkipBack);
  EXPECT_TRUE(Log("SEEK start 0"));
  EXPECT_TRUE(engine_->device()->IsPlaying());

  // A step forward near the end lands on the last millisecond and plays
  // on from there: the file ends and the next one would follow.
  Command(kCmdPlayEntry, 3);
  ASSERT_EQ(Current(), 3);
  Command(kCmdSkipForward);
  Command(kCmdSkipForward);
  EXPECT_TRUE(Log("SEEK 11999"));
  ASSERT_TRUE(PumpUntil([&] { return engine_->device() == nullptr; }, 4000));  // end of the list
  EXPECT_TRUE(Enabled(kCdPlay));
  EXPECT_EQ(Title(), "");

  // Without a length the step does nothing at all.
  sequencer_.Script("1:60!nolength");
  Command(kCmdPlayEntry, 1);
  log_.clear();
  sequencer_.Log();
  Command(kCmdSkipForward);
  EXPECT_FALSE(Log("SEEK end 0"));
  EXPECT_EQ(log_.find("SEEK"), std::string::npos);
}

// RANDOM and OK in the playlist window while a file plays: it goes on (the
// same device, the same file), and the lamps show the order the list has.
TEST_F(MidiPlayerTest, RandomAndTheEditedListKeepTheFileThatPlays) {
  sequencer_.Script("1:60");
  for (const char* name : {"a.mid", "b.mid", "c.mid", "d.mid"}) Add(name);
  Click(kCdPlay);
  Command(kCmdNext);
  ASSERT_EQ(Current(), 2);
  const MciDevice* playing = engine_->device();
  const auto stillPlaying = [&] {
    return engine_->device() == playing && Current() == 2 && engine_->device()->IsPlaying() &&
           engine_->state() == kMidiPlaying && Title() == "b";
  };
  const auto lampsShowOrder = [&] {
    const bool shuffled = engine_->list()->IsShuffled();
    return Image(kCdRandomLamp) == (shuffled ? kRandomLampLit : kRandomLampDark) &&
           Image(kCdOnceLamp) == (shuffled ? kOnceLampDark : kOnceLampLit);
  };
  Command(kCmdRandom);
  Tick();
  EXPECT_TRUE(stillPlaying());
  EXPECT_TRUE(engine_->list()->IsShuffled());
  EXPECT_TRUE(lampsShowOrder());
  EXPECT_EQ(engine_->marks().mark(2), kMarkCurrent);
  std::vector<int> after;
  for (int p = 2; p <= 4; ++p) after.push_back(engine_->list()->OrderAt(p) + 1);
  std::sort(after.begin(), after.end());
  EXPECT_EQ(after, (std::vector<int>{1, 3, 4}));
  Click(kCdOnceLamp);
  Tick();
  EXPECT_TRUE(stillPlaying());
  EXPECT_TRUE(lampsShowOrder());
  Command(kCmdNext);
  ASSERT_EQ(Current(), 3);

  // OK on a list that still holds the file: it plays on.
  playing = engine_->device();
  engine_->list()->CopyEntriesToEdits(false);
  SendMessageA(midi_, kMsgListEdited, 0, 0);
  PumpFor(40);
  EXPECT_TRUE(engine_->device() == playing && Current() == 3 && engine_->device()->IsPlaying());
  EXPECT_EQ(engine_->marks().mark(3), kMarkCurrent);
  // OK on a list without it: the player stops.
  engine_->list()->CopyEntriesToEdits(false);
  std::strcpy(engine_->list()->EditSlot(2), engine_->list()->EditSlot(3));
  engine_->list()->EditSlot(3)[0] = '\0';
  SendMessageA(midi_, kMsgListEdited, 0, 0);
  PumpFor(40);
  EXPECT_EQ(engine_->device(), nullptr);
  EXPECT_EQ(engine_->state(), kMidiStopped);
  EXPECT_EQ(engine_->list()->Count(), 3);
}

// Past 99:59 the clock shows hours and minutes, as the wave player's does.
TEST_F(MidiPlayerTest, TheClockShowsHoursPastNinetyNineMinutes) {
  sequencer_.Script("1:7000");
  Add("long.mid");
  Click(kCdPlay);
  ASSERT_NE(engine_->device(), nullptr);
  ASSERT_TRUE(engine_->device()->Seek(6005000));  // 1 h 40 min 5 s
  Tick();
  EXPECT_EQ(Digits(kCdTrackTens + 2), 1);
  EXPECT_EQ(Digits(kCdTrackTens + 4), 40);
  ASSERT_TRUE(engine_->device()->Seek(5999000));
  Tick();
  EXPECT_EQ(Digits(kCdTrackTens + 2), 99);
  EXPECT_EQ(Digits(kCdTrackTens + 4), 59);
}

TEST_F(MidiPlayerTest, FilesThatDoNotOpenAreToldOnceAndNeverLoopForEver) {
  sequencer_.Script("4:60");
  MessageBoxWatcher boxes;
  Add("broken.mid", "RIFF not a MIDI file");
  Add("good.mid");
  Click(kCdPlay);
  ASSERT_TRUE(boxes.WaitFor(1, 5000));
  PumpFor(100);
  ASSERT_EQ(boxes.Texts().size(), 1u);
  EXPECT_EQ(boxes.Texts()[0], kUnsupportedFileText);
  EXPECT_EQ(boxes.Owners()[0], panel_);  // the player's top-level window
  EXPECT_EQ(Current(), 2);
  EXPECT_TRUE(engine_->device()->IsPlaying());

  // Reached by TRACKF, a bad file is passed over without a word.
  Command(kCmdClearList);
  Add("a.mid");
  Add("bad.mid", "RIFF");
  Add("c.mid");
  Click(kCdPlay);
  Command(kCmdNext);
  EXPECT_EQ(Current(), 3);
  EXPECT_EQ(boxes.Texts().size(), 1u);

  // Nothing opens and loop is on: one box per file, then the player stops.
  Command(kCmdClearList);
  Add("x.mid", "junk");
  Add("y.mid", "junk");
  Command(kCmdRepeat);
  ASSERT_TRUE(engine_->list()->IsLoop());
  Click(kCdPlay);
  PumpFor(500);
  EXPECT_EQ(boxes.Texts().size(), 3u);
  EXPECT_EQ(engine_->device(), nullptr);
  EXPECT_TRUE(Enabled(kCdPlay));
}

TEST_F(MidiPlayerTest, WhatArrivesWhileTheErrorBoxIsUpWaitsOrIsDropped) {
  sequencer_.Script("4:60");
  MessageBoxWatcher boxes;
  // While the box is up: a command, a tick and a hide arrive. The tick is
  // dropped; the command and then the hide are served, in that order, once
  // the load is done.
  boxes.BeforeOk([&](HWND) {
    PostMessageA(midi_, gApp.commandMessage, MakeCommand(kRouteMidi, kCmdNext), 0);
    PostMessageA(midi_, kMsgPanelTick, 0, 0);
    PostMessageA(panel_, gApp.commandMessage, MakeCommand(kRouteMidi, kCmdTogglePlayer), 0);
    Sleep(300);
  });
  Add("bad.mid", "junk");
  Add("one.mid");
  Add("two.mid");
  Click(kCdPlay);
  ASSERT_TRUE(boxes.WaitFor(1, 5000));
  EXPECT_TRUE(PumpUntil([&] { return Log("FILE two.mid") && engine_->device() == nullptr; }, 5000));
  EXPECT_EQ(boxes.Texts().size(), 1u);
  EXPECT_FALSE(IsWindowVisible(midi_));

  // The panel closed from the box: no crash, no second box.
  TogglePlayer(panel_, kPlayerMidi);
  Command(kCmdClearList);
  Add("bad1.mid", "junk");
  Add("bad2.mid", "junk");
  boxes.BeforeOk([&](HWND) { PostMessageA(panel_, WM_CLOSE, 0, 0); });
  PostMessageA(midi_, gApp.commandMessage, MakeCommand(kRouteMidi, kCmdPlay), 0);
  ASSERT_TRUE(PumpUntil([&] { return !IsWindow(panel_); }, 5000));
  PumpFor(300);
  EXPECT_EQ(boxes.Texts().size(), 2u);
  panel_ = nullptr;
}

// The status query's reply window is named by whoever asks: the program's
// own windows, where WM_USER + 1 means something else, get no reply.
TEST_F(MidiPlayerTest, StatusReplyGoesOnlyToAWindowOfAnotherKind) {
  for (HWND own : {panel_, midi_}) {
    SendMessageA(midi_, gApp.commandMessage, MakeCommand(kRouteMidi, kCmdStatusQuery), reinterpret_cast<LPARAM>(own));
    MSG reply;
    EXPECT_FALSE(PeekMessageA(&reply, own, kMsgStatusReply, kMsgStatusReply, PM_REMOVE));
  }
  HWND probe = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, gApp.instance, nullptr);
  ASSERT_NE(probe, nullptr);
  SendMessageA(midi_, gApp.commandMessage, MakeCommand(kRouteMidi, kCmdStatusQuery), reinterpret_cast<LPARAM>(probe));
  MSG reply;
  EXPECT_TRUE(PeekMessageA(&reply, probe, kMsgStatusReply, kMsgStatusReply, PM_REMOVE));
  EXPECT_NE(reply.wParam & kStatusPlaylist, 0u);
  DestroyWindow(probe);
}

}  // namespace

// Run again as a second process by the status test: asks the shown panel for
// the MIDI player's status bits and returns them as the exit code.
int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], kPollSwitch) == 0) {
    std::vector<HWND> panels = FindTopLevelWindows("CANTORIX");
    if (panels.size() != 1) return -1;
    StatusPoller poller;
    return static_cast<int>(poller.Query(panels[0], kRouteMidi));
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
