// Window classes registered on first use and unregistered when their last
// user lets go.
#pragma once

#include <windows.h>

struct CountedClass {
  const char* name;
  WNDPROC procedure;
  int extraBytes;
  int uses;
};

inline bool RegisterCounted(CountedClass& c, HINSTANCE instance) {
  if (c.uses > 0) {
    ++c.uses;
    return true;
  }
  WNDCLASSA wc = {};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = c.procedure;
  wc.cbWndExtra = c.extraBytes;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.lpszClassName = c.name;
  if (RegisterClassA(&wc) == 0) return false;
  c.uses = 1;
  return true;
}

inline void UnregisterCounted(CountedClass& c, HINSTANCE instance) {
  if (c.uses == 0) return;
  if (--c.uses == 0) UnregisterClassA(c.name, instance);
}
