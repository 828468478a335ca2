// The four player slots: the module registered for each, its route and
// panel key, and the window the panel holds for it.
#include <windows.h>

#include "common/CommandCodes.h"
#include "shell/App.h"
#include "shell/MainPanel.h"

namespace {

struct SlotRoute {
  uint16_t route;
  int buttonId;
};

const SlotRoute kRoutes[kPlayerCount] = {
    {kRouteMixer, kButtonMixer},
    {kRouteCd, kButtonCd},
    {kRouteMidi, kButtonMidi},
    {kRouteWave, kButtonWave},
};

PlayerSlot gSlots[kPlayerCount];
const PlayerModule* gModules[kPlayerCount] = {};
DeviceTest gDeviceTests[kPlayerCount] = {};

}  // namespace

void RegisterPlayerModule(PlayerIndex player, const PlayerModule* module) { gModules[player] = module; }

const PlayerModule* PlayerModuleOf(PlayerIndex player) { return gModules[player]; }

uint16_t PlayerRoute(PlayerIndex player) { return kRoutes[player].route; }

int PlayerButton(PlayerIndex player) { return kRoutes[player].buttonId; }

PlayerSlot& PlayerSlotOf(PlayerIndex player) { return gSlots[player]; }

void SetPlayerDeviceTest(PlayerIndex player, DeviceTest test) { gDeviceTests[player] = test; }

bool PlayerDeviceExists(PlayerIndex player) {
  if (gDeviceTests[player] != nullptr) return gDeviceTests[player]();
  const PlayerModule* module = gModules[player];
  return module != nullptr && module->deviceExists != nullptr && module->deviceExists();
}

PlayerIndex PlayerForRoute(uint16_t route) {
  for (int i = 0; i < kPlayerCount; ++i) {
    if (kRoutes[i].route == route) return static_cast<PlayerIndex>(i);
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
  const PlayerModule* module = gModules[player];
  if (module == nullptr || module->create == nullptr) return false;
  slot.window = module->create(ApplicationHost(), panel);
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

HWND PlayerWindowForFile(uint16_t route) {
  const PlayerIndex player = PlayerForRoute(route);
  if (player == kPlayerCount) return nullptr;
  if (gSlots[player].window == nullptr && gApp.mainPanel != nullptr) OpenPlayer(gApp.mainPanel, player);
  return gSlots[player].window;
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
    if (gModules[player] == nullptr || !PlayerDeviceExists(player)) {
      // Without the device (or the player module) there is nothing to switch on.
      if (HWND button = GetDlgItem(panel, kRoutes[player].buttonId)) DestroyWindow(button);
      continue;
    }
    if (EnsurePlayerWindow(panel, player)) {
      slot.shown = true;
      ShowWindow(slot.window, SW_SHOWNA);
    }
  }
  LayoutPanels(panel);
}
