// Handset's start-up, message loop and clean-up.
#pragma once

#include <windows.h>

int RunHandset(HINSTANCE instance, int showMode);
