// Puts the main panel, with stand-in player modules that show their faces,
// and the configuration window on the screen, checks that what the screen
// shows is the skin, and saves both as BMP files in build/screenshots/ for
// review (tools/screenshots turns them into PNG files).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "shell/App.h"
#include "shell/ConfigWindow.h"
#include "skin/DibButton.h"
#include "common/Win32Handles.h"
#include "skin/SkinControls.h"
#include "skin/SkinPalette.h"
#include "skin/SkinScale.h"
#include "tests/shell/PanelTestSupport.h"
#include "tests/support/ScreenCapture.h"
#include "tests/support/WinTestSupport.h"

namespace {

// A stand-in player module: its face and its keys, as its window will have them.
struct ModuleKey {
  const char* name;
  int x, y;
  bool enabled;
};
const ModuleKey kCdKeys[] = {
    {"PLAYLIST", 346, 33, true}, {"EJECT", 370, 33, true}, {"TRACKF", 420, 33, false},
    {"TRACKB", 395, 33, false},  {"PLAY", 345, 58, true},  {"STOP", 370, 58, false},
    {"PAUSE", 395, 58, false},   {"SKIPF", 420, 58, false}, {"SKIPB", 321, 58, false}};
const ModuleKey kWaveKeys[] = {
    {"PLAYLIST", 371, 33, true}, {"TRACKB", 396, 33, true}, {"TRACKF", 421, 33, true},
    {"SKIPB", 321, 58, true},    {"PLAY", 346, 58, true},   {"STOP", 371, 58, true},
    {"PAUSE", 396, 58, true},    {"SKIPF", 421, 58, true},  {"RECFILE", 346, 137, true},
    {"RECPLAY", 371, 137, true}, {"RECSTOP", 396, 137, false}, {"RECPAUSE", 421, 137, false}};
const ModuleKey kMidiKeys[] = {
    {"PLAYLIST", 371, 33, true}, {"TRACKF", 421, 33, false}, {"TRACKB", 396, 33, false},
    {"PLAY", 346, 58, false},    {"STOP", 371, 58, false},   {"PAUSE", 396, 58, false},
    {"SKIPF", 421, 58, false},   {"SKIPB", 321, 58, false}};

int gFaceOf[4] = {499, 165, 478, 481};

LRESULT CALLBACK ModuleProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    SkinPaint paint(window);
    int face = static_cast<int>(GetWindowLongPtrA(window, GWLP_USERDATA));
    PaintResourceBitmap(paint.dc, gApp.instance, MAKEINTRESOURCEA(face), 0, 0, paint.width, paint.height);
    if (face != 499) {
      HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
      RECT lcd = {17, 15, 300, 72};
      FillRect(paint.dc, &lcd, black);
      RECT rec = {17, 93, 300, 150};
      if (face == 481) FillRect(paint.dc, &rec, black);
    }
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void AddKeys(HWND module, const ModuleKey* keys, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    HWND key = SkinDibButton(CreateDibButton(gApp.instance, module, 2000 + static_cast<int>(i),
                                             keys[i].name, keys[i].x, keys[i].y, 24, 14));
    if (!keys[i].enabled) EnableWindow(key, FALSE);
  }
}

void AddDisplay(HWND module, int track, int minutes, int seconds, int recordRow) {
  const int kDigitX[6] = {65, 82, 107, 121, 140, 154};
  for (int i = 0; i < 6; ++i) {
    CreatePicture(gApp.instance, module, 2032 + i, MAKEINTRESOURCEA(193), kDigitX[i], 31, 14, 20);
  }
  ShowTrackTime(module, track, minutes, seconds);
  CreatePicture(gApp.instance, module, 0, MAKEINTRESOURCEA(203), 66, 20, 30, 6);
  CreatePicture(gApp.instance, module, 0, MAKEINTRESOURCEA(451), 115, 20, 30, 6);
  CreatePicture(gApp.instance, module, 0, MAKEINTRESOURCEA(452), 147, 20, 30, 6);
  CreatePicture(gApp.instance, module, 2041, MAKEINTRESOURCEA(446), 260, 20, 34, 8);
  CreatePicture(gApp.instance, module, 2040, MAKEINTRESOURCEA(453), 260, 32, 34, 8);
  CreatePicture(gApp.instance, module, 2042, MAKEINTRESOURCEA(449), 260, 44, 34, 8);
  for (int k = 1; k <= 20; ++k) {
    int image = k < track ? 202 + 2 * k : 203 + 2 * k;
    CreatePicture(gApp.instance, module, 2009 + k, MAKEINTRESOURCEA(image), 196 + 12 * ((k - 1) % 5),
                  20 + 12 * ((k - 1) / 5), 10, 9);
  }
  HWND title = CreateColorText(gApp.instance, module, 2038, 27, 56, 160, 16);
  SetWindowTextA(title, "Track title");
  if (recordRow > 0) {
    for (int i = 0; i < 4; ++i) {
      CreatePicture(gApp.instance, module, 2054 + i, MAKEINTRESOURCEA(193 + (i == 3 ? 7 : 0)),
                    kDigitX[2 + i], recordRow, 14, 20);
    }
  }
}

HWND CreateModule(HWND panel, PlayerIndex player) {
  static bool registered = false;
  if (!registered) {
    registered = true;
    for (int i = 0; i < kPlayerCount; ++i) {
      WNDCLASSA wc = {};
      wc.lpfnWndProc = ModuleProc;
      wc.hInstance = gApp.instance;
      wc.lpszClassName = StandInModule(static_cast<PlayerIndex>(i), nullptr).className;
      UnregisterClassA(wc.lpszClassName, gApp.instance);
      RegisterClassA(&wc);
    }
  }
  const PlayerModule info = StandInModule(player, nullptr);
  HWND module = CreateWindowExA(0, info.className, "", WS_CHILD | WS_CLIPCHILDREN, 0, 0, Scaled(462),
                                Scaled(info.height), panel, nullptr, gApp.instance, nullptr);
  SetWindowLongPtrA(module, GWLP_USERDATA, gFaceOf[player]);
  switch (player) {
    case kPlayerCd:
      AddKeys(module, kCdKeys, 9);
      AddDisplay(module, 4, 2, 37, 0);
      break;
    case kPlayerMidi:
      AddKeys(module, kMidiKeys, 8);
      AddDisplay(module, 1, 0, 0, 0);
      CreatePicture(gApp.instance, module, 2031, "SLOWU", 18, 80, 10, 9);
      CreatePicture(gApp.instance, module, 2030, "FASTU", 292, 80, 10, 9);
      RegisterMidiTempo(gApp.instance);
      SendMessageA(CreateSkinChild(0, kMidiTempoClass, "", WS_CHILD | WS_VISIBLE, 29, 80, 261, 9, module, 2100,
                                   gApp.instance),
                   kMsgSetMarker, 11, 0);
      break;
    case kPlayerWave:
      AddKeys(module, kWaveKeys, 12);
      AddDisplay(module, 12, 3, 41, 114);
      break;
    default: {
      RegisterLevelBar(gApp.instance);
      RegisterSlider(gApp.instance);
      const int kBars[][2] = {{22, 49}, {72, 101}, {125, 153}, {178, 205}};
      const int kFaders[] = {32, 83, 135, 188};
      const int kBalances[] = {14, 63, 117, 169};
      const char* kTracks[] = {"BALENCEB1", "BALENCEB1", "BALENCEB2", "BALENCEB3"};
      for (int i = 0; i < 4; ++i) {
        SendMessageA(CreateLevelBar(gApp.instance, module, 0, kBars[i][0], 20, 9, 59), kMsgSetLevel, 80 - 15 * i, 0);
        SendMessageA(CreateLevelBar(gApp.instance, module, 0, kBars[i][1], 20, 9, 59), kMsgSetLevel, 70 - 15 * i, 0);
        HWND fader = CreateSlider(gApp.instance, module, 3200 + i, kFaders[i], 15, 16, 65, 1);
        SetIndicatorImages(fader, "FADERB", "FADER");
        SendMessageA(fader, kMsgSliderSetPosition, 40 - 8 * i, 0);
        HWND balance = CreateSlider(gApp.instance, module, 3300 + i, kBalances[i], 82, 50, 14, 0);
        SetIndicatorImages(balance, kTracks[i], "BALENCE");
        SendMessageA(balance, kMsgSliderSetPosition, 25, 0);
        CreatePicture(gApp.instance, module, 3000 + i, MAKEINTRESOURCEA(i == 2 ? 505 : 504),
                      kFaders[i] - 1 + (i == 0 ? -1 : 0), 6, 18, 6);
      }
      const char* kPages[] = {"PLAYBACK", "RECORD", "ADVANCE"};
      for (int i = 0; i < 3; ++i) {
        HWND key = SkinDibButton(CreateDibButton(gApp.instance, module, 3100 + i, kPages[i], 389,
                                                 31 + (i == 2 ? 35 : 18 * i), 60, 14));
        if (i == 0) EnableWindow(key, FALSE);
      }
    }
  }
  return module;
}

template <PlayerIndex P>
HWND CreateModuleOf(const PlayerHost&, HWND panel) { return CreateModule(panel, P); }


COLORREF ResourcePixel(const char* name, int x, int y) {
  GdiObject bitmap(LoadImageA(gApp.instance, name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  MemoryDc memory(nullptr);
  Selection selected(memory.dc, bitmap.object);
  return GetPixel(memory.dc, x, y);
}

std::string OutputFolder() {
  const char* binary = std::getenv("CX_BINARY_DIR");
  std::string folder = std::string(binary != nullptr ? binary : ".") + "/../screenshots";
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

// A main panel at (20, 20) whose slots hold the stand-in faces.
HWND CreateFacesPanel() {
  PreparePanelClasses();
  RegisterColorText(GetModuleHandleA(nullptr));
  HWND panel = CreateTestPanel();
  if (panel == nullptr) return nullptr;
  static const PlayerModule faces[kPlayerCount] = {
      StandInModule(kPlayerMixer, CreateModuleOf<kPlayerMixer>),
      StandInModule(kPlayerCd, CreateModuleOf<kPlayerCd>),
      StandInModule(kPlayerMidi, CreateModuleOf<kPlayerMidi>),
      StandInModule(kPlayerWave, CreateModuleOf<kPlayerWave>)};
  for (int i = 0; i < kPlayerCount; ++i) RegisterPlayerModule(static_cast<PlayerIndex>(i), &faces[i]);
  SetWindowPos(panel, HWND_TOPMOST, 20, 20, 0, 0, SWP_NOSIZE);
  return panel;
}

TEST(Screenshot, MainPanelAndConfigurationWindowShowTheSkin) {
  HWND panel = CreateFacesPanel();
  ASSERT_NE(panel, nullptr);
  for (int i = 0; i < kPlayerCount; ++i) OpenPlayer(panel, static_cast<PlayerIndex>(i));
  RedrawWindow(panel, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpFor(600);
  std::string folder = OutputFolder();
  std::vector<COLORREF> shot = CaptureWindow(panel, folder + "/main-panel.bmp");
  ASSERT_EQ(shot.size(), 462u * 552u);
  // The panel's face and its keys are what the screen shows.
  auto at = [&](int x, int y) { return shot[y * 462 + x]; };
  EXPECT_EQ(at(100, 40), ResourcePixel(MAKEINTRESOURCEA(149), 100, 40));
  EXPECT_EQ(at(251 + 11, 30 + 3), ResourcePixel("CDU", 11, 3));
  EXPECT_EQ(at(18 + 20, 34 + 1), ResourcePixel("POWERU", 20, 1));
  EXPECT_EQ(at(5, 61 + 50), ResourcePixel(MAKEINTRESOURCEA(499), 5, 50));

  SendMessageA(panel, WM_COMMAND, 1109, 0);
  HWND config = ConfigWindowHandle();
  ASSERT_NE(config, nullptr);
  SetWindowPos(config, HWND_TOPMOST, 520, 20, 0, 0, SWP_NOSIZE);
  RedrawWindow(config, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpFor(600);
  std::vector<COLORREF> dialog = CaptureWindow(config, folder + "/config-window.bmp");
  ASSERT_EQ(dialog.size(), 347u * 214u);
  EXPECT_EQ(dialog[10 * 347 + 5], ResourcePixel(MAKEINTRESOURCEA(604), 5, 10));
  EXPECT_EQ(dialog[(71 + 2) * 347 + 234 + 30], ResourcePixel("OKU", 30, 2));
  SendMessageA(config, WM_CLOSE, 0, 0);
  DestroyWindow(panel);
  PumpFor(20);
}

// How many pixels of `big` differ from the pixel of `small` they cover when
// `small` (width w) is blown up `scale` times, nearest pixel.
int PixelsOffTheBlowUp(const std::vector<COLORREF>& small, int w, const std::vector<COLORREF>& big, int scale) {
  const int bigWidth = w * scale;
  int off = 0;
  for (size_t i = 0; i < big.size(); ++i) {
    const int x = static_cast<int>(i % bigWidth) / scale, y = static_cast<int>(i / bigWidth) / scale;
    if (big[i] != small[static_cast<size_t>(y * w + x)]) ++off;
  }
  return off;
}

std::vector<COLORREF> Repainted(HWND panel, const std::string& path) {
  RedrawWindow(panel, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpFor(300);
  return CaptureWindow(panel, path);
}

SIZE WindowSize(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

// A press and release at a point of the panel's client area, delivered to
// whatever window is there, as the mouse would.
HWND ClickPanelAt(HWND panel, POINT point) {
  ClientToScreen(panel, &point);
  HWND hit = WindowFromPoint(point);
  POINT local = point;
  ScreenToClient(hit, &local);
  SendMessageA(hit, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(local.x, local.y));
  SendMessageA(hit, WM_LBUTTONUP, 0, MAKELPARAM(local.x, local.y));
  PumpFor(100);
  return hit;
}

void MoveToDpi(HWND panel, int dpi) {
  RECT r;
  GetWindowRect(panel, &r);
  SendMessageA(panel, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&r));
}

// Moved to a 192-dpi monitor the panel lays itself out at twice the skin:
// every pixel of the stack (bitmaps, LED digits, text, the marker strip,
// sliders, level bars, lamps, the shape) is the 96-dpi pixel blown up, the
// keys sit at their doubled places, and back at 96 dpi it is the same
// picture as before, pixel for pixel. The stack is the mixer, MIDI and wave
// modules: all four at 192 dpi are taller than the test screen.
TEST(Screenshot, AtTwiceTheDpiTheStackIsTheSkinBlownUpPixelForPixel) {
  HWND panel = CreateFacesPanel();
  ASSERT_NE(panel, nullptr);
  for (PlayerIndex p : {kPlayerMixer, kPlayerMidi, kPlayerWave}) OpenPlayer(panel, p);
  const std::string folder = OutputFolder();
  const std::vector<COLORREF> plain = Repainted(panel, folder + "/stack-96dpi.bmp");
  ASSERT_EQ(plain.size(), 462u * 462u);

  MoveToDpi(panel, 192);
  EXPECT_EQ(SkinScale(), 2);
  const SIZE doubled = WindowSize(panel);
  EXPECT_EQ(doubled.cx, 924);
  EXPECT_EQ(doubled.cy, 924);
  const std::vector<COLORREF> big = Repainted(panel, folder + "/stack-192dpi.bmp");
  ASSERT_EQ(big.size(), 924u * 924u);
  EXPECT_EQ(PixelsOffTheBlowUp(plain, 462, big, 2), 0);

  // The WAVE key's centre (282 + 11, 32 + 11) at twice the skin is the
  // key, and pressing there closes the wave module.
  EXPECT_EQ(ClickPanelAt(panel, POINT{2 * 293, 2 * 43}), GetDlgItem(panel, kButtonWave));
  EXPECT_EQ(WindowSize(panel).cy, 2 * (462 - 170));
  // Outside the shape (its cut-away top right corner) is not the panel.
  POINT corner = {2 * 300, 2};
  ClientToScreen(panel, &corner);
  EXPECT_NE(WindowFromPoint(corner), panel);

  MoveToDpi(panel, 96);
  EXPECT_EQ(SkinScale(), 1);
  EXPECT_EQ(ClickPanelAt(panel, POINT{293, 43}), GetDlgItem(panel, kButtonWave));
  EXPECT_EQ(WindowSize(panel).cx, 462);
  EXPECT_EQ(WindowSize(panel).cy, 462);
  const std::vector<COLORREF> again = Repainted(panel, folder + "/stack-96dpi-again.bmp");
  ASSERT_EQ(again.size(), plain.size());
  EXPECT_EQ(PixelsOffTheBlowUp(plain, 462, again, 1), 0);
  SetSkinScale(1);
  DestroyWindow(panel);
  PumpFor(20);
}

}  // namespace
