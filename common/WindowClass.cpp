#include "common/WindowClass.h"

#include <mutex>

namespace {
// Handset registers from two user-interface threads.
std::mutex gClassLock;
}  // namespace

bool RegisterWindowClass(WindowClass& c, HINSTANCE instance) {
  std::lock_guard<std::mutex> lock(gClassLock);
  if (c.uses > 0) {
    ++c.uses;
    return true;
  }
  WNDCLASSA wc = {};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = c.procedure;
  wc.cbWndExtra = c.extraBytes;
  wc.hInstance = instance;
  wc.hCursor = c.cursor != nullptr ? LoadCursorA(instance, c.cursor) : nullptr;
  if (wc.hCursor == nullptr) wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = c.background;
  if (c.icon != nullptr) wc.hIcon = LoadIconA(instance, c.icon);
  wc.lpszClassName = c.name;
  if (RegisterClassA(&wc) == 0) return false;
  c.uses = 1;
  return true;
}

void UnregisterWindowClass(WindowClass& c, HINSTANCE instance) {
  std::lock_guard<std::mutex> lock(gClassLock);
  if (c.uses == 0) return;
  if (--c.uses == 0) UnregisterClassA(c.name, instance);
}

bool IsWindowClassRegistered(const WindowClass& c) {
  std::lock_guard<std::mutex> lock(gClassLock);
  return c.uses > 0;
}

bool IsWindowOfClass(HWND window, const char* name) {
  char actual[64] = {};
  return window != nullptr && GetClassNameA(window, actual, sizeof actual) != 0 && lstrcmpA(actual, name) == 0;
}
