// A message-only window that counts the end-of-stream notifications an
// output engine posts to it.
#pragma once

#include <windows.h>

#include <cstdint>

class EndListener {
 public:
  explicit EndListener(UINT message = 953);
  ~EndListener();
  EndListener(const EndListener&) = delete;
  EndListener& operator=(const EndListener&) = delete;
  HWND hwnd() const { return hwnd_; }
  int ends() const { return ends_; }
  // The generation (wParam) the last notice carried; 0 before any.
  uint32_t lastGeneration() const { return lastGeneration_; }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  HWND hwnd_ = nullptr;
  UINT message_;
  int ends_ = 0;
  uint32_t lastGeneration_ = 0;
};
