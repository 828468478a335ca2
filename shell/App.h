// Process-wide state of Cantorix, set up at start and read everywhere.
#pragma once

#include <windows.h>

#include "shell/CommandLine.h"

struct AppState {
  HINSTANCE instance = nullptr;
  HWND mainPanel = nullptr;
  UINT commandMessage = 0;  // number of the registered command message
  bool blinkPhase = false;  // inverted at every tick of the main panel
  StartupOptions options;
  int recordFormatIndex = 0;  // chosen in the configuration window, for this run only
};

extern AppState gApp;

// Runs the program: start-up, hand-off to a running instance, message loop.
// Returns the process exit code.
int RunCantorix(HINSTANCE instance, const char* commandLine, int showMode);
