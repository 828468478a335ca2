// Handset's 3D panel steering a real Cantorix.exe playing through
// DirectSound: the values read back from the wave player's 3D buffer with
// command 5021 are the ones the panel published, and a Handset whose panel
// was never shown leaves the buffer as it was.
#include <gtest/gtest.h>

#include <cstring>

#include "common/CommandCodes.h"
#include "common/Shared3DBlock.h"
#include "common/Win32Handles.h"
#include "remote/HandsetLayout.h"
#include "remote/Panel3DWindow.h"
#include "tests/audio/AudioTestFiles.h"
#include "tests/remote/TwoPrograms.h"

namespace {

// Our own handle on "3DShareName", so the block exists whoever else holds it.
class Block {
 public:
  Block()
      : mapping_(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(Shared3DBlock),
                                    kShared3DName)),
        view_(mapping_.get(), FILE_MAP_WRITE, sizeof(Shared3DBlock)) {}
  bool ok() const { return view_.get() != nullptr; }
  Shared3DBlock Get() const {
    Shared3DBlock b;
    std::memcpy(&b, view_.get(), sizeof b);
    return b;
  }
  void Set(const Shared3DBlock& b) { std::memcpy(view_.get(), &b, sizeof b); }

 private:
  UniqueHandle mapping_;
  MappedView view_;
};

constexpr float kMark = -4321.0f;
const Shared3DBlock kMarked = {kMark, kMark, kMark, kMark, kMark, kMark, kMark, kMark, 7, 7};

bool Same(const void* a, const void* b, size_t n) { return std::memcmp(a, b, n) == 0; }

class Handset3DTest : public TwoProgramsTest {
 protected:
  // The player's values of the groups in `mask`, written over a marked
  // block. Handset may publish between our marking and our reading; a
  // group outside the mask still marked shows it did not, else we retry.
  bool ReadBack(uint32_t mask, Shared3DBlock* out) {
    const uint32_t witness = mask == k3DDistances ? k3DPosition : k3DDistances;
    return PumpUntil(
        [&] {
          block_.Set(kMarked);
          SendMessageA(wave_, commandMessage_, MakeCommand(kRouteWave, kCmdRead3D), mask);
          *out = block_.Get();
          return witness == k3DDistances ? Same(&out->maxDistance, &kMarked.maxDistance, 8)
                                         : Same(&out->positionX, &kMarked.positionX, 12);
        },
        3000);
  }
  bool ReadAll(Shared3DBlock* out) {
    Shared3DBlock distances;
    if (!ReadBack(k3DPosition | k3DVelocity | k3DConeAngles, out) || !ReadBack(k3DDistances, &distances)) {
      return false;
    }
    std::memcpy(out, &distances, 8);  // the two distances lead the block
    return true;
  }
  Block block_;
};

TEST_F(Handset3DTest, PanelStepsReachTheSoundBufferAndAHiddenPanelChangesNothing) {
  ASSERT_TRUE(block_.ok());
  const std::string song = folder_.Write("long.wav", SimpleWav(8000, 1, 8, TestPcm(8000 * 600)));
  cantorix_.reset(new ChildProcess(ProgramFolder() + "\\Cantorix.exe " + song));
  FindCantorixWindows();
  ASSERT_NE(wave_, nullptr);
  ASSERT_TRUE(WaitTitle("long"));

  Shared3DBlock before, after;
  ASSERT_TRUE(ReadAll(&before));
  ASSERT_NE(before.coneInsideAngle, kMarked.coneInsideAngle) << "no 3D buffer to read";

  // Handset running, its panel never shown: the buffer keeps its values.
  StartHandset();
  Click(kKeyWave);
  ASSERT_TRUE(PumpUntil([&] { return Chosen(kKeyWave); }, 5000));
  PumpFor(1500);
  ASSERT_TRUE(ReadAll(&after));
  EXPECT_TRUE(Same(&before, &after, sizeof before));

  // Shown and moved: minimum 3, maximum 5, position x 1.0, velocity z -1,
  // inside cone held at the outside one's 60 degrees.
  Click(kKey3D);
  HWND panel = WaitVisible(kPanel3DClass, 3000);
  ASSERT_NE(panel, nullptr);
  auto press = [&](int x, int y, int times = 1) {
    for (int i = 0; i < times; ++i) PostMessageA(panel, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  };
  press(250, 90);
  press(260, 20, 3);
  press(260, 41, 5);
  press(100, 90);
  press(260, 20, 2);
  press(10, 90);
  press(66, 62);
  press(170, 90);
  press(260, 20, 12);
  const Shared3DBlock moved = {5.0f, 3.0f, 1.0f, 0, 0, 0, 0, -1.0f, 60, 60};
  Shared3DBlock got;
  EXPECT_TRUE(PumpUntil(
      [&] {
        return ReadBack(k3DPosition | k3DVelocity | k3DConeAngles, &got) &&
               Same(&got.positionX, &moved.positionX, sizeof moved - 8);
      },
      5000))
      << got.positionX << " " << got.velocityZ << " " << got.coneInsideAngle << "/" << got.coneOutsideAngle;
  ASSERT_TRUE(ReadBack(k3DDistances, &got));
  EXPECT_EQ(got.maxDistance, 5.0f);
  EXPECT_EQ(got.minDistance, 3.0f);

  // The reset zone leaves the buffer audible in the middle.
  press(310, 40);
  EXPECT_TRUE(PumpUntil([&] { return !IsWindowVisible(panel); }, 3000));
  ASSERT_TRUE(ReadBack(k3DDistances, &got));
  EXPECT_EQ(got.minDistance, 1.0f);
  EXPECT_EQ(got.maxDistance, 1.0f);
  ASSERT_TRUE(ReadBack(k3DPosition | k3DConeAngles, &got));
  EXPECT_EQ(got.positionX, 0.0f);
  EXPECT_EQ(got.coneInsideAngle, 30u);

  PostMessageA(panel_, commandMessage_, MakeCommand(kRouteWave, kCmdStop), 0);
}

}  // namespace
