#include "tests/support/ScreenCapture.h"

#include <cstdint>
#include <cstdio>

#include "common/Win32Handles.h"

std::vector<COLORREF> CaptureWindow(HWND window, const std::string& path) {
  RECT r;
  GetWindowRect(window, &r);
  int w = r.right - r.left, h = r.bottom - r.top;
  // Read from the window's own surface, not from the screen: windows of
  // tests running beside this one may lie on top of it, and the screen may
  // not yet show what was painted when the machine is busy.
  WindowDc screen(nullptr);
  MemoryDc memory(screen.dc);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  GdiObject section(CreateDIBSection(screen.dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  std::vector<COLORREF> pixels;
  if (section.object == nullptr) return pixels;
  {
    HDC own = GetWindowDC(window);
    Selection selected(memory.dc, section.object);
    BitBlt(memory.dc, 0, 0, w, h, own, 0, 0, SRCCOPY);
    GdiFlush();
    ReleaseDC(window, own);
  }
  const auto* p = static_cast<const uint8_t*>(bits);
  for (int i = 0; i < w * h; ++i) pixels.push_back(RGB(p[4 * i + 2], p[4 * i + 1], p[4 * i]));
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return pixels;
  int stride = (w * 3 + 3) & ~3;
  uint32_t imageSize = static_cast<uint32_t>(stride * h);
  BITMAPFILEHEADER fh = {0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + imageSize), 0, 0,
                         sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
  BITMAPINFOHEADER ih = info.bmiHeader;
  ih.biHeight = h;
  ih.biBitCount = 24;
  ih.biSizeImage = imageSize;
  std::fwrite(&fh, sizeof fh, 1, f);
  std::fwrite(&ih, sizeof ih, 1, f);
  std::vector<uint8_t> row(stride);
  for (int y = h - 1; y >= 0; --y) {
    for (int x = 0; x < w; ++x) {
      const uint8_t* q = p + 4 * (y * w + x);
      row[3 * x] = q[0];
      row[3 * x + 1] = q[1];
      row[3 * x + 2] = q[2];
    }
    std::fwrite(row.data(), 1, stride, f);
  }
  std::fclose(f);
  return pixels;
}

std::vector<std::string> CoveringWindows(HWND window) {
  std::vector<std::string> covering;
  RECT own;
  if (!GetWindowRect(window, &own)) return covering;
  for (HWND above = GetWindow(window, GW_HWNDPREV); above != nullptr; above = GetWindow(above, GW_HWNDPREV)) {
    RECT r, overlap;
    if (!IsWindowVisible(above) || !GetWindowRect(above, &r) || !IntersectRect(&overlap, &own, &r)) continue;
    char name[64] = {};
    char title[64] = {};
    GetClassNameA(above, name, sizeof name);
    GetWindowTextA(above, title, sizeof title);
    char text[200];
    std::snprintf(text, sizeof text, "%s \"%s\" (%ld,%ld)-(%ld,%ld)", name, title, r.left, r.top, r.right, r.bottom);
    covering.push_back(text);
  }
  return covering;
}
