#include "waveplayer/WavePlayerWindow.h"

#include <cstring>
#include <memory>
#include <new>

#include "common/CommandCodes.h"
#include "common/Check.h"
#include "common/PlayerGuard.h"
#include "common/PlayerModule.h"
#include "common/Win32Handles.h"
#include "common/WindowClass.h"
#include "skin/SkinGeometry.h"
#include "media/PlayList.h"
#include "skin/DibButton.h"
#include "skin/SkinControls.h"
#include "skin/SkinPalette.h"
#include "skin/SkinScale.h"
#include "waveplayer/WavePlayerEngine.h"
#include "waveplayer/WavePlayerLayout.h"
#include "waveplayer/WaveRecordingEngine.h"

namespace {

// The window's state, kept in its user data from WM_CREATE to WM_DESTROY.
// The engine reads the list, so it goes first.
struct WavePlayerState {
  const PlayerHost* host = nullptr;
  std::unique_ptr<PlayList> list;
  std::unique_ptr<WavePlayerEngine> engine;
  std::unique_ptr<WaveRecordingEngine> recording;
  char shownTitle[kPlayListSlot] = {};
  // Every operation of either engine runs through it: what arrives while
  // one runs (a message box or the save dialog may be up) waits for it.
  PlayerGuard guard;
};

WavePlayerState* StateOf(HWND window) {
  return reinterpret_cast<WavePlayerState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

WavePlayerEngine* EngineOf(HWND window) {
  WavePlayerState* state = StateOf(window);
  return state != nullptr ? state->engine.get() : nullptr;
}

UINT CommandMessageOf(HWND window) {
  WavePlayerState* state = StateOf(window);
  return state != nullptr && state->host != nullptr ? state->host->CommandMessage() : 0;
}

void PostSelf(HWND window, uint16_t code, LPARAM lParam) {
  PostMessageA(window, CommandMessageOf(window), MakeCommand(kRouteWave, code), lParam);
}

void ShowTrackAndTime(HWND window, const WavePlayerEngine& engine) {
  const uint32_t seconds = engine.shownSeconds();
  ShowTwoDigits(window, kWaveTrackTens, engine.shownTrack());
  const ClockPairs clock = ClockPairsOf(seconds);
  ShowTwoDigits(window, kWaveTrackTens + 2, clock.left);
  ShowTwoDigits(window, kWaveTrackTens + 4, clock.right);
}

// Every button's enabled state, derived from the engine's state in one place.
void SyncButtons(HWND window, const WavePlayerState& state) {
  const TransportEnables on = EnablesOf(state.engine->buttons());
  SetItemEnabled(window, kWavePlaylist, true);
  SetItemEnabled(window, kWavePlay, on.play);
  SetItemEnabled(window, kWaveStop, on.stop);
  SetItemEnabled(window, kWavePause, on.pause);
  SetItemEnabled(window, kWaveSkipForward, on.skipForward);
  SetItemEnabled(window, kWaveSkipBack, on.skipBack);
  SetItemEnabled(window, kWaveTrackForward, on.trackForward);
  SetItemEnabled(window, kWaveTrackBack, on.trackBack);
  const RecordEnables rec = state.recording ? state.recording->enables() : RecordEnables{};
  SetItemEnabled(window, kWaveRecordFile, rec.file);
  SetItemEnabled(window, kWaveRecordPlay, rec.play);
  SetItemEnabled(window, kWaveRecordStop, rec.stop);
  SetItemEnabled(window, kWaveRecordPause, rec.pause);
}

// The current entry's indicator alternates with the panel's blink phase.
int TrackButtonImage(const PlayerHost& host, int entry, int trackState) {
  if (trackState == kTrackPlayed) return PlayedImage(entry);
  if (trackState == kTrackCurrent && !host.BlinkPhase()) return PlayedImage(entry);
  return ToComeImage(entry);
}

void SyncTrackButtons(HWND window, const PlayerHost& host, const WavePlayerEngine& engine) {
  for (int k = 1; k <= kTrackButtons; ++k) {
    HWND button = GetDlgItem(window, kWaveFirstTrackButton + k - 1);
    const int entry = engine.page() + k;
    const int trackState = engine.trackState(entry);
    if (trackState == kTrackHidden) {
      ShowWindow(button, SW_HIDE);
      continue;
    }
    ShowPictureImage(button, TrackButtonImage(host, entry, trackState));
    ShowWindow(button, SW_SHOWNA);
  }
  const int pages = engine.list()->Count() >= kTrackButtons + 1 ? SW_SHOWNA : SW_HIDE;
  ShowWindow(GetDlgItem(window, kWaveNextPage), pages);
  ShowWindow(GetDlgItem(window, kWavePreviousPage), pages);
}

void SyncLamps(HWND window, const PlayList& list) {
  ShowItemImage(window, kWaveStraightLamp, list.IsShuffled() ? kOnceLampDark : kOnceLampLit);
  ShowItemImage(window, kWaveRandomLamp, list.IsShuffled() ? kRandomLampLit : kRandomLampDark);
  ShowItemImage(window, kWaveLoopLamp, list.IsLoop() ? kLoopLampLit : kLoopLampDark);
}

void SyncTitle(HWND window, WavePlayerState& state) {
  const char* title = state.engine->title();
  if (std::strcmp(title, state.shownTitle) == 0) return;
  lstrcpynA(state.shownTitle, title, sizeof state.shownTitle);
  SetWindowTextA(GetDlgItem(window, kWaveTitle), title);
}

// Renders what the engine holds after an operation.
void SyncView(HWND window) {
  WavePlayerState* state = StateOf(window);
  if (state == nullptr || !state->engine) return;
  SyncButtons(window, *state);
  SyncTrackButtons(window, *state->host, *state->engine);
  SyncLamps(window, *state->list);
  SyncTitle(window, *state);
  ShowTrackAndTime(window, *state->engine);
}

void ShowRecordTime(HWND window, const WavePlayerState& state) {
  const uint32_t seconds = state.recording ? state.recording->ShownSeconds() : 0;
  const ClockPairs clock = ClockPairsOf(static_cast<uint32_t>(seconds));
  ShowTwoDigits(window, kWaveRecordMinuteTens, clock.left);
  ShowTwoDigits(window, kWaveRecordMinuteTens + 2, clock.right);
}

void DestroyState(WavePlayerState* state) {
  // Freed under a running operation, that operation would go on in freed
  // memory: the guard holds the free back until it has returned.
  CX_CHECK(!PlayerBusy(state->guard));
  // A recording in progress is ended and its file finished.
  state->recording.reset();
  // The engine closes its output and source before the list goes.
  state->engine.reset();
  if (state->list) state->list->Reset();
  delete state;
}

void Serve(HWND window, WavePlayerState& state, const PlayerMessage& message);

// Runs one message's engine operation now, or after the one that runs,
// and renders the result.
void Submit(HWND window, PlayerMessage message) {
  WavePlayerState* state = StateOf(window);
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

bool BuildControls(HWND window, HINSTANCE instance) {
  HRGN shape = CreateSkinRegion(kWaveShape, kWaveShapePoints);
  if (shape != nullptr && SetWindowRgn(window, shape, FALSE) == 0) DeleteObject(shape);
  for (const WaveButtonPlace& b : kWaveButtons) {
    SkinDibButton(CreateDibButton(instance, window, b.id, b.name, b.x, b.y, b.width, b.height));
  }
  for (const WavePicturePlace& p : kWavePictures) {
    HWND picture = CreatePicture(instance, window, p.id, MAKEINTRESOURCEA(p.image), p.x, p.y,
                                 p.width, p.height, p.text);
    if (picture != nullptr) SetWindowLongPtrA(picture, GWLP_USERDATA, p.image);
  }
  for (int k = 1; k <= kTrackButtons; ++k) {
    char text[4];
    wsprintfA(text, "%d", k);
    HWND button = CreatePicture(instance, window, kWaveFirstTrackButton + k - 1,
                                MAKEINTRESOURCEA(ToComeImage(k)), TrackButtonX(k), TrackButtonY(k),
                                10, 9, text);
    SetWindowLongPtrA(button, GWLP_USERDATA, ToComeImage(k));
    ShowWindow(button, SW_HIDE);
  }
  HWND next = CreatePicture(instance, window, kWaveNextPage, MAKEINTRESOURCEA(kNextPageImage), 182, 32, 10, 9);
  HWND previous = CreatePicture(instance, window, kWavePreviousPage,
                                MAKEINTRESOURCEA(kPreviousPageImage), 182, 20, 10, 9);
  ShowWindow(next, SW_HIDE);
  ShowWindow(previous, SW_HIDE);
  CreateColorText(instance, window, kWaveTitle, 27, 56, 160, 16);
  for (int id : {kWavePlay, kWaveStop, kWavePause, kWaveTrackForward, kWaveTrackBack, kWaveSkipBack,
                 kWaveSkipForward, kWaveRecordFile, kWaveRecordPlay, kWaveRecordStop, kWaveRecordPause}) {
    EnableWindow(GetDlgItem(window, id), FALSE);
  }
  return true;
}

LRESULT OnCreate(HWND window, const CREATESTRUCTA* cs) {
  auto* state = new (std::nothrow) WavePlayerState;
  if (state == nullptr) return -1;
  state->host = static_cast<const PlayerHost*>(cs->lpCreateParams);
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
  BuildControls(window, cs->hInstance);
  return 0;
}

void OnDestroy(HWND window) {
  WavePlayerState* state = StateOf(window);
  SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  if (state == nullptr) return;
  if (!PlayerMayFree(state->guard)) {
    // Closed from inside an operation's message box: the operation ends
    // at the next box and Submit frees the state.
    if (state->engine) state->engine->Abandon();
    if (state->recording) state->recording->Abandon();
    return;
  }
  DestroyState(state);
}

void OnPaint(HWND window) {
  SkinPaint paint(window);
  auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
  PaintResourceBitmap(paint.dc, instance, MAKEINTRESOURCEA(kWavePlayerFace), 0, 0,
                      kWavePlayerWidth, kWavePlayerHeight);
  HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  const RECT display = {17, 15, 300, 72};
  const RECT recorder = {17, 93, 300, 150};
  FillRect(paint.dc, &display, black);
  FillRect(paint.dc, &recorder, black);
}

// Shown or hidden by the main panel: either way playback stops. Notices
// about the parent being shown or minimised (a status in lParam) are not
// switches of this player.
void OnShowWindow(HWND window, WPARAM shown, LPARAM status) {
  if (status == 0) Submit(window, WM_SHOWWINDOW, shown, status);
}

// Most clicks post their command, which takes the guard when it arrives;
// the lamps, page buttons and record keys act at once, through the guard.
void OnControlClick(HWND window, int id) {
  WavePlayerState* state = StateOf(window);
  if (state == nullptr || !state->engine) return;
  if (id >= kWaveFirstTrackButton && id <= kWaveLastTrackButton) {
    const int k = id - kWaveFirstTrackButton + 1;
    if (k <= state->list->Count()) PostSelf(window, kCmdPlayEntry, state->engine->page() + k);
    return;
  }
  switch (id) {
    case kWavePlaylist: PostSelf(window, kCmdShowPlaylist, 0); return;
    case kWavePlay: PostSelf(window, kCmdPlay, 0); return;
    case kWaveTrackForward: PostSelf(window, kCmdNext, 0); return;
    case kWaveTrackBack: PostSelf(window, kCmdPrevious, 0); return;
    case kWaveStop: PostSelf(window, kCmdStop, 0); return;
    case kWavePause: PostSelf(window, kCmdPause, 0); return;
    case kWaveSkipForward: PostSelf(window, kCmdSkipForward, 0); return;
    case kWaveSkipBack: PostSelf(window, kCmdSkipBack, 0); return;
    case kWaveLoopLamp: PostSelf(window, kCmdRepeat, 0); return;
    case kWaveRandomLamp:
    case kWaveNextPage:
    case kWavePreviousPage:
      Submit(window, WM_COMMAND, static_cast<WPARAM>(id));
      PostSelf(window, 0, 0);
      return;
    case kWaveStraightLamp:
    case kWaveRecordFile:
    case kWaveRecordPlay:
    case kWaveRecordStop:
    case kWaveRecordPause: Submit(window, WM_COMMAND, static_cast<WPARAM>(id)); return;
    default: return;
  }
}

// A click that acts at once, served with the guard held.
void ServeClick(WavePlayerState& state, int id) {
  WavePlayerEngine& engine = *state.engine;
  WaveRecordingEngine* rec = state.recording.get();
  switch (id) {
    case kWaveStraightLamp: engine.SetRandom(false); return;
    case kWaveRandomLamp: engine.SetRandom(true); return;
    case kWaveNextPage: engine.NextPage(); return;
    case kWavePreviousPage: engine.PreviousPage(); return;
    case kWaveRecordFile:
      if (rec != nullptr) rec->StartRecording(state.host->RecordFormatIndex());
      return;
    case kWaveRecordPlay:
      if (rec != nullptr) rec->RecordResume();
      return;
    case kWaveRecordStop:
      if (rec != nullptr) rec->RecordStop();
      return;
    case kWaveRecordPause:
      if (rec != nullptr) rec->RecordPause();
      return;
    default: return;
  }
}

void ReplyStatus(HWND window, HWND replyTo) {
  PostStatusReply(reinterpret_cast<LPARAM>(replyTo), WavePlayerStatusBits(window));
}

void RunCommand(WavePlayerEngine& engine, PlayList& list, uint16_t code, LPARAM lParam) {
  switch (code) {
    case kCmdStop: engine.StopPlayback(); break;
    case kCmdNext: engine.NextTrack(); break;
    case kCmdPrevious: engine.PreviousTrack(); break;
    case kCmdSkipForward: engine.SkipForward(); break;
    case kCmdSkipBack: engine.SkipBack(); break;
    case kCmdPlay: engine.PlayOrResume(); break;
    case kCmdPause: engine.PauseOrResume(); break;
    case kCmdClearList: engine.ClearList(); break;
    case kCmdRepeat: engine.ToggleLoop(); break;
    case kCmdRandom: engine.ToggleRandom(); break;
    case kCmdPlayEntry: engine.PlayEntryNumber(static_cast<int>(lParam)); break;
    case kCmdApply3D:
    case kCmdRead3D: engine.Handle3D(code, static_cast<uint32_t>(lParam)); break;
    case kCmdShowPlaylist:
      if (ShownListWindow() == nullptr) list.ShowListWindow();
      break;
    default: break;  // 0 and anything unknown
  }
}

// The status query is answered at once: it only reads the buttons. A
// handed-over name is read now, while the sender still holds it.
void OnCommandMessage(HWND window, WPARAM wParam, LPARAM lParam) {
  WavePlayerState* state = StateOf(window);
  if (state == nullptr || !state->engine) return;
  const uint16_t code = CommandCodeOf(wParam);
  if (code == kCmdStatusQuery) {
    ReplyStatus(window, reinterpret_cast<HWND>(lParam));
    return;
  }
  PlayerMessage m;
  if (TakeCommand(CommandMessageOf(window), wParam, lParam, &m)) Submit(window, std::move(m));
}

// The panel's 500 ms tick: time and the blinking indicator of the current
// entry, and the record time. Skipped while an operation runs.
void OnTick(HWND window) {
  WavePlayerState* state = StateOf(window);
  if (state == nullptr || !state->engine || PlayerBusy(state->guard)) return;
  ShowRecordTime(window, *state);
  Submit(window, kMsgPanelTick);
}

void ServeTick(HWND window, WavePlayerState& state) {
  if (state.recording) state.recording->CheckWriter();
  if (state.guard.destroyed) return;  // closed while the box was up
  WavePlayerEngine& engine = *state.engine;
  engine.Tick();
  if (!engine.currentBlink()) return;
  ShowTrackAndTime(window, engine);
  for (int k = 1; k <= kTrackButtons; ++k) {
    const int entry = engine.page() + k;
    if (engine.trackState(entry) != kTrackCurrent) continue;
    ShowItemImage(window, kWaveFirstTrackButton + k - 1, TrackButtonImage(*state.host, entry, kTrackCurrent));
  }
}

void ServeCommand(WavePlayerState& state, const PlayerMessage& m) {
  const uint16_t code = CommandCodeOf(m.wParam);
  if (code == kCmdRecordToggle) {
    if (state.recording) state.recording->RecordToggle();
  } else if (code == kCmdOpenFile) {
    state.engine->AddFile(m.file.c_str());
  } else {
    RunCommand(*state.engine, *state.list, code, m.lParam);
  }
}

// Suspend (the query is no longer sent by newer systems, the suspend itself
// is) and the end of the session stop playback and finish a recording.
void EndForSystem(WavePlayerState& state) {
  state.engine->OnSuspendQuery();
  if (state.recording) state.recording->EndForSystem();
}

void ServePower(WavePlayerState& state, WPARAM event) {
  if (event == PBT_APMQUERYSUSPEND) {
    state.engine->OnSuspendQuery();
    if (state.recording) state.recording->OnSuspendQuery();
  } else if (event == PBT_APMSUSPEND) {
    EndForSystem(state);
  }
}

// Every engine operation, run with the guard held.
void Serve(HWND window, WavePlayerState& state, const PlayerMessage& m) {
  WavePlayerEngine& engine = *state.engine;
  if (m.message == CommandMessageOf(window)) {
    ServeCommand(state, m);
    return;
  }
  switch (m.message) {
    case WM_COMMAND: ServeClick(state, static_cast<int>(m.wParam)); return;
    case WM_SHOWWINDOW: engine.StopPlayback(); return;  // shown or hidden: playback stops
    case kEndOfStreamMessage: engine.OnStreamEnd(static_cast<uint32_t>(m.wParam)); return;
    case kMsgDiscChange:
      engine.OnDiscChange(m.wParam == 1, static_cast<int>(m.lParam), state.host->Options().canAutoPlayMp3List != 0);
      return;
    case kMsgListEdited: engine.OnListEdited(); return;
    case kMsgPanelTick: ServeTick(window, state); return;
    case WM_POWERBROADCAST: ServePower(state, m.wParam); return;
    case WM_ENDSESSION: EndForSystem(state); return;
    default: return;
  }
}

LRESULT OnPlaybackStateQuery(HWND window) {
  WavePlayerState* state = StateOf(window);
  if (state == nullptr || !state->engine) return kPlaybackIdle;
  // The button set, not the play state: with the wave output device a
  // pause keeps the state "playing".
  switch (state->engine->buttons()) {
    case ButtonSet::kPlaying: return kPlaybackPlaying;
    case ButtonSet::kPaused: return kPlaybackPaused;
    default: return kPlaybackIdle;
  }
}

LRESULT CALLBACK WavePlayerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != 0 && message == CommandMessageOf(window)) {
    OnCommandMessage(window, wParam, lParam);
    return 0;
  }
  switch (message) {
    case WM_CREATE: return OnCreate(window, reinterpret_cast<CREATESTRUCTA*>(lParam));
    case WM_DESTROY: OnDestroy(window); return 0;
    case WM_PAINT: OnPaint(window); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_SHOWWINDOW: OnShowWindow(window, wParam, lParam); return 0;
    case WM_COMMAND: OnControlClick(window, LOWORD(wParam)); return 0;
    case kEndOfStreamMessage:
    case kMsgDiscChange:
    case kMsgListEdited: Submit(window, message, wParam, lParam); return 0;
    case kMsgPanelTick: OnTick(window); return 0;
    case kMsgPlaybackState: return OnPlaybackStateQuery(window);
    case WM_POWERBROADCAST: Submit(window, message, wParam, lParam); return TRUE;
    case WM_ENDSESSION: Submit(window, message, wParam, lParam); return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
  }
}

WindowClass gWavePlayerClass = {kWavePlayerClass, WavePlayerProc, 0, nullptr,
                                 reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1)};

bool WaveOutputExists() { return waveOutGetNumDevs() > 0; }

HWND CreateWavePlayer(const PlayerHost& host, HWND panel) {
  return CreateWavePlayerWindow(host, panel, true);
}

const PlayerModule kWavePlayerModule = {kWavePlayerClass, kWavePlayerHeight, kWaveShape,
                                        kWaveShapePoints, CreateWavePlayer, WaveOutputExists};

}  // namespace

HWND CreateWavePlayerWindow(const PlayerHost& host, HWND panel, bool tryDirectSound) {
  HINSTANCE instance = host.Instance();
  // One registration for the program's life: the window is created once.
  if (!IsWindowClassRegistered(gWavePlayerClass) && !RegisterWindowClass(gWavePlayerClass, instance)) {
    return nullptr;
  }
  HWND window = CreateWindowExA(0, kWavePlayerClass, kWavePlayerTitle, WS_CHILD, 0, 0, Scaled(kWavePlayerWidth),
                                Scaled(kWavePlayerHeight), panel, nullptr, instance,
                                const_cast<PlayerHost*>(&host));
  WavePlayerState* state = window != nullptr ? StateOf(window) : nullptr;
  if (state == nullptr) return nullptr;
  state->list.reset(new (std::nothrow) PlayList);
  if (state->list) {
    state->engine.reset(new (std::nothrow) WavePlayerEngine(state->list.get(), window));
  }
  if (!state->engine || !state->engine->InitOutput(panel, tryDirectSound)) {
    DestroyWindow(window);
    return nullptr;
  }
  state->list->SetOwnerWindow(panel);
  state->list->SetNotifyWindow(window);
  state->list->Create(kWavePlayerKinds);  // without a playlist window module it has none yet
  // No recorder leaves the record keys off; no message at creation.
  state->recording.reset(new (std::nothrow) WaveRecordingEngine(window, state->engine->directSound()));
  if (state->recording) state->recording->Prepare();
  SyncView(window);
  return window;
}

const PlayerModule& WavePlayerModule() { return kWavePlayerModule; }

WavePlayerEngine* WavePlayerEngineOf(HWND window) {
  if (!IsWindowOfClass(window, kWavePlayerClass)) return nullptr;
  return EngineOf(window);
}

uint32_t WavePlayerStatusBits(HWND window) {
  static const struct {
    int id;
    uint32_t bit;
  } kButtonBits[] = {
      {kWavePlaylist, kStatusPlaylist},      {kWaveTrackForward, kStatusTrackForward},
      {kWaveTrackBack, kStatusTrackBack},    {kWaveRecordPlay, kStatusRecPlay},
      {kWaveSkipForward, kStatusSkipForward}, {kWaveSkipBack, kStatusSkipBack},
      {kWavePlay, kStatusPlay},              {kWaveStop, kStatusStop},
      {kWavePause, kStatusPause},
  };
  uint32_t bits = 0;
  for (const auto& b : kButtonBits) {
    HWND button = GetDlgItem(window, b.id);
    if (button != nullptr && IsWindowEnabled(button)) bits |= b.bit;
  }
  const WavePlayerState* state = StateOf(window);
  if (state == nullptr || state->host == nullptr) return bits;
  return bits | ShownPlayerBits(*state->host);
}

