// Handset's real windows in this process, against a stand-in "CANTORIX"
// window (with a shown wave player child) on a thread of its own that
// records the commands it gets, reads the shared 3D block on 5020 and
// answers status queries. The stand-in can be made to hang, as a Cantorix
// stuck in a long operation would.
#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "common/CommandCodes.h"
#include "common/Shared3DBlock.h"
#include "common/Win32Handles.h"
#include "remote/HandsetLayout.h"
#include "remote/HandsetWindow.h"
#include "remote/Panel3DWindow.h"
#include "resources/ResourceIds.h"
#include "skin/DibButton.h"
#include "skin/SkinControls.h"
#include "skin/SkinPalette.h"
#include "tests/support/ScreenCapture.h"
#include "tests/support/WinTestSupport.h"

namespace {

struct Received {
  uint16_t route, code;
  LPARAM lParam;
  Shared3DBlock block;  // what "3DShareName" held during a 5020
};

class StandInCantorix {
 public:
  StandInCantorix() : release_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    gSelf = this;
    message_ = RegisterWindowMessageA(kCommandMessageName);
    thread_ = std::thread([this] { Run(); });
    PumpUntil([&] { return window_ != nullptr; }, 5000);
  }
  ~StandInCantorix() {
    SetEvent(release_.get());
    PostMessageA(window_, WM_CLOSE, 0, 0);
    thread_.join();
    gSelf = nullptr;
  }
  void SetStatus(uint32_t bits) { status_ = bits; }
  // Stops handling messages until Release.
  void Hang() {
    ResetEvent(release_.get());
    PostMessageA(window_, WM_APP, 0, 0);
  }
  void Release() { SetEvent(release_.get()); }
  std::vector<Received> Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Received> got;
    got.swap(received_);
    return got;
  }
  // Waits for a command (other than the status query) and returns it.
  bool WaitFor(uint16_t code, Received* out, DWORD timeoutMs = 3000) {
    return PumpUntil(
        [&] {
          for (const Received& r : Take()) {
            if (r.code != code) continue;
            if (out != nullptr) *out = r;
            return true;
          }
          return false;
        },
        timeoutMs);
  }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    StandInCantorix* self = gSelf;
    if (self != nullptr && message == self->message_) {
      self->OnCommand(CommandRouteOf(wParam), CommandCodeOf(wParam), lParam);
      return 0;
    }
    if (message == WM_APP && self != nullptr) {
      WaitForSingleObject(self->release_.get(), 20000);
      return 0;
    }
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(window, message, wParam, lParam);
  }
  void OnCommand(uint16_t route, uint16_t code, LPARAM lParam) {
    Received r = {route, code, lParam, {}};
    if (code == kCmdStatusQuery) {
      PostMessageA(reinterpret_cast<HWND>(lParam), kMsgStatusReply, status_, 0);
    }
    if (code == kCmdApply3D) {
      UniqueHandle mapping(OpenFileMappingA(FILE_MAP_READ, FALSE, kShared3DName));
      MappedView view(mapping.get(), FILE_MAP_READ, sizeof(Shared3DBlock));
      if (view.get() != nullptr) std::memcpy(&r.block, view.get(), sizeof r.block);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    received_.push_back(r);
  }
  void Run() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "CANTORIX";
    RegisterClassA(&wc);
    WNDCLASSA player = {};
    player.lpfnWndProc = DefWindowProcA;
    player.hInstance = wc.hInstance;
    player.lpszClassName = "CXWavePlayerClass";
    RegisterClassA(&player);
    HWND panel = CreateWindowExA(0, "CANTORIX", "Cantorix", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 wc.hInstance, nullptr);
    // A shown wave player, as the remote looks for one.
    CreateWindowExA(0, player.lpszClassName, "", WS_CHILD | WS_VISIBLE, 0, 0, 1, 1, panel, nullptr,
                    wc.hInstance, nullptr);
    window_ = panel;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    UnregisterClassA(player.lpszClassName, wc.hInstance);
    UnregisterClassA("CANTORIX", wc.hInstance);
  }

  static StandInCantorix* gSelf;
  UniqueHandle release_;
  UINT message_ = 0;
  std::atomic<HWND> window_{nullptr};
  std::atomic<uint32_t> status_{0};
  std::mutex mutex_;
  std::vector<Received> received_;
  std::thread thread_;
};
StandInCantorix* StandInCantorix::gSelf = nullptr;

std::string ScreenshotPath(const char* name) {
  const char* binary = std::getenv("CX_BINARY_DIR");
  const std::string folder = std::string(binary != nullptr ? binary : ".") + "/../screenshots";
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder + "/" + name;
}

COLORREF ResourcePixel(const char* name, int x, int y) {
  GdiObject bitmap(LoadImageA(GetModuleHandleA(nullptr), name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  MemoryDc memory(nullptr);
  Selection selected(memory.dc, bitmap.object);
  return GetPixel(memory.dc, x, y);
}

// A click as the mouse makes it: press and release inside the control.
void Click(HWND control, int x = 2, int y = 2) {
  PostMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  PostMessageA(control, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

class HandsetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    instance_ = GetModuleHandleA(nullptr);
    commandMessage_ = RegisterWindowMessageA(kCommandMessageName);
    ASSERT_TRUE(RegisterPanel3DClasses(instance_));
    palette_ = BuildSkinPalette(instance_, MAKEINTRESOURCEA(kHandsetFace));
    ASSERT_NE(palette_, nullptr);
    SetSkinPalette(palette_);
  }
  void TearDown() override {
    if (panelClasses_) UnregisterPanel3DClasses(instance_);
    SetSkinPalette(nullptr);
    DeleteObject(palette_);
  }
  // The test's own check that the classes go with their last user.
  bool UnregisterPanelClasses() {
    panelClasses_ = false;
    UnregisterPanel3DClasses(instance_);
    return !ClassRegistered(kPanel3DClass) && !ClassRegistered(kHandsetTempoClass);
  }
  bool ClassRegistered(const char* name) {
    WNDCLASSA wc;
    return GetClassInfoA(instance_, name, &wc) != 0;
  }
  HINSTANCE instance_ = nullptr;
  UINT commandMessage_ = 0;
  HPALETTE palette_ = nullptr;
  bool panelClasses_ = true;
  StandInCantorix cantorix_;
};

bool SameBlock(const Shared3DBlock& a, const Shared3DBlock& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST_F(HandsetTest, PanelPublishesOnlyWhileShownAndKeepsTheBlockOpen) {
  Panel3DThread thread;
  ASSERT_TRUE(thread.Start(instance_, commandMessage_));
  HWND panel = thread.window();
  ASSERT_NE(panel, nullptr);
  EXPECT_NE(GetWindowThreadProcessId(panel, nullptr), GetCurrentThreadId());

  // Hidden: not a single notice, so a running player keeps its sound.
  PumpFor(1200);
  EXPECT_FALSE(cantorix_.WaitFor(kCmdApply3D, nullptr, 0));
  EXPECT_EQ(OpenFileMappingA(FILE_MAP_READ, FALSE, kShared3DName), nullptr);

  ShowWindowAsync(panel, SW_SHOWNORMAL);
  Received r;
  ASSERT_TRUE(cantorix_.WaitFor(kCmdApply3D, &r));
  EXPECT_EQ(r.route, kRouteWave);
  EXPECT_EQ(r.lParam, static_cast<LPARAM>(k3DAllGroups));
  const Shared3DBlock neutral = {1.0f, 1.0f, 0, 0, 0, 0, 0, 0, 30, 60};
  EXPECT_TRUE(SameBlock(r.block, neutral));

  // Distance page: minimum 3, maximum 5; position x 2 steps (2 x 5 x 0.1);
  // velocity z one step down; inside cone 12 steps up (66 degrees) against
  // an outside cone of 60, which holds it at 60.
  auto press = [&](int x, int y, int times = 1) {
    for (int i = 0; i < times; ++i) PostMessageA(panel, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  };
  press(250, 90);
  press(260, 20, 3);
  press(260, 41, 5);
  press(100, 90);
  press(260, 20, 2);
  press(10, 90);
  press(66, 62);
  auto slider = [&](int k) { return GetDlgItem(panel, kPanel3DFirstSliderId + k - 1); };
  auto marker = [&](int k) { return SendMessageA(slider(k), kMsgGetMarker, 0, 0); };
  EXPECT_TRUE(PumpUntil([&] { return marker(3) == 8 && IsWindowVisible(slider(3)); }, 3000));
  press(170, 90);
  press(260, 20, 12);
  EXPECT_TRUE(PumpUntil([&] { return marker(1) == 12 && !IsWindowVisible(slider(3)); }, 3000));

  const Shared3DBlock moved = {5.0f, 3.0f, 1.0f, 0, 0, 0, 0, -1.0f, 60, 60};
  EXPECT_TRUE(PumpUntil([&] { return cantorix_.WaitFor(kCmdApply3D, &r, 0) && SameBlock(r.block, moved); }, 3000));
  std::vector<COLORREF> shot = CaptureWindow(panel, ScreenshotPath("handset-3d-panel.bmp"));
  ASSERT_EQ(shot.size(), static_cast<size_t>(kPanel3DWidth * kPanel3DHeight));
  EXPECT_EQ(shot[95 * kPanel3DWidth + 300], ResourcePixel("IDB_3DCONE", 300, 95));

  // The player reads the block after the send has returned: it is still
  // there between notices.
  {
    UniqueHandle mapping(OpenFileMappingA(FILE_MAP_READ, FALSE, kShared3DName));
    ASSERT_TRUE(mapping);
    MappedView view(mapping.get(), FILE_MAP_READ, sizeof(Shared3DBlock));
    ASSERT_NE(view.get(), nullptr);
    EXPECT_TRUE(SameBlock(*static_cast<const Shared3DBlock*>(view.get()), moved));
  }

  // The reset zone sends the neutral block, hides the panel and ends the
  // notices; showing it again resumes them from the middle.
  cantorix_.Take();
  press(310, 40);
  ASSERT_TRUE(cantorix_.WaitFor(kCmdApply3D, &r));
  EXPECT_TRUE(SameBlock(r.block, neutral));
  EXPECT_TRUE(PumpUntil([&] { return !IsWindowVisible(panel); }, 2000));
  PumpFor(1000);
  EXPECT_FALSE(cantorix_.WaitFor(kCmdApply3D, nullptr, 0));
  ShowWindowAsync(panel, SW_SHOWNORMAL);
  ASSERT_TRUE(cantorix_.WaitFor(kCmdApply3D, &r));
  EXPECT_TRUE(SameBlock(r.block, neutral));
  EXPECT_TRUE(cantorix_.WaitFor(kCmdApply3D, &r, 1000));  // and again within a tick

  // Closed from this thread: the panel's thread ends and takes its window
  // and the block with it; then the classes can go.
  EXPECT_TRUE(thread.Stop(5000));
  EXPECT_FALSE(IsWindow(panel));
  EXPECT_FALSE(thread.running());
  EXPECT_EQ(OpenFileMappingA(FILE_MAP_READ, FALSE, kShared3DName), nullptr);
  EXPECT_TRUE(UnregisterPanelClasses());
}

class RemoteTest : public HandsetTest {
 protected:
  void SetUp() override {
    HandsetTest::SetUp();
    ASSERT_TRUE(RegisterRemoteClass(instance_));
    ASSERT_TRUE(RegisterDibButton(instance_, MAKEINTRESOURCEA(kHandsetCursor)));
    remote_ = CreateRemoteWindow(instance_, commandMessage_, &panel_);
    ASSERT_NE(remote_, nullptr);
    ASSERT_TRUE(panel_.Start(instance_, commandMessage_));
    PollCantorixStatus(remote_);
    ShowWindow(remote_, SW_SHOWNORMAL);
    UpdateWindow(remote_);
  }
  void TearDown() override {
    if (IsWindow(remote_)) DestroyWindow(remote_);
    PumpFor(50);  // the quit message the remote posted
    UnregisterRemoteClass(instance_);
    HandsetTest::TearDown();
  }
  HWND Key(int id) { return GetDlgItem(remote_, id); }
  bool Enabled(int id) { return IsWindowEnabled(Key(id)) != FALSE; }
  bool Chosen(int id) { return SelectorShowsChosen(Key(id)); }
  void Select(int id) { PostMessageA(Key(id), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2)); }

  Panel3DThread panel_;
  HWND remote_ = nullptr;
};

TEST_F(RemoteTest, KeysFollowTheStatusAHungCantorixGreysThemAndPowerEndsAll) {
  // Nothing chosen: transport greyed, the rest usable.
  EXPECT_FALSE(Enabled(kKeyPlay));
  EXPECT_FALSE(Chosen(kKeyWave));

  cantorix_.SetStatus(kStatusPlaylist | kStatusPlay | kStatusTrackForward | kStatusWaveShown);
  Select(kKeyWave);
  Received r;
  ASSERT_TRUE(cantorix_.WaitFor(kCmdOpenPlayer, &r));
  EXPECT_EQ(r.route, kRouteWave);
  EXPECT_TRUE(PumpUntil([&] { return Enabled(kKeyPlay) && Chosen(kKeyWave); }, 2000));
  EXPECT_FALSE(Enabled(kKeyStop));

  std::vector<COLORREF> shot = CaptureWindow(remote_, ScreenshotPath("handset.bmp"));
  ASSERT_EQ(shot.size(), static_cast<size_t>(kHandsetWidth * kHandsetHeight));
  EXPECT_EQ(shot[(115 + 7) * kHandsetWidth + 37 + 12], ResourcePixel("PLAYU", 12, 7));
  EXPECT_EQ(shot[(115 + 7) * kHandsetWidth + 62 + 12], ResourcePixel("STOPX", 12, 7));
  EXPECT_EQ(shot[(42 + 16) * kHandsetWidth + 103 + 17], ResourcePixel("WAVEU", 17, 16));

  // The volume keys go to the mixer, whatever player is chosen.
  Click(Key(kKeyVolumeUp));
  ASSERT_TRUE(cantorix_.WaitFor(kCmdMixerStep, &r));
  EXPECT_EQ(r.route, kRouteMixer);
  EXPECT_EQ(r.lParam, kMixerStepUp);

  // "3D" with the wave player chosen shows the panel.
  Click(Key(kKey3D));
  EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(panel_.window()) != FALSE; }, 2000));

  // The player closed in Cantorix: no choice within a poll.
  cantorix_.SetStatus(kStatusPlaylist);
  EXPECT_TRUE(PumpUntil([&] { return !Chosen(kKeyWave); }, 2000));
  EXPECT_FALSE(Enabled(kKeyPlay));

  // A Cantorix that stops answering counts as not running; the remote
  // itself goes on.
  cantorix_.SetStatus(kStatusPlay | kStatusWaveShown);
  Select(kKeyWave);
  ASSERT_TRUE(PumpUntil([&] { return Enabled(kKeyPlay) && Chosen(kKeyWave); }, 3000));
  cantorix_.Hang();
  const DWORD start = GetTickCount();
  EXPECT_TRUE(PumpUntil([&] { return !Enabled(kKeyPlay) && !Chosen(kKeyWave); }, 4000));
  EXPECT_LT(GetTickCount() - start, 3000u);
  cantorix_.Release();

  // POWER: the shown panel and its thread go with the remote.
  HWND panel = panel_.window();
  Click(Key(kKeyPower));
  ASSERT_TRUE(PumpUntil([&] { return !IsWindow(remote_); }, 3000));
  EXPECT_FALSE(IsWindow(panel));
  EXPECT_FALSE(panel_.running());
  EXPECT_TRUE(UnregisterPanelClasses());
}

}  // namespace
