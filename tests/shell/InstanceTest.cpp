// Two real Cantorix processes: the second start hands its file to the first
// and ends; only one main panel ever exists.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/WinTestSupport.h"

namespace {

std::string ProgramPath() { return ProgramFolder() + "\\Cantorix.exe"; }

class InstanceTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(FindTopLevelWindows("CANTORIX").empty()); }

  // Closes the running instance the way its CLOSE key does and checks that
  // it ends cleanly.
  void CloseFirst(ChildProcess& first, HWND panel) {
    PostMessageA(panel, WM_CLOSE, 0, 0);
    EXPECT_EQ(first.Wait(10000), 0);
    EXPECT_TRUE(FindTopLevelWindows("CANTORIX").empty());
  }

  TempFolder dir_;
};

TEST_F(InstanceTest, FirstStartShowsThePanelAtItsPlace) {
  ChildProcess first(ProgramPath());
  ASSERT_TRUE(first.started());
  HWND panel = WaitForShownPanel(15000);
  ASSERT_NE(panel, nullptr);
  char title[64] = {};
  GetWindowTextA(panel, title, sizeof title);
  EXPECT_STREQ(title, "Cantorix");
  RECT r;
  GetWindowRect(panel, &r);
  // Centred as if all four players hung below it.
  EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - 462) / 2);
  EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - 552) / 2);
  EXPECT_EQ(r.right - r.left, 462);
  EXPECT_GE(r.bottom - r.top, 61);
  LONG style = GetWindowLongA(panel, GWL_STYLE);
  EXPECT_TRUE(style & WS_POPUP);
  EXPECT_FALSE(style & WS_CAPTION);
  EXPECT_TRUE(GetWindowLongA(panel, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
  CloseFirst(first, panel);
}

TEST_F(InstanceTest, SecondStartHandsItsFileToTheFirstAndEnds) {
  ChildProcess first(ProgramPath());
  HWND panel = WaitForShownPanel(15000);
  ASSERT_NE(panel, nullptr);

  // A list whose first line names no playable kind makes the first instance
  // say so in a box owned by its panel: proof that it read the handed name.
  std::string list = dir_.Write("handed.m3u", "notes.txt\r\n");
  MessageBoxWatcher watcher("Cantorix Error Reporting", first.id());
  ChildProcess second(ProgramPath() + " " + list);
  ASSERT_TRUE(second.started());
  ASSERT_TRUE(watcher.WaitFor(1, 15000));
  EXPECT_EQ(watcher.Texts()[0], "File in list is not supported.");
  EXPECT_EQ(watcher.Owners()[0], panel);
  EXPECT_EQ(second.Wait(15000), 0);
  EXPECT_EQ(FindTopLevelWindows("CANTORIX").size(), 1u);

  // Without a file the second start only brings the first forward.
  ChildProcess third(ProgramPath() + " /MIN allclose");
  EXPECT_EQ(third.Wait(15000), 0);
  EXPECT_EQ(FindTopLevelWindows("CANTORIX").size(), 1u);
  EXPECT_EQ(watcher.Texts().size(), 1u);
  CloseFirst(first, panel);
}

TEST_F(InstanceTest, FileOnTheCommandLineIsOpenedOnTheFirstPass) {
  std::string list = dir_.Write("start.m3u", "");
  ChildProcess first(ProgramPath() + " /MIN " + list);
  MessageBoxWatcher watcher("Cantorix Error Reporting", first.id());
  ASSERT_TRUE(watcher.WaitFor(1, 15000));
  EXPECT_EQ(watcher.Texts()[0], "File in list is not supported.");
  HWND panel = nullptr;
  ASSERT_TRUE(PumpUntil(
      [&] {
        std::vector<HWND> panels = FindTopLevelWindows("CANTORIX");
        panel = panels.empty() ? nullptr : panels[0];
        return panel != nullptr && IsIconic(panel);
      },
      15000));
  CloseFirst(first, panel);
}

}  // namespace
