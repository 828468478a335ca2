#include "tests/shell/PanelTestSupport.h"

#include "shell/App.h"
#include "shell/CommandCodes.h"
#include "skin/DibButton.h"
#include "skin/SkinPalette.h"
#include "tests/support/WinTestSupport.h"

namespace {

std::vector<PlayerMessage> gMessages;

LRESULT CALLBACK RecorderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kMsgDiscChange || message == kMsgPanelTick || message == WM_POWERBROADCAST ||
      (message == gApp.commandMessage && message != 0)) {
    gMessages.push_back(PlayerMessage{window, message, wParam, lParam});
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

template <PlayerIndex P>
HWND CreateRecorder(HWND panel) {
  const PlayerInfo& info = PlayerInfoOf(P);
  return CreateWindowExA(0, info.className, "", WS_CHILD, 0, 0, 462, info.height, panel, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

bool Yes() { return true; }

}  // namespace

void PreparePanelClasses() {
  static bool prepared = false;
  if (prepared) return;
  prepared = true;
  gApp.instance = GetModuleHandleA(nullptr);
  gApp.commandMessage = RegisterWindowMessageA(kCommandMessageName);
  RegisterMainPanelClass(gApp.instance);
  RegisterDibButton(gApp.instance, MAKEINTRESOURCEA(164));
  SetSkinPalette(BuildSkinPalette(gApp.instance, MAKEINTRESOURCEA(149)));
  for (int i = 0; i < kPlayerCount; ++i) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = RecorderProc;
    wc.hInstance = gApp.instance;
    wc.lpszClassName = PlayerInfoOf(static_cast<PlayerIndex>(i)).className;
    RegisterClassA(&wc);
  }
  SetPlayerFactory(kPlayerMixer, CreateRecorder<kPlayerMixer>);
  SetPlayerFactory(kPlayerCd, CreateRecorder<kPlayerCd>);
  SetPlayerFactory(kPlayerMidi, CreateRecorder<kPlayerMidi>);
  SetPlayerFactory(kPlayerWave, CreateRecorder<kPlayerWave>);
}

HWND CreateTestPanel() {
  PreparePanelClasses();
  for (int i = 0; i < kPlayerCount; ++i) SetPlayerDeviceTest(static_cast<PlayerIndex>(i), Yes);
  HWND panel = CreateMainPanel(gApp.instance);
  gApp.mainPanel = panel;
  if (panel != nullptr) {
    ShowWindow(panel, SW_SHOWNA);
    UpdateWindow(panel);
  }
  gMessages.clear();
  return panel;
}

std::vector<PlayerMessage> PlayerMessages() {
  PumpFor(30);
  std::vector<PlayerMessage> out = gMessages;
  gMessages.clear();
  return out;
}

void ClickButton(HWND button) {
  SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  SendMessageA(button, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
  PumpFor(30);
}
