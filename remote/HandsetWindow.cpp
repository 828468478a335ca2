#include "remote/HandsetWindow.h"

#include <new>

#include "common/CommandCodes.h"
#include "common/Win32Handles.h"
#include "common/WindowClass.h"
#include "remote/CantorixLink.h"
#include "remote/HandsetLayout.h"
#include "remote/Panel3DWindow.h"
#include "resources/ResourceIds.h"
#include "skin/DibButton.h"
#include "skin/SkinPalette.h"
#include "skin/SkinWindow.h"
#include "skin/SkinScale.h"

namespace {

constexpr UINT_PTR kPollTimer = 1;

struct RemoteState {
  UINT commandMessage = 0;
  Panel3DThread* panel = nullptr;
  int selectedPlayer = 0;  // a selector key's id, 0 for none
};

struct RemoteCreation {
  UINT commandMessage;
  Panel3DThread* panel;
};

RemoteState* StateOf(HWND window) {
  return reinterpret_cast<RemoteState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

uint16_t SelectedRoute(const RemoteState& state) {
  const HandsetSelector* selector = SelectorOf(state.selectedPlayer);
  return selector != nullptr ? selector->route : static_cast<uint16_t>(kRouteMainPanel);
}

void ShowSelector(HWND window, const HandsetSelector& selector, bool chosen) {
  HWND picture = GetDlgItem(window, selector.id);
  if (SetPictureImage(picture, chosen ? selector.chosenImage : selector.otherImage)) {
    SetWindowLongPtrA(picture, GWLP_USERDATA, chosen ? 1 : 0);
  }
}

// The selectors show `chosen` (a key id, or 0 for none) as the lit one.
void ShowSelection(HWND window, int chosen) {
  for (const HandsetSelector& s : kHandsetSelectors) ShowSelector(window, s, s.id == chosen);
}

// Every key's enabled state from the player's status bits, in one place.
void SyncKeys(HWND window, uint32_t bits) {
  for (const HandsetKeyPlace& key : kHandsetKeys) {
    if (key.statusBit == 0) continue;
    HWND control = GetDlgItem(window, key.id);
    const bool enabled = (bits & key.statusBit) != 0;
    if (control != nullptr && (IsWindowEnabled(control) != FALSE) != enabled) EnableWindow(control, enabled);
  }
}

void Deselect(HWND window, RemoteState& state) {
  state.selectedPlayer = 0;
  SyncKeys(window, 0);
  ShowSelection(window, 0);
}

// Cantorix drops status queries for a player it does not show, so no reply
// would ever say the player was closed: its window (a child of the main
// panel, only ever shown or hidden) is looked at instead.
bool PlayerShown(HWND cantorix, const HandsetSelector& selector) {
  HWND player = cantorix != nullptr ? FindWindowExA(cantorix, nullptr, selector.playerClass, nullptr) : nullptr;
  return player != nullptr && (GetWindowLongA(player, GWL_STYLE) & WS_VISIBLE) != 0;
}

// The query goes as a send with a time-out: an answer means the reply
// (WM_USER + 1) follows; no answer counts as Cantorix not running.
void Poll(HWND window, RemoteState& state) {
  const HandsetSelector* selector = SelectorOf(state.selectedPlayer);
  HWND cantorix = FindCantorix();
  if (selector != nullptr && PlayerShown(cantorix, *selector) &&
      SendCantorixCommand(cantorix, state.commandMessage, selector->route, kCmdStatusQuery,
                          reinterpret_cast<LPARAM>(window), kQuickSendTimeoutMs)) {
    return;
  }
  Deselect(window, state);
}

void OnStatusReply(HWND window, RemoteState& state, uint32_t bits) {
  SyncKeys(window, bits);
  const HandsetSelector* selector = SelectorOf(state.selectedPlayer);
  if (selector != nullptr && (bits & selector->shownBit) == 0) {
    state.selectedPlayer = 0;
    ShowSelector(window, *selector, false);
  }
}

// Cantorix's window, starting it without players when it is not running.
HWND RunningCantorix(const RemoteState& state) {
  HWND cantorix = FindCantorix();
  if (cantorix != nullptr) return cantorix;
  StartCantorix("allclose");
  cantorix = FindCantorix();
  SendCantorixCommand(cantorix, state.commandMessage, kRouteMainPanel, kCmdCloseAllPlayers, 0,
                      kOpenPlayerTimeoutMs);
  return cantorix;
}

void OnSelectorKey(HWND window, RemoteState& state, const HandsetSelector& selector) {
  HWND cantorix = RunningCantorix(state);
  if (cantorix == nullptr) return;
  SendCantorixCommand(cantorix, state.commandMessage, selector.route, kCmdOpenPlayer, 0, kOpenPlayerTimeoutMs);
  ShowSelection(window, selector.id);
  state.selectedPlayer = selector.id;
  Poll(window, state);
}

void OnPlaylistKey(RemoteState& state) {
  HWND cantorix = FindCantorix();
  if (cantorix == nullptr) {
    cantorix = RunningCantorix(state);
    if (cantorix == nullptr) return;
    SendCantorixCommand(cantorix, state.commandMessage, SelectedRoute(state), kCmdOpenPlayer, 0,
                        kOpenPlayerTimeoutMs);
  }
  PostCantorixCommand(cantorix, state.commandMessage, SelectedRoute(state), kCmdShowPlaylist, 0);
  SetForegroundWindow(cantorix);
}

// Only the wave player plays through DirectSound, so only it gets the panel.
void On3DKey(const RemoteState& state) {
  HWND panel = state.panel != nullptr ? state.panel->window() : nullptr;
  // Asynchronous: showing makes the panel's thread publish to Cantorix, and
  // this thread does not wait for that.
  if (state.selectedPlayer == kKeyWave && panel != nullptr) ShowWindowAsync(panel, SW_SHOWNORMAL);
}

void OnKey(HWND window, RemoteState& state, int id) {
  if (id == kKeyPower) {
    DestroyWindow(window);
    return;
  }
  if (id == kKeyPlaylist) {
    OnPlaylistKey(state);
    return;
  }
  if (const HandsetSelector* selector = SelectorOf(id)) {
    OnSelectorKey(window, state, *selector);
  } else if (id == kKey3D) {
    On3DKey(state);
  } else if (id == kKeyVolumeDown || id == kKeyVolumeUp) {
    PostCantorixCommand(FindCantorix(), state.commandMessage, kRouteMixer, kCmdMixerStep,
                        id == kKeyVolumeUp ? kMixerStepUp : kMixerStepDown);
  } else if (const HandsetKeyPlace* key = KeyOf(id)) {
    const LPARAM digit = id >= kKeyNum0 && id <= kKeyNum9 ? id - kKeyNum0 : 0;
    if (key->command != 0) {
      PostCantorixCommand(FindCantorix(), state.commandMessage, SelectedRoute(state), key->command, digit);
    }
  } else {
    return;  // not a key
  }
  SetForegroundWindow(window);
}

LRESULT OnCreate(HWND window, const CREATESTRUCTA* cs) {
  auto* state = new (std::nothrow) RemoteState;
  if (state == nullptr) return -1;
  const auto* creation = static_cast<const RemoteCreation*>(cs->lpCreateParams);
  state->commandMessage = creation->commandMessage;
  state->panel = creation->panel;
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
  MarkSkinnedWindow(window);
  for (const HandsetKeyPlace& k : kHandsetKeys) {
    SkinDibButton(CreateDibButton(cs->hInstance, window, k.id, k.name, k.x, k.y, k.width, k.height));
  }
  for (const HandsetSelector& s : kHandsetSelectors) {
    CreatePicture(cs->hInstance, window, s.id, s.otherImage, s.x, s.y, s.width, s.height);
  }
  SetTimer(window, kPollTimer, kStatusPollMs, nullptr);
  return 0;
}

void OnPaint(HWND window) {
  SkinPaint paint(window);
  auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
  PaintResourceBitmap(paint.dc, instance, MAKEINTRESOURCEA(kHandsetFace), 0, 0, kHandsetWidth, kHandsetHeight);
}

// The panel's window belongs to its own thread: it is asked to close, and
// its thread is waited for, before the program's loop ends.
void OnDestroy(HWND window, RemoteState& state) {
  KillTimer(window, kPollTimer);
  UnmarkSkinnedWindow(window);
  if (state.panel != nullptr) state.panel->Stop(Panel3DThread::kStopWaitMs);
  PostQuitMessage(0);
}

void OnNcDestroy(HWND window, RemoteState* state) {
  SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  delete state;
}

LRESULT CALLBACK RemoteProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) return OnCreate(window, reinterpret_cast<CREATESTRUCTA*>(lParam));
  RemoteState* state = StateOf(window);
  if (state == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case WM_PAINT: OnPaint(window); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_COMMAND: OnKey(window, *state, LOWORD(wParam)); return 0;
    case WM_TIMER: Poll(window, *state); return 0;
    case WM_LBUTTONDOWN: StartWindowMove(window); return 0;
    case kMsgStatusReply: OnStatusReply(window, *state, static_cast<uint32_t>(wParam)); return 0;
    case WM_QUERYNEWPALETTE: return RealizeSkinPaletteForWindow(window);
    case WM_DPICHANGED: FollowDpiChange(window, wParam, lParam); return 0;
    case WM_DESTROY: OnDestroy(window, *state); return 0;
    case WM_NCDESTROY: OnNcDestroy(window, state); return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
  }
}

WindowClass gRemoteClass = {kHandsetClass, RemoteProc, 0, nullptr, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1),
                            MAKEINTRESOURCEA(kHandsetIcon)};

}  // namespace

bool RegisterRemoteClass(HINSTANCE instance) { return RegisterWindowClass(gRemoteClass, instance); }
void UnregisterRemoteClass(HINSTANCE instance) { UnregisterWindowClass(gRemoteClass, instance); }

HWND CreateRemoteWindow(HINSTANCE instance, UINT commandMessage, Panel3DThread* panel) {
  RemoteCreation creation = {commandMessage, panel};
  const int x = (GetSystemMetrics(SM_CXSCREEN) - Scaled(kHandsetWidth)) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - Scaled(kHandsetHeight)) / 2;
  return CreateWindowExA(0, kHandsetClass, kHandsetTitle, WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU, x, y,
                         Scaled(kHandsetWidth), Scaled(kHandsetHeight), nullptr, nullptr, instance, &creation);
}

void PollCantorixStatus(HWND remote) {
  RemoteState* state = StateOf(remote);
  if (state != nullptr) Poll(remote, *state);
}

bool SelectorShowsChosen(HWND picture) {
  return picture != nullptr && GetWindowLongPtrA(picture, GWLP_USERDATA) == 1;
}
