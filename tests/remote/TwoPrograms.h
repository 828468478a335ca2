// Handset.exe and Cantorix.exe as real processes side by side, driven from
// this test program: Handset's keys pressed by clicks posted to its
// windows, and Cantorix's state read across the process boundary.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "tests/support/WinTestSupport.h"

class TwoProgramsTest : public ::testing::Test {
 protected:
  void SetUp() override;
  // Closes Handset, then whichever Cantorix runs (started by the test or
  // by Handset), and checks both ended.
  void TearDown() override;

  // The visible top-level window of a class, waited for.
  static HWND WaitVisible(const char* className, DWORD timeoutMs = 20000);
  // Posts WM_CLOSE to Cantorix's panel and waits for its process to end.
  void CloseCantorix();
  void StartHandset();
  // The shown panel and, once there, its wave player.
  void FindCantorixWindows();

  HWND Key(int id) const { return GetDlgItem(remote_, id); }
  bool Enabled(int id) const { return IsWindowEnabled(Key(id)) != FALSE; }
  bool Chosen(int id) const;
  // A press and release inside a key, as the mouse gives them.
  void Click(int id) const;
  std::string Title() const;
  bool WaitTitle(const std::string& title) const;
  int Image(int id) const;

  UINT commandMessage_ = 0;
  TempFolder folder_;
  std::unique_ptr<ChildProcess> handset_;
  std::unique_ptr<ChildProcess> cantorix_;  // when the test starts it itself
  HWND remote_ = nullptr;
  HWND panel_ = nullptr;
  HWND wave_ = nullptr;
};
