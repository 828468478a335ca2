// Started by record_end_to_end_test.py through tools/wine-run --capture, so
// that Cantorix records a known pattern: drives the record buttons of a
// running Cantorix.exe as a user would, answering the real save dialog, and
// leaves the recordings in CX_REC_DIR for the script to check. Prints the
// record time the window showed just before RECSTOP ("shown=SECONDS").
// The third recording uses the format row CX_REC_ROW, chosen in the
// configuration window, and is ended by the system's suspend query; the
// fourth by the end of the session, the fifth by the suspend itself, and
// the sixth is cut off by killing Cantorix mid-recording.
// With CX_REC_OPEN, Cantorix starts playing that file while it records.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/CommandCodes.h"
#include "tests/support/WinTestSupport.h"

namespace {

enum : int { kRecFile = 3000, kRecPlay = 3001, kRecStop = 3002, kRecPause = 3003 };

struct Player {
  HWND panel = nullptr;
  HWND wave = nullptr;
  DWORD processId = 0;
  UINT commandMessage = 0;

  // "FPSU": which of RECFILE, RECPLAY, RECPAUSE, RECSTOP are enabled.
  std::string Keys() const {
    std::string keys;
    for (auto [id, letter] : {std::pair{kRecFile, 'F'}, {kRecPlay, 'P'}, {kRecPause, 'S'}, {kRecStop, 'U'}}) {
      if (IsWindowEnabled(GetDlgItem(wave, id))) keys += letter;
    }
    return keys;
  }
  // A click: the button's notification to the player window.
  void Click(int id) const {
    PostMessageA(wave, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(wave, id)));
  }
  void Command(uint16_t code) const { PostMessageA(panel, commandMessage, MakeCommand(kRouteWave, code), 0); }
  int Image(int id) const { return static_cast<int>(GetWindowLongPtrA(GetDlgItem(wave, id), GWLP_USERDATA)); }
  int RecordSeconds() const {
    auto two = [&](int first) { return (Image(first) - 193) * 10 + Image(first + 1) - 193; };
    return two(2054) * 60 + two(2056);
  }
  // The save dialog of Cantorix, once it is up.
  HWND SaveDialog() const {
    for (HWND w : FindTopLevelWindows("#32770")) {
      DWORD pid = 0;
      GetWindowThreadProcessId(w, &pid);
      if (pid == processId && IsWindowVisible(w)) return w;
    }
    return nullptr;
  }
  // RECFILE, and `name` typed into the save dialog and confirmed.
  bool RecordFile(const std::string& name) const {
    Click(kRecFile);
    HWND dialog = nullptr;
    if (!PumpUntil([&] { return (dialog = SaveDialog()) != nullptr; }, 10000)) return false;
    PumpFor(300);
    // The file name box: a combo box in the explorer-style dialog.
    if (!SetDlgItemTextA(dialog, 0x47c, name.c_str())) SetDlgItemTextA(dialog, 0x480, name.c_str());
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    return PumpUntil([&] { return SaveDialog() == nullptr; }, 10000);
  }
  // The configuration window: row `row` of the format list, then OK.
  bool ChooseFormatRow(int row) const {
    PostMessageA(panel, WM_COMMAND, 1109, 0);
    HWND config = nullptr;
    if (!PumpUntil(
            [&] {
              for (HWND w : FindTopLevelWindows("CXConfigClass")) {
                if (IsWindowVisible(w)) config = w;
              }
              return config != nullptr;
            },
            5000)) {
      return false;
    }
    SendDlgItemMessageA(config, 10001, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
    PostMessageA(config, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return PumpUntil([&] { return !IsWindowVisible(config); }, 5000);
  }
  bool KeysBecome(const std::string& keys) const {
    return PumpUntil([&] { return Keys() == keys; }, 5000);
  }
};

TEST(RecordEndToEnd, RecordsThroughTheButtons) {
  const char* dir = std::getenv("CX_REC_DIR");
  ASSERT_NE(dir, nullptr);
  Player p;
  p.commandMessage = RegisterWindowMessageA(kCommandMessageName);
  const char* open = std::getenv("CX_REC_OPEN");
  ChildProcess cantorix(ProgramFolder() + "\\Cantorix.exe" + (open != nullptr ? std::string(" ") + open : ""));
  ASSERT_TRUE(cantorix.started());
  p.processId = cantorix.id();
  p.panel = WaitForShownPanel(20000);
  ASSERT_NE(p.panel, nullptr);
  p.wave = FindWindowExA(p.panel, nullptr, "CXWavePlayerClass", nullptr);
  ASSERT_NE(p.wave, nullptr);
  ASSERT_TRUE(p.KeysBecome("F")) << p.Keys();

  // Command 1032 with nothing armed changes nothing.
  p.Command(kCmdRecordToggle);
  PumpFor(300);
  EXPECT_EQ(p.Keys(), "F");

  // take1 (no extension): RECPLAY, 2.5 s, RECPAUSE, 0.8 s, RECPLAY by
  // command 1032, 1.5 s, RECSTOP.
  ASSERT_TRUE(p.RecordFile(std::string(dir) + "\\take1"));
  ASSERT_TRUE(p.KeysBecome("PU")) << p.Keys();
  p.Click(kRecPlay);
  ASSERT_TRUE(p.KeysBecome("SU")) << p.Keys();
  PumpFor(2500);
  p.Click(kRecPause);
  ASSERT_TRUE(p.KeysBecome("PU")) << p.Keys();
  PumpFor(800);
  p.Command(kCmdRecordToggle);
  ASSERT_TRUE(p.KeysBecome("SU")) << p.Keys();
  PumpFor(1500);
  std::printf("shown=%d\n", p.RecordSeconds());
  p.Click(kRecStop);
  ASSERT_TRUE(p.KeysBecome("F")) << p.Keys();
  EXPECT_TRUE(PumpUntil([&] { return p.RecordSeconds() == 0; }, 2000));

  // take2.WAV: RECFILE, 1.5 s, RECSTOP without RECPLAY.
  ASSERT_TRUE(p.RecordFile(std::string(dir) + "\\take2.WAV"));
  ASSERT_TRUE(p.KeysBecome("PU")) << p.Keys();
  PumpFor(1500);
  p.Click(kRecStop);
  ASSERT_TRUE(p.KeysBecome("F")) << p.Keys();

  // take3.wav in another format; the suspend query ends it.
  const char* row = std::getenv("CX_REC_ROW");
  ASSERT_NE(row, nullptr);
  ASSERT_TRUE(p.ChooseFormatRow(std::atoi(row)));
  ASSERT_TRUE(p.RecordFile(std::string(dir) + "\\take3.wav"));
  p.Click(kRecPlay);
  ASSERT_TRUE(p.KeysBecome("SU")) << p.Keys();
  PumpFor(1500);
  EXPECT_EQ(SendMessageA(p.wave, WM_POWERBROADCAST, PBT_APMQUERYSUSPEND, 0), TRUE);
  EXPECT_EQ(p.Keys(), "F");

  // take4.wav: logoff. The process may be ended as soon as WM_ENDSESSION
  // returns, so the file must be finished by then.
  ASSERT_TRUE(p.RecordFile(std::string(dir) + "\\take4.wav"));
  p.Click(kRecPlay);
  ASSERT_TRUE(p.KeysBecome("SU")) << p.Keys();
  PumpFor(1500);
  EXPECT_NE(SendMessageA(p.panel, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), 0);
  SendMessageA(p.panel, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
  EXPECT_EQ(p.Keys(), "F");

  // take5.wav: the suspend itself (newer systems send no query), to the
  // panel, as the system sends it.
  ASSERT_TRUE(p.RecordFile(std::string(dir) + "\\take5.wav"));
  p.Click(kRecPlay);
  ASSERT_TRUE(p.KeysBecome("SU")) << p.Keys();
  PumpFor(1500);
  SendMessageA(p.panel, WM_POWERBROADCAST, PBT_APMSUSPEND, 0);
  EXPECT_EQ(p.Keys(), "F");

  if (open != nullptr) {
    // The played file ends by itself: STOP off, PLAY on.
    EXPECT_TRUE(PumpUntil([&] { return !IsWindowEnabled(GetDlgItem(p.wave, 2005)) &&
                                       IsWindowEnabled(GetDlgItem(p.wave, 2001)); }, 90000));
  }
  // take6.wav: Cantorix is killed once more than 2.5 s of sound reached the
  // file; the script checks that the file plays what is in it.
  const std::string take6 = std::string(dir) + "\\take6.wav";
  ASSERT_TRUE(p.RecordFile(take6));
  p.Click(kRecPlay);
  ASSERT_TRUE(p.KeysBecome("SU")) << p.Keys();
  const std::string wanted = std::getenv("CX_REC_KILL_BYTES") ? std::getenv("CX_REC_KILL_BYTES") : "0";
  const uint64_t killAt = std::strtoull(wanted.c_str(), nullptr, 10);
  EXPECT_TRUE(PumpUntil(
      [&] {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        return GetFileAttributesExA(take6.c_str(), GetFileExInfoStandard, &data) &&
               data.nFileSizeLow >= killAt;
      },
      30000));
  ASSERT_TRUE(cantorix.Kill());
}

}  // namespace
