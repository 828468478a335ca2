// Started by handset_sound_test.py through tools/wine-run --play, so all
// that Cantorix plays lands in the capture file. CX_HANDSET_CASE says who
// runs beside the wave player while it plays CX_HANDSET_FILE once through
// DirectSound: "alone" (Cantorix only), "hidden" (Handset with its 3D panel
// never shown) or "shown" (the panel shown and its sliders moved first; the
// values are then read back from the player's 3D buffer with command 5021).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "common/CommandCodes.h"
#include "common/Shared3DBlock.h"
#include "common/Win32Handles.h"
#include "remote/HandsetLayout.h"
#include "remote/Panel3DWindow.h"
#include "tests/remote/TwoPrograms.h"

namespace {

constexpr float kMark = -4321.0f;

// The player's values of the groups in `mask`, written by it over a marked
// block. Handset may publish between our marking and our reading; the other
// group still marked shows that it did not.
bool PlayerValues(HWND wave, UINT message, Shared3DBlock* block, uint32_t mask, Shared3DBlock* out) {
  *block = Shared3DBlock{kMark, kMark, kMark, kMark, kMark, kMark, kMark, kMark, 7, 7};
  SendMessageA(wave, message, MakeCommand(kRouteWave, kCmdRead3D), mask);
  *out = *block;
  return mask == k3DDistances ? out->positionX == kMark : out->maxDistance == kMark;
}

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
    // than the outside one (held at the outside's 60 degrees).
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
  if (mode == "shown") {
    // Our own handle on the block, so it is there whoever else holds one.
    UniqueHandle mapping(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                            sizeof(Shared3DBlock), kShared3DName));
    MappedView view(mapping.get(), FILE_MAP_WRITE, sizeof(Shared3DBlock));
    auto* block = static_cast<Shared3DBlock*>(view.get());
    ASSERT_NE(block, nullptr);
    Shared3DBlock got{}, distances{};
    EXPECT_TRUE(PumpUntil(
        [&] {
          return PlayerValues(wave_, commandMessage_, block, k3DPosition | k3DVelocity | k3DConeAngles, &got) &&
                 PlayerValues(wave_, commandMessage_, block, k3DDistances, &distances) &&
                 got.positionX == 2.1f && got.positionY == 0.0f && got.velocityX == 0.0f &&
                 got.coneInsideAngle == 60 && got.coneOutsideAngle == 60 && distances.minDistance == 3.0f &&
                 distances.maxDistance == 7.0f;
        },
        5000))
        << "position " << got.positionX << ", cone " << got.coneInsideAngle << "/" << got.coneOutsideAngle
        << ", distances " << distances.minDistance << "-" << distances.maxDistance;
  }
  EXPECT_TRUE(PumpUntil([&] { return Title().empty(); }, 60000)) << "still playing " << Title();
}

}  // namespace
