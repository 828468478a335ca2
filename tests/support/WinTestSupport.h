// Helpers for tests that run under Wine: scratch folders, files, message
// pumping and watching the program's message boxes.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TempFolder.h"

using cx::test::TempFolder;

// Whole-file helpers for fixtures: the bytes of a file ("" when unreadable),
// and writing a file anew (false when it could not be written in full).
std::string ReadFileToString(const std::string& path);
bool WriteStringToFile(const std::string& path, const std::string& bytes);

// The folder of the running test program (where the built programs live).
std::string ProgramFolder();

// Dispatches messages of this thread until `done` is true or time runs out.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);
void PumpFor(DWORD ms);

// Watches for message boxes with the given caption on any thread, records
// their texts and closes each one by pressing its OK button.
class MessageBoxWatcher {
 public:
  // processId 0 watches this process; another id watches that process.
  explicit MessageBoxWatcher(const char* caption = "Cantorix Error Reporting", DWORD processId = 0);
  ~MessageBoxWatcher();
  std::vector<std::string> Texts();
  std::vector<HWND> Owners();
  // Waits (pumping this thread's messages) until `count` boxes were seen.
  bool WaitFor(size_t count, DWORD timeoutMs);
  // Runs `action` on the watcher's thread while each box is still up,
  // before pressing its OK button (set it before the boxes come).
  void BeforeOk(std::function<void(HWND box)> action);

 private:
  void Run();
  std::string caption_;
  DWORD processId_;
  std::function<void(HWND)> beforeOk_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<std::string> texts_;
  std::vector<HWND> owners_;
  std::thread thread_;
};

// A started program with its handles; ends it (if still running) when done.
class ChildProcess {
 public:
  // Starts `commandLine` (program path first) from the test's folder.
  explicit ChildProcess(const std::string& commandLine);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  bool started() const { return info_.hProcess != nullptr; }
  DWORD id() const { return info_.dwProcessId; }
  // Waits for the exit; returns the exit code, or -1 on time-out.
  long Wait(DWORD timeoutMs);
  // Ends it at once, as a crash would: nothing of it runs any more.
  bool Kill();

 private:
  PROCESS_INFORMATION info_{};
};

// Asks a running Cantorix for a player's status bits, as Handset's poll
// does: command 1080 posted through the main panel, with a hidden window of
// this process to receive the reply (WM_USER + 1).
class StatusPoller {
 public:
  StatusPoller();
  ~StatusPoller();
  StatusPoller(const StatusPoller&) = delete;
  StatusPoller& operator=(const StatusPoller&) = delete;
  // The reply's bits, or 0xFFFFFFFF when none came within three seconds.
  uint32_t Query(HWND panel, uint16_t route);

 private:
  HWND window_ = nullptr;
};

// The top-level windows of a class, across all processes.
std::vector<HWND> FindTopLevelWindows(const char* className);
// The one shown main panel ("CANTORIX") once a started Cantorix has shown
// it and made its players (pumping meanwhile); null when none or several
// are shown in time.
HWND WaitForShownPanel(DWORD timeoutMs);
// Waits until no Cantorix is starting (its start turn is free); false on
// time-out.
bool WaitForSettledStart(DWORD timeoutMs);

// What a wave player window (of this process or another) shows: its title
// line, the bitmap number of one of its pictures (a digit d is 193 + d), a
// two-digit display from its first picture's id.
std::string WaveTitle(HWND wave);
bool WaitWaveTitle(HWND wave, const std::string& title, DWORD timeoutMs = 8000);
int PictureImage(HWND window, int id);
int ShownDigits(HWND window, int firstId);
// Waits until the wave player has shown every title in order (one after
// the other, others between them allowed), then an empty title with the
// player's status `stopped`. False on time-out, `seen` then says how far.
bool WaitPlayedInOrder(HWND panel, HWND wave, StatusPoller& poller, const std::vector<std::string>& titles,
                       uint32_t stopped, DWORD timeoutMs, std::string* seen);

// The text of a dialog's static controls, joined (a message box's message).
std::string DialogText(HWND dialog);
