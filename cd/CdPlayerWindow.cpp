#include "cd/CdPlayerWindow.h"

#include <memory>
#include <new>

#include "cd/CdEngine.h"
#include "cd/CdPlayerLayout.h"
#include "cd/FrontPanelLcd.h"
#include "cd/TrackIndicators.h"
#include "common/Check.h"
#include "common/CommandCodes.h"
#include "common/PlayerGuard.h"
#include "common/Win32Handles.h"
#include "common/WindowClass.h"
#include "media/PlayList.h"
#include "skin/DibButton.h"
#include "skin/SkinPalette.h"
#include "skin/SkinScale.h"

namespace {

// The window's state, kept in its user data from WM_CREATE to WM_DESTROY.
// The engine uses the list and the LCD, so it is declared after them.
struct CdPlayerState {
  const PlayerHost* host = nullptr;
  std::unique_ptr<PlayList> list;
  std::unique_ptr<DriverLcd> lcd;
  std::unique_ptr<CdEngine> engine;
  // Every engine operation runs through it: what arrives while one runs (a
  // message box of a handed-over list may be up) waits for it.
  PlayerGuard guard;
};

CdPlayerState* StateOf(HWND window) {
  return reinterpret_cast<CdPlayerState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

UINT CommandMessageOf(HWND window) {
  CdPlayerState* state = StateOf(window);
  return state != nullptr && state->host != nullptr ? state->host->CommandMessage() : 0;
}

void PostSelf(HWND window, uint16_t code, LPARAM lParam) {
  PostMessageA(window, CommandMessageOf(window), MakeCommand(kRouteCd, code), lParam);
}

bool AutoPlayCd(const StartupOptions& options) { return options.canAutoPlayCd != 0 || options.forceCdAutoPlay; }

void ShowTime(HWND window, const CdEngine& engine) {
  ShowTwoDigits(window, kCdTrackTens, engine.shownTrack());
  ShowTwoDigits(window, kCdTrackTens + 2, engine.shownMinutes());
  ShowTwoDigits(window, kCdTrackTens + 4, engine.shownSeconds());
}

void SyncButtons(HWND window, const CdEngine& engine) {
  const CdButtons& on = engine.buttons();
  SetItemEnabled(window, kCdPlaylist, true);
  SetItemEnabled(window, kCdEject, true);
  SetItemEnabled(window, kCdPlay, on.play);
  SetItemEnabled(window, kCdStop, on.stop);
  SetItemEnabled(window, kCdPause, on.pause);
  SetItemEnabled(window, kCdSkipForward, on.skipForward);
  SetItemEnabled(window, kCdSkipBack, on.skipBack);
  SetItemEnabled(window, kCdTrackForward, on.trackForward);
  SetItemEnabled(window, kCdTrackBack, on.trackBack);
}

// Renders what the engine holds after an operation.
void SyncView(HWND window) {
  CdPlayerState* state = StateOf(window);
  if (state == nullptr || !state->engine) return;
  SyncButtons(window, *state->engine);
  SyncTrackIndicators(window, state->engine->marks(), state->list->Count(), state->host->BlinkPhase());
  SyncModeLamps(window, *state->list);
  ShowTime(window, *state->engine);
}

void DestroyState(CdPlayerState* state) {
  CX_CHECK(!PlayerBusy(state->guard));
  state->engine.reset();  // closes the track device
  if (state->list) state->list->Reset();
  delete state;  // the LCD hears track 0 and is let go
}

void Serve(HWND window, CdPlayerState& state, const PlayerMessage& message);

// Runs one message's engine operation now, or after the one that runs,
// and renders the result.
void Submit(HWND window, PlayerMessage message) {
  CdPlayerState* state = StateOf(window);
  if (state == nullptr || !state->engine) return;
  const Submitted done = SubmitToPlayer(state->guard, std::move(message),
                                        [&](const PlayerMessage& m) { Serve(window, *state, m); });
  if (done == Submitted::kWindowGone) {
    DestroyState(state);
  } else if (done == Submitted::kServed) {
    SyncView(window);
  }
}

void Submit(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  Submit(window, MakePlayerMessage(message, wParam, lParam));
}

// ---- messages ----

void BuildControls(HWND window, HINSTANCE instance) {
  HRGN shape = CreateSkinRegion(kCdShape, kCdShapePoints);
  if (shape != nullptr && SetWindowRgn(window, shape, FALSE) == 0) DeleteObject(shape);
  for (const CdButtonPlace& b : kCdButtons) {
    HWND button = SkinDibButton(
        CreateDibButton(instance, window, b.id, b.name, b.x, b.y, kCdButtonWidth, kCdButtonHeight));
    if (button != nullptr && !b.enabledAtStart) EnableWindow(button, FALSE);
  }
  for (const CdPicturePlace& p : kCdPictures) {
    HWND picture = CreatePicture(instance, window, p.id, MAKEINTRESOURCEA(p.image), p.x, p.y, p.width,
                                 p.height, p.text);
    if (picture != nullptr) SetWindowLongPtrA(picture, GWLP_USERDATA, p.image);
  }
  CreateTrackIndicators(instance, window);
}

LRESULT OnCreate(HWND window, const CREATESTRUCTA* cs) {
  auto* state = new (std::nothrow) CdPlayerState;
  if (state == nullptr) return -1;
  state->host = static_cast<const PlayerHost*>(cs->lpCreateParams);
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
  BuildControls(window, cs->hInstance);
  state->lcd.reset(new (std::nothrow) DriverLcd);  // tells the display track 0
  return 0;
}

void OnDestroy(HWND window) {
  CdPlayerState* state = StateOf(window);
  SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  if (state == nullptr || !PlayerMayFree(state->guard)) return;  // else freed when the operation returns
  DestroyState(state);
}

void OnPaint(HWND window) {
  SkinPaint paint(window);
  auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
  PaintResourceBitmap(paint.dc, instance, MAKEINTRESOURCEA(kCdPlayerFace), 0, 0, kCdPlayerWidth, kCdPlayerHeight);
  FillRect(paint.dc, &kCdDisplayRect, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
}

// Most clicks post their command, which takes the guard when it arrives;
// the lamps and page buttons act at once, through the guard.
void OnControlClick(HWND window, int id) {
  CdPlayerState* state = StateOf(window);
  if (state == nullptr || !state->engine) return;
  if (id >= kCdFirstIndicator && id <= kCdLastIndicator) {
    const int i = id - kCdFirstIndicator + 1;
    if (i <= state->list->Count()) PostSelf(window, kCmdPlayEntry, state->engine->page() + i);
    return;
  }
  for (const CdButtonPlace& b : kCdButtons) {
    if (b.id == id) {
      PostSelf(window, b.command, id);
      return;
    }
  }
  switch (id) {
    case kCdLoopLamp: PostSelf(window, kCmdRepeat, 0); return;
    case kCdOnceLamp:
    case kCdRandomLamp:
    case kCdNextPage:
    case kCdPreviousPage: Submit(window, WM_COMMAND, static_cast<WPARAM>(id)); return;
    default: return;
  }
}

void ServeClick(CdEngine& engine, int id) {
  switch (id) {
    case kCdOnceLamp: engine.RandomOff(); return;
    case kCdRandomLamp: engine.RandomOn(); return;
    case kCdNextPage: engine.NextPage(); return;
    case kCdPreviousPage: engine.PreviousPage(); return;
    default: return;
  }
}

// The status query is answered at once: it only reads the buttons. A
// handed-over name is read now, while the sender still holds it.
void OnCommandMessage(HWND window, WPARAM wParam, LPARAM lParam) {
  const uint16_t code = CommandCodeOf(wParam);
  if (code == kCmdStatusQuery) {
    PostStatusReply(lParam, CdPlayerStatusBits(window));
    return;
  }
  PlayerMessage m;
  if (TakeCommand(CommandMessageOf(window), wParam, lParam, &m)) Submit(window, std::move(m));
}

void ServeCommand(CdPlayerState& state, const PlayerMessage& m) {
  const uint16_t code = CommandCodeOf(m.wParam);
  if (state.engine->Command(code, m.lParam, m.file.c_str())) return;
  if (code == kCmdShowPlaylist && ShownListWindow() == nullptr) state.list->ShowListWindow();
}

// The panel's 500 ms tick: the time follows the device, the current track's
// indicator blinks.
void OnTick(HWND window) {
  CdPlayerState* state = StateOf(window);
  if (state == nullptr || !state->engine || PlayerBusy(state->guard)) return;
  CdEngine& engine = *state->engine;
  if (!engine.displayActive() || engine.device() == nullptr) return;
  engine.Refresh();
  ShowTime(window, engine);
  BlinkCurrentIndicator(window, engine.marks(), state->host->BlinkPhase());
}

// Every engine operation, run with the guard held.
void Serve(HWND window, CdPlayerState& state, const PlayerMessage& m) {
  CdEngine& engine = *state.engine;
  const StartupOptions& options = state.host->Options();
  if (m.message == CommandMessageOf(window)) {
    ServeCommand(state, m);
    return;
  }
  switch (m.message) {
    case WM_COMMAND: ServeClick(engine, static_cast<int>(m.wParam)); return;
    case WM_SHOWWINDOW: engine.OnShown(m.wParam != FALSE, options.autoPlayCd && AutoPlayCd(options)); return;
    case MM_MCINOTIFY: engine.OnNotify(m.wParam, m.lParam); return;
    case kMsgDiscChange: engine.OnDiscChange(m.wParam == 1, static_cast<int>(m.lParam), AutoPlayCd(options)); return;
    case kMsgListEdited: engine.OnListEdited(); return;
    case WM_POWERBROADCAST:
      if (m.wParam == PBT_APMQUERYSUSPEND) engine.OnSuspendQuery();
      return;
    default: return;
  }
}

// A skip tick while an operation runs is skipped; the next one comes.
void OnSkipTimer(HWND window) {
  CdPlayerState* state = StateOf(window);
  if (state == nullptr || !state->engine || PlayerBusy(state->guard)) return;
  state->engine->OnSkipTick();
  SyncView(window);
}

LRESULT OnPlaybackStateQuery(HWND window) {
  CdPlayerState* state = StateOf(window);
  if (state == nullptr || !state->engine) return kPlaybackIdle;
  const uint32_t status = state->engine->status();
  if ((status & kCdPaused) != 0 && state->engine->device() != nullptr) return kPlaybackPaused;
  return state->engine->playing() ? kPlaybackPlaying : kPlaybackIdle;
}

LRESULT CALLBACK CdPlayerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != 0 && message == CommandMessageOf(window)) {
    OnCommandMessage(window, wParam, lParam);
    return 0;
  }
  switch (message) {
    case WM_CREATE: return OnCreate(window, reinterpret_cast<CREATESTRUCTA*>(lParam));
    case WM_DESTROY: OnDestroy(window); return 0;
    case WM_PAINT: OnPaint(window); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_COMMAND: OnControlClick(window, LOWORD(wParam)); return 0;
    case WM_TIMER:
      if (wParam == kCdSkipTimer) OnSkipTimer(window);
      return 0;
    case WM_SHOWWINDOW:
      // Notices about the parent being shown or minimised (a status in
      // lParam) are not switches of this player.
      if (lParam == 0) Submit(window, message, wParam, lParam);
      return 0;
    case MM_MCINOTIFY:
    case kMsgDiscChange:
    case kMsgListEdited: Submit(window, message, wParam, lParam); return 0;
    case kMsgPanelTick: OnTick(window); return 0;
    case kMsgPlaybackState: return OnPlaybackStateQuery(window);
    case WM_POWERBROADCAST: Submit(window, message, wParam, lParam); return TRUE;
    default: return DefWindowProcA(window, message, wParam, lParam);
  }
}

WindowClass gCdPlayerClass = {kCdPlayerClass, CdPlayerProc, 0, nullptr, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1)};

bool CdDriveExists() {
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const char root[] = {letter, ':', '\\', '\0'};
    if (GetDriveTypeA(root) == DRIVE_CDROM) return true;
  }
  return false;
}

const PlayerModule kCdPlayerModule = {kCdPlayerClass, kCdPlayerHeight,     kCdShape,
                                      kCdShapePoints, CreateCdPlayerWindow, CdDriveExists};

}  // namespace

HWND CreateCdPlayerWindow(const PlayerHost& host, HWND panel) {
  HINSTANCE instance = host.Instance();
  // One registration for the program's life: the window is created once.
  if (!IsWindowClassRegistered(gCdPlayerClass) && !RegisterWindowClass(gCdPlayerClass, instance)) return nullptr;
  HWND window = CreateWindowExA(0, kCdPlayerClass, kCdPlayerTitle, WS_CHILD, 0, 0, Scaled(kCdPlayerWidth),
                                Scaled(kCdPlayerHeight), panel, nullptr, instance, const_cast<PlayerHost*>(&host));
  CdPlayerState* state = window != nullptr ? StateOf(window) : nullptr;
  if (state == nullptr) return nullptr;
  state->list.reset(new (std::nothrow) PlayList);
  if (state->list) state->engine.reset(new (std::nothrow) CdEngine(state->list.get(), window, state->lcd.get()));
  if (!state->engine) {
    DestroyWindow(window);
    return nullptr;
  }
  state->list->SetOwnerWindow(panel);
  state->list->SetNotifyWindow(window);
  state->list->Create(kCdPlayerKinds);  // without a playlist window module it has none yet
  const StartupOptions& options = host.Options();
  state->engine->StartUp(options.playCdAtOnce || (options.autoPlayCd && AutoPlayCd(options)));
  SyncView(window);
  return window;
}

const PlayerModule& CdPlayerModule() { return kCdPlayerModule; }

CdEngine* CdPlayerEngineOf(HWND window) {
  if (!IsWindowOfClass(window, kCdPlayerClass)) return nullptr;
  CdPlayerState* state = StateOf(window);
  return state != nullptr ? state->engine.get() : nullptr;
}

uint32_t CdPlayerStatusBits(HWND window) {
  const uint32_t bits = EnabledButtonBits(window, kCdButtons, kCdButtonCount);
  const CdPlayerState* state = StateOf(window);
  if (state == nullptr || state->host == nullptr) return bits;
  return bits | ShownPlayerBits(*state->host);
}
