#include "shell/App.h"
#include "waveplayer/WavePlayerWindow.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showMode) {
  // The player modules plug into the main panel before it starts.
  RegisterWavePlayer();
  return RunCantorix(instance, commandLine, showMode);
}
