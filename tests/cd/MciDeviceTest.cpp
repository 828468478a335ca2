// MciDevice against two devices: Wine's own CD audio driver on the prefix's
// fake CD-ROM drive X: (it opens there but refuses the table of contents,
// so it shows the open paths and the failure paths with the codes Wine
// really returns), and the project's fake driver for tests (a scripted disc
// that plays against the clock and sends real completions).
#include <gtest/gtest.h>

#include <cstring>

#include "cd/MciDevice.h"
#include "tests/cd/CdTestSupport.h"
#include "tests/support/WinTestSupport.h"

namespace {

// A hidden window that counts MM_MCINOTIFY notices by their code.
struct NoticeWindow {
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == MM_MCINOTIFY) {
      auto* self = reinterpret_cast<NoticeWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
      if (self != nullptr) {
        if (wParam == MCI_NOTIFY_SUCCESSFUL) ++self->successes;
        self->lastDevice = static_cast<MCIDEVICEID>(lParam);
      }
      return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
  }
  NoticeWindow() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "CdNoticeWindow";
    RegisterClassA(&wc);
    window = CreateWindowA("CdNoticeWindow", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~NoticeWindow() { DestroyWindow(window); }
  HWND window;
  int successes = 0;
  MCIDEVICEID lastDevice = 0;
};

TEST(CdTrackNumber, OneOrTwoDigitsBeforeTheExtension) {
  const struct {
    const char* name;
    int track;
  } cases[] = {
      {"X:\\Track05.cda", 5}, {"X:\\Track12.cda", 12}, {"x:\\track7.CDA", 7}, {"X:\\99.cda", 99},
      {"X:\\a.cda", 0},       {"X:\\x.cda", 0},        {"X:\\Track00.cda", 0}, {"X:\\Track100.cda", 0},
      {"X:\\.cda", 0},        {"X:\\Track05", 0},      {"5.x\\a.cda", 0},      {"", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(CdTrackNumberOfFile(c.name), c.track) << c.name;
}

class WineCdDriverTest : public ::testing::Test {
 protected:
  WineCdDriverTest() : driver_(kWineCdDriver), disc_(3) {}
  CdAudioDriver driver_;
  TestDisc disc_;
};

TEST_F(WineCdDriverTest, OpensTrackFilesAndRefusesBadNames) {
  MciDevice device;
  ASSERT_TRUE(device.Open("X:\\Track03.cda")) << "MCI error " << device.lastError();
  EXPECT_NE(device.id(), 0u);
  EXPECT_TRUE(device.isCdTrack());
  EXPECT_EQ(device.track(), 3);
  const MCIDEVICEID first = device.id();
  EXPECT_FALSE(device.Open("X:\\Track02.cda"));
  EXPECT_EQ(device.id(), first);
  // Wine cannot read this disc's contents: every length is unknown, so a
  // step must not turn into "one second before the end" = a seek to 0xFFFFFFFF.
  EXPECT_EQ(device.Length(), 0u);
  EXPECT_NE(device.lastError(), 0u);
  EXPECT_FALSE(device.Forward(10));
  EXPECT_FALSE(device.Back(10));
  EXPECT_TRUE(device.Close());
  EXPECT_EQ(device.id(), 0u);
  EXPECT_FALSE(device.Play());

  // Names without a track number fail instead of seeking to the disc's start.
  for (const char* name : {"X:\\a.cda", "X:\\x.cda", "X:\\Track00.cda"}) {
    MciDevice bad;
    EXPECT_FALSE(bad.Open(name)) << name;
    EXPECT_EQ(bad.id(), 0u) << name;
  }
  // A damaged MIDI file on the CD-ROM does not open the audio disc instead.
  const std::string midi = disc_.Add("broken.mid", "MThd\0\0\0\6garbage");
  MciDevice sequencer;
  EXPECT_FALSE(sequencer.Open(midi.c_str()));
  EXPECT_EQ(sequencer.id(), 0u);
  EXPECT_FALSE(sequencer.isCdTrack());
}

TEST_F(WineCdDriverTest, DrivesOpenByLetterAndAreAlwaysClosed) {
  EXPECT_FALSE(MciDevice().OpenDrive('C' - 'A'));  // not a CD-ROM drive
  EXPECT_FALSE(MciDevice().OpenDrive(26));
  {
    MciDevice device;
    ASSERT_TRUE(device.OpenDrive(kDiscDrive)) << "MCI error " << device.lastError();
    const bool viaAlias = mciGetDeviceIDA(kCdDriveAlias) == device.id();
    std::printf("OpenDrive took the %s path\n", viaAlias ? "string (alias cd)" : "command");
    // The same object on the same drive again: the first id is closed, not lost.
    ASSERT_TRUE(device.OpenDrive(kDiscDrive)) << "MCI error " << device.lastError();
    device.CloseDoor();
    // Destroyed without Close: the destructor still closes it.
  }
  EXPECT_EQ(mciGetDeviceIDA(kCdDriveAlias), 0u);
  char reply[16] = {};
  ASSERT_EQ(mciSendStringA("open X: type cdaudio alias cd", reply, sizeof reply, nullptr), 0u);
  mciSendStringA("close cd", nullptr, 0, nullptr);
}

// A MIDI track chunk around the given events.
std::string Track(std::string events) {
  events += std::string("\x00\xFF\x2F\x00", 4);
  std::string chunk("MTrk");
  for (int shift = 24; shift >= 0; shift -= 8) chunk.push_back(static_cast<char>(events.size() >> shift));
  return chunk + events;
}

std::string EightNotes() {
  std::string notes;
  for (int i = 0; i < 8; ++i) notes += std::string("\x00\x90\x3C\x40\x60\x80\x3C\x00", 8);
  return notes;
}

// Type 0: eight quarter notes at the default 120 beats a minute (96 ticks
// a beat). Type 1: a tempo track and the same notes in a second track.
std::string TypeZeroMidi() { return std::string("MThd\0\0\0\6\0\0\0\1\0\x60", 14) + Track(EightNotes()); }
std::string TypeOneMidi() {
  return std::string("MThd\0\0\0\6\0\1\0\2\0\x60", 14) + Track(std::string("\x00\xFF\x51\x03\x07\xA1\x20", 7)) +
         Track(EightNotes());
}

// The MIDI player's path: Wine's sequencer, which opens files even on a
// machine without a MIDI output device (it never plays them here).
TEST(SequencerTest, MidiFilesOpenInMilliseconds) {
  TempFolder folder;
  MciDevice device;
  ASSERT_TRUE(device.Open(folder.Write("eight.mid", TypeZeroMidi()).c_str())) << device.lastError();
  EXPECT_FALSE(device.isCdTrack());
  EXPECT_EQ(device.Length(), 4000u);
  EXPECT_GT(device.GetTempo(), 0);
  EXPECT_TRUE(device.SetTempo(60));
  EXPECT_TRUE(device.Seek(1500));
  EXPECT_EQ(device.Position(), 1500u);
  EXPECT_TRUE(device.Forward(1));
  EXPECT_EQ(device.Position(), 2500u);
  EXPECT_TRUE(device.Back(10));  // clamped at the start
  EXPECT_EQ(device.Position(), 0u);
  EXPECT_TRUE(device.Forward(10));  // clamped at the last millisecond
  EXPECT_EQ(device.Position(), 3999u);
  EXPECT_TRUE(device.Close());
  EXPECT_EQ(device.GetTempo(), -1);  // closed

  MciDevice typeOne;
  ASSERT_TRUE(typeOne.Open(folder.Write("two tracks.rmi", TypeOneMidi()).c_str())) << typeOne.lastError();
  EXPECT_GT(typeOne.Length(), 0u);
  EXPECT_TRUE(typeOne.Pause()) << typeOne.lastError();
  EXPECT_TRUE(typeOne.paused());
  EXPECT_TRUE(typeOne.Close());

  MciDevice damaged;
  EXPECT_FALSE(damaged.Open(folder.Write("damaged.mid", "MThd\0\0\0\6garbage").c_str()));
  EXPECT_EQ(damaged.id(), 0u);
  EXPECT_EQ(damaged.lastError(), static_cast<MCIERROR>(MCIERR_INVALID_FILE));
}

class FakeCdDriverTest : public ::testing::Test {
 protected:
  FakeCdDriverTest() : driver_("fake"), disc_(3) { driver_.Script("4:20,30,12"); }
  CdAudioDriver driver_;
  TestDisc disc_;
  NoticeWindow notices_;
};

TEST_F(FakeCdDriverTest, PlaysExactlyOneTrackAndNotifies) {
  MciDevice device(notices_.window);
  ASSERT_TRUE(device.Open("X:\\Track03.cda")) << "MCI error " << device.lastError();
  EXPECT_EQ(device.Length(), 12u << 8);  // 0:12 in MSF
  driver_.Log();
  ASSERT_TRUE(device.Play());
  EXPECT_TRUE(device.IsPlaying());
  // From the track's start to its own end in TMSF, never into the next track.
  EXPECT_NE(driver_.Log().find("PLAY from 3 to " + std::to_string((12u << 16) | 3u)), std::string::npos);
  ASSERT_TRUE(PumpUntil([&] { return notices_.successes == 1; }, 8000));
  EXPECT_EQ(notices_.lastDevice, device.id());
  EXPECT_FALSE(device.IsPlaying());
  EXPECT_EQ(device.Position(), MakeTmsf(3, 0, 12));
}

TEST_F(FakeCdDriverTest, PauseResumeAndSkipsStayInTheTrack) {
  MciDevice device(notices_.window);
  ASSERT_TRUE(device.Open("X:\\Track02.cda"));
  ASSERT_TRUE(device.Play());
  PumpFor(600);  // about 2.4 s of the disc at speed 4
  ASSERT_TRUE(device.Pause());
  EXPECT_TRUE(device.paused());
  const uint32_t pausedAt = device.Position();
  EXPECT_EQ(TmsfTrack(pausedAt), 2u);
  driver_.Log();
  ASSERT_TRUE(device.Play());  // on from the pause, still to the end of track 2
  const std::string resumed = driver_.Log();
  EXPECT_NE(resumed.find("PLAY to " + std::to_string((30u << 16) | 2u)), std::string::npos) << resumed;
  EXPECT_FALSE(device.paused());

  // 10 s forward from 0:25 of a 0:30 track: one second before its end, still playing.
  ASSERT_TRUE(device.Seek(MakeTmsf(2, 0, 25)));
  ASSERT_TRUE(device.Play());
  ASSERT_TRUE(device.Pause());
  ASSERT_TRUE(device.Seek(MakeTmsf(2, 0, 25)));
  ASSERT_TRUE(device.Forward(10));
  EXPECT_EQ(device.Position(), MakeTmsf(2, 0, 29));
  // 10 s back from 0:03: the track's start, not the disc's.
  ASSERT_TRUE(device.Seek(MakeTmsf(2, 0, 3)));
  ASSERT_TRUE(device.Back(10));
  EXPECT_EQ(device.Position(), MakeTmsf(2, 0, 0));
  // A skip while playing keeps playing.
  ASSERT_TRUE(device.Play());
  ASSERT_TRUE(device.Forward(10));
  EXPECT_TRUE(device.IsPlaying());
  EXPECT_GE(TmsfSeconds(device.Position()), 10u);
  // A seek to 0 is the start-of-media flag.
  driver_.Log();
  ASSERT_TRUE(device.Seek(0));
  EXPECT_NE(driver_.Log().find("SEEK start"), std::string::npos);
}

TEST_F(FakeCdDriverTest, StringFallbacksUseTheAliasOnlyWhenItIsTheirs) {
  // A driver that will not open on "X:\\" and will not close its door on
  // the command: the drive opens by the string under the alias "cd", and
  // the door closes by the string on that alias.
  driver_.Script("4:20,30!noroot!nowaitdoor");
  {
    MciDevice device;
    ASSERT_TRUE(device.OpenDrive(kDiscDrive)) << "MCI error " << device.lastError();
    EXPECT_EQ(mciGetDeviceIDA(kCdDriveAlias), device.id());
    driver_.Log();
    EXPECT_TRUE(device.CloseDoor());
    EXPECT_NE(driver_.Log().find("DOOR closed"), std::string::npos);
    // The same object again: the alias is given back first, not left busy.
    ASSERT_TRUE(device.OpenDrive(kDiscDrive)) << "MCI error " << device.lastError();
  }
  EXPECT_EQ(mciGetDeviceIDA(kCdDriveAlias), 0u);

  // Someone else holds the alias: our device, opened by command, does not
  // close their door.
  driver_.Script("4:20,30!nowaitdoor");
  char reply[16] = {};
  ASSERT_EQ(mciSendStringA("open X: type cdaudio alias cd", reply, sizeof reply, nullptr), 0u);
  {
    MciDevice device;
    ASSERT_TRUE(device.OpenDrive(kDiscDrive));
    EXPECT_NE(device.id(), mciGetDeviceIDA(kCdDriveAlias));
    driver_.Log();
    EXPECT_FALSE(device.CloseDoor());
    EXPECT_EQ(driver_.Log().find("DOOR closed"), std::string::npos);
  }
  mciSendStringA("close cd", nullptr, 0, nullptr);
}

TEST_F(FakeCdDriverTest, UnknownLengthMakesStepsDoNothing) {
  driver_.Script("4:20,30,12!nolength");
  MciDevice device(notices_.window);
  ASSERT_TRUE(device.Open("X:\\Track01.cda"));
  driver_.Log();
  EXPECT_FALSE(device.Forward(10));
  EXPECT_FALSE(device.Back(10));
  EXPECT_EQ(driver_.Log().find("SEEK"), std::string::npos);
}

}  // namespace
