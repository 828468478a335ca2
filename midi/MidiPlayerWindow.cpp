#include "midi/MidiPlayerWindow.h"

#include <memory>
#include <new>

#include "cd/TrackIndicators.h"
#include "common/Check.h"
#include "common/CommandCodes.h"
#include "common/PlayerGuard.h"
#include "common/Win32Handles.h"
#include "common/WindowClass.h"
#include "media/MediaKind.h"
#include "media/PlayList.h"
#include "midi/MidiEngine.h"
#include "midi/MidiPlayerLayout.h"
#include "midi/SynthChoice.h"
#include "midi/SynthDevice.h"
#include "skin/DibButton.h"
#include "skin/SkinControls.h"
#include "skin/SkinPalette.h"
#include "skin/SkinScale.h"

namespace {

// The window's state, kept in its user data from WM_CREATE to WM_DESTROY.
// The engine uses the list, so it is declared after it.
struct MidiPlayerState {
  const PlayerHost* host = nullptr;
  std::unique_ptr<PlayList> list;
  std::unique_ptr<MidiEngine> engine;
  // Every engine operation runs through it: what arrives while one runs
  // (an error box may be up) waits for it.
  PlayerGuard guard;
};

MidiPlayerState* StateOf(HWND window) {
  return reinterpret_cast<MidiPlayerState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

UINT CommandMessageOf(HWND window) {
  MidiPlayerState* state = StateOf(window);
  return state != nullptr && state->host != nullptr ? state->host->CommandMessage() : 0;
}

void PostSelf(HWND window, uint16_t code, LPARAM lParam) {
  PostMessageA(window, CommandMessageOf(window), MakeCommand(kRouteMidi, code), lParam);
}

void ShowTimeAndTitle(HWND window, const MidiEngine& engine) {
  ShowTwoDigits(window, kCdTrackTens, engine.shownFile());
  ShowTwoDigits(window, kCdTrackTens + 2, engine.shownMinutes());
  ShowTwoDigits(window, kCdTrackTens + 4, engine.shownSeconds());
  HWND title = GetDlgItem(window, kMidiTitle);
  char shown[kPlayListSlot] = {};
  GetWindowTextA(title, shown, sizeof shown);
  if (engine.title() != shown) SetWindowTextA(title, engine.title().c_str());
}

void SyncButtons(HWND window, const MidiEngine& engine) {
  const MidiButtons& on = engine.buttons();
  SetItemEnabled(window, kCdPlaylist, true);
  SetItemEnabled(window, kCdPlay, on.play);
  SetItemEnabled(window, kCdStop, on.stop);
  SetItemEnabled(window, kCdPause, on.pause);
  SetItemEnabled(window, kCdSkipForward, on.skipForward);
  SetItemEnabled(window, kCdSkipBack, on.skipBack);
  SetItemEnabled(window, kCdTrackForward, on.trackForward);
  SetItemEnabled(window, kCdTrackBack, on.trackBack);
  SetItemEnabled(window, kMidiFast, engine.tempoEnabled());
  SetItemEnabled(window, kMidiSlow, engine.tempoEnabled());
}

void SyncTempoBar(HWND window, const MidiEngine& engine) {
  HWND bar = GetDlgItem(window, kMidiTempoBar);
  if (static_cast<int>(SendMessageA(bar, kMsgGetMarker, 0, 0)) != engine.tempoMarker()) {
    SendMessageA(bar, kMsgSetMarker, static_cast<WPARAM>(engine.tempoMarker()), 0);
  }
}

// Renders what the engine holds after an operation.
void SyncView(HWND window, const MidiPlayerState& state) {
  const MidiEngine& engine = *state.engine;
  SyncButtons(window, engine);
  SyncTrackIndicators(window, engine.marks(), state.list->Count(), state.host->BlinkPhase());
  SyncModeLamps(window, *state.list);
  SyncTempoBar(window, engine);
  ShowTimeAndTitle(window, engine);
}

void DestroyState(MidiPlayerState* state) {
  CX_CHECK(!PlayerBusy(state->guard));
  state->engine.reset();  // closes the file's device
  if (state->list) state->list->Reset();
  delete state;
}

void Serve(HWND window, MidiPlayerState& state, const PlayerMessage& message);

// Runs one message's engine operation now, or after the one that runs,
// and renders the result.
void Submit(HWND window, PlayerMessage message) {
  MidiPlayerState* state = StateOf(window);
  if (state == nullptr || !state->engine) return;
  const Submitted done = SubmitToPlayer(state->guard, std::move(message),
                                        [&](const PlayerMessage& m) { Serve(window, *state, m); });
  if (done == Submitted::kWindowGone) {
    DestroyState(state);
  } else if (done == Submitted::kServed) {
    SyncView(window, *state);
  }
}

void Submit(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  Submit(window, MakePlayerMessage(message, wParam, lParam));
}

// ---- messages ----

void BuildControls(HWND window, HINSTANCE instance) {
  HRGN shape = CreateSkinRegion(kMidiShape, kMidiShapePoints);
  if (shape != nullptr && SetWindowRgn(window, shape, FALSE) == 0) DeleteObject(shape);
  for (const CdButtonPlace& b : kMidiButtons) {
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
  for (const MidiTempoPlace& t : kMidiTempoPlaces) {
    if (t.image == nullptr) {
      CreateSkinChild(0, kMidiTempoClass, "", WS_CHILD | WS_VISIBLE, t.x, t.y, t.width, t.height, window, t.id,
                      instance);
      continue;
    }
    EnableWindow(CreatePicture(instance, window, t.id, t.image, t.x, t.y, t.width, t.height, t.image), FALSE);
  }
  CreateColorText(instance, window, kMidiTitle, kMidiTitlePlace.x, kMidiTitlePlace.y, kMidiTitlePlace.width,
                  kMidiTitlePlace.height);
}

LRESULT OnCreate(HWND window, const CREATESTRUCTA* cs) {
  auto* state = new (std::nothrow) MidiPlayerState;
  if (state == nullptr) return -1;
  state->host = static_cast<const PlayerHost*>(cs->lpCreateParams);
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
  BuildControls(window, cs->hInstance);
  return 0;
}

void OnDestroy(HWND window) {
  MidiPlayerState* state = StateOf(window);
  SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  if (state == nullptr) return;
  if (!PlayerMayFree(state->guard)) {
    // Closed from inside an operation's message box: the operation gives
    // up once the box returns and Submit frees the state.
    if (state->engine) state->engine->Abandon();
    return;
  }
  DestroyState(state);
}

void OnPaint(HWND window) {
  SkinPaint paint(window);
  auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
  PaintResourceBitmap(paint.dc, instance, MAKEINTRESOURCEA(kMidiPlayerFace), 0, 0, kMidiPlayerWidth,
                      kMidiPlayerHeight);
  FillRect(paint.dc, &kCdDisplayRect, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
}

// Most clicks post their command, which takes the guard when it arrives;
// the lamps, tempo keys and page buttons act at once, through the guard.
void OnControlClick(HWND window, int id) {
  MidiPlayerState* state = StateOf(window);
  if (state == nullptr || !state->engine) return;
  if (id >= kCdFirstIndicator && id <= kCdLastIndicator) {
    const int i = id - kCdFirstIndicator + 1;
    if (i <= state->list->Count()) PostSelf(window, kCmdPlayEntry, state->engine->page() + i);
    return;
  }
  for (const CdButtonPlace& b : kMidiButtons) {
    if (b.id == id) {
      PostSelf(window, b.command, 0);
      return;
    }
  }
  switch (id) {
    case kCdLoopLamp: PostSelf(window, kCmdRepeat, 0); return;
    case kCdOnceLamp:
    case kCdRandomLamp:
    case kMidiFast:
    case kMidiSlow:
    case kCdNextPage:
    case kCdPreviousPage: Submit(window, WM_COMMAND, static_cast<WPARAM>(id)); return;
    default: return;
  }
}

void ServeClick(MidiEngine& engine, int id) {
  switch (id) {
    case kCdOnceLamp: engine.RandomOff(); return;
    case kCdRandomLamp: engine.RandomOn(); return;
    case kMidiFast: engine.Faster(); return;
    case kMidiSlow: engine.Slower(); return;
    case kCdNextPage: engine.NextPage(); return;
    case kCdPreviousPage: engine.PreviousPage(); return;
    default: return;
  }
}

// The status query is answered at once, and only to a window that may
// take the reply (common/CommandCodes.h). A handed-over name is read now,
// while the sender still holds it.
void OnCommandMessage(HWND window, WPARAM wParam, LPARAM lParam) {
  const uint16_t code = CommandCodeOf(wParam);
  if (code == kCmdStatusQuery) {
    PostStatusReply(lParam, MidiPlayerStatusBits(window));
    return;
  }
  PlayerMessage m;
  if (TakeCommand(CommandMessageOf(window), wParam, lParam, &m)) Submit(window, std::move(m));
}

void ServeCommand(MidiPlayerState& state, const PlayerMessage& m) {
  const uint16_t code = CommandCodeOf(m.wParam);
  if (state.engine->Command(code, m.lParam, m.file.c_str())) return;
  if (code == kCmdShowPlaylist && ShownListWindow() == nullptr) state.list->ShowListWindow();
}

// The panel's 500 ms tick: the time and title follow the device, the
// current file's indicator blinks. Skipped while an operation runs.
void OnTick(HWND window) {
  MidiPlayerState* state = StateOf(window);
  if (state == nullptr || !state->engine || PlayerBusy(state->guard)) return;
  MidiEngine& engine = *state->engine;
  if (!engine.displayActive() || engine.device() == nullptr) return;
  engine.Refresh();
  ShowTimeAndTitle(window, engine);
  BlinkCurrentIndicator(window, engine.marks(), state->host->BlinkPhase());
}

// Every engine operation, run with the guard held.
void Serve(HWND window, MidiPlayerState& state, const PlayerMessage& m) {
  MidiEngine& engine = *state.engine;
  if (m.message == CommandMessageOf(window)) {
    ServeCommand(state, m);
    return;
  }
  switch (m.message) {
    case WM_COMMAND: ServeClick(engine, static_cast<int>(m.wParam)); return;
    case WM_SHOWWINDOW: engine.StopForWindow(); return;  // shown or hidden: play stops
    case MM_MCINOTIFY: engine.OnNotify(m.wParam, m.lParam); return;
    case kMsgSynthEnded: engine.OnPlayedOut(); return;
    case kMsgListEdited: engine.OnListEdited(); return;
    case WM_POWERBROADCAST:
      if (m.wParam == PBT_APMQUERYSUSPEND) engine.StopForWindow();
      return;
    default: return;
  }
}

LRESULT OnPlaybackStateQuery(HWND window) {
  MidiPlayerState* state = StateOf(window);
  if (state == nullptr || !state->engine) return kPlaybackIdle;
  const uint32_t bits = state->engine->state();
  if ((bits & kMidiPaused) != 0) return kPlaybackPaused;
  return (bits & kMidiPlaying) != 0 ? kPlaybackPlaying : kPlaybackIdle;
}

LRESULT CALLBACK MidiPlayerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
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
    case WM_SHOWWINDOW:
      // Notices about the parent being shown or minimised (a status in
      // lParam) are not switches of this player.
      if (lParam == 0) Submit(window, message, wParam, lParam);
      return 0;
    case MM_MCINOTIFY:
    case kMsgSynthEnded:
    case kMsgListEdited: Submit(window, message, wParam, lParam); return 0;
    case kMsgPanelTick: OnTick(window); return 0;
    case kMsgPlaybackState: return OnPlaybackStateQuery(window);
    case WM_POWERBROADCAST: Submit(window, message, wParam, lParam); return TRUE;
    default: return DefWindowProcA(window, message, wParam, lParam);
  }
}

WindowClass gMidiPlayerClass = {kMidiPlayerClass, MidiPlayerProc, 0, nullptr,
                                reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1)};

const PlayerModule kMidiPlayerModule = {kMidiPlayerClass, kMidiPlayerHeight,     kMidiShape,
                                        kMidiShapePoints, CreateMidiPlayerWindow, MidiPlaybackAvailable};

}  // namespace

HWND CreateMidiPlayerWindow(const PlayerHost& host, HWND panel) {
  HINSTANCE instance = host.Instance();
  // One registration of the window and its tempo strip for the program's
  // life: the window is created once.
  if (!IsWindowClassRegistered(gMidiPlayerClass)) {
    if (!RegisterWindowClass(gMidiPlayerClass, instance)) return nullptr;
    RegisterMidiTempo(instance);
  }
  HWND window = CreateWindowExA(0, kMidiPlayerClass, kMidiPlayerTitle, WS_CHILD, 0, 0, Scaled(kMidiPlayerWidth),
                                Scaled(kMidiPlayerHeight), panel, nullptr, instance, const_cast<PlayerHost*>(&host));
  MidiPlayerState* state = window != nullptr ? StateOf(window) : nullptr;
  if (state == nullptr) return nullptr;
  state->list.reset(new (std::nothrow) PlayList);
  if (state->list) state->engine.reset(new (std::nothrow) MidiEngine(state->list.get(), window, ChosenMidiDeviceFactory()));
  if (!state->engine) {
    DestroyWindow(window);
    return nullptr;
  }
  state->list->SetOwnerWindow(panel);
  state->list->SetNotifyWindow(window);
  state->list->Create(kMidiPlayerKinds);  // without a playlist window module it has none yet
  state->engine->StopMidi();
  SyncView(window, *state);
  return window;
}

const PlayerModule& MidiPlayerModule() { return kMidiPlayerModule; }

MidiEngine* MidiPlayerEngineOf(HWND window) {
  if (!IsWindowOfClass(window, kMidiPlayerClass)) return nullptr;
  MidiPlayerState* state = StateOf(window);
  return state != nullptr ? state->engine.get() : nullptr;
}

uint32_t MidiPlayerStatusBits(HWND window) {
  const uint32_t bits = EnabledButtonBits(window, kMidiButtons, kMidiButtonCount);
  const MidiPlayerState* state = StateOf(window);
  if (state == nullptr || state->host == nullptr) return bits;
  return bits | ShownPlayerBits(*state->host);
}
