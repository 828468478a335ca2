// Small owners for the platform handles of the output devices.
#pragma once

#include <windows.h>

// A kernel handle (event, thread, mapping) closed by its owner.
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE h) : handle_(h) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  HANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  void Reset(HANDLE h = nullptr) {
    if (handle_) CloseHandle(handle_);
    handle_ = h;
  }

 private:
  HANDLE handle_ = nullptr;
};

// A mapped view of a file mapping, unmapped by its owner.
class MappedView {
 public:
  MappedView(HANDLE mapping, DWORD access, SIZE_T bytes)
      : view_(mapping ? MapViewOfFile(mapping, access, 0, 0, bytes) : nullptr) {}
  ~MappedView() {
    if (view_) UnmapViewOfFile(view_);
  }
  MappedView(const MappedView&) = delete;
  MappedView& operator=(const MappedView&) = delete;
  void* get() const { return view_; }

 private:
  void* view_;
};

// Releases a COM interface and clears the pointer.
template <typename T>
void ReleaseAndClear(T*& p) {
  if (p) p->Release();
  p = nullptr;
}
