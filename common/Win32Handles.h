// Owners for the platform's handles, GDI objects, device contexts and COM
// interfaces, so every path out of a function releases what it took. One
// header for the whole program: the engines, the media code and the skinned
// windows all use the same small set.
#pragma once

#include <windows.h>

// A kernel handle (file, event, thread, mapping) closed by its owner. Both
// null and INVALID_HANDLE_VALUE mean "nothing", since CreateFile and the
// other creators disagree on which one they return on failure.
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE h) : handle_(h) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  HANDLE get() const { return handle_; }
  bool IsOpen() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  explicit operator bool() const { return IsOpen(); }
  void Reset(HANDLE h = nullptr) {
    if (IsOpen()) CloseHandle(handle_);
    handle_ = h;
  }

 private:
  HANDLE handle_ = nullptr;
};

// A search handle from FindFirstFileA, closed with FindClose.
class ScopedFind {
 public:
  explicit ScopedFind(HANDLE handle) : handle_(handle) {}
  ~ScopedFind() {
    if (IsOpen()) FindClose(handle_);
  }
  ScopedFind(const ScopedFind&) = delete;
  ScopedFind& operator=(const ScopedFind&) = delete;
  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
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

// A COM interface pointer released by its owner.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { ReleaseAndClear(p_); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For creators that fill in a pointer: releases what was held first.
  T** Receive() {
    ReleaseAndClear(p_);
    return &p_;
  }
  void Reset() { ReleaseAndClear(p_); }

 private:
  T* p_ = nullptr;
};

// A device context from BeginPaint, ended when the scope closes.
struct PaintScope {
  explicit PaintScope(HWND w) : window(w) { dc = BeginPaint(window, &ps); }
  ~PaintScope() { EndPaint(window, &ps); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  HWND window;
  PAINTSTRUCT ps;
  HDC dc;
};

// A window's device context from GetDC.
struct WindowDc {
  explicit WindowDc(HWND w) : window(w), dc(GetDC(w)) {}
  ~WindowDc() {
    if (dc != nullptr) ReleaseDC(window, dc);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HWND window;
  HDC dc;
};

// A memory device context compatible with another.
struct MemoryDc {
  explicit MemoryDc(HDC reference) : dc(CreateCompatibleDC(reference)) {}
  ~MemoryDc() {
    if (dc != nullptr) DeleteDC(dc);
  }
  MemoryDc(const MemoryDc&) = delete;
  MemoryDc& operator=(const MemoryDc&) = delete;
  HDC dc;
};

// A created GDI object (bitmap, brush, pen, region), deleted at scope end
// unless released to a new owner.
struct GdiObject {
  explicit GdiObject(HGDIOBJ o = nullptr) : object(o) {}
  ~GdiObject() {
    if (object != nullptr) DeleteObject(object);
  }
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  HGDIOBJ Release() {
    HGDIOBJ o = object;
    object = nullptr;
    return o;
  }
  HGDIOBJ object;
};

// An object selected into a device context, put back at scope end.
struct Selection {
  Selection(HDC d, HGDIOBJ o) : dc(d), old(o != nullptr ? SelectObject(d, o) : nullptr) {}
  ~Selection() {
    if (old != nullptr) SelectObject(dc, old);
  }
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;
  HDC dc;
  HGDIOBJ old;
};

// A palette selected (as a background palette) and realized, restored at
// scope end. A null palette selects nothing.
struct PaletteSelection {
  PaletteSelection(HDC d, HPALETTE p, BOOL background = TRUE) : dc(d), background(background) {
    if (p != nullptr) {
      old = SelectPalette(dc, p, background);
      RealizePalette(dc);
    }
  }
  ~PaletteSelection() {
    if (old != nullptr) SelectPalette(dc, old, background);
  }
  PaletteSelection(const PaletteSelection&) = delete;
  PaletteSelection& operator=(const PaletteSelection&) = delete;
  HDC dc;
  BOOL background;
  HPALETTE old = nullptr;
};
