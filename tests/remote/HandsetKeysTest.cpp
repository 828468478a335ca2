// Handset.exe drives a real Cantorix.exe: it starts Cantorix, its keys work
// the wave player, its keys grey and ungrey with the status poll, and
// POWER ends it cleanly. Cantorix plays through the wave output device here
// (CTest disables dsound), whose pause keeps PLAY enabled.
#include <gtest/gtest.h>

#include "common/CommandCodes.h"
#include "remote/HandsetLayout.h"
#include "remote/Panel3DWindow.h"
#include "resources/ResourceIds.h"
#include "tests/audio/AudioTestFiles.h"
#include "tests/remote/TwoPrograms.h"
#include "waveplayer/WavePlayerLayout.h"

namespace {

TEST_F(TwoProgramsTest, HandsetStartsCantorixAndItsKeysDriveTheWavePlayer) {
  StartHandset();
  // Started without Cantorix running: Handset started it, players and all.
  FindCantorixWindows();
  ASSERT_NE(wave_, nullptr);
  EXPECT_FALSE(Enabled(kKeyPlay));
  EXPECT_FALSE(Enabled(kKeyPlaylist));
  EXPECT_TRUE(Enabled(kKeyRandom));

  {
    ChildProcess second(ProgramFolder() + "\\Handset.exe");
    EXPECT_EQ(second.Wait(10000), 0);
    EXPECT_EQ(FindTopLevelWindows(kHandsetClass).size(), 1u);
  }

  Click(kKeyWave);
  ASSERT_TRUE(PumpUntil([&] { return Chosen(kKeyWave) && Enabled(kKeyPlaylist); }, 5000));
  EXPECT_FALSE(Enabled(kKeyPlay));  // nothing in the list yet
  EXPECT_FALSE(Enabled(kKeyEject));
  EXPECT_FALSE(Chosen(kKeyCd));

  // Ten-minute files: none ends while the steps run, even at the file
  // sink's speed.
  std::string list;
  for (const char* name : {"alpha", "beta", "gamma", "delta"}) {
    list += folder_.Write(std::string(name) + ".wav", SimpleWav(8000, 1, 8, TestPcm(8000 * 600, name[0]))) + "\r\n";
  }
  ATOM atom = GlobalAddAtomA(folder_.Write("four.m3u", list).c_str());
  SendMessageA(panel_, commandMessage_, MakeCommand(kRouteMainPanel, kCmdOpenFile), atom);
  GlobalDeleteAtom(atom);
  ASSERT_TRUE(WaitTitle("alpha"));
  auto playingKeys = [&] {
    return Enabled(kKeyStop) && Enabled(kKeyPause) && Enabled(kKeySkipForward) && !Enabled(kKeyPlay);
  };
  EXPECT_TRUE(PumpUntil(playingKeys, 3000));

  Click(kKeyPause);
  EXPECT_TRUE(PumpUntil([&] { return Enabled(kKeyPlay); }, 3000));
  Click(kKeyPause);
  EXPECT_TRUE(PumpUntil(playingKeys, 3000));
  Click(kKeyTrackForward);
  EXPECT_TRUE(WaitTitle("beta"));
  Click(kKeyTrackBack);
  EXPECT_TRUE(WaitTitle("alpha"));
  Click(kKeyNum1 + 2);
  EXPECT_TRUE(WaitTitle("gamma"));
  Click(kKeyNum0);  // no entry 0: nothing changes
  PumpFor(500);
  EXPECT_EQ(Title(), "gamma");
  Click(kKeyRandom);  // the player stops when its order changes
  EXPECT_TRUE(PumpUntil([&] { return Image(kWaveRandomLamp) == kRandomLampLit; }, 3000));
  Click(kKeyRandom);
  EXPECT_TRUE(PumpUntil([&] { return Image(kWaveRandomLamp) == kRandomLampDark; }, 3000));
  Click(kKeyRepeat);
  EXPECT_TRUE(PumpUntil([&] { return Image(kWaveLoopLamp) == kLoopLampLit; }, 3000));
  Click(kKeyRepeat);
  EXPECT_TRUE(PumpUntil([&] { return Image(kWaveLoopLamp) == kLoopLampDark; }, 3000));

  Click(kKeyStop);
  EXPECT_TRUE(WaitTitle(""));
  EXPECT_TRUE(PumpUntil([&] { return Enabled(kKeyPlay) && !Enabled(kKeyStop); }, 3000));
  Click(kKeyPlay);
  EXPECT_TRUE(WaitTitle("alpha"));
  Click(kKeyStop);
  EXPECT_TRUE(WaitTitle(""));

  // The player closed in Cantorix: the remote lets go within a poll.
  PostMessageA(panel_, commandMessage_, MakeCommand(kRouteWave, kCmdClosePlayer), 0);
  EXPECT_TRUE(PumpUntil([&] { return !Chosen(kKeyWave) && !Enabled(kKeyPlaylist); }, 1500));

  // Cantorix gone: a selector key starts it without players and opens only
  // the one it names.
  CloseCantorix();
  Click(kKeyWave);
  FindCantorixWindows();
  ASSERT_NE(wave_, nullptr);
  EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(wave_) && Chosen(kKeyWave); }, 10000))
      << "wave player shown " << IsWindowVisible(wave_) << ", chosen " << Chosen(kKeyWave);

  // POWER ends Handset with its panel; Cantorix stays.
  Click(kKeyPower);
  EXPECT_EQ(handset_->Wait(10000), 0);
  EXPECT_TRUE(FindTopLevelWindows(kHandsetClass).empty());
  EXPECT_TRUE(FindTopLevelWindows(kPanel3DClass).empty());
  EXPECT_TRUE(IsWindow(panel_));
}

}  // namespace

namespace {

// Sets a value of Cantorix's settings key for one test and puts back what
// was there (or removes it) afterwards.
class SettingOverride {
 public:
  SettingOverride(HKEY root, const char* name, const std::string& text) : name_(name) {
    RegCreateKeyExA(root, "Software\\Vex\\Vex Cantorix Wavesmith", 0, nullptr, 0,
                    KEY_READ | KEY_WRITE, nullptr, &key_, nullptr);
    DWORD size = sizeof old_;
    hadOld_ = RegQueryValueExA(key_, name_, nullptr, nullptr, reinterpret_cast<BYTE*>(old_), &size) == ERROR_SUCCESS;
    RegSetValueExA(key_, name_, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
  }
  ~SettingOverride() {
    if (hadOld_) {
      RegSetValueExA(key_, name_, 0, REG_SZ, reinterpret_cast<const BYTE*>(old_), static_cast<DWORD>(strlen(old_) + 1));
    } else {
      RegDeleteValueA(key_, name_);
    }
    RegCloseKey(key_);
  }

 private:
  const char* name_;
  HKEY key_ = nullptr;
  char old_[MAX_PATH + 1] = {};
  bool hadOld_ = false;
};

// A copy of Handset alone in the test's folder: started, it has to bring up
// a Cantorix, which its POWER key then closes with it.
class LonelyHandsetTest : public TwoProgramsTest {
 protected:
  void StartLonelyHandsetAndPowerOff() {
    const std::string lonely = folder_.Path("Handset.exe");
    ASSERT_TRUE(CopyFileA((ProgramFolder() + "\\Handset.exe").c_str(), lonely.c_str(), FALSE));
    handset_.reset(new ChildProcess(lonely));
    ASSERT_TRUE(handset_->started());
    remote_ = WaitVisible(kHandsetClass);
    ASSERT_NE(remote_, nullptr);
    FindCantorixWindows();
    ASSERT_NE(panel_, nullptr);
    Click(kKeyPower);
    EXPECT_EQ(handset_->Wait(10000), 0);
  }
};

// A Handset with no Cantorix beside it starts the one in the folder the
// "Application Path" setting names.
TEST_F(LonelyHandsetTest, HandsetFindsCantorixThroughTheApplicationPath) {
  SettingOverride setting(HKEY_LOCAL_MACHINE, "Application Path", ProgramFolder());
  StartLonelyHandsetAndPowerOff();
}

// The user's own "Application Path" comes before the installer's, as
// Cantorix reads it: here the machine's names a folder without Cantorix.
TEST_F(LonelyHandsetTest, HandsetTakesTheUsersApplicationPathFirst) {
  SettingOverride machine(HKEY_LOCAL_MACHINE, "Application Path", folder_.path());
  SettingOverride user(HKEY_CURRENT_USER, "Application Path", ProgramFolder());
  StartLonelyHandsetAndPowerOff();
}

}  // namespace
