#include "shell/App.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showMode) {
  return RunCantorix(instance, commandLine, showMode);
}
