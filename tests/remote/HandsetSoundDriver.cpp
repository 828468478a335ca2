// Started by handset_sound_test.py through tools/wine-run --play, so all
// that Cantorix plays lands in the capture file. CX_HANDSET_CASE says who
// runs beside the wave player while it plays CX_HANDSET_FILE once through
// DirectSound: "alone" (Cantorix only), "hidden" (Handset with its 3D panel
// never shown) or "shown" (the panel shown and its sliders moved first).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "common/CommandCodes.h"
#include "remote/HandsetLayout.h"
#include "remote/Panel3DWindow.h"
#include "tests/remote/TwoPrograms.h"

namespace {

TEST_F(TwoProgramsTest, PlaysTheFileOnceBesideHandset) {
  const char* file = std::getenv("CX_HANDSET_FILE");
  const char* which = std::getenv("CX_HANDSET_CASE");
  ASSERT_NE(file, nullptr);
  ASSERT_NE(which, nullptr);
  const std::string mode = which;

  if (mode == "alone") {
    cantorix_.reset(new ChildProcess(ProgramFolder() + "\\Cantorix.exe"));
  } else {
    StartHandset();  // and Handset starts Cantorix
  }
  FindCantorixWindows();
  ASSERT_NE(wave_, nullptr);

  if (mode == "shown") {
    Click(kKeyWave);
    ASSERT_TRUE(PumpUntil([&] { return Chosen(kKeyWave); }, 10000));
    Click(kKey3D);
    HWND panel = WaitVisible(kPanel3DClass, 3000);
    ASSERT_NE(panel, nullptr);
    // Distances 3 and 7, the sound 2.1 to the right, an inside cone wider
    // than the outside one.
    auto press = [&](int x, int y, int times) {
      for (int i = 0; i < times; ++i) PostMessageA(panel, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    };
    press(250, 90, 1);
    press(260, 20, 3);
    press(260, 41, 7);
    press(100, 90, 1);
    press(260, 20, 3);
    press(170, 90, 1);
    press(260, 20, 15);
    PumpFor(1000);
  }

  ATOM atom = GlobalAddAtomA(file);
  SendMessageA(panel_, commandMessage_, MakeCommand(kRouteMainPanel, kCmdOpenFile), atom);
  GlobalDeleteAtom(atom);
  ASSERT_TRUE(PumpUntil([&] { return !Title().empty(); }, 10000));
  EXPECT_TRUE(PumpUntil([&] { return Title().empty(); }, 60000)) << "still playing " << Title();
}

}  // namespace
