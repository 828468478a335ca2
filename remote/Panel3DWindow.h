// The 3D sound panel ("CXM3DControlClass"): a second top-level window of
// Handset on its own thread, whose stepped sliders place the wave player's
// sound. While it is shown it publishes the block "3DShareName" every 333 ms
// and tells the wave player (command 5020) to apply it.
#pragma once

#include <windows.h>

#include <atomic>

#include "common/Win32Handles.h"

constexpr char kPanel3DClass[] = "CXM3DControlClass";
constexpr char kPanel3DTitle[] = "Handset 3D Control";
constexpr int kPanel3DWidth = 370;
constexpr int kPanel3DHeight = 108;
constexpr int kPanel3DFirstSliderId = 30016;  // then 30017, 30018
constexpr UINT kPanel3DPublishMs = 333;

// The panel's class and its marker strips ("CXMTEMPO"); both counted.
bool RegisterPanel3DClasses(HINSTANCE instance);
void UnregisterPanel3DClasses(HINSTANCE instance);

// The panel's thread. Start creates the (hidden) window on a new thread and
// returns once it exists or has failed; Stop closes it from any thread and
// waits, bounded, for the thread to end.
class Panel3DThread {
 public:
  Panel3DThread() = default;
  ~Panel3DThread() { Stop(kStopWaitMs); }
  Panel3DThread(const Panel3DThread&) = delete;
  Panel3DThread& operator=(const Panel3DThread&) = delete;

  bool Start(HINSTANCE instance, UINT commandMessage);
  // True when the thread has ended (or never ran).
  bool Stop(DWORD timeoutMs);
  HWND window() const { return window_.load(); }
  bool running() const;

  static constexpr DWORD kStopWaitMs = 5000;

 private:
  static DWORD WINAPI ThreadMain(void* self);
  HINSTANCE instance_ = nullptr;
  UINT commandMessage_ = 0;
  UniqueHandle thread_;
  UniqueHandle ready_;
  std::atomic<HWND> window_{nullptr};
};
