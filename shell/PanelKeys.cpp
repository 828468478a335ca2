// Keys to commands: the media keys, the transport keys typed into the panel
// and the Tab walk over the skinned buttons. The commands go through the
// router like every other, so a hidden player gets none.
#include "shell/PanelKeys.h"

#include <initializer_list>

#include "common/CommandCodes.h"
#include "shell/MainPanel.h"
#include "skin/DibButton.h"

namespace {

struct MediaHotKey {
  int id;
  UINT key;
  KeyAction action;
};

// Only the transport keys are held: the volume keys stay the system's when
// another program has the focus, so the volume does not change twice.
const MediaHotKey kMediaHotKeys[] = {
    {1, VK_MEDIA_PLAY_PAUSE, KeyAction::kPlayPause},
    {2, VK_MEDIA_STOP, KeyAction::kStop},
    {3, VK_MEDIA_NEXT_TRACK, KeyAction::kNext},
    {4, VK_MEDIA_PREV_TRACK, KeyAction::kPrevious},
};
constexpr int kMediaHotKeyCount = sizeof kMediaHotKeys / sizeof kMediaHotKeys[0];
bool gHotKeyHeld[kMediaHotKeyCount] = {};

// The players a transport key can reach, in the order they are asked
// whether they play.
const PlayerIndex kTransportPlayers[] = {kPlayerWave, kPlayerCd, kPlayerMidi};

PlayerIndex gLastUsed = kPlayerCount;  // the player last clicked or focused
HWND gLastFocused = nullptr;           // the button the keyboard focus was on last

LRESULT PlaybackStateOf(PlayerIndex player) {
  const PlayerSlot& slot = PlayerSlotOf(player);
  if (!slot.shown || slot.window == nullptr) return kPlaybackIdle;
  return SendMessageA(slot.window, kMsgPlaybackState, 0, 0);
}

bool IsTransportPlayer(PlayerIndex player) {
  return player == kPlayerWave || player == kPlayerCd || player == kPlayerMidi;
}

// The player whose window is `window` or holds it, or kPlayerCount.
PlayerIndex PlayerOfWindow(HWND window) {
  for (int i = 0; i < kPlayerCount; ++i) {
    HWND player = PlayerSlotOf(static_cast<PlayerIndex>(i)).window;
    if (player != nullptr && window != nullptr && (window == player || IsChild(player, window))) {
      return static_cast<PlayerIndex>(i);
    }
  }
  return kPlayerCount;
}

bool IsShownTransportPlayer(PlayerIndex player) {
  return IsTransportPlayer(player) && PlayerSlotOf(player).shown;
}

PlayerIndex ActivePlayer(LRESULT* state) {
  for (LRESULT wanted : {kPlaybackPlaying, kPlaybackPaused}) {
    for (PlayerIndex p : kTransportPlayers) {
      if (PlaybackStateOf(p) == wanted) {
        *state = wanted;
        return p;
      }
    }
  }
  *state = kPlaybackIdle;
  return kPlayerCount;
}

PlayerIndex TargetPlayer(bool keyboard, LRESULT* state) {
  const PlayerIndex active = ActivePlayer(state);
  if (active != kPlayerCount) return active;
  if (keyboard) {
    const PlayerIndex focused = PlayerOfWindow(GetFocus());
    if (IsShownTransportPlayer(focused)) return focused;
    if (IsShownTransportPlayer(gLastUsed)) return gLastUsed;
  }
  return kPlayerWave;
}

// The command for a transport action in the player's state; 0 for none.
uint16_t TransportCode(KeyAction action, LRESULT state) {
  switch (action) {
    case KeyAction::kPlayPause: return state == kPlaybackIdle ? kCmdPlay : kCmdPause;
    case KeyAction::kPlay: return state == kPlaybackPaused ? kCmdPause : kCmdPlay;
    case KeyAction::kPause: return state == kPlaybackPlaying ? kCmdPause : 0;
    case KeyAction::kStop: return kCmdStop;
    case KeyAction::kNext: return kCmdNext;
    case KeyAction::kPrevious: return kCmdPrevious;
    case KeyAction::kSkipForward: return kCmdSkipForward;
    case KeyAction::kSkipBack: return kCmdSkipBack;
    default: return 0;
  }
}

bool ActionForAppCommand(int command, KeyAction* action) {
  switch (command) {
    case APPCOMMAND_MEDIA_PLAY_PAUSE: *action = KeyAction::kPlayPause; return true;
    case APPCOMMAND_MEDIA_PLAY: *action = KeyAction::kPlay; return true;
    case APPCOMMAND_MEDIA_PAUSE: *action = KeyAction::kPause; return true;
    case APPCOMMAND_MEDIA_STOP: *action = KeyAction::kStop; return true;
    case APPCOMMAND_MEDIA_NEXTTRACK: *action = KeyAction::kNext; return true;
    case APPCOMMAND_MEDIA_PREVIOUSTRACK: *action = KeyAction::kPrevious; return true;
    case APPCOMMAND_MEDIA_FAST_FORWARD: *action = KeyAction::kSkipForward; return true;
    case APPCOMMAND_MEDIA_REWIND: *action = KeyAction::kSkipBack; return true;
    case APPCOMMAND_VOLUME_UP: *action = KeyAction::kVolumeUp; return true;
    case APPCOMMAND_VOLUME_DOWN: *action = KeyAction::kVolumeDown; return true;
    case APPCOMMAND_VOLUME_MUTE: *action = KeyAction::kVolumeMute; return true;
    default: return false;
  }
}

// The keys that act on a player wherever the focus is in Cantorix.
bool ActionForKey(WPARAM key, KeyAction* action) {
  switch (key) {
    case VK_SPACE:
    case VK_MEDIA_PLAY_PAUSE: *action = KeyAction::kPlayPause; return true;
    case VK_MEDIA_STOP: *action = KeyAction::kStop; return true;
    case VK_NEXT:
    case VK_MEDIA_NEXT_TRACK: *action = KeyAction::kNext; return true;
    case VK_PRIOR:
    case VK_MEDIA_PREV_TRACK: *action = KeyAction::kPrevious; return true;
    case VK_RIGHT: *action = KeyAction::kSkipForward; return true;
    case VK_LEFT: *action = KeyAction::kSkipBack; return true;
    case VK_VOLUME_UP: *action = KeyAction::kVolumeUp; return true;
    case VK_VOLUME_DOWN: *action = KeyAction::kVolumeDown; return true;
    case VK_VOLUME_MUTE: *action = KeyAction::kVolumeMute; return true;
    default: return false;
  }
}

bool IsDibButton(HWND window) {
  char name[sizeof kDibButtonClass + 1] = {};
  return window != nullptr && GetClassNameA(window, name, sizeof name) > 0 && lstrcmpA(name, kDibButtonClass) == 0;
}

// The shown buttons in the order Tab visits them: the panel's, then each
// shown module's from the top of the stack down, each in creation order.
constexpr int kMaxFocusStops = 160;

int CollectButtons(HWND panel, HWND* buttons) {
  int count = 0;
  auto addChildren = [&](HWND parent) {
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
      if (count < kMaxFocusStops && IsDibButton(child) && IsWindowVisible(child)) buttons[count++] = child;
    }
  };
  addChildren(panel);
  for (int i = 0; i < kPlayerCount; ++i) {
    const PlayerSlot& slot = PlayerSlotOf(static_cast<PlayerIndex>(i));
    if (slot.shown && slot.window != nullptr) addChildren(slot.window);
  }
  return count;
}

void FocusButton(HWND panel, HWND button) {
  gLastFocused = button;
  const PlayerIndex player = PlayerOfWindow(button);
  if (player != kPlayerCount) gLastUsed = player;
  // The keyboard is in use: focus cues are shown from now on.
  SendMessageA(panel, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
  SetFocus(button);
}

// Tab and Shift+Tab. A button that was disabled while it had the focus
// (STOP pressed by Enter) still marks the place the walk goes on from.
void MoveKeyboardFocus(HWND panel, bool forward) {
  HWND buttons[kMaxFocusStops];
  const int count = CollectButtons(panel, buttons);
  if (count == 0) return;
  HWND anchor = IsDibButton(GetFocus()) ? GetFocus() : gLastFocused;
  int at = -1;
  for (int i = 0; i < count; ++i) {
    if (buttons[i] == anchor) at = i;
  }
  for (int step = 1; step <= count; ++step) {
    int i = at < 0 ? (forward ? step - 1 : count - step) : (at + (forward ? step : count - step)) % count;
    if (IsWindowEnabled(buttons[i])) {
      FocusButton(panel, buttons[i]);
      return;
    }
  }
}

bool IsPanelWindow(HWND panel, HWND window) { return window == panel || IsChild(panel, window); }

bool ModifierDown(int key) { return (GetKeyState(key) & 0x8000) != 0; }

}  // namespace

PlayerIndex PlayingPlayer() {
  LRESULT state = kPlaybackIdle;
  return ActivePlayer(&state);
}

void RegisterMediaHotKeys(HWND panel) {
  for (int i = 0; i < kMediaHotKeyCount; ++i) {
    gHotKeyHeld[i] = RegisterHotKey(panel, kMediaHotKeys[i].id, 0, kMediaHotKeys[i].key) != FALSE;
  }
}

void UnregisterMediaHotKeys(HWND panel) {
  for (int i = 0; i < kMediaHotKeyCount; ++i) {
    if (gHotKeyHeld[i]) UnregisterHotKey(panel, kMediaHotKeys[i].id);
    gHotKeyHeld[i] = false;
  }
  gLastFocused = nullptr;
  gLastUsed = kPlayerCount;
}

void OnMediaHotKey(HWND panel, WPARAM id) {
  for (const MediaHotKey& key : kMediaHotKeys) {
    if (static_cast<WPARAM>(key.id) == id) RunKeyAction(panel, key.action, false);
  }
}

bool OnAppCommand(HWND panel, LPARAM lParam) {
  KeyAction action;
  if (!ActionForAppCommand(GET_APPCOMMAND_LPARAM(lParam), &action)) return false;
  RunKeyAction(panel, action, false);
  return true;
}

void RunKeyAction(HWND panel, KeyAction action, bool keyboard) {
  switch (action) {
    case KeyAction::kVolumeUp:
      RouteCommand(panel, MakeCommand(kRouteMixer, kCmdMixerStep), kMixerStepUp);
      return;
    case KeyAction::kVolumeDown:
      RouteCommand(panel, MakeCommand(kRouteMixer, kCmdMixerStep), kMixerStepDown);
      return;
    case KeyAction::kVolumeMute:
      RouteCommand(panel, MakeCommand(kRouteMixer, kCmdMixerStep), kMixerToggleMute);
      return;
    default: break;
  }
  LRESULT state = kPlaybackIdle;
  const PlayerIndex player = TargetPlayer(keyboard, &state);
  const uint16_t code = TransportCode(action, state);
  if (code != 0) RouteCommand(panel, MakeCommand(PlayerRoute(player), code), 0);
}

bool HandlePanelKey(HWND panel, const MSG& msg) {
  if (panel == nullptr || !IsPanelWindow(panel, msg.hwnd)) return false;
  // With no window focused (the focused button was just disabled) keys
  // come to the active window as system keys; Alt combinations stay the
  // system's.
  const bool systemKey = msg.message == WM_SYSKEYDOWN && GetFocus() == nullptr && (msg.lParam & (1 << 29)) == 0;
  if (msg.message != WM_KEYDOWN && !systemKey) return false;
  if (ModifierDown(VK_CONTROL) || ModifierDown(VK_MENU)) return false;
  HWND focus = GetFocus();
  if (msg.wParam == VK_TAB) {
    MoveKeyboardFocus(panel, !ModifierDown(VK_SHIFT));
    return true;
  }
  if ((msg.wParam == VK_RETURN || msg.wParam == VK_SPACE) && IsDibButton(focus) && IsWindowEnabled(focus)) {
    PressDibButton(focus);
    return true;
  }
  KeyAction action;
  if (!ActionForKey(msg.wParam, &action)) return false;
  RunKeyAction(panel, action, true);
  return true;
}

void OnPanelMouseDown(HWND panel, POINT clientPoint) {
  HWND under = ChildWindowFromPointEx(panel, clientPoint, CWP_SKIPINVISIBLE);
  const PlayerIndex player = PlayerOfWindow(under);
  if (player != kPlayerCount) gLastUsed = player;
  gLastFocused = nullptr;
  if (IsDibButton(GetFocus())) SetFocus(panel);
  SendMessageA(panel, WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0);
}
