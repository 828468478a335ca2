#include <gtest/gtest.h>

#include "tests/remote/TwoPrograms.h"

#include "common/CommandCodes.h"
#include "common/Win32Handles.h"
#include "remote/HandsetLayout.h"
#include "remote/HandsetWindow.h"
#include "waveplayer/WavePlayerLayout.h"

void TwoProgramsTest::SetUp() {
  ASSERT_TRUE(FindTopLevelWindows("CANTORIX").empty());
  ASSERT_TRUE(FindTopLevelWindows(kHandsetClass).empty());
  commandMessage_ = RegisterWindowMessageA(kCommandMessageName);
}

void TwoProgramsTest::TearDown() {
  for (HWND remote : FindTopLevelWindows(kHandsetClass)) PostMessageA(remote, WM_CLOSE, 0, 0);
  if (handset_) EXPECT_EQ(handset_->Wait(15000), 0);
  CloseCantorix();
}

HWND TwoProgramsTest::WaitVisible(const char* className, DWORD timeoutMs) {
  HWND found = nullptr;
  PumpUntil(
      [&] {
        found = FindWindowA(className, nullptr);
        return found != nullptr && IsWindowVisible(found);
      },
      timeoutMs);
  return found != nullptr && IsWindowVisible(found) ? found : nullptr;
}

void TwoProgramsTest::CloseCantorix() {
  for (HWND panel : FindTopLevelWindows("CANTORIX")) {
    DWORD id = 0;
    GetWindowThreadProcessId(panel, &id);
    UniqueHandle process(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, id));
    PostMessageA(panel, WM_CLOSE, 0, 0);
    if (!process) continue;
    const bool ended =
        PumpUntil([&] { return WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0; }, 15000);
    EXPECT_TRUE(ended) << "Cantorix did not close";
    if (!ended) TerminateProcess(process.get(), 1);
  }
  if (cantorix_) EXPECT_EQ(cantorix_->Wait(5000), 0);
  panel_ = wave_ = nullptr;
}

void TwoProgramsTest::StartHandset() {
  handset_.reset(new ChildProcess(ProgramFolder() + "\\Handset.exe"));
  ASSERT_TRUE(handset_->started());
  remote_ = WaitVisible(kHandsetClass);
  ASSERT_NE(remote_, nullptr);
}

void TwoProgramsTest::FindCantorixWindows() {
  panel_ = WaitVisible("CANTORIX");
  ASSERT_NE(panel_, nullptr);
  ASSERT_TRUE(WaitForSettledStart(20000));
  // A start with "allclose" gets its wave player only from the remote's
  // open command, which may come after the panel has settled.
  PumpUntil([&] { return (wave_ = FindWindowExA(panel_, nullptr, kWavePlayerClass, nullptr)) != nullptr; }, 10000);
}

bool TwoProgramsTest::Chosen(int id) const { return SelectorShowsChosen(Key(id)); }

void TwoProgramsTest::Click(int id) const {
  PostMessageA(Key(id), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  PostMessageA(Key(id), WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
}

std::string TwoProgramsTest::Title() const { return WaveTitle(wave_); }

bool TwoProgramsTest::WaitTitle(const std::string& title) const { return WaitWaveTitle(wave_, title); }

int TwoProgramsTest::Image(int id) const { return PictureImage(wave_, id); }
