#include "tests/shell/PanelTestSupport.h"

#include "shell/App.h"
#include "common/CommandCodes.h"
#include "common/FileHandOff.h"
#include "resources/ResourceIds.h"
#include "skin/DibButton.h"
#include "skin/SkinPalette.h"
#include "tests/support/WinTestSupport.h"

namespace {

std::vector<PlayerMessage> gMessages;

LRESULT CALLBACK RecorderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kMsgDiscChange || message == kMsgPanelTick || message == WM_POWERBROADCAST ||
      (message == gApp.commandMessage && message != 0)) {
    PlayerMessage m{window, message, wParam, lParam, {}};
    if (message == gApp.commandMessage && CommandCodeOf(wParam) == kCmdOpenFile) {
      // An atom, or for a name longer than an atom holds, the local token.
      char name[kAtomNameCapacity] = {};
      if (ReadHandedFile(lParam, name, sizeof name)) m.atomName = name;
    }
    gMessages.push_back(m);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// Every module but the MIDI player's has its bottom five rows cut away but
// for two tabs; the MIDI player's tabs sit one pixel further left.
#define CX_PLAYER_SHAPE(H, L)                                                                  \
  {{0, 0},         {0, H - 5},         {7 - L, H - 5},     {7 - L, H},                         \
   {70 - L, H},    {70 - L, H - 5},    {392 - L, H - 5},   {392 - L, H},                       \
   {455 - L, H},   {455 - L, H - 5},   {462, H - 5},       {462, 0}}
const POINT kShapes[kPlayerCount][12] = {CX_PLAYER_SHAPE(123, 0), CX_PLAYER_SHAPE(90, 0),
                                         CX_PLAYER_SHAPE(108, 1), CX_PLAYER_SHAPE(170, 0)};
#undef CX_PLAYER_SHAPE
const char* const kClasses[kPlayerCount] = {"CXMixerWindow", "CXCDPlayerWindow",
                                            "CXMidiPlayerWindow", "CXWavePlayerClass"};
const int kHeights[kPlayerCount] = {123, 90, 108, 170};

template <PlayerIndex P>
HWND CreateRecorder(const PlayerHost&, HWND panel) {
  return CreateWindowExA(0, kClasses[P], "", WS_CHILD, 0, 0, 462, kHeights[P], panel, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

bool Yes() { return true; }

PlayerModule gRecorders[kPlayerCount];

}  // namespace

PlayerModule StandInModule(PlayerIndex player, PlayerFactory create) {
  return PlayerModule{kClasses[player], kHeights[player], kShapes[player], 12, create, Yes};
}

void PreparePanelClasses() {
  static bool prepared = false;
  if (prepared) return;
  prepared = true;
  gApp.instance = GetModuleHandleA(nullptr);
  gApp.commandMessage = RegisterWindowMessageA(kCommandMessageName);
  RegisterMainPanelClass(gApp.instance);
  RegisterDibButton(gApp.instance, MAKEINTRESOURCEA(kButtonCursor));
  SetSkinPalette(BuildSkinPalette(gApp.instance, MAKEINTRESOURCEA(kMainPanelFace)));
  for (int i = 0; i < kPlayerCount; ++i) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = RecorderProc;
    wc.hInstance = gApp.instance;
    wc.lpszClassName = kClasses[i];
    RegisterClassA(&wc);
  }
  gRecorders[kPlayerMixer] = StandInModule(kPlayerMixer, CreateRecorder<kPlayerMixer>);
  gRecorders[kPlayerCd] = StandInModule(kPlayerCd, CreateRecorder<kPlayerCd>);
  gRecorders[kPlayerMidi] = StandInModule(kPlayerMidi, CreateRecorder<kPlayerMidi>);
  gRecorders[kPlayerWave] = StandInModule(kPlayerWave, CreateRecorder<kPlayerWave>);
  for (int i = 0; i < kPlayerCount; ++i) RegisterPlayerModule(static_cast<PlayerIndex>(i), &gRecorders[i]);
}

HWND CreateTestPanel(bool show) {
  PreparePanelClasses();
  for (int i = 0; i < kPlayerCount; ++i) SetPlayerDeviceTest(static_cast<PlayerIndex>(i), Yes);
  HWND panel = CreateMainPanel(gApp.instance);
  gApp.mainPanel = panel;
  // Ticks reach the recording players only when a test sends WM_TIMER: on a
  // loaded machine the real 500 ms timer would slip extra ones in between.
  if (panel != nullptr) KillTimer(panel, kPanelTimerId);
  if (panel != nullptr && show) {
    ShowWindow(panel, SW_SHOWNA);
    UpdateWindow(panel);
  }
  gMessages.clear();
  return panel;
}

std::vector<PlayerMessage> PlayerMessages() {
  PumpFor(30);
  return TakePlayerMessages();
}

std::vector<PlayerMessage> TakePlayerMessages() {
  std::vector<PlayerMessage> out = gMessages;
  gMessages.clear();
  return out;
}

void ClickButton(HWND button) {
  SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  SendMessageA(button, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
  PumpFor(30);
}
