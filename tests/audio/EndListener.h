// A message-only window that counts the end-of-stream notifications an
// output engine posts to it.
#pragma once

#include <windows.h>

class EndListener {
 public:
  explicit EndListener(UINT message = 953);
  ~EndListener();
  EndListener(const EndListener&) = delete;
  EndListener& operator=(const EndListener&) = delete;
  HWND hwnd() const { return hwnd_; }
  int ends() const { return ends_; }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  HWND hwnd_ = nullptr;
  UINT message_;
  int ends_ = 0;
};
