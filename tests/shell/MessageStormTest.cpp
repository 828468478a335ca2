// Any program can post to Cantorix's windows. This one posts thousands of
// private messages (WM_USER + n) and command messages with random
// parameters to every window of Cantorix's own classes, and Cantorix must
// go on answering: no crash, no hang, a status reply after every storm.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "common/CommandCodes.h"
#include "tests/support/WinTestSupport.h"

namespace {

bool IsOwnClass(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  const std::string c = name;
  return c.rfind("CX", 0) == 0 || c == "CANTORIX" || c == "PlayListClass" || c == "DibButton" ||
         c == "ColorTextClass" || c == "IndicatorControlClass" || c == "MidiTempoClass";
}

struct Collected {
  DWORD process;
  std::vector<HWND> windows;
};

BOOL CALLBACK CollectChild(HWND window, LPARAM into) {
  auto* c = reinterpret_cast<Collected*>(into);
  if (IsOwnClass(window)) c->windows.push_back(window);
  return TRUE;
}

BOOL CALLBACK CollectTop(HWND window, LPARAM into) {
  auto* c = reinterpret_cast<Collected*>(into);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != c->process) return TRUE;
  if (IsOwnClass(window)) c->windows.push_back(window);
  EnumChildWindows(window, CollectChild, into);
  return TRUE;
}

std::vector<HWND> WindowsOf(DWORD process) {
  Collected c{process, {}};
  EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&c));
  return c.windows;
}

TEST(MessageStorm, CantorixKeepsAnsweringRandomPrivateMessages) {
  ASSERT_TRUE(FindTopLevelWindows("CANTORIX").empty());
  const UINT command = RegisterWindowMessageA(kCommandMessageName);
  ChildProcess cantorix(ProgramFolder() + "\\Cantorix.exe");
  ASSERT_TRUE(cantorix.started());
  HWND panel = WaitForShownPanel(20000);
  ASSERT_NE(panel, nullptr);
  StatusPoller poller;
  ASSERT_NE(poller.Query(panel, kRouteWave), 0xFFFFFFFFu);

  std::mt19937_64 random(20261209);
  const uint16_t kRoutes[] = {kRouteMainPanel, kRouteCd, kRouteMidi, kRouteWave, kRoutePlaylist, kRouteMixer, 12345};
  // Everything a command may carry, except what closes a player or the
  // program: those end the storm's targets, not a fault.
  const uint16_t kCodes[] = {kCmdStop, kCmdFastForwardBegin, kCmdFastForwardEnd, kCmdRewindBegin, kCmdRewindEnd,
                             kCmdNext, kCmdPrevious, kCmdSkipForward, kCmdSkipBack, kCmdStatusQuery, kCmdMixerStep,
                             kCmdPlay, kCmdPause, kCmdOpenFile, kCmdRepeat, kCmdRandom, kCmdPlayEntry, kCmdApply3D,
                             kCmdRead3D, kCmdCdPause, 0, 1, 999, 65535};
  auto randomLParam = [&]() -> LPARAM {
    switch (random() % 5) {
      case 0: return 0;
      case 1: return static_cast<LPARAM>(random() % 200) - 100;
      case 2: return static_cast<LPARAM>(random());
      case 3: return static_cast<LPARAM>(0xC000 + random() % 0x4000);  // an atom's range
      default: return static_cast<LPARAM>(random() & 0xFFFFFFFF);
    }
  };

  const int kStorms = 10;
  const int kPerStorm = 400;
  int posted = 0;
  for (int storm = 0; storm < kStorms; ++storm) {
    const std::vector<HWND> targets = WindowsOf(cantorix.id());
    ASSERT_FALSE(targets.empty());
    for (int i = 0; i < kPerStorm; ++i) {
      HWND target = targets[random() % targets.size()];
      UINT message = 0;
      WPARAM wParam = 0;
      if (random() % 3 == 0) {
        message = command;
        wParam = MakeCommand(kRoutes[random() % std::size(kRoutes)], kCodes[random() % std::size(kCodes)]);
      } else {
        // Below the file dialogs' own messages (WM_USER + 100 on).
        message = WM_USER + static_cast<UINT>(random() % 64);
        wParam = static_cast<WPARAM>(random());
      }
      if (PostMessageA(target, message, wParam, randomLParam())) ++posted;
    }
    // The reply comes after everything posted before it has been handled.
    uint32_t bits = 0xFFFFFFFFu;
    EXPECT_TRUE(PumpUntil([&] { return (bits = poller.Query(panel, kRouteWave)) != 0xFFFFFFFFu; }, 20000))
        << "storm " << storm;
    DWORD_PTR answer = 0;
    ASSERT_NE(SendMessageTimeoutA(panel, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer), 0) << "storm " << storm;
  }
  EXPECT_GE(posted, kStorms * kPerStorm / 2);
  PostMessageA(panel, WM_CLOSE, 0, 0);
  EXPECT_EQ(cantorix.Wait(20000), 0);
}

}  // namespace
