#include "tests/audio/EndListener.h"

EndListener::EndListener(UINT message) : message_(message) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "CXTestEndListener";
  RegisterClassA(&wc);
  hwnd_ = CreateWindowA(wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

EndListener::~EndListener() {
  if (hwnd_) DestroyWindow(hwnd_);
}

LRESULT CALLBACK EndListener::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<EndListener*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (self && msg == self->message_) {
    ++self->ends_;
    self->lastGeneration_ = static_cast<uint32_t>(wp);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}
