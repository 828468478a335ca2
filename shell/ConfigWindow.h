// The configuration window ("CXConfigClass"): the recording format for this
// run and the two auto-play switches. It behaves as a modal window of the
// main panel: the panel is disabled while it is shown.
#pragma once

#include <windows.h>

constexpr char kConfigClass[] = "CXConfigClass";
constexpr char kConfigTitle[] = "Record Format Configuration";
constexpr int kConfigWidth = 347;
constexpr int kConfigHeight = 214;

enum ConfigControl : int {
  kConfigOk = 1,
  kConfigCancel = 2,  // also the "X" key
  kConfigQualityList = 10000,
  kConfigFormatList = 10001,
  kConfigCheckCd = 10004,
  kConfigCheckMp3List = 10005,
};

bool RegisterConfigClass(HINSTANCE instance);
void UnregisterConfigClass(HINSTANCE instance);

// Creates the window on first use, shows it and disables the panel.
void OpenConfigWindow(HWND panel);
// The window, once created; null before and after the panel's life.
HWND ConfigWindowHandle();
// The two check boxes as the window holds them (for the window's readers).
bool ConfigCheckCd();
bool ConfigCheckMp3List();
