#include "tests/support/WinTestSupport.h"

#include <cstdio>

#include "common/CommandCodes.h"
#include "common/StartupOptions.h"

std::string ReadFileToString(const std::string& path) {
  std::string bytes;
  // Shared for everything: a test that reads what a program writes must not
  // make the program's write fail.
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
  CloseHandle(file);
  return bytes;
}

bool WriteStringToFile(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

std::string ProgramFolder() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string full(path, n);
  return full.substr(0, full.find_last_of("\\/"));
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (done()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

void PumpFor(DWORD ms) {
  PumpUntil([] { return false; }, ms);
}

std::string DialogText(HWND dialog) {
  std::string text;
  HWND child = nullptr;
  while ((child = FindWindowExA(dialog, child, "Static", nullptr)) != nullptr) {
    char buffer[512];
    int n = GetWindowTextA(child, buffer, sizeof buffer);
    if (n > 0) {
      if (!text.empty()) text += "\n";
      text.append(buffer, n);
    }
  }
  return text;
}

MessageBoxWatcher::MessageBoxWatcher(const char* caption, DWORD processId)
    : caption_(caption),
      processId_(processId != 0 ? processId : GetCurrentProcessId()),
      thread_([this] { Run(); }) {}

MessageBoxWatcher::~MessageBoxWatcher() {
  stop_ = true;
  thread_.join();
}

// Only boxes of this process count: other test programs may be showing
// boxes with the same caption at the same time.
HWND FindDialogOf(const char* caption, DWORD wanted) {
  HWND box = nullptr;
  while ((box = FindWindowExA(nullptr, box, "#32770", caption)) != nullptr) {
    DWORD process = 0;
    GetWindowThreadProcessId(box, &process);
    if (process == wanted && IsWindowVisible(box)) return box;
  }
  return nullptr;
}

void MessageBoxWatcher::Run() {
  while (!stop_) {
    HWND box = FindDialogOf(caption_.c_str(), processId_);
    if (box != nullptr) {
      std::function<void(HWND)> action;
      std::string text = DialogText(box);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        texts_.push_back(text);
        owners_.push_back(GetWindow(box, GW_OWNER));
        action = beforeOk_;
      }
      if (action) action(box);
      PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
      // Wait until that box has gone before looking for the next one.
      for (int i = 0; i < 500 && IsWindow(box) && !stop_; ++i) Sleep(10);
    }
    Sleep(10);
  }
}

std::vector<std::string> MessageBoxWatcher::Texts() {
  std::lock_guard<std::mutex> lock(mutex_);
  return texts_;
}

std::vector<HWND> MessageBoxWatcher::Owners() {
  std::lock_guard<std::mutex> lock(mutex_);
  return owners_;
}

void MessageBoxWatcher::BeforeOk(std::function<void(HWND box)> action) {
  std::lock_guard<std::mutex> lock(mutex_);
  beforeOk_ = std::move(action);
}

bool MessageBoxWatcher::WaitFor(size_t count, DWORD timeoutMs) {
  return PumpUntil([&] { return Texts().size() >= count; }, timeoutMs);
}

ChildProcess::ChildProcess(const std::string& commandLine) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  std::string mutableLine = commandLine;
  if (!CreateProcessA(nullptr, &mutableLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info_)) {
    info_ = PROCESS_INFORMATION{};
  }
}

ChildProcess::~ChildProcess() {
  if (info_.hProcess == nullptr) return;
  if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
    TerminateProcess(info_.hProcess, 1);  // a test left it hanging; do not leak it
    WaitForSingleObject(info_.hProcess, 5000);
  }
  CloseHandle(info_.hThread);
  CloseHandle(info_.hProcess);
}

bool ChildProcess::Kill() {
  if (info_.hProcess == nullptr || !TerminateProcess(info_.hProcess, 9)) return false;
  return WaitForSingleObject(info_.hProcess, 10000) == WAIT_OBJECT_0;
}

long ChildProcess::Wait(DWORD timeoutMs) {
  if (info_.hProcess == nullptr) return -1;
  bool ended = PumpUntil([&] { return WaitForSingleObject(info_.hProcess, 0) == WAIT_OBJECT_0; },
                         timeoutMs);
  if (!ended) return -1;
  DWORD code = 0;
  GetExitCodeProcess(info_.hProcess, &code);
  return static_cast<long>(code);
}

std::string WaveTitle(HWND wave) {
  char text[1024] = {};
  GetWindowTextA(GetDlgItem(wave, 2038), text, sizeof text);
  return text;
}

bool WaitWaveTitle(HWND wave, const std::string& title, DWORD timeoutMs) {
  return PumpUntil([&] { return WaveTitle(wave) == title; }, timeoutMs);
}

int PictureImage(HWND window, int id) {
  return static_cast<int>(GetWindowLongPtrA(GetDlgItem(window, id), GWLP_USERDATA));
}

int ShownDigits(HWND window, int firstId) {
  return (PictureImage(window, firstId) - 193) * 10 + PictureImage(window, firstId + 1) - 193;
}

bool WaitPlayedInOrder(HWND panel, HWND wave, StatusPoller& poller, const std::vector<std::string>& titles,
                       uint32_t stopped, DWORD timeoutMs, std::string* seen) {
  size_t count = 0;
  std::string last;
  const bool done = PumpUntil(
      [&] {
        last = WaveTitle(wave);
        if (count < titles.size() && last == titles[count]) ++count;
        return count == titles.size() && last.empty() && poller.Query(panel, kRouteWave) == stopped;
      },
      timeoutMs);
  if (seen != nullptr) {
    *seen = "saw " + std::to_string(count) + " of " + std::to_string(titles.size()) + " titles; now '" + last + "'";
  }
  return done;
}

std::vector<HWND> FindTopLevelWindows(const char* className) {
  std::vector<HWND> found;
  HWND window = nullptr;
  while ((window = FindWindowExA(nullptr, window, className, nullptr)) != nullptr) {
    found.push_back(window);
  }
  return found;
}

namespace {

std::vector<WPARAM> gStatusReplies;

LRESULT CALLBACK StatusReplyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kMsgStatusReply) {
    gStatusReplies.push_back(wParam);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

StatusPoller::StatusPoller() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = StatusReplyProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "CXTestStatusReply";
  RegisterClassA(&wc);  // fails harmlessly when a poller was made before
  window_ = CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                            wc.hInstance, nullptr);
}

StatusPoller::~StatusPoller() {
  if (window_ != nullptr) DestroyWindow(window_);
}

uint32_t StatusPoller::Query(HWND panel, uint16_t route) {
  gStatusReplies.clear();
  PostMessageA(panel, RegisterWindowMessageA(kCommandMessageName), MakeCommand(route, kCmdStatusQuery),
               reinterpret_cast<LPARAM>(window_));
  PumpUntil([] { return !gStatusReplies.empty(); }, 3000);
  return gStatusReplies.empty() ? 0xFFFFFFFFu : static_cast<uint32_t>(gStatusReplies.back());
}

bool WaitForSettledStart(DWORD timeoutMs) {
  HANDLE turn = OpenMutexA(SYNCHRONIZE, FALSE, kStartTurnName);
  if (turn == nullptr) return true;  // no start-up under way
  bool settled = false;
  PumpUntil(
      [&] {
        const DWORD waited = WaitForSingleObject(turn, 0);
        settled = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
        if (settled) ReleaseMutex(turn);
        return settled;
      },
      timeoutMs);
  CloseHandle(turn);
  return settled;
}

HWND WaitForShownPanel(DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  HWND panel = nullptr;
  PumpUntil(
      [&] {
        std::vector<HWND> panels = FindTopLevelWindows("CANTORIX");
        panel = panels.size() == 1 && IsWindowVisible(panels[0]) ? panels[0] : nullptr;
        return panel != nullptr;
      },
      timeoutMs);
  // The panel shows before its players are made: wait for them too.
  const DWORD spent = GetTickCount() - start;
  if (panel != nullptr && !WaitForSettledStart(spent < timeoutMs ? timeoutMs - spent : 0)) return nullptr;
  return panel;
}
