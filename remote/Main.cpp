#include "remote/HandsetApp.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showMode) {
  return RunHandset(instance, showMode);
}
