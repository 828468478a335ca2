// Two real Cantorix processes: the second start hands its file to the first
// and ends; only one main panel ever exists.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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

// Ten starts at once, each with its own file: exactly one instance stays,
// and every file reaches it (each list names no playable kind, so each one
// read makes a box of the survivor).
TEST_F(InstanceTest, TenSimultaneousStartsLeaveOneInstanceWithEveryFile) {
  const int kStarts = 10;
  std::vector<std::string> lists;
  for (int i = 0; i < kStarts; ++i) {
    lists.push_back(dir_.Write("handed" + std::to_string(i) + ".m3u", "notes" + std::to_string(i) + ".txt\r\n"));
  }
  std::vector<std::unique_ptr<ChildProcess>> starts;
  std::vector<std::unique_ptr<MessageBoxWatcher>> watchers;
  for (int i = 0; i < kStarts; ++i) {
    starts.emplace_back(new ChildProcess(ProgramPath() + " /MIN " + lists[i]));
    ASSERT_TRUE(starts.back()->started());
    watchers.emplace_back(new MessageBoxWatcher("Cantorix Error Reporting", starts.back()->id()));
  }
  auto boxes = [&] {
    size_t n = 0;
    for (auto& w : watchers) n += w->Texts().size();
    return n;
  };
  EXPECT_TRUE(PumpUntil([&] { return boxes() >= static_cast<size_t>(kStarts); }, 90000)) << boxes();
  int ended = 0;
  ChildProcess* survivor = nullptr;
  for (int i = 0; i < kStarts; ++i) {
    if (starts[i]->Wait(watchers[i]->Texts().empty() ? 30000 : 0) == 0) {
      ++ended;
    } else {
      survivor = starts[i].get();
      EXPECT_EQ(watchers[i]->Texts().size(), static_cast<size_t>(kStarts));
    }
  }
  EXPECT_EQ(ended, kStarts - 1);
  EXPECT_EQ(boxes(), static_cast<size_t>(kStarts));
  const std::vector<HWND> panels = FindTopLevelWindows("CANTORIX");
  ASSERT_EQ(panels.size(), 1u);
  ASSERT_NE(survivor, nullptr);
  CloseFirst(*survivor, panels[0]);
}

// Started with ALLCLOSE no player exists; a file handed over then opens the
// player it is for instead of being lost.
TEST_F(InstanceTest, FileHandedToAnInstanceWithoutPlayersOpensItsPlayer) {
  ChildProcess first(ProgramPath() + " allclose");
  HWND panel = WaitForShownPanel(15000);
  ASSERT_NE(panel, nullptr);
  ASSERT_EQ(FindWindowExA(panel, nullptr, "CXWavePlayerClass", nullptr), nullptr);
  // One second of 8-bit mono silence.
  std::string wav = "RIFF";
  auto u32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) wav += static_cast<char>(v >> (8 * i)); };
  auto u16 = [&](uint16_t v) { wav += static_cast<char>(v & 0xFF); wav += static_cast<char>(v >> 8); };
  u32(36 + 8000);
  wav += "WAVEfmt ";
  u32(16); u16(1); u16(1); u32(8000); u32(8000); u16(1); u16(8);
  wav += "data";
  u32(8000);
  wav += std::string(8000, '\x80');
  const std::string path = dir_.Write("handed.wav", wav);
  ChildProcess second(ProgramPath() + " " + path);
  EXPECT_EQ(second.Wait(15000), 0);
  HWND wave = nullptr;
  char title[64] = {};
  EXPECT_TRUE(PumpUntil(
      [&] {
        wave = FindWindowExA(panel, nullptr, "CXWavePlayerClass", nullptr);
        if (wave == nullptr || !IsWindowVisible(wave)) return false;
        GetWindowTextA(GetDlgItem(wave, 2038), title, sizeof title);
        return std::string(title) == "handed";
      },
      15000))
      << title;
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
