#include "remote/Panel3DWindow.h"

#include <cstring>
#include <memory>
#include <new>

#include "common/CommandCodes.h"
#include "common/Shared3DBlock.h"
#include "common/WindowClass.h"
#include "remote/CantorixLink.h"
#include "remote/Panel3DModel.h"
#include "skin/SkinControls.h"
#include "skin/SkinPalette.h"
#include "skin/SkinWindow.h"
#include "skin/SkinScale.h"

namespace {

constexpr UINT_PTR kPublishTimer = 1;

const char* const kPageBitmaps[4] = {"IDB_3DVELOCITY", "IDB_3DPOSITION", "IDB_3DCONE", "IDB_3DDISTANCE"};

// The bottom rows are cut away but for two tabs.
const POINT kPanelShape[] = {{0, 0},     {0, 103},   {7, 103},   {7, 108},   {70, 108},  {70, 103},
                             {299, 103}, {299, 108}, {362, 108}, {362, 103}, {370, 103}, {370, 0}};

// The writing side of "3DShareName". The mapping stays open for the panel's
// life: the main panel passes 5020 on by posting, so the wave player opens
// the block after our send has returned, and it must still be there.
class SharedBlockWriter {
 public:
  bool Write(const Shared3DBlock& block) {
    if (!view_) {
      mapping_.Reset(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                        sizeof(Shared3DBlock), kShared3DName));
      if (!mapping_) return false;
      view_.reset(new (std::nothrow) MappedView(mapping_.get(), FILE_MAP_WRITE, sizeof(Shared3DBlock)));
      if (!view_ || view_->get() == nullptr) {
        view_.reset();
        mapping_.Reset();
        return false;
      }
    }
    if (!lock_) lock_.Reset(CreateMutexA(nullptr, FALSE, kShared3DLockName));
    // The player copies the block under the same lock: it never sees half
    // of one write. A lock left by a program that died is ours all the same.
    const DWORD waited = lock_ ? WaitForSingleObject(lock_.get(), kShared3DLockWaitMs) : WAIT_FAILED;
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) return false;
    std::memcpy(view_->get(), &block, sizeof block);
    ReleaseMutex(lock_.get());
    return true;
  }

 private:
  UniqueHandle lock_;
  UniqueHandle mapping_;
  std::unique_ptr<MappedView> view_;  // goes before the mapping's handle
};

struct PanelState {
  UINT commandMessage = 0;
  Panel3DModel model;
  bool publishing = false;  // the timer runs while the panel is shown
  SharedBlockWriter writer;
};

PanelState* StateOf(HWND window) {
  return reinterpret_cast<PanelState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

void Publish(PanelState& state) {
  if (!state.writer.Write(Compute3DBlock(state.model.steps))) return;
  SendCantorixCommand(FindCantorix(), state.commandMessage, kRouteWave, kCmdApply3D, k3DAllGroups,
                      kQuickSendTimeoutMs);
}

void ShowMarkers(HWND window, const Panel3DModel& model) {
  for (int slider = 1; slider <= SlidersOnPage(model.page); ++slider) {
    SendMessageA(GetDlgItem(window, kPanel3DFirstSliderId + slider - 1), kMsgSetMarker,
                 static_cast<WPARAM>(SliderMarker(model, slider)), 0);
  }
}

void SwitchPage(HWND window, PanelState& state, int page) {
  state.model.page = page;
  const bool third = SlidersOnPage(page) == 3;
  ShowWindow(GetDlgItem(window, kPanel3DFirstSliderId + 2), third ? SW_SHOWNA : SW_HIDE);
  ShowMarkers(window, state.model);
  InvalidateRect(window, nullptr, TRUE);
}

void ResetSteps(PanelState& state) { state.model.steps = Panel3DSteps{}; }

LRESULT OnCreate(HWND window, const CREATESTRUCTA* cs) {
  auto* state = new (std::nothrow) PanelState;
  if (state == nullptr) return -1;
  state->commandMessage = static_cast<UINT>(reinterpret_cast<UINT_PTR>(cs->lpCreateParams));
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
  MarkSkinnedWindow(window);
  for (int k = 0; k < 3; ++k) {
    CreateSkinChild(0, kHandsetTempoClass, "", WS_CHILD | WS_VISIBLE, 73, 16 + 21 * k, 181, 9, window,
                    kPanel3DFirstSliderId + k, cs->hInstance);
  }
  HRGN shape = CreateSkinRegion(kPanelShape, sizeof kPanelShape / sizeof kPanelShape[0]);
  // The window owns the region once it is set.
  if (shape != nullptr && SetWindowRgn(window, shape, FALSE) == 0) DeleteObject(shape);
  // No timer yet: a hidden panel publishes nothing.
  return 0;
}

void OnPaint(HWND window, const PanelState& state) {
  SkinPaint paint(window);
  auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
  PaintResourceBitmap(paint.dc, instance, kPageBitmaps[state.model.page], 0, 0, kPanel3DWidth,
                      kPanel3DHeight);
}

void OnTimer(PanelState& state) {
  if (state.publishing) Publish(state);
}

// Shown: start from the middle, tell the player so at once and keep
// publishing. Hidden: stop; the player keeps what it was last given (the
// reset zone gives it the neutral block before hiding).
void OnShowWindow(HWND window, PanelState& state, bool shown) {
  ResetSteps(state);
  if (shown) {
    if (!state.publishing) SetTimer(window, kPublishTimer, kPanel3DPublishMs, nullptr);
    state.publishing = true;
    Publish(state);
  } else {
    KillTimer(window, kPublishTimer);
    state.publishing = false;
  }
  SwitchPage(window, state, kPagePosition);
}

void OnLeftButtonDown(HWND window, PanelState& state, int x, int y) {
  const Panel3DAction action = HitPanel3DZone(state.model.page, x, y);
  switch (action) {
    case kActionNone: StartWindowMove(window); return;
    case kActionSlider1Down:
    case kActionSlider2Down:
    case kActionSlider3Down:
      StepSliderDown(state.model, action - kActionSlider1Down + 1);
      ShowMarkers(window, state.model);
      return;
    case kActionSlider1Up:
    case kActionSlider2Up:
    case kActionSlider3Up:
      StepSliderUp(state.model, action - kActionSlider1Up + 1);
      ShowMarkers(window, state.model);
      return;
    case kActionResetAndHide:
      ResetSteps(state);
      Publish(state);
      ShowWindow(window, SW_HIDE);
      return;
    default: SwitchPage(window, state, PageOfAction(action)); return;
  }
}

void OnDestroy(HWND window, PanelState* state) {
  KillTimer(window, kPublishTimer);
  UnmarkSkinnedWindow(window);
  state->publishing = false;
  PostQuitMessage(0);
}

void OnNcDestroy(HWND window, PanelState* state) {
  SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  delete state;  // closes the shared block
}

LRESULT CALLBACK Panel3DProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) return OnCreate(window, reinterpret_cast<CREATESTRUCTA*>(lParam));
  PanelState* state = StateOf(window);
  if (state == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case WM_PAINT: OnPaint(window, *state); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_TIMER: OnTimer(*state); return 0;
    case WM_SHOWWINDOW:
      if (lParam == 0) OnShowWindow(window, *state, wParam != 0);
      return 0;
    case WM_LBUTTONDOWN:
      // The zones are in skin units.
      OnLeftButtonDown(window, *state, Unscaled(static_cast<short>(LOWORD(lParam))),
                       Unscaled(static_cast<short>(HIWORD(lParam))));
      return 0;
    case WM_COMMAND: return 0;
    case WM_QUERYNEWPALETTE: return RealizeSkinPaletteForWindow(window);
    case WM_DPICHANGED: FollowDpiChange(window, wParam, lParam); return 0;
    case WM_DESTROY: OnDestroy(window, state); return 0;
    case WM_NCDESTROY: OnNcDestroy(window, state); return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
  }
}

WindowClass gPanel3DClass = {kPanel3DClass, Panel3DProc, 0, nullptr,
                             reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1)};

}  // namespace

bool RegisterPanel3DClasses(HINSTANCE instance) {
  if (!RegisterWindowClass(gPanel3DClass, instance)) return false;
  if (RegisterHandsetTempo(instance)) return true;
  UnregisterWindowClass(gPanel3DClass, instance);
  return false;
}

void UnregisterPanel3DClasses(HINSTANCE instance) {
  UnregisterHandsetTempo(instance);
  UnregisterWindowClass(gPanel3DClass, instance);
}

bool Panel3DThread::Start(HINSTANCE instance, UINT commandMessage) {
  if (thread_) return false;
  instance_ = instance;
  commandMessage_ = commandMessage;
  ready_.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!ready_) return false;
  thread_.Reset(CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr));
  if (!thread_) return false;
  HANDLE waits[2] = {ready_.get(), thread_.get()};
  WaitForMultipleObjects(2, waits, FALSE, kStopWaitMs);
  return window() != nullptr;
}

DWORD WINAPI Panel3DThread::ThreadMain(void* self) {
  auto* owner = static_cast<Panel3DThread*>(self);
  const int x = GetSystemMetrics(SM_CXSCREEN) / 2 - Scaled(kPanel3DWidth) / 2;
  const int y = GetSystemMetrics(SM_CYSCREEN) / 2 - Scaled(kPanel3DHeight) / 2;
  HWND window = CreateWindowExA(0, kPanel3DClass, kPanel3DTitle, WS_POPUP | WS_CLIPCHILDREN, x, y,
                                Scaled(kPanel3DWidth), Scaled(kPanel3DHeight), nullptr, nullptr, owner->instance_,
                                reinterpret_cast<void*>(static_cast<UINT_PTR>(owner->commandMessage_)));
  owner->window_.store(window);
  SetEvent(owner->ready_.get());
  if (window == nullptr) return 0;
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  owner->window_.store(nullptr);
  return 0;
}

bool Panel3DThread::running() const {
  return thread_ && WaitForSingleObject(thread_.get(), 0) == WAIT_TIMEOUT;
}

bool Panel3DThread::Stop(DWORD timeoutMs) {
  if (!thread_) return true;
  HWND window = window_.load();
  if (window != nullptr) PostMessageA(window, WM_CLOSE, 0, 0);
  // Messages sent to this thread (activation moving here as the panel
  // goes) are answered while waiting, so the two threads cannot block
  // each other.
  const DWORD start = GetTickCount();
  for (;;) {
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= timeoutMs) break;
    HANDLE thread = thread_.get();
    const DWORD r = MsgWaitForMultipleObjects(1, &thread, FALSE, timeoutMs - elapsed, QS_SENDMESSAGE);
    if (r == WAIT_OBJECT_0) break;
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  if (running()) return false;
  thread_.Reset();
  return true;
}
