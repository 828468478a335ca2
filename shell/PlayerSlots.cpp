// The table of the four players: their classes, heights, routes and shapes,
// the device each one needs, and the windows the panel holds for them.
#include <windows.h>
#include <mmsystem.h>

#include "shell/CommandCodes.h"
#include "shell/MainPanel.h"

namespace {

// Each module's bottom five rows are cut away but for two tabs, so stacked
// modules touch only at the tabs and show a slot between them.
#define CX_PLAYER_SHAPE(H)                                                               \
  {{0, 0}, {0, H - 5}, {7, H - 5}, {7, H}, {70, H}, {70, H - 5}, {392, H - 5}, {392, H}, \
   {455, H}, {455, H - 5}, {462, H - 5}, {462, 0}}

const POINT kMixerShape[] = CX_PLAYER_SHAPE(123);
const POINT kCdShape[] = CX_PLAYER_SHAPE(90);
const POINT kWaveShape[] = CX_PLAYER_SHAPE(170);
// The MIDI module's tabs sit one pixel further left.
const POINT kMidiShape[] = {{0, 0},     {0, 103},   {6, 103},   {6, 108},
                            {69, 108},  {69, 103},  {391, 103}, {391, 108},
                            {454, 108}, {454, 103}, {462, 103}, {462, 0}};
#undef CX_PLAYER_SHAPE

const PlayerInfo kPlayers[kPlayerCount] = {
    {"CXMixerWindow", 123, kRouteMixer, kButtonMixer, kMixerShape, 12},
    {"CXCDPlayerWindow", 90, kRouteCd, kButtonCd, kCdShape, 12},
    {"CXMidiPlayerWindow", 108, kRouteMidi, kButtonMidi, kMidiShape, 12},
    {"CXWavePlayerClass", 170, kRouteWave, kButtonWave, kWaveShape, 12},
};

bool MixerExists() { return mixerGetNumDevs() > 0; }
bool WaveOutputExists() { return waveOutGetNumDevs() > 0; }
bool MidiOutputExists() { return midiOutGetNumDevs() > 0; }

bool CdDriveExists() {
  char root[] = "A:\\";
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    root[0] = letter;
    if (GetDriveTypeA(root) == DRIVE_CDROM) return true;
  }
  return false;
}

PlayerSlot gSlots[kPlayerCount];
PlayerFactory gFactories[kPlayerCount] = {};
DeviceTest gDeviceTests[kPlayerCount] = {MixerExists, CdDriveExists, MidiOutputExists,
                                         WaveOutputExists};

}  // namespace

const PlayerInfo& PlayerInfoOf(PlayerIndex player) { return kPlayers[player]; }

PlayerSlot& PlayerSlotOf(PlayerIndex player) { return gSlots[player]; }

void SetPlayerFactory(PlayerIndex player, PlayerFactory factory) { gFactories[player] = factory; }

void SetPlayerDeviceTest(PlayerIndex player, DeviceTest test) { gDeviceTests[player] = test; }

bool PlayerDeviceExists(PlayerIndex player) {
  return gDeviceTests[player] != nullptr && gDeviceTests[player]();
}

PlayerIndex PlayerForRoute(uint16_t route) {
  for (int i = 0; i < kPlayerCount; ++i) {
    if (kPlayers[i].route == route) return static_cast<PlayerIndex>(i);
  }
  return kPlayerCount;
}

HWND PlayerWindowByRoute(uint16_t route) {
  PlayerIndex player = PlayerForRoute(route);
  return player == kPlayerCount ? nullptr : gSlots[player].window;
}

// Creates the window on first use; afterwards the window is only shown.
static bool EnsurePlayerWindow(HWND panel, PlayerIndex player) {
  PlayerSlot& slot = gSlots[player];
  if (slot.window != nullptr) return true;
  if (gFactories[player] == nullptr) return false;
  slot.window = gFactories[player](panel);
  return slot.window != nullptr;
}

void OpenPlayer(HWND panel, PlayerIndex player) {
  PlayerSlot& slot = gSlots[player];
  if (slot.shown || !PlayerDeviceExists(player)) return;
  bool existed = slot.window != nullptr;
  if (!EnsurePlayerWindow(panel, player)) return;
  ShowWindow(slot.window, SW_SHOWNA);
  if (!existed) UpdateWindow(slot.window);
  slot.shown = true;
  LayoutPanels(panel);
}

void ClosePlayer(HWND panel, PlayerIndex player) {
  PlayerSlot& slot = gSlots[player];
  if (!slot.shown || slot.window == nullptr || !PlayerDeviceExists(player)) return;
  ShowWindow(slot.window, SW_HIDE);
  slot.shown = false;
  LayoutPanels(panel);
}

void TogglePlayer(HWND panel, PlayerIndex player) {
  if (gSlots[player].shown) {
    ClosePlayer(panel, player);
  } else {
    OpenPlayer(panel, player);
  }
}

void CreatePlayersAtStart(HWND panel) {
  // Mixer, CD, wave, MIDI: the order in which the devices are probed.
  static const PlayerIndex kStartOrder[] = {kPlayerMixer, kPlayerCd, kPlayerWave, kPlayerMidi};
  for (PlayerIndex player : kStartOrder) {
    PlayerSlot& slot = gSlots[player];
    if (!PlayerDeviceExists(player) || gFactories[player] == nullptr) {
      // Without the device (or the player module) there is nothing to switch on.
      if (HWND button = GetDlgItem(panel, kPlayers[player].buttonId)) DestroyWindow(button);
      continue;
    }
    if (EnsurePlayerWindow(panel, player)) {
      slot.shown = true;
      ShowWindow(slot.window, SW_SHOWNA);
    }
  }
  LayoutPanels(panel);
}
