// Started by install_round_trip_test.py through tools/wine-run --play in the
// test's own prefix: starts the installed Cantorix.exe with a WAV file and
// waits until the whole file has reached the capture, then starts it a
// second time with the same file, which must hand the file to the running
// instance and end with 0, leaving one main panel, which plays it again.
//   CX_INSTALLED  the installation folder
//   CX_PLAY       the WAV file (no blanks: the command line has no quoting)
//   CX_CAPTURE    the capture file tools/wine-run --play writes
//   CX_PCM_BYTES  how many bytes of samples the WAV file holds
// OpensAFileThroughItsType instead opens CX_PLAY (an MP3 file) as a
// double-click does, through the shell and the file type the installer
// registered, and waits until Cantorix, started that way, has played
// CX_PCM_BYTES.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "common/CommandCodes.h"
#include "tests/support/WinTestSupport.h"

#include <shellapi.h>

namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// ALSA's file sink starts a numbered file for each opening of the device.
unsigned long long CapturedBytes(const std::string& capture) {
  unsigned long long total = 0;
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((capture + "*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return 0;
  do {
    total += (static_cast<unsigned long long>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
  } while (FindNextFileA(find, &found));
  FindClose(find);
  return total;
}

TEST(InstalledProgram, PlaysAndHandsOverToTheRunningInstance) {
  const std::string folder = Env("CX_INSTALLED"), file = Env("CX_PLAY"), capture = Env("CX_CAPTURE");
  const unsigned long long pcmBytes = std::strtoull(Env("CX_PCM_BYTES").c_str(), nullptr, 10);
  ASSERT_FALSE(folder.empty() || file.empty() || capture.empty() || pcmBytes == 0);
  const std::string start = "\"" + folder + "\\Cantorix.exe\" " + file;
  StatusPoller poller;
  HWND panel = nullptr;
  // Stopped: PLAY enabled, STOP not.
  auto stopped = [&] {
    return (poller.Query(panel, kRouteWave) & (kStatusPlay | kStatusStop)) == kStatusPlay;
  };

  ChildProcess first(start);
  ASSERT_TRUE(first.started());
  panel = WaitForShownPanel(30000);
  ASSERT_NE(panel, nullptr);
  EXPECT_TRUE(PumpUntil([&] { return CapturedBytes(capture) >= pcmBytes && stopped(); }, 60000))
      << CapturedBytes(capture) << " of " << pcmBytes << " bytes played";

  ChildProcess second(start);
  ASSERT_TRUE(second.started());
  EXPECT_EQ(second.Wait(30000), 0);
  EXPECT_EQ(FindTopLevelWindows("CANTORIX").size(), 1u);
  EXPECT_TRUE(PumpUntil([&] { return CapturedBytes(capture) >= 2 * pcmBytes && stopped(); }, 60000))
      << CapturedBytes(capture) << " of " << 2 * pcmBytes << " bytes played";

  PostMessageA(panel, WM_CLOSE, 0, 0);
  EXPECT_EQ(first.Wait(15000), 0);
}

TEST(InstalledProgram, OpensAFileThroughItsType) {
  const std::string file = Env("CX_PLAY"), capture = Env("CX_CAPTURE");
  const unsigned long long pcmBytes = std::strtoull(Env("CX_PCM_BYTES").c_str(), nullptr, 10);
  ASSERT_FALSE(file.empty() || capture.empty() || pcmBytes == 0);
  ASSERT_TRUE(FindTopLevelWindows("CANTORIX").empty());
  const INT_PTR opened =
      reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  ASSERT_GT(opened, 32) << "ShellExecute found no program for the file";
  HWND panel = WaitForShownPanel(30000);
  ASSERT_NE(panel, nullptr);
  StatusPoller poller;
  auto stopped = [&] {
    return (poller.Query(panel, kRouteWave) & (kStatusPlay | kStatusStop)) == kStatusPlay;
  };
  EXPECT_TRUE(PumpUntil([&] { return CapturedBytes(capture) >= pcmBytes && stopped(); }, 60000))
      << CapturedBytes(capture) << " of " << pcmBytes << " bytes played";
  DWORD process = 0;
  GetWindowThreadProcessId(panel, &process);
  HANDLE cantorix = OpenProcess(SYNCHRONIZE, FALSE, process);
  PostMessageA(panel, WM_CLOSE, 0, 0);
  if (cantorix != nullptr) {
    EXPECT_EQ(WaitForSingleObject(cantorix, 15000), WAIT_OBJECT_0);
    CloseHandle(cantorix);
  }
}

}  // namespace
