#include "remote/HandsetApp.h"

#include "common/CommandCodes.h"
#include "common/PathLimits.h"
#include "remote/CantorixLink.h"
#include "remote/HandsetLayout.h"
#include "remote/HandsetWindow.h"
#include "remote/Panel3DWindow.h"
#include "resources/ResourceIds.h"
#include "skin/DibButton.h"
#include "skin/SkinPalette.h"
#include "skin/SkinScale.h"

int RunHandset(HINSTANCE instance, const char* commandLine, int showMode) {
  const UINT commandMessage = RegisterWindowMessageA(kCommandMessageName);
  // A file named on the command line goes to Cantorix even when a remote
  // runs already; then one remote at a time, the running one left as it is.
  char file[kPathCapacity];
  const bool hasFile = FileArgument(commandLine, file, sizeof file);
  if (hasFile) OpenInCantorix(file, commandMessage);
  if (FindWindowA(kHandsetClass, nullptr) != nullptr) return 0;
  if (!hasFile && FindCantorix() == nullptr) StartCantorix("");
  DeclareDpiAwareness();
  ChooseSkinScale();
  if (!RegisterRemoteClass(instance)) return 0;
  RegisterDibButton(instance, MAKEINTRESOURCEA(kHandsetCursor));
  SetPictureCursor(LoadCursorA(instance, MAKEINTRESOURCEA(kHandsetCursor)));
  const bool panelClasses = RegisterPanel3DClasses(instance);
  HPALETTE palette = BuildSkinPalette(instance, MAKEINTRESOURCEA(kHandsetFace));
  SetSkinPalette(palette);

  int exitCode = 0;
  {
    Panel3DThread panel;  // outlives the remote, whose destruction stops it
    HWND remote = CreateRemoteWindow(instance, commandMessage, &panel);
    if (remote != nullptr) {
      SetForegroundWindow(remote);
      if (panelClasses) panel.Start(instance, commandMessage);
      PollCantorixStatus(remote);
      ShowWindow(remote, showMode);
      UpdateWindow(remote);
      MSG msg;
      while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
      exitCode = static_cast<int>(msg.wParam);
    }
    panel.Stop(Panel3DThread::kStopWaitMs);
  }
  if (panelClasses) UnregisterPanel3DClasses(instance);
  UnregisterRemoteClass(instance);
  SetSkinPalette(nullptr);
  if (palette != nullptr) DeleteObject(palette);
  return exitCode;
}
