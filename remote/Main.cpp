#include "remote/HandsetApp.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showMode) {
  return RunHandset(instance, commandLine, showMode);
}
