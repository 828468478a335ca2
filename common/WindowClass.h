// The one way window classes are registered: on first use, with a count of
// users, and unregistered when the last user lets go. A class registered
// twice by two modules (or two tests) is one registration.
#pragma once

#include <windows.h>

struct WindowClass {
  const char* name;
  WNDPROC procedure;
  int extraBytes = 0;
  // Cursor resource of the instance; the arrow when null or not found.
  const char* cursor = nullptr;
  HBRUSH background = nullptr;
  // Icon resource of the instance, for top-level windows.
  const char* icon = nullptr;
  int uses = 0;  // kept by the functions below
};

// True when the class is (now) registered; every true result is one use.
bool RegisterWindowClass(WindowClass& windowClass, HINSTANCE instance);
// Drops one use; the class goes with the last one.
void UnregisterWindowClass(WindowClass& windowClass, HINSTANCE instance);
bool IsWindowClassRegistered(const WindowClass& windowClass);
// Whether `window` is a window of the class named `name` (false for null).
bool IsWindowOfClass(HWND window, const char* name);
