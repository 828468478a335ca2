#include "mixer/MixerWindow.h"
#include "shell/App.h"
#include "shell/MainPanel.h"
#include "waveplayer/WavePlayerWindow.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showMode) {
  // The player modules plug into the main panel before it starts.
  RegisterPlayerModule(kPlayerMixer, &MixerModule());
  RegisterPlayerModule(kPlayerWave, &WavePlayerModule());
  return RunCantorix(instance, commandLine, showMode);
}
