// Handset's start-up, message loop and clean-up.
#pragma once

#include <windows.h>

// `commandLine` may name a file (UTF-8) for Cantorix to open and play.
int RunHandset(HINSTANCE instance, const char* commandLine, int showMode);
