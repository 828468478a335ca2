// Started by dpi_end_to_end_test.py in a prefix of a given DPI: starts the
// real Cantorix without players, checks the main panel's size at the skin's
// scale (CX_DPI_SCALE), saves it, presses the WAVE key by its place at that
// scale and saves the panel with the wave player under it, as BMP files in
// CX_DPI_OUT. The script compares the pictures of the two prefixes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/ScreenCapture.h"
#include "tests/support/WinTestSupport.h"

namespace {

int Scale() {
  const char* text = std::getenv("CX_DPI_SCALE");
  const int scale = text != nullptr ? std::atoi(text) : 0;
  return scale >= 1 && scale <= 8 ? scale : 1;
}

std::string Out(const char* name) {
  const char* folder = std::getenv("CX_DPI_OUT");
  return std::string(folder != nullptr ? folder : ".") + "\\" + name;
}

SIZE WindowSize(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

// Each picture is taken after the panel has painted itself anew and the
// screen has shown the same for half a second with no window over it: Wine
// shows a window that changed size a little after its program has painted
// it, and copies it from the screen, where another window may lie on it.
std::vector<COLORREF> SettledCapture(HWND panel, const std::string& path) {
  RedrawWindow(panel, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  std::vector<COLORREF> last;
  std::vector<std::string> covering;
  DWORD sameSince = GetTickCount();
  const bool settled = PumpUntil(
      [&] {
        covering = CoveringWindows(panel);
        std::vector<COLORREF> now = CaptureWindow(panel, path);
        if (now.empty() || now != last || !covering.empty()) sameSince = GetTickCount();
        last = std::move(now);
        return GetTickCount() - sameSince >= 500;
      },
      15000);
  EXPECT_TRUE(settled) << "the picture did not settle" << (covering.empty() ? "" : "; over the panel:");
  for (const std::string& window : covering) ADD_FAILURE() << "  " << window;
  return last;
}

TEST(Dpi, ThePanelAndTheWavePlayerAreDrawnAtTheSkinsScale) {
  const int scale = Scale();
  ChildProcess cantorix(ProgramFolder() + "\\Cantorix.exe allclose");
  ASSERT_TRUE(cantorix.started());
  HWND panel = WaitForShownPanel(30000);
  ASSERT_NE(panel, nullptr);
  SIZE size = WindowSize(panel);
  printf("panel %ldx%ld\n", size.cx, size.cy);
  EXPECT_EQ(size.cx, 462 * scale);
  EXPECT_EQ(size.cy, 61 * scale);
  EXPECT_FALSE(SettledCapture(panel, Out("panel.bmp")).empty());

  // The WAVE key's centre, (282 + 11, 32 + 11) in the skin, at the scale.
  POINT point = {293 * scale, 43 * scale};
  ClientToScreen(panel, &point);
  HWND key = WindowFromPoint(point);
  char className[32] = {};
  GetClassNameA(key, className, sizeof className);
  EXPECT_STREQ(className, "DibButton");
  EXPECT_EQ(GetDlgCtrlID(key), 1108);  // WAVE
  POINT local = point;
  ScreenToClient(key, &local);
  SendMessageA(key, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(local.x, local.y));
  SendMessageA(key, WM_LBUTTONUP, 0, MAKELPARAM(local.x, local.y));
  EXPECT_TRUE(PumpUntil([&] { return WindowSize(panel).cy == (61 + 170) * scale; }, 15000));
  size = WindowSize(panel);
  printf("with the wave player %ldx%ld\n", size.cx, size.cy);
  EXPECT_FALSE(SettledCapture(panel, Out("wave.bmp")).empty());

  PostMessageA(panel, WM_CLOSE, 0, 0);
  EXPECT_EQ(cantorix.Wait(15000), 0);
}

}  // namespace
