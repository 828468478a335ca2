// The skin toolkit on real windows: bitmap buttons clicked, dragged off and
// back, disabled; pictures and the LED time display; the level bar, the
// slider, the marker strips and the text strip, checked by their state and
// by the pixels they paint.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "skin/DibButton.h"
#include "common/Win32Handles.h"
#include "skin/SkinControls.h"
#include "skin/SkinPalette.h"
#include "skin/SkinScale.h"
#include "tests/support/WinTestSupport.h"

namespace {

struct Heard {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
std::vector<Heard> gHeard;

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND || message == kMsgSliderMoved) {
    gHeard.push_back(Heard{message, wParam, lParam});
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HINSTANCE Instance() { return GetModuleHandleA(nullptr); }

LPARAM Point(int x, int y) { return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)); }

// The colour of a pixel of a bitmap resource.
COLORREF BitmapPixel(const char* name, int x, int y) {
  GdiObject bitmap(LoadImageA(Instance(), name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (bitmap.object == nullptr) return CLR_INVALID;
  MemoryDc memory(nullptr);
  Selection selected(memory.dc, bitmap.object);
  return GetPixel(memory.dc, x, y);
}

COLORREF WindowPixel(HWND window, int x, int y) {
  UpdateWindow(window);
  WindowDc dc(window);
  return GetPixel(dc.dc, x, y);
}

// The pixels of a bitmap handle, for comparing two images.
std::vector<COLORREF> Pixels(HBITMAP bitmap) {
  std::vector<COLORREF> out;
  BITMAP info = {};
  if (bitmap == nullptr || GetObjectA(bitmap, sizeof info, &info) == 0) return out;
  MemoryDc memory(nullptr);
  Selection selected(memory.dc, bitmap);
  for (int y = 0; y < info.bmHeight; ++y) {
    for (int x = 0; x < info.bmWidth; ++x) out.push_back(GetPixel(memory.dc, x, y));
  }
  return out;
}

std::vector<COLORREF> ResourcePixels(int number) {
  GdiObject bitmap(LoadImageA(Instance(), MAKEINTRESOURCEA(number), IMAGE_BITMAP, 0, 0,
                              LR_CREATEDIBSECTION));
  return Pixels(static_cast<HBITMAP>(bitmap.object));
}

class ToolkitTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(RegisterDibButton(Instance(), MAKEINTRESOURCEA(164)));
    ASSERT_TRUE(RegisterColorText(Instance()));
    ASSERT_TRUE(RegisterLevelBar(Instance()));
    ASSERT_TRUE(RegisterSlider(Instance()));
    ASSERT_TRUE(RegisterMidiTempo(Instance()));
    ASSERT_TRUE(RegisterHandsetTempo(Instance()));
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ParentProc;
    wc.hInstance = Instance();
    wc.lpszClassName = "SkinTestParent";
    RegisterClassA(&wc);
    HPALETTE palette = BuildSkinPalette(Instance(), MAKEINTRESOURCEA(149));
    ASSERT_NE(palette, nullptr);
    SetSkinPalette(palette);
  }

  // One visible parent for the whole suite (showing a new top-level window
  // is slow under Wine); each test removes the controls it made.
  void SetUp() override {
    if (gParent == nullptr) {
      gParent = CreateWindowExA(0, "SkinTestParent", "skin", WS_POPUP | WS_VISIBLE, 0, 0, 400,
                                200, nullptr, nullptr, Instance(), nullptr);
    }
    parent_ = gParent;
    ASSERT_NE(parent_, nullptr);
    gHeard.clear();
  }
  void TearDown() override {
    while (HWND child = GetWindow(parent_, GW_CHILD)) DestroyWindow(child);
    PumpFor(10);
    gHeard.clear();
  }
  static inline HWND gParent = nullptr;

  std::vector<Heard> Commands() {
    PumpFor(20);
    std::vector<Heard> out = gHeard;
    gHeard.clear();
    return out;
  }

  HWND Button(const char* name = "PLAY", int id = 2001) {
    return SkinDibButton(CreateDibButton(Instance(), parent_, id, name, 10, 10, 24, 14));
  }

  HWND parent_ = nullptr;
};

TEST_F(ToolkitTest, ButtonClickSequences) {
  // Each sequence: moves after the press (client points), the release point,
  // and whether a command follows.
  const struct {
    const char* what;
    std::vector<POINT> moves;
    POINT release;
    bool command;
    int slotBeforeRelease;
  } kCases[] = {
      {"press and release inside", {}, {5, 5}, true, kImageDown},
      {"drag off and release outside", {{30, 5}}, {30, 5}, false, kImageUp},
      {"drag off and back, release inside", {{30, 5}, {40, 40}, {3, 3}}, {3, 3}, true, kImageDown},
      {"left of the button counts as outside", {{-3, 5}}, {-3, 5}, false, kImageUp},
      {"above the button counts as outside", {{5, -1}}, {5, -1}, false, kImageUp},
      {"released just past the corner", {}, {24, 14}, false, kImageDown},
  };
  HWND button = Button();
  ASSERT_NE(button, nullptr);
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, Point(5, 5));
    EXPECT_EQ(GetCapture(), button);
    EXPECT_EQ(DibButtonPressState(button), 3);
    for (POINT p : c.moves) SendMessageA(button, WM_MOUSEMOVE, MK_LBUTTON, Point(p.x, p.y));
    EXPECT_EQ(DibButtonImageSlot(button), c.slotBeforeRelease);
    SendMessageA(button, WM_LBUTTONUP, 0, Point(c.release.x, c.release.y));
    EXPECT_NE(GetCapture(), button);
    EXPECT_EQ(DibButtonImageSlot(button), kImageUp);
    EXPECT_EQ(DibButtonPressState(button), 2);
    std::vector<Heard> heard = Commands();
    ASSERT_EQ(heard.size(), c.command ? 1u : 0u);
    if (c.command) {
      EXPECT_EQ(heard[0].wParam, static_cast<WPARAM>(2001 + 65536));
      EXPECT_EQ(heard[0].lParam, reinterpret_cast<LPARAM>(button));
    }
  }
  // A release without a press on the button is no click.
  SendMessageA(button, WM_LBUTTONUP, 0, Point(5, 5));
  EXPECT_TRUE(Commands().empty());
}

TEST_F(ToolkitTest, ButtonPaintsTheImageOfItsState) {
  HWND button = Button();
  const struct { const char* image; } kStates[] = {{"PLAYU"}, {"PLAYD"}, {"PLAYX"}};
  // A point of the key's face where the three images differ.
  const int x = 12, y = 4;
  ASSERT_NE(BitmapPixel("PLAYU", x, y), BitmapPixel("PLAYD", x, y));
  ASSERT_NE(BitmapPixel("PLAYU", x, y), BitmapPixel("PLAYX", x, y));

  EXPECT_EQ(WindowPixel(button, x, y), BitmapPixel(kStates[0].image, x, y));
  SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, Point(5, 5));
  EXPECT_EQ(WindowPixel(button, x, y), BitmapPixel(kStates[1].image, x, y));
  SendMessageA(button, WM_LBUTTONUP, 0, Point(50, 50));
  EnableWindow(button, FALSE);
  EXPECT_EQ(DibButtonImageSlot(button), kImageDisabled);
  EXPECT_EQ(DibButtonPressState(button), 1);
  EXPECT_EQ(WindowPixel(button, x, y), BitmapPixel(kStates[2].image, x, y));
  EnableWindow(button, TRUE);
  EXPECT_EQ(DibButtonImageSlot(button), kImageUp);
  EXPECT_EQ(WindowPixel(button, x, y), BitmapPixel(kStates[0].image, x, y));
}

TEST_F(ToolkitTest, ButtonNamesAndImageSlots) {
  HWND button = Button("SKIPF", 2008);
  EXPECT_STREQ(DibButtonImageName(button, 1), "SKIPFX");
  EXPECT_STREQ(DibButtonImageName(button, 2), "SKIPFU");
  EXPECT_STREQ(DibButtonImageName(button, 3), "SKIPFD");
  EXPECT_EQ(DibButtonImageName(button, 0), nullptr);  // slot 0 is not used
  SetDibButtonImage(button, 2, "STOPU");
  EXPECT_STREQ(DibButtonImageName(button, 2), "STOPU");
  SetDibButtonImage(button, 4, "NOPE");  // no such slot: ignored
  EXPECT_TRUE(IsWindowVisible(button));

  // The longest base name still fits a slot with its suffix.
  std::string base(kMaxButtonBaseName, 'K');
  HWND longest = SkinDibButton(CreateDibButton(Instance(), parent_, 77, base.c_str(), 0, 0, 4, 4));
  ASSERT_NE(longest, nullptr);
  EXPECT_EQ(std::string(DibButtonImageName(longest, 3)), base + "D");
  EXPECT_EQ(strlen(DibButtonImageName(longest, 1)), 259u);
  EXPECT_EQ(SkinDibButton(nullptr), nullptr);
}

TEST_F(ToolkitTest, PicturesSwapTheirImagesAndShowTheTime) {
  HWND pictures[6];
  for (int i = 0; i < 6; ++i) {
    pictures[i] = CreatePicture(Instance(), parent_, kFirstTimeDigitId + i, MAKEINTRESOURCEA(193),
                                20 + 14 * i, 40, 14, 20, "DIGIT");
    ASSERT_NE(pictures[i], nullptr);
  }
  EXPECT_TRUE(IsWindowVisible(pictures[0]));
  EXPECT_EQ(Pixels(reinterpret_cast<HBITMAP>(SendMessageA(pictures[0], STM_GETIMAGE, IMAGE_BITMAP, 0))),
            ResourcePixels(193));

  HGDIOBJ before = reinterpret_cast<HGDIOBJ>(SendMessageA(pictures[1], STM_GETIMAGE, IMAGE_BITMAP, 0));
  ShowTrackTime(parent_, 7, 3, 5);
  const int kExpected[6] = {193, 200, 193, 196, 193, 198};
  for (int i = 0; i < 6; ++i) {
    auto shown = reinterpret_cast<HBITMAP>(SendMessageA(pictures[i], STM_GETIMAGE, IMAGE_BITMAP, 0));
    EXPECT_EQ(Pixels(shown), ResourcePixels(kExpected[i])) << i;
  }
  // The image shown before was deleted when it was replaced.
  EXPECT_EQ(GetObjectType(before), 0u);

  // A missing image leaves the picture as it was.
  HGDIOBJ kept = reinterpret_cast<HGDIOBJ>(SendMessageA(pictures[0], STM_GETIMAGE, IMAGE_BITMAP, 0));
  EXPECT_FALSE(SetPictureImage(pictures[0], "NO SUCH IMAGE"));
  EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageA(pictures[0], STM_GETIMAGE, IMAGE_BITMAP, 0)), kept);
  // A picture frees its image when it goes.
  DestroyWindow(pictures[0]);
  EXPECT_EQ(GetObjectType(kept), 0u);
}

TEST_F(ToolkitTest, PictureClicksReachTheParent) {
  HWND check = CreatePicture(Instance(), parent_, 10004, "CHECKIT", 50, 50, 13, 13);
  SendMessageA(check, WM_LBUTTONDOWN, MK_LBUTTON, Point(3, 3));
  SendMessageA(check, WM_LBUTTONUP, 0, Point(3, 3));
  std::vector<Heard> heard = Commands();
  ASSERT_EQ(heard.size(), 1u);  // one click, one notice
  EXPECT_EQ(LOWORD(heard[0].wParam), 10004);
}

int LitSquares(HWND bar) {
  int lit = 0;
  for (int k = 0; k < 13; ++k) {
    if (WindowPixel(bar, 4, 53 - 4 * k) == RGB(0, 255, 0)) ++lit;
  }
  return lit;
}

TEST_F(ToolkitTest, LevelBarLightsItsSquares) {
  HWND bar = CreateLevelBar(Instance(), parent_, 3400, 100, 20, 9, 59);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(LevelBarLevel(bar), 100);
  EXPECT_EQ(LitSquares(bar), 13);
  const struct { int level, lit; } kCases[] = {{99, 12}, {8, 1}, {7, 0}, {50, 6}, {100, 13}};
  int previous = 100;
  for (const auto& c : kCases) {
    EXPECT_EQ(SendMessageA(bar, kMsgSetLevel, c.level, 0), previous);
    previous = c.level;
    EXPECT_EQ(LitSquares(bar), c.lit) << c.level;
  }
  // Dark squares show the bar's own bitmap.
  SendMessageA(bar, kMsgSetLevel, 0, 0);
  EXPECT_EQ(WindowPixel(bar, 4, 53), BitmapPixel(MAKEINTRESOURCEA(515), 4, 53));
}

TEST_F(ToolkitTest, VerticalSliderPositionsClicksAndDrags) {
  HWND slider = CreateSlider(Instance(), parent_, 3201, 150, 10, 16, 65, kSliderVertical);
  ASSERT_NE(slider, nullptr);
  SetIndicatorImages(slider, "FADERB", "FADER");
  EXPECT_EQ(SendMessageA(slider, kMsgSliderGetRange, 0, 0), 50 * 65536);
  UpdateWindow(slider);
  RECT thumb = SliderThumbRect(slider);
  EXPECT_EQ(thumb.top, 58);  // position 0 of 0..50 sits at the bottom
  EXPECT_EQ(thumb.bottom, 7);

  EXPECT_EQ(SendMessageA(slider, kMsgSliderSetPosition, 50, 0), 1);
  UpdateWindow(slider);
  EXPECT_EQ(SliderThumbRect(slider).top, 0);
  EXPECT_TRUE(Commands().empty());  // no notification asked for
  // The thumb is painted where it was computed.
  EXPECT_EQ(WindowPixel(slider, 5, 3), BitmapPixel("FADER", 5, 3));

  // Out of range: not applied, but the parent still hears of it.
  SendMessageA(slider, kMsgSliderSetPosition, 51, 1);
  EXPECT_EQ(SendMessageA(slider, kMsgSliderGetPosition, 0, 0), 50);
  std::vector<Heard> heard = Commands();
  ASSERT_EQ(heard.size(), 1u);
  EXPECT_EQ(heard[0].wParam, 3201u);
  EXPECT_EQ(heard[0].lParam, 51);

  // Clicks away from the thumb jump.
  const struct { int py, value; } kClicks[] = {{62, 0}, {2, 50}, {32, 25}};
  for (const auto& c : kClicks) {
    UpdateWindow(slider);
    SendMessageA(slider, WM_LBUTTONDOWN, MK_LBUTTON, Point(8, c.py));
    SendMessageA(slider, WM_LBUTTONUP, 0, Point(8, c.py));
    EXPECT_EQ(SendMessageA(slider, kMsgSliderGetPosition, 0, 0), c.value) << c.py;
    heard = Commands();
    ASSERT_EQ(heard.size(), 1u) << c.py;  // the release does not notify
    EXPECT_EQ(heard[0].lParam, c.value);
  }

  // A drag from the thumb (now at y 29 for 25) follows the pointer.
  UpdateWindow(slider);
  ASSERT_EQ(SliderThumbRect(slider).top, 29);
  SendMessageA(slider, WM_LBUTTONDOWN, MK_LBUTTON, Point(8, 31));  // grabbed 2 rows in
  EXPECT_TRUE(Commands().empty());
  SendMessageA(slider, WM_MOUSEMOVE, MK_LBUTTON, Point(8, 40));
  EXPECT_EQ(SendMessageA(slider, kMsgSliderGetPosition, 0, 0), 50 - 50 * (40 - 2) / 58);
  SendMessageA(slider, WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, Point(8, 10));  // other keys: ignored
  EXPECT_EQ(SendMessageA(slider, kMsgSliderGetPosition, 0, 0), 50 - 50 * 38 / 58);
  SendMessageA(slider, WM_MOUSEMOVE, MK_LBUTTON, Point(8, 70));  // beyond the end: ignored
  EXPECT_EQ(SendMessageA(slider, kMsgSliderGetPosition, 0, 0), 50 - 50 * 38 / 58);
  SendMessageA(slider, WM_MOUSEMOVE, MK_LBUTTON, Point(8, 1));
  EXPECT_EQ(SendMessageA(slider, kMsgSliderGetPosition, 0, 0), 50);
  SendMessageA(slider, WM_LBUTTONUP, 0, Point(8, 1));
  EXPECT_EQ(Commands().size(), 2u);  // the two applied moves
  SendMessageA(slider, WM_MOUSEMOVE, MK_LBUTTON, Point(8, 40));  // no longer dragging
  EXPECT_EQ(SendMessageA(slider, kMsgSliderGetPosition, 0, 0), 50);
}

TEST_F(ToolkitTest, HorizontalSliderAndRange) {
  HWND slider = CreateSlider(Instance(), parent_, 3301, 150, 100, 50, 14, 0);
  SetIndicatorImages(slider, "BALENCEB", "BALENCE");
  SendMessageA(slider, kMsgSliderSetPosition, 25, 0);
  UpdateWindow(slider);
  RECT thumb = SliderThumbRect(slider);
  EXPECT_EQ(thumb.left, 22);
  EXPECT_EQ(thumb.top, 5);
  EXPECT_EQ(SendMessageA(slider, kMsgSliderSetRange, 40 * 65536 + 10, 0), 1);
  EXPECT_EQ(SendMessageA(slider, kMsgSliderGetRange, 0, 0), 40 * 65536 + 10);
  SendMessageA(slider, WM_LBUTTONDOWN, MK_LBUTTON, Point(1, 7));
  SendMessageA(slider, WM_LBUTTONUP, 0, Point(1, 7));
  EXPECT_EQ(SendMessageA(slider, kMsgSliderGetPosition, 0, 0), 10);
  SendMessageA(slider, WM_LBUTTONDOWN, MK_LBUTTON, Point(49, 7));
  SendMessageA(slider, WM_LBUTTONUP, 0, Point(49, 7));
  EXPECT_EQ(SendMessageA(slider, kMsgSliderGetPosition, 0, 0), 40);
}

TEST_F(ToolkitTest, MarkerStrips) {
  HWND midi = CreateWindowExA(0, kMidiTempoClass, "", WS_CHILD | WS_VISIBLE, 10, 150, 261, 9,
                              parent_, reinterpret_cast<HMENU>(2100), Instance(), nullptr);
  HWND remote = CreateWindowExA(0, kHandsetTempoClass, "", WS_CHILD | WS_VISIBLE, 10, 170, 181, 9,
                                parent_, reinterpret_cast<HMENU>(30016), Instance(), nullptr);
  ASSERT_NE(midi, nullptr);
  ASSERT_NE(remote, nullptr);
  EXPECT_EQ(SendMessageA(midi, kMsgGetMarker, 0, 0), -1);
  EXPECT_EQ(SendMessageA(remote, kMsgGetMarker, 0, 0), 9);
  const struct { HWND strip; int position; bool drawn; } kCases[] = {
      {midi, -1, false}, {midi, 0, true}, {midi, 28, true}, {midi, 29, false},
      {remote, 0, true}, {remote, 19, true},
  };
  for (const auto& c : kCases) {
    SendMessageA(c.strip, kMsgSetMarker, c.position, 0);
    EXPECT_EQ(SendMessageA(c.strip, kMsgGetMarker, 0, 0), c.position);
    EXPECT_EQ(MarkerDrawn(c.strip, c.position), c.drawn);
    // The marker's inside is white; without a marker the strip shows.
    int x = 9 * c.position + 4;
    if (x < 0 || x >= (c.strip == midi ? 261 : 181)) continue;
    COLORREF pixel = WindowPixel(c.strip, x, 4);
    if (c.drawn) {
      EXPECT_EQ(pixel, RGB(255, 255, 255)) << c.position;
      EXPECT_EQ(WindowPixel(c.strip, 9 * c.position + 1, 1), RGB(0, 0, 0));  // the pen's edge
    } else {
      EXPECT_EQ(pixel, BitmapPixel(MAKEINTRESOURCEA(477), x, 4)) << c.position;
    }
  }
}

TEST_F(ToolkitTest, ColorTextShowsAndWipesItsText) {
  HWND strip = CreateColorText(Instance(), parent_, 2038, 200, 20, 160, 16);
  ASSERT_NE(strip, nullptr);
  EXPECT_FALSE(IsWindowEnabled(strip));
  auto countYellow = [&]() {
    UpdateWindow(strip);
    WindowDc dc(strip);
    int yellow = 0;
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 160; ++x) yellow += GetPixel(dc.dc, x, y) == RGB(255, 255, 0);
    }
    return yellow;
  };
  SetWindowTextA(strip, "A long title that fills the line");
  int longText = countYellow();
  EXPECT_GT(longText, 50);
  SetWindowTextA(strip, "Hi");
  int shortText = countYellow();
  EXPECT_GT(shortText, 0);
  EXPECT_LT(shortText, longText / 4);  // the blanks wiped the longer text
  SetWindowTextA(strip, "");
  EXPECT_EQ(countYellow(), 0);
  EXPECT_EQ(SendMessageA(strip, WM_USER + 1, 5, 5), 0);
  EXPECT_EQ(SendMessageA(strip, WM_USER + 2, 5, 5), 0);
}

TEST_F(ToolkitTest, CountedClassesGoAwayWithTheirLastUser) {
  WNDCLASSA wc;
  ASSERT_TRUE(RegisterSlider(Instance()));  // a second user
  UnregisterSlider(Instance());
  EXPECT_TRUE(GetClassInfoA(Instance(), kSliderClass, &wc));
  // The suite's own registration is the last one.
  UnregisterSlider(Instance());
  EXPECT_FALSE(GetClassInfoA(Instance(), kSliderClass, &wc));
  ASSERT_TRUE(RegisterSlider(Instance()));
}

// The skin at a scale for one test, back at 1 however the test ends.
struct ScaleForTest {
  explicit ScaleForTest(int scale) { SetSkinScale(scale); }
  ~ScaleForTest() { SetSkinScale(1); }
};

// At three times the skin the controls are three times their size, answer
// the mouse at three times their points (their values and thumb stay in
// skin units) and paint every pixel of their bitmaps as a 3 x 3 square.
TEST_F(ToolkitTest, AtThreeTimesTheSkinControlsAnswerAtTheirScaledPoints) {
  ScaleForTest scale(3);
  HWND slider = CreateSlider(Instance(), parent_, 3201, 10, 0, 16, 65, kSliderVertical);
  SetIndicatorImages(slider, "FADERB", "FADER");
  HWND button = SkinDibButton(CreateDibButton(Instance(), parent_, 2001, "PLAY", 40, 0, 24, 14));
  HWND picture = CreatePicture(Instance(), parent_, 2032, MAKEINTRESOURCEA(193), 70, 0, 14, 20);
  RECT client;
  GetClientRect(slider, &client);
  EXPECT_EQ(client.right, 48);
  EXPECT_EQ(client.bottom, 195);
  GetClientRect(button, &client);
  EXPECT_EQ(client.right, 72);
  EXPECT_EQ(client.bottom, 42);
  GetClientRect(picture, &client);
  EXPECT_EQ(client.right, 42);
  EXPECT_EQ(client.bottom, 60);

  const struct { int py, value; } kClicks[] = {{62, 0}, {2, 50}, {32, 25}};
  for (const auto& c : kClicks) {
    UpdateWindow(slider);
    SendMessageA(slider, WM_LBUTTONDOWN, MK_LBUTTON, Point(24, 3 * c.py + 1));
    SendMessageA(slider, WM_LBUTTONUP, 0, Point(24, 3 * c.py + 1));
    EXPECT_EQ(SendMessageA(slider, kMsgSliderGetPosition, 0, 0), c.value) << c.py;
  }
  UpdateWindow(slider);
  ASSERT_EQ(SliderThumbRect(slider).top, 29);
  for (int dy = 0; dy < 3; ++dy) {
    for (int dx = 0; dx < 3; ++dx) {
      EXPECT_EQ(WindowPixel(slider, 3 * 5 + dx, 3 * (29 + 3) + dy), BitmapPixel("FADER", 5, 3));
      EXPECT_EQ(WindowPixel(button, 3 * 11 + dx, 3 * 3 + dy), BitmapPixel("PLAYU", 11, 3));
      EXPECT_EQ(WindowPixel(picture, 3 * 7 + dx, 3 * 10 + dy), BitmapPixel(MAKEINTRESOURCEA(193), 7, 10));
    }
  }

  Commands();  // the slider's notices
  // The button's last skin pixel column is its last three pixels; one more
  // is outside it.
  SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, Point(71, 41));
  SendMessageA(button, WM_LBUTTONUP, 0, Point(71, 41));
  std::vector<Heard> heard = Commands();
  ASSERT_EQ(heard.size(), 1u);
  EXPECT_EQ(LOWORD(heard[0].wParam), 2001);
  SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, Point(30, 20));
  SendMessageA(button, WM_LBUTTONUP, 0, Point(72, 20));
  EXPECT_TRUE(Commands().empty());
}

}  // namespace
