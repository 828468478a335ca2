// Two real processes: Cantorix.exe plays a list through the wave output
// device into ALSA's file sink, and this program presses keys at it the way
// a keyboard does: media-key commands (WM_APPCOMMAND) sent to the panel,
// media keys pressed (SendInput) while a window of this process has the
// focus, and the transport and navigation keys typed into Cantorix itself.
// What changed is read across the process boundary: the status reply, the
// title line, the LED digits' image numbers and the focused window of
// Cantorix's thread.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/CommandCodes.h"
#include "shell/TrayIcon.h"
#include "tests/audio/AudioTestFiles.h"
#include "tests/support/ScreenCapture.h"
#include "tests/support/WinTestSupport.h"

namespace {

constexpr uint32_t kShown = kStatusWaveShown | kStatusCdShown | kStatusMidiShown;
constexpr uint32_t kStopped = kStatusPlaylist | kStatusPlay | kStatusTrackForward | kStatusTrackBack | kShown;
constexpr uint32_t kPlaying = kStatusPlaylist | kStatusStop | kStatusPause | kStatusSkipForward |
                              kStatusSkipBack | kStatusTrackForward | kStatusTrackBack | kShown;
constexpr uint32_t kPaused = kPlaying | kStatusPlay;

void Key(WORD vk, bool up) {
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = vk;
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &input, sizeof input);
}

void Press(WORD vk) {
  Key(vk, false);
  Key(vk, true);
}

// What the screen shows of another process's window: its own surface
// cannot be read from here, the screen can.
std::vector<COLORREF> ScreenPixels(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  std::vector<COLORREF> pixels;
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) return pixels;
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) pixels.push_back(GetPixel(screen, x, y));
  }
  ReleaseDC(nullptr, screen);
  return pixels;
}

// An image of Cantorix's skin as its program file holds it, pixel by
// pixel in the order ScreenPixels reads them; empty when it cannot be read.
std::vector<COLORREF> SkinImage(const char* name) {
  std::vector<COLORREF> pixels;
  HMODULE program = LoadLibraryExA((ProgramFolder() + "\\Cantorix.exe").c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE);
  if (program == nullptr) return pixels;
  HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(program, name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  BITMAP info = {};
  HDC memory = CreateCompatibleDC(nullptr);
  if (bitmap != nullptr && memory != nullptr && GetObjectA(bitmap, sizeof info, &info) != 0) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    for (int y = 0; y < info.bmHeight; ++y) {
      for (int x = 0; x < info.bmWidth; ++x) pixels.push_back(GetPixel(memory, x, y));
    }
    SelectObject(memory, old);
  }
  if (memory != nullptr) DeleteDC(memory);
  if (bitmap != nullptr) DeleteObject(bitmap);
  FreeLibrary(program);
  return pixels;
}

// The windows lying over `window` on the screen, for a failure message.
std::string Covering(HWND window) {
  std::string text;
  for (const std::string& w : CoveringWindows(window)) text += w + "; ";
  return text.empty() ? "no window over it" : text;
}

// How many distinct colours: a capture that read nothing has one.
size_t Colours(const std::vector<COLORREF>& pixels) {
  std::vector<COLORREF> seen;
  for (COLORREF c : pixels) {
    bool known = false;
    for (COLORREF s : seen) known = known || s == c;
    if (!known) seen.push_back(c);
  }
  return seen.size();
}

void ShiftTab() {
  Key(VK_SHIFT, false);
  Press(VK_TAB);
  Key(VK_SHIFT, true);
}

// A plain top-level window of this process that takes the focus away from
// Cantorix, and notes the hot keys it holds when they are pressed.
int gOwnHotKeyPresses = 0;

LRESULT CALLBACK FocusWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_HOTKEY) {
    ++gOwnHotKeyPresses;
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateFocusWindow() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = FocusWindowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "KeysTestFocus";
  RegisterClassA(&wc);
  return CreateWindowExA(0, "KeysTestFocus", "keys test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                         nullptr, nullptr, wc.hInstance, nullptr);
}

class KeysTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FindTopLevelWindows("CANTORIX").empty());
    gCommandMessage = RegisterWindowMessageA(kCommandMessageName);
    focus_ = CreateFocusWindow();
    ASSERT_NE(focus_, nullptr);
  }
  // CTest runs this with dsound disabled, as the remote test, so Cantorix
  // plays through the wave output device.
  void Start() {
    cantorix_.reset(new ChildProcess(ProgramFolder() + "\\Cantorix.exe"));
    ASSERT_TRUE(cantorix_->started());
    panel_ = WaitForShownPanel(40000);  // Wine starts slowly on a loaded machine
    ASSERT_NE(panel_, nullptr);
    wave_ = FindWindowExA(panel_, nullptr, "CXWavePlayerClass", nullptr);
    ASSERT_NE(wave_, nullptr);
    thread_ = GetWindowThreadProcessId(panel_, nullptr);
  }
  void TearDown() override {
    if (panel_ != nullptr) PostMessageA(panel_, WM_CLOSE, 0, 0);
    if (cantorix_) {
      EXPECT_EQ(cantorix_->Wait(15000), 0);
    }
    if (focus_ != nullptr) DestroyWindow(focus_);
  }
  uint32_t Status() { return poller_.Query(panel_, kRouteWave); }
  bool WaitStatus(uint32_t expected) {
    return PumpUntil([&] { return Status() == expected; }, 8000);
  }
  std::string Title() { return WaveTitle(wave_); }
  bool WaitTitle(const std::string& title) { return WaitWaveTitle(wave_, title); }
  int Image(int id) { return PictureImage(wave_, id); }
  int Digits(int firstId) { return ShownDigits(wave_, firstId); }
  int ShownSeconds() { return Digits(2034) * 60 + Digits(2036); }
  // Four ten-minute files: the sink plays about four times faster than
  // real time, so none ends while the steps run.
  void PlayFourFiles() {
    std::string list;
    for (const char* name : {"alpha", "beta", "gamma", "delta"}) {
      list += folder_.Write(std::string(name) + ".wav", SimpleWav(8000, 1, 8, TestPcm(8000 * 600, name[0]))) +
              "\r\n";
    }
    std::string listFile = folder_.Write("four.m3u", Bytes(list.begin(), list.end()));
    ATOM atom = GlobalAddAtomA(listFile.c_str());
    SendMessageA(panel_, gCommandMessage, MakeCommand(kRouteMainPanel, kCmdOpenFile), atom);
    GlobalDeleteAtom(atom);
    ASSERT_TRUE(WaitTitle("alpha"));
    ASSERT_TRUE(WaitStatus(kPlaying));
  }
  LRESULT AppCommand(int command) {
    return SendMessageA(panel_, WM_APPCOMMAND, reinterpret_cast<WPARAM>(panel_),
                        MAKELPARAM(0, command | FAPPCOMMAND_KEY));
  }
  HWND CantorixFocus() {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(thread_, &info) ? info.hwndFocus : nullptr;
  }
  bool Foreground(HWND window) {
    SetForegroundWindow(window);
    return PumpUntil([&] { return GetForegroundWindow() == window; }, 5000);
  }

  static UINT gCommandMessage;
  TempFolder folder_;
  std::unique_ptr<ChildProcess> cantorix_;
  HWND panel_ = nullptr;
  HWND wave_ = nullptr;
  HWND focus_ = nullptr;
  DWORD thread_ = 0;
  StatusPoller poller_;
};

UINT KeysTest::gCommandMessage = 0;

// The media-key commands act on the wave player: it is the one playing,
// and after a stop the one that plays/pause starts, none being played.
TEST_F(KeysTest, MediaKeyCommandsDriveThePlayingPlayer) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(PlayFourFiles());
  EXPECT_EQ(AppCommand(APPCOMMAND_MEDIA_PLAY_PAUSE), TRUE);
  EXPECT_TRUE(WaitStatus(kPaused));
  AppCommand(APPCOMMAND_MEDIA_PLAY_PAUSE);
  EXPECT_TRUE(WaitStatus(kPlaying));
  AppCommand(APPCOMMAND_MEDIA_PAUSE);
  EXPECT_TRUE(WaitStatus(kPaused));
  AppCommand(APPCOMMAND_MEDIA_PAUSE);  // already paused: stays paused
  AppCommand(APPCOMMAND_MEDIA_PLAY);
  EXPECT_TRUE(WaitStatus(kPlaying));
  AppCommand(APPCOMMAND_MEDIA_NEXTTRACK);
  EXPECT_TRUE(WaitTitle("beta"));
  AppCommand(APPCOMMAND_MEDIA_NEXTTRACK);
  EXPECT_TRUE(WaitTitle("gamma"));
  AppCommand(APPCOMMAND_MEDIA_PREVIOUSTRACK);
  EXPECT_TRUE(WaitTitle("beta"));
  AppCommand(APPCOMMAND_MEDIA_STOP);
  EXPECT_TRUE(WaitStatus(kStopped));
  EXPECT_TRUE(WaitTitle(""));
  AppCommand(APPCOMMAND_MEDIA_PLAY_PAUSE);
  EXPECT_TRUE(WaitTitle("alpha"));
  EXPECT_TRUE(WaitStatus(kPlaying));
  // A command the panel does not take is left to the system.
  EXPECT_EQ(AppCommand(APPCOMMAND_BROWSER_BACKWARD), FALSE);
}

// The media keys reach Cantorix while another program has the focus: it
// holds them as hot keys, and gives them back when it ends.
TEST_F(KeysTest, MediaKeysWorkWhileAnotherWindowHasTheFocus) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(PlayFourFiles());
  ASSERT_TRUE(Foreground(focus_));
  Press(VK_MEDIA_NEXT_TRACK);
  EXPECT_TRUE(WaitTitle("beta"));
  Press(VK_MEDIA_PLAY_PAUSE);
  EXPECT_TRUE(WaitStatus(kPaused));
  Press(VK_MEDIA_PLAY_PAUSE);
  EXPECT_TRUE(WaitStatus(kPlaying));
  Press(VK_MEDIA_PREV_TRACK);
  EXPECT_TRUE(WaitTitle("alpha"));
  Press(VK_MEDIA_STOP);
  EXPECT_TRUE(WaitStatus(kStopped));
  EXPECT_EQ(GetForegroundWindow(), focus_);
  EXPECT_EQ(gOwnHotKeyPresses, 0);
  // Held by Cantorix while it runs, free again once it has ended.
  EXPECT_FALSE(RegisterHotKey(focus_, 1, 0, VK_MEDIA_PLAY_PAUSE));
  PostMessageA(panel_, WM_CLOSE, 0, 0);
  panel_ = nullptr;
  EXPECT_EQ(cantorix_->Wait(15000), 0);
  cantorix_.reset();
  EXPECT_TRUE(RegisterHotKey(focus_, 1, 0, VK_MEDIA_PLAY_PAUSE));
  UnregisterHotKey(focus_, 1);
}

// Another program holds the stop key: Cantorix starts without a word, the
// key stays that program's, and the stop command still works.
TEST_F(KeysTest, AHotKeyHeldElsewhereIsLeftToItsOwner) {
  ASSERT_TRUE(RegisterHotKey(focus_, 7, 0, VK_MEDIA_STOP));
  MessageBoxWatcher boxes("Cantorix Error Reporting", 0);
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(PlayFourFiles());
  ASSERT_TRUE(Foreground(focus_));
  Press(VK_MEDIA_STOP);
  EXPECT_TRUE(PumpUntil([] { return gOwnHotKeyPresses == 1; }, 5000));
  EXPECT_EQ(Status(), kPlaying);
  Press(VK_MEDIA_NEXT_TRACK);  // the others are Cantorix's still
  EXPECT_TRUE(WaitTitle("beta"));
  AppCommand(APPCOMMAND_MEDIA_STOP);
  EXPECT_TRUE(WaitStatus(kStopped));
  UnregisterHotKey(focus_, 7);
  gOwnHotKeyPresses = 0;
}

// Keys typed into Cantorix: space, the arrows and the page keys act on the
// player that plays.
TEST_F(KeysTest, TransportKeysActInsideCantorix) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(PlayFourFiles());
  ASSERT_TRUE(Foreground(panel_));
  Press(VK_SPACE);
  EXPECT_TRUE(WaitStatus(kPaused));
  Press(VK_SPACE);
  EXPECT_TRUE(WaitStatus(kPlaying));
  Press(VK_NEXT);
  EXPECT_TRUE(WaitTitle("beta"));
  Press(VK_NEXT);
  EXPECT_TRUE(WaitTitle("gamma"));
  Press(VK_PRIOR);
  EXPECT_TRUE(WaitTitle("beta"));
  // Ten seconds a press, measured while paused, so that the time shown
  // moves by the skips alone (but for the last tick before the pause:
  // two seconds of the file at most).
  Press(VK_SPACE);
  ASSERT_TRUE(WaitStatus(kPaused));
  const int at = ShownSeconds();
  Press(VK_RIGHT);
  Press(VK_RIGHT);
  EXPECT_TRUE(PumpUntil([&] { return ShownSeconds() >= at + 20; }, 4000)) << at << " " << ShownSeconds();
  Press(VK_LEFT);
  EXPECT_TRUE(PumpUntil([&] { return ShownSeconds() >= at + 8 && ShownSeconds() <= at + 13; }, 4000))
      << at << " " << ShownSeconds();
  Press(VK_SPACE);
  EXPECT_TRUE(WaitStatus(kPlaying));
}

// Tab walks the enabled buttons of the shown modules, Shift+Tab walks
// back, Enter presses the focused one. The focus cue is drawn only once
// the keyboard moved the focus: a mouse click leaves the pixels alone.
TEST_F(KeysTest, TabMovesTheFocusCueAndEnterPresses) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(PlayFourFiles());
  ASSERT_TRUE(Foreground(panel_));
  HWND stop = GetDlgItem(wave_, 2005);
  ASSERT_NE(stop, nullptr);
  // The buttons were enabled when the list began to play; the screen shows
  // their up images once Cantorix has painted them.
  const std::vector<COLORREF> plain = SkinImage("STOPU");
  ASSERT_GT(Colours(plain), 1u);
  ASSERT_TRUE(PumpUntil([&] { return ScreenPixels(stop) == plain; }, 5000)) << Covering(stop);
  // A mouse click on a button (SKIPF) moves no focus there and draws no cue.
  HWND skip = GetDlgItem(wave_, 2008);
  const std::vector<COLORREF> skipPlain = SkinImage("SKIPFU");
  ASSERT_GT(Colours(skipPlain), 1u);
  ASSERT_TRUE(PumpUntil([&] { return ScreenPixels(skip) == skipPlain; }, 5000)) << Covering(skip);
  RECT r;
  GetWindowRect(skip, &r);
  SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  INPUT click[2] = {};
  click[0].type = click[1].type = INPUT_MOUSE;
  click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, click, sizeof click[0]);
  // The up image comes back after the release, with nothing on it.
  EXPECT_TRUE(PumpUntil([&] { return ScreenPixels(skip) == skipPlain; }, 3000));
  EXPECT_NE(CantorixFocus(), skip);

  std::vector<HWND> visited;
  for (int i = 0; i < 60 && CantorixFocus() != stop; ++i) {
    HWND before = CantorixFocus();
    Press(VK_TAB);
    ASSERT_TRUE(PumpUntil([&] { return CantorixFocus() != before; }, 3000)) << i;
    HWND now = CantorixFocus();
    char name[32] = {};
    GetClassNameA(now, name, sizeof name);
    EXPECT_STREQ(name, "DibButton");
    EXPECT_TRUE(IsWindowEnabled(now) && IsWindowVisible(now));
    visited.push_back(now);
  }
  ASSERT_EQ(CantorixFocus(), stop);
  // Every button once: no button came twice before STOP was reached.
  for (size_t i = 0; i < visited.size(); ++i) {
    for (size_t j = i + 1; j < visited.size(); ++j) EXPECT_NE(visited[i], visited[j]);
  }
  EXPECT_TRUE(PumpUntil([&] { return ScreenPixels(stop) != plain; }, 3000));

  if (visited.size() >= 2) {
    ShiftTab();
    EXPECT_TRUE(PumpUntil([&] { return CantorixFocus() == visited[visited.size() - 2]; }, 3000));
    EXPECT_TRUE(PumpUntil([&] { return ScreenPixels(stop) == plain; }, 3000)) << Covering(stop);
    Press(VK_TAB);
    EXPECT_TRUE(PumpUntil([&] { return CantorixFocus() == stop; }, 3000));
  }
  Press(VK_RETURN);
  EXPECT_TRUE(WaitStatus(kStopped));
  // Space on a focused button presses it too (PLAY, now enabled).
  HWND play = GetDlgItem(wave_, 2001);
  for (int i = 0; i < 60 && CantorixFocus() != play; ++i) {
    HWND before = CantorixFocus();
    ShiftTab();
    ASSERT_TRUE(PumpUntil([&] { return CantorixFocus() != before; }, 3000)) << i;
  }
  ASSERT_EQ(CantorixFocus(), play);
  Press(VK_SPACE);
  EXPECT_TRUE(WaitTitle("alpha"));
  EXPECT_TRUE(WaitStatus(kPlaying));
}

// The notification icon's menu, worked by the keyboard as a user would
// after a right click on the icon: Next plays the next file, Exit ends
// Cantorix.
TEST_F(KeysTest, TrayMenuItemsActOnThePlayer) {
  ASSERT_NO_FATAL_FAILURE(Start());
  ASSERT_NO_FATAL_FAILURE(PlayFourFiles());
  ASSERT_TRUE(Foreground(panel_));
  DWORD process = 0;
  GetWindowThreadProcessId(panel_, &process);
  auto menuShown = [&] {
    for (HWND w : FindTopLevelWindows("#32768")) {
      DWORD owner = 0;
      GetWindowThreadProcessId(w, &owner);
      if (owner == process && IsWindowVisible(w)) return true;
    }
    return false;
  };
  PostMessageA(panel_, kMsgTrayIcon, 1, WM_RBUTTONUP);
  ASSERT_TRUE(PumpUntil(menuShown, 5000));
  Press(VK_DOWN);  // Play/Pause
  Press(VK_DOWN);  // Next
  Press(VK_RETURN);
  EXPECT_TRUE(WaitTitle("beta"));
  EXPECT_TRUE(PumpUntil([&] { return !menuShown(); }, 3000));
  EXPECT_TRUE(WaitStatus(kPlaying));

  PostMessageA(panel_, kMsgTrayIcon, 1, WM_RBUTTONUP);
  ASSERT_TRUE(PumpUntil(menuShown, 5000));
  Press(VK_UP);  // from no selection up to the last item, Exit
  Press(VK_RETURN);
  EXPECT_TRUE(PumpUntil([&] { return !menuShown(); }, 3000)) << "the menu is still open after Exit";
  EXPECT_EQ(cantorix_->Wait(15000), 0) << (IsWindow(panel_) ? "the panel is still there" : "the panel is gone");
  cantorix_.reset();
  panel_ = nullptr;
}

}  // namespace
