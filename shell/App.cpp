// Start-up: command line, hand-off to a running instance, the hidden main
// panel, the skin palette and the message loop.
#include "shell/App.h"

#include "common/CommandCodes.h"
#include "common/FileHandOff.h"
#include "resources/ResourceIds.h"
#include "shell/MainPanel.h"
#include "shell/PanelKeys.h"
#include "skin/DibButton.h"
#include "skin/SkinControls.h"
#include "skin/SkinPalette.h"
#include "skin/SkinScale.h"

AppState gApp;

namespace {

// Start-ups take turns through this lock: the first one keeps it until its
// players exist, so a start made at the same moment neither misses the
// panel being made (two instances) nor hands its file to a panel that has
// no player to take it yet. A start that waited this long goes on anyway.
constexpr DWORD kStartTurnWaitMs = 30000;

class StartTurn {
 public:
  StartTurn() : mutex_(CreateMutexA(nullptr, FALSE, kStartTurnName)) {
    if (!mutex_) return;
    const DWORD waited = WaitForSingleObject(mutex_, kStartTurnWaitMs);
    held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
  }
  ~StartTurn() {
    Release();
    if (mutex_) CloseHandle(mutex_);
  }
  StartTurn(const StartTurn&) = delete;
  StartTurn& operator=(const StartTurn&) = delete;
  void Release() {
    if (held_) ReleaseMutex(mutex_);
    held_ = false;
  }

 private:
  HANDLE mutex_;
  bool held_ = false;
};

StartTurn* gStartTurn = nullptr;

// The players read the application's state through this, never gApp itself.
class AppHost final : public PlayerHost {
 public:
  HINSTANCE Instance() const override { return gApp.instance; }
  UINT CommandMessage() const override { return gApp.commandMessage; }
  bool BlinkPhase() const override { return gApp.blinkPhase; }
  const StartupOptions& Options() const override { return gApp.options; }
  bool IsPlayerShown(PlayerIndex player) const override { return PlayerSlotOf(player).shown; }
  int RecordFormatIndex() const override { return gApp.recordFormatIndex; }
};


// Another instance is running: give it our file and step aside. The send is
// synchronous, so the atom is still there while the other side reads it.
void HandOffToRunningInstance(HWND running, int showMode) {
  SetForegroundWindow(running);
  if (gApp.options.fileToOpen[0] != '\0') {
    SendFileToProcess(running, gApp.commandMessage, MakeCommand(kRouteMainPanel, kCmdOpenFile),
                      gApp.options.fileToOpen);
  }
  ShowWindow(running, showMode);
}

// Start-up ends in two steps on the first messages of the loop. The panel is
// shown first, with only its own keys: that is all the first sight of the
// program needs. The players come on the next message, posted right after
// the show, because their devices take most of the start-up time
// (DirectSound and capture, the mixer, MCI, the SoundFont); then the file
// named on the command line. Until they exist the start turn stays held,
// so a second start still hands its file to a panel that has its players.
enum class StartStep { kShowPanel, kCreatePlayers, kRunning };

void ShowPanelAtStart(int showMode) {
  HWND panel = gApp.mainPanel;
  ShowWindow(panel, gApp.options.startMinimized ? SW_SHOWMINIMIZED : showMode);
  UpdateWindow(panel);
  PostMessageA(panel, WM_NULL, 0, 0);
}

void CreatePlayersAndOpenFile() {
  HWND panel = gApp.mainPanel;
  if (gApp.options.createPlayers) CreatePlayersAtStart(panel);
  // No focus cues until the keyboard is used.
  SendMessageA(panel, WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
  if (gStartTurn != nullptr) gStartTurn->Release();
  if (gApp.options.fileToOpen[0] != '\0') {
    SendFileToWindow(panel, gApp.commandMessage, MakeCommand(kRouteMainPanel, kCmdOpenFile),
                     gApp.options.fileToOpen);
  }
}

// Runs the start-up step due on this message, before it is dispatched.
void StepStartUp(StartStep& step, int showMode) {
  switch (step) {
    case StartStep::kShowPanel:
      step = StartStep::kCreatePlayers;
      ShowPanelAtStart(showMode);
      return;
    case StartStep::kCreatePlayers:
      step = StartStep::kRunning;
      CreatePlayersAndOpenFile();
      return;
    case StartStep::kRunning:
      return;
  }
}

}  // namespace

const PlayerHost& ApplicationHost() {
  static const AppHost host;
  return host;
}

int RunCantorix(HINSTANCE instance, const char* commandLine, int showMode) {
  gApp.instance = instance;
  ParseCommandLine(commandLine, gApp.options);
  gApp.commandMessage = RegisterWindowMessageA(kCommandMessageName);

  StartTurn turn;
  gStartTurn = &turn;
  HWND running = FindWindowA(kMainPanelClass, nullptr);
  if (running != nullptr && IsWindow(running)) {
    HandOffToRunningInstance(running, showMode);
    return 0;
  }

  LoadAutoPlaySettings(gApp.options);
  DeclareDpiAwareness();
  ChooseSkinScale();
  if (!RegisterMainPanelClass(instance)) return 0;
  RegisterDibButton(instance, MAKEINTRESOURCEA(kButtonCursor));
  RegisterColorText(instance);
  gApp.mainPanel = CreateMainPanel(instance);
  if (gApp.mainPanel == nullptr) return 0;
  HPALETTE palette = BuildSkinPalette(instance, MAKEINTRESOURCEA(kMainPanelFace));
  if (palette == nullptr) {
    DestroyWindow(gApp.mainPanel);
    return 0;
  }
  SetSkinPalette(palette);

  // The first step need not wait for the panel's first timer tick.
  PostMessageA(gApp.mainPanel, WM_NULL, 0, 0);
  MSG msg;
  StartStep step = StartStep::kShowPanel;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    StepStartUp(step, showMode);
    if (HandlePanelKey(gApp.mainPanel, msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  SetSkinPalette(nullptr);
  DeleteObject(palette);
  gStartTurn = nullptr;
  return static_cast<int>(msg.wParam);
}
