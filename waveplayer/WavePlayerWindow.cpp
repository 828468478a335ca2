#include "waveplayer/WavePlayerWindow.h"

#include <cstring>
#include <memory>
#include <new>

#include "common/CommandCodes.h"
#include "common/FileHandOff.h"
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
  // Set while an engine operation's message box runs its own message loop:
  // the window was destroyed (the state is freed when the operation has
  // returned), or shown or hidden (playback stops then).
  bool destroyed = false;
  bool stopWhenIdle = false;
  // The playlist window's edited list arrived meanwhile: taken over when
  // the engine is free, or the list window would stay up and the panel
  // disabled for good.
  bool listEditedPending = false;
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
  // A recording in progress is ended and its file finished.
  state->recording.reset();
  // The engine closes its output and source before the list goes.
  state->engine.reset();
  if (state->list) state->list->Reset();
  delete state;
}

// Either engine is inside an operation (a message box may be up).
bool Busy(const WavePlayerState& state) {
  return (state.engine && state.engine->busy()) || (state.recording && state.recording->busy());
}

void AfterOperation(HWND window, WavePlayerState* state);

// Runs one engine operation and renders the result. An operation may show a
// message box, whose loop dispatches whatever arrives meanwhile; what that
// did to the window is carried out here, once the engine is out of it.
template <typename Operation>
void RunEngine(HWND window, WavePlayerState* state, Operation operation) {
  if (state == nullptr || !state->engine || Busy(*state)) return;
  operation(*state->engine);
  AfterOperation(window, state);
}

// The same for the recording engine, whose RECFILE shows the save dialog
// and may show an error box.
template <typename Operation>
void RunRecording(HWND window, WavePlayerState* state, Operation operation) {
  if (state == nullptr || !state->recording || Busy(*state)) return;
  operation(*state->recording);
  AfterOperation(window, state);
}

void AfterOperation(HWND window, WavePlayerState* state) {
  if (state->destroyed) {
    DestroyState(state);
    return;
  }
  if (state->stopWhenIdle) {
    state->stopWhenIdle = false;
    state->engine->StopPlayback();
  }
  if (state->listEditedPending) {
    state->listEditedPending = false;
    // Renders and handles a destroy itself; the state may be gone after.
    RunEngine(window, state, [](WavePlayerEngine& engine) { engine.OnListEdited(); });
    return;
  }
  SyncView(window);
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
  if (Busy(*state)) {
    // Closed from inside an operation's message box: the operation ends
    // at the next box and RunEngine frees the state.
    state->destroyed = true;
    state->engine->Abandon();
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
void OnShowWindow(HWND window, LPARAM status) {
  WavePlayerState* state = StateOf(window);
  if (status != 0 || state == nullptr || !state->engine) return;
  if (Busy(*state)) {
    state->stopWhenIdle = true;
    return;
  }
  RunEngine(window, state, [](WavePlayerEngine& engine) { engine.StopPlayback(); });
}

void OnControlClick(HWND window, int id) {
  WavePlayerState* state = StateOf(window);
  if (state == nullptr || !state->engine || Busy(*state)) return;
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
    case kWaveStraightLamp:
      RunEngine(window, state, [](WavePlayerEngine& engine) { engine.SetRandom(false); });
      return;
    case kWaveRandomLamp:
      RunEngine(window, state, [](WavePlayerEngine& engine) { engine.SetRandom(true); });
      PostSelf(window, 0, 0);
      return;
    case kWaveNextPage:
      RunEngine(window, state, [](WavePlayerEngine& engine) { engine.NextPage(); });
      PostSelf(window, 0, 0);
      return;
    case kWavePreviousPage:
      RunEngine(window, state, [](WavePlayerEngine& engine) { engine.PreviousPage(); });
      PostSelf(window, 0, 0);
      return;
    case kWaveRecordFile: {
      const int row = state->host->RecordFormatIndex();
      RunRecording(window, state, [row](WaveRecordingEngine& rec) { rec.StartRecording(row); });
      return;
    }
    case kWaveRecordPlay: RunRecording(window, state, [](WaveRecordingEngine& rec) { rec.RecordResume(); }); return;
    case kWaveRecordStop: RunRecording(window, state, [](WaveRecordingEngine& rec) { rec.RecordStop(); }); return;
    case kWaveRecordPause: RunRecording(window, state, [](WaveRecordingEngine& rec) { rec.RecordPause(); }); return;
    default: return;
  }
}

void ReplyStatus(HWND window, HWND replyTo) {
  PostStatusReply(reinterpret_cast<LPARAM>(replyTo), WavePlayerStatusBits(window));
}

void AddFileFromAtom(WavePlayerEngine& engine, LPARAM atom) {
  char name[kAtomNameCapacity] = {};
  if (!ReadHandedFile(atom, name, sizeof name)) return;
  engine.AddFile(name);
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
    case kCmdOpenFile: AddFileFromAtom(engine, lParam); break;
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

void OnCommandMessage(HWND window, uint16_t code, LPARAM lParam) {
  WavePlayerState* state = StateOf(window);
  if (state == nullptr || !state->engine) return;
  if (code == kCmdStatusQuery) {
    ReplyStatus(window, reinterpret_cast<HWND>(lParam));
    return;
  }
  if (code == kCmdRecordToggle) {
    RunRecording(window, state, [](WaveRecordingEngine& rec) { rec.RecordToggle(); });
    return;
  }
  // A message box of the engine is up: commands are dropped, not nested.
  PlayList& list = *state->list;
  RunEngine(window, state, [&](WavePlayerEngine& engine) { RunCommand(engine, list, code, lParam); });
}

void OnStreamEnd(HWND window) {
  RunEngine(window, StateOf(window), [](WavePlayerEngine& engine) { engine.OnStreamEnd(); });
}

void OnDiscChange(HWND window, WPARAM wParam, LPARAM lParam) {
  WavePlayerState* state = StateOf(window);
  if (state == nullptr) return;
  const bool autoPlay = state->host->Options().canAutoPlayMp3List != 0;
  RunEngine(window, state, [&](WavePlayerEngine& engine) {
    engine.OnDiscChange(wParam == 1, static_cast<int>(lParam), autoPlay);
  });
}

void OnListEdited(HWND window) {
  WavePlayerState* state = StateOf(window);
  if (state != nullptr && state->engine && Busy(*state)) {
    state->listEditedPending = true;
    return;
  }
  RunEngine(window, state, [](WavePlayerEngine& engine) { engine.OnListEdited(); });
}

// The panel's 500 ms tick: time and the blinking indicator of the current
// entry, and the record time.
void OnTick(HWND window) {
  WavePlayerState* state = StateOf(window);
  WavePlayerEngine* engine = state != nullptr ? state->engine.get() : nullptr;
  if (engine == nullptr) return;
  ShowRecordTime(window, *state);
  RunRecording(window, state, [](WaveRecordingEngine& rec) { rec.CheckWriter(); });
  if (StateOf(window) != state) return;  // closed while the box was up
  engine->Tick();
  if (!engine->currentBlink()) return;
  ShowTrackAndTime(window, *engine);
  for (int k = 1; k <= kTrackButtons; ++k) {
    const int entry = engine->page() + k;
    if (engine->trackState(entry) != kTrackCurrent) continue;
    ShowItemImage(window, kWaveFirstTrackButton + k - 1,
                    TrackButtonImage(*state->host, entry, kTrackCurrent));
  }
}

// Suspend (the query is no longer sent by newer systems, the suspend itself
// is) and the end of the session stop playback and finish a recording.
void EndForSystem(HWND window) {
  RunEngine(window, StateOf(window), [](WavePlayerEngine& engine) { engine.OnSuspendQuery(); });
  RunRecording(window, StateOf(window), [](WaveRecordingEngine& rec) { rec.EndForSystem(); });
}

LRESULT OnPowerBroadcast(HWND window, WPARAM event) {
  if (event == PBT_APMQUERYSUSPEND) {
    RunEngine(window, StateOf(window), [](WavePlayerEngine& engine) { engine.OnSuspendQuery(); });
    RunRecording(window, StateOf(window), [](WaveRecordingEngine& rec) { rec.OnSuspendQuery(); });
  } else if (event == PBT_APMSUSPEND) {
    EndForSystem(window);
  }
  return TRUE;
}

LRESULT CALLBACK WavePlayerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != 0 && message == CommandMessageOf(window)) {
    OnCommandMessage(window, CommandCodeOf(wParam), lParam);
    return 0;
  }
  switch (message) {
    case WM_CREATE: return OnCreate(window, reinterpret_cast<CREATESTRUCTA*>(lParam));
    case WM_DESTROY: OnDestroy(window); return 0;
    case WM_PAINT: OnPaint(window); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_SHOWWINDOW: OnShowWindow(window, lParam); return 0;
    case WM_COMMAND: OnControlClick(window, LOWORD(wParam)); return 0;
    case kEndOfStreamMessage: OnStreamEnd(window); return 0;
    case kMsgDiscChange: OnDiscChange(window, wParam, lParam); return 0;
    case kMsgPanelTick: OnTick(window); return 0;
    case kMsgListEdited: OnListEdited(window); return 0;
    case WM_POWERBROADCAST: return OnPowerBroadcast(window, wParam);
    case WM_ENDSESSION: EndForSystem(window); return 0;
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

