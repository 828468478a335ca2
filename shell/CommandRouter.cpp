// The main panel's router for the command message: player switching first,
// then by route. Generic player commands are posted; file hand-offs and the
// playlist and CD commands are sent, so an atom outlives their handling.
#include <windows.h>
#include <shellapi.h>

#include <initializer_list>

#include "media/FileDispatch.h"
#include "media/MediaKind.h"
#include "shell/App.h"
#include "common/CommandCodes.h"
#include "common/FileHandOff.h"
#include "shell/MainPanel.h"

namespace {

bool IsPlayerRoute(uint16_t route) {
  return route == kRouteCd || route == kRouteMidi || route == kRouteWave;
}

LRESULT SendCommand(HWND window, uint16_t route, uint16_t code, LPARAM lParam) {
  if (window == nullptr) return 0;
  return SendMessageA(window, gApp.commandMessage, MakeCommand(route, code), lParam);
}

// 3001, 3002, 1020, 3003 and 3004 act on the player windows whatever else.
bool SwitchPlayers(HWND panel, uint16_t route, uint16_t code) {
  switch (code) {
    case kCmdOpenPlayer:
    case kCmdClosePlayer:
    case kCmdTogglePlayer: {
      if (!IsPlayerRoute(route)) return true;
      PlayerIndex player = PlayerForRoute(route);
      if (code == kCmdOpenPlayer) OpenPlayer(panel, player);
      if (code == kCmdClosePlayer) ClosePlayer(panel, player);
      if (code == kCmdTogglePlayer) TogglePlayer(panel, player);
      return true;
    }
    case kCmdOpenAllPlayers:
      for (PlayerIndex p : {kPlayerCd, kPlayerWave, kPlayerMidi}) OpenPlayer(panel, p);
      return true;
    case kCmdCloseAllPlayers:
      for (PlayerIndex p : {kPlayerMixer, kPlayerCd, kPlayerWave, kPlayerMidi}) ClosePlayer(panel, p);
      return true;
    default:
      return false;
  }
}

void RouteToShownPlaylist(HWND panel, LPARAM lParam) {
  for (PlayerIndex p : {kPlayerCd, kPlayerMidi, kPlayerWave}) {
    const PlayerSlot& slot = PlayerSlotOf(p);
    if (slot.shown && slot.window != nullptr) {
      SendCommand(slot.window, PlayerRoute(p), kCmdShowPlaylist, lParam);
      return;
    }
  }
  OpenPlayer(panel, kPlayerCd);
  const PlayerSlot& cd = PlayerSlotOf(kPlayerCd);
  if (cd.shown) SendCommand(cd.window, kRouteCd, kCmdShowPlaylist, lParam);
}

void RouteToMainPanel(HWND panel, uint16_t code, LPARAM lParam) {
  const PlayerSlot& cd = PlayerSlotOf(kPlayerCd);
  switch (code) {
    case kCmdOpenFile: {
      char name[kAtomNameCapacity] = {};
      if (ReadHandedFile(lParam, name, sizeof name)) OpenHandedFile(panel, name);
      break;
    }
    case kCmdCdPause:
      if (!cd.shown) OpenPlayer(panel, kPlayerCd);
      if (cd.shown) SendCommand(cd.window, kRouteCd, kCmdCdPause, 0);
      break;
    case kCmdCdStopOrEject:
      if (cd.shown) SendCommand(cd.window, kRouteCd, kCmdCdStopOrEject, 0);
      break;
    default:
      break;
  }
}

}  // namespace

void RouteCommand(HWND panel, WPARAM wParam, LPARAM lParam) {
  uint16_t route = CommandRouteOf(wParam);
  uint16_t code = CommandCodeOf(wParam);
  if (SwitchPlayers(panel, route, code)) return;

  switch (route) {
    case kRouteCd:
    case kRouteMidi:
    case kRouteWave: {
      const PlayerSlot& slot = PlayerSlotOf(PlayerForRoute(route));
      if (slot.shown && slot.window != nullptr) PostMessageA(slot.window, gApp.commandMessage, wParam, lParam);
      break;
    }
    case kRouteMainPanel:
      RouteToMainPanel(panel, code, lParam);
      break;
    case kRoutePlaylist:
      RouteToShownPlaylist(panel, lParam);
      break;
    case kRouteMixer: {
      HWND mixer = PlayerSlotOf(kPlayerMixer).window;
      if (mixer != nullptr) {
        PostMessageA(mixer, gApp.commandMessage, MakeCommand(kRouteMixer, kCmdMixerStep), lParam);
      }
      break;
    }
    default:
      break;  // 7033 and unknown routes are ignored
  }
}

void OpenHandedFile(HWND panel, const char* name) {
  DispatchTarget target = DispatchMediaFile(name, panel, PlayerWindowForFile);
  if (target.window == nullptr) return;
  SendCommand(target.window, target.playerId, kCmdClearList, 0);
  SendFileToWindow(target.window, gApp.commandMessage, MakeCommand(target.playerId, kCmdOpenFile), name);
  SendCommand(target.window, target.playerId, kCmdPlay, 0);
}

LRESULT OpenCopiedFile(HWND panel, const COPYDATASTRUCT* data) {
  char name[kAtomNameCapacity] = {};
  if (!ReadCopiedFile(data, MakeCommand(kRouteMainPanel, kCmdOpenFile), name, sizeof name)) return FALSE;
  OpenHandedFile(panel, name);
  return TRUE;
}

void HandleDroppedFiles(HWND panel, HDROP drop) {
  UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
  char name[kAtomNameCapacity];
  for (UINT i = 0; i < count; ++i) {
    if (DroppedFileName(drop, i, name, sizeof name) == 0) continue;
    DispatchTarget target = DispatchMediaFile(name, panel, PlayerWindowForFile);
    if (target.window != nullptr) {
      SendFileToWindow(target.window, gApp.commandMessage, MakeCommand(target.playerId, kCmdOpenFile), name);
      continue;
    }
    if (ClassifyByExtension(name) == kKindListFile) {
      // A list opens as a whole; the rest of the drop is not looked at. When
      // the list could not be read the reason was shown already, once.
      if (target.playerId != 0) OpenHandedFile(panel, name);
      break;
    }
  }
  DragFinish(drop);
}
