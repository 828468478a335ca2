// The settings store against the Wine prefix's real registry, and the
// configuration window's OK and Cancel semantics, including a missing key.
#include <gtest/gtest.h>

#include <string>

#include "audio/RecordFormats.h"
#include "shell/App.h"
#include "shell/ConfigWindow.h"
#include "shell/Settings.h"
#include "common/Win32Handles.h"
#include "tests/shell/PanelTestSupport.h"
#include "tests/support/WinTestSupport.h"

namespace {

// Direct registry access, to set the scene and to look behind the store.
struct Key {
  explicit Key(REGSAM access) {
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, access, &key) != ERROR_SUCCESS) key = nullptr;
  }
  ~Key() {
    if (key != nullptr) RegCloseKey(key);
  }
  HKEY key = nullptr;
};

void Store(const char* name, DWORD value) {
  Key k(KEY_WRITE);
  RegSetValueExA(k.key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}
void StoreText(const char* name, const std::string& text) {
  Key k(KEY_WRITE);
  RegSetValueExA(k.key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>(text.size() + 1));
}
void Forget(const char* name) {
  Key k(KEY_WRITE);
  RegDeleteValueA(k.key, name);
}
// -1 when missing.
long Stored(const char* name) {
  Key k(KEY_READ);
  DWORD value = 0, size = sizeof value, type = 0;
  if (RegQueryValueExA(k.key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS) {
    return -1;
  }
  return static_cast<long>(value);
}

// The settings the prefix was made with, put back after every test.
class SettingsGuard {
 public:
  SettingsGuard() {
    ReadSettingText("Application Path", path_, sizeof path_);
    cd_ = Stored("CanAutoPlayCD");
    mp3_ = Stored("CanAutoPlayMp3List");
  }
  ~SettingsGuard() {
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    if (key != nullptr) RegCloseKey(key);
    StoreText("Application Path", path_);
    Restore("CanAutoPlayCD", cd_);
    Restore("CanAutoPlayMp3List", mp3_);
    Forget("CxTestNumber");
    Forget("CxTestText");
  }

 private:
  static void Restore(const char* name, long value) {
    if (value < 0) {
      Forget(name);
    } else {
      Store(name, static_cast<DWORD>(value));
    }
  }
  char path_[260] = {};
  long cd_, mp3_;
};

TEST(Settings, RoundTripThroughTheRegistry) {
  SettingsGuard guard;
  DWORD value = 7;
  EXPECT_FALSE(ReadSettingNumber("CxTestNumber", &value));
  EXPECT_EQ(value, 7u);
  EXPECT_TRUE(WriteSettingNumber("CxTestNumber", 0xDEADBEEF));
  EXPECT_TRUE(ReadSettingNumber("CxTestNumber", &value));
  EXPECT_EQ(value, 0xDEADBEEFu);

  StoreText("CxTestText", "C:\\Program Files\\Cantorix");
  char text[64];
  EXPECT_TRUE(ReadSettingText("CxTestText", text, sizeof text));
  EXPECT_STREQ(text, "C:\\Program Files\\Cantorix");
  // Too small a buffer, or the wrong type, fails.
  EXPECT_FALSE(ReadSettingText("CxTestText", text, 10));
  EXPECT_FALSE(ReadSettingNumber("CxTestText", &value));
  EXPECT_FALSE(ReadSettingText("CxTestNumber", text, sizeof text));
}

TEST(Settings, MissingKeyFailsEveryReadAndWrite) {
  SettingsGuard guard;
  ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, kSettingsKey), ERROR_SUCCESS);
  DWORD value = 0;
  char text[64];
  EXPECT_FALSE(ReadSettingNumber("CanAutoPlayCD", &value));
  EXPECT_FALSE(ReadSettingText("Application Path", text, sizeof text));
  EXPECT_FALSE(WriteSettingNumber("CanAutoPlayCD", 1));
  // The program never creates the key itself.
  Key k(KEY_READ);
  EXPECT_EQ(k.key, nullptr);
}

class ConfigWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    panel_ = CreateTestPanel();
    ASSERT_NE(panel_, nullptr);
    gApp.recordFormatIndex = 0;
  }
  void TearDown() override {
    DestroyWindow(panel_);
    PumpFor(20);
    gApp.recordFormatIndex = 0;
  }

  HWND Open() {
    SendMessageA(panel_, WM_COMMAND, 1109, 0);  // the CONFIG key's command
    PumpFor(20);
    return ConfigWindowHandle();
  }
  void Press(int id) { ClickButton(GetDlgItem(ConfigWindowHandle(), id)); }
  void PressX() { ClickButton(FindWindowExA(ConfigWindowHandle(), nullptr, "DibButton", "X")); }
  void Toggle(int id) {
    HWND box = GetDlgItem(ConfigWindowHandle(), id);
    SendMessageA(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageA(box, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    PumpFor(20);
  }
  // Whether a check box shows "CHECKED", judged by its pixels.
  bool ShowsChecked(int id) {
    auto shown = reinterpret_cast<HBITMAP>(
        SendDlgItemMessageA(ConfigWindowHandle(), id, STM_GETIMAGE, IMAGE_BITMAP, 0));
    GdiObject checked(LoadImageA(gApp.instance, "CHECKED", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    MemoryDc a(nullptr), b(nullptr);
    Selection sa(a.dc, shown), sb(b.dc, checked.object);
    for (int y = 0; y < 13; ++y) {
      for (int x = 0; x < 13; ++x) {
        if (GetPixel(a.dc, x, y) != GetPixel(b.dc, x, y)) return false;
      }
    }
    return true;
  }
  std::string Selected(int list) {
    HWND box = GetDlgItem(ConfigWindowHandle(), list);
    LRESULT row = SendMessageA(box, LB_GETCURSEL, 0, 0);
    char text[64] = {};
    SendMessageA(box, LB_GETTEXT, row, reinterpret_cast<LPARAM>(text));
    return text;
  }
  void ChooseQuality(int row) {
    HWND window = ConfigWindowHandle();
    HWND quality = GetDlgItem(window, kConfigQualityList);
    SendMessageA(quality, LB_SETCURSEL, row, 0);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(kConfigQualityList, LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(quality));
  }

  HWND panel_ = nullptr;
  SettingsGuard guard_;
};

TEST_F(ConfigWindowTest, ControlsAndLists) {
  HWND window = Open();
  ASSERT_NE(window, nullptr);
  const struct { int id; const char* cls; int x, y, w, h; } kControls[] = {
      {1, "DibButton", 234, 71, 62, 16},       {2, "DibButton", 234, 96, 62, 16},
      {10005, "Static", 17, 31, 13, 13},       {10004, "Static", 17, 48, 13, 13},
      {10000, "ListBox", 19, 72, 201, 38},     {10001, "ListBox", 19, 125, 308, 70},
  };
  for (const auto& c : kControls) {
    HWND control = GetDlgItem(window, c.id);
    ASSERT_NE(control, nullptr) << c.id;
    char cls[32] = {};
    GetClassNameA(control, cls, sizeof cls);
    EXPECT_EQ(lstrcmpiA(cls, c.cls), 0) << c.id << " " << cls;
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, c.x) << c.id;
    EXPECT_EQ(r.top, c.y) << c.id;
    if (c.id >= 10004) continue;  // pictures take their image's size
    EXPECT_EQ(r.right - r.left, c.w) << c.id;
  }
  HWND formats = GetDlgItem(window, kConfigFormatList);
  ASSERT_EQ(SendMessageA(formats, LB_GETCOUNT, 0, 0), kRecordFormatCount);
  for (int i = 0; i < kRecordFormatCount; ++i) {
    char text[64] = {};
    SendMessageA(formats, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, RecordFormatText(i));
  }
  EXPECT_EQ(Selected(kConfigQualityList), "Telephone Quality");
  EXPECT_EQ(Selected(kConfigFormatList), std::string(RecordFormatText(0)));
  const struct { int quality; int row; } kQualities[] = {{2, 8}, {1, 4}, {0, 0}};
  for (const auto& q : kQualities) {
    ChooseQuality(q.quality);
    EXPECT_EQ(Selected(kConfigFormatList), std::string(RecordFormatText(q.row)));
  }
  ChooseQuality(2);
  EXPECT_EQ(Selected(kConfigFormatList), " 44100HZ,  8Bit ,Mono   43KB/S");
  PressX();
  EXPECT_FALSE(IsWindowVisible(window));
}

TEST_F(ConfigWindowTest, NothingStoredMeansBothOnEvenAfterCancel) {
  Forget("CanAutoPlayCD");
  Forget("CanAutoPlayMp3List");
  gApp.options.canAutoPlayCd = 0;
  gApp.options.canAutoPlayMp3List = 0;
  Open();
  EXPECT_TRUE(ShowsChecked(kConfigCheckCd));
  EXPECT_TRUE(ShowsChecked(kConfigCheckMp3List));
  EXPECT_EQ(gApp.options.canAutoPlayCd, 1u);
  EXPECT_EQ(gApp.options.canAutoPlayMp3List, 1u);
  Press(kConfigCancel);
  EXPECT_FALSE(IsWindowVisible(ConfigWindowHandle()));
  EXPECT_TRUE(IsWindowEnabled(panel_));
  EXPECT_EQ(Stored("CanAutoPlayCD"), -1);
  EXPECT_EQ(gApp.options.canAutoPlayCd, 1u);
}

TEST_F(ConfigWindowTest, OkStoresTheBoxesAndTheFormat) {
  Store("CanAutoPlayCD", 0);
  Store("CanAutoPlayMp3List", 1);
  Open();
  EXPECT_FALSE(ShowsChecked(kConfigCheckCd));
  EXPECT_TRUE(ShowsChecked(kConfigCheckMp3List));
  EXPECT_EQ(gApp.options.canAutoPlayCd, 0u);
  EXPECT_EQ(gApp.options.canAutoPlayMp3List, 1u);
  Toggle(kConfigCheckCd);
  Toggle(kConfigCheckMp3List);
  EXPECT_TRUE(ShowsChecked(kConfigCheckCd));
  EXPECT_FALSE(ShowsChecked(kConfigCheckMp3List));
  EXPECT_EQ(gApp.options.canAutoPlayCd, 0u);  // live flags wait for OK
  ChooseQuality(2);
  SendDlgItemMessageA(ConfigWindowHandle(), kConfigFormatList, LB_SETCURSEL, 11, 0);
  Press(kConfigOk);
  EXPECT_FALSE(IsWindowVisible(ConfigWindowHandle()));
  EXPECT_TRUE(IsWindowEnabled(panel_));
  EXPECT_EQ(Stored("CanAutoPlayCD"), 1);
  EXPECT_EQ(Stored("CanAutoPlayMp3List"), 0);
  EXPECT_EQ(gApp.options.canAutoPlayCd, 1u);
  EXPECT_EQ(gApp.options.canAutoPlayMp3List, 0u);
  EXPECT_EQ(gApp.recordFormatIndex, 11);
  // The window keeps its selection for the next opening.
  Open();
  EXPECT_EQ(Selected(kConfigFormatList), std::string(RecordFormatText(11)));
  Press(kConfigCancel);
}

TEST_F(ConfigWindowTest, CancelLeavesStoredAndLiveSettingsAsShown) {
  Store("CanAutoPlayCD", 1);
  Store("CanAutoPlayMp3List", 0);
  Open();
  Toggle(kConfigCheckCd);
  ChooseQuality(1);
  Press(kConfigCancel);
  EXPECT_EQ(Stored("CanAutoPlayCD"), 1);
  EXPECT_EQ(gApp.options.canAutoPlayCd, 1u);
  EXPECT_EQ(gApp.options.canAutoPlayMp3List, 0u);
  EXPECT_EQ(gApp.recordFormatIndex, 0);
  // Showing again reads the store again.
  Store("CanAutoPlayMp3List", 1);
  Open();
  EXPECT_TRUE(ShowsChecked(kConfigCheckCd));
  EXPECT_TRUE(ShowsChecked(kConfigCheckMp3List));
  EXPECT_EQ(gApp.options.canAutoPlayMp3List, 1u);
  SendMessageA(ConfigWindowHandle(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindowEnabled(panel_));
}

TEST_F(ConfigWindowTest, MissingKeyStillChangesTheLiveFlags) {
  ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, kSettingsKey), ERROR_SUCCESS);
  Open();
  EXPECT_TRUE(ShowsChecked(kConfigCheckCd));
  Toggle(kConfigCheckCd);
  Press(kConfigOk);
  EXPECT_EQ(gApp.options.canAutoPlayCd, 0u);
  EXPECT_EQ(gApp.options.canAutoPlayMp3List, 1u);
  Key k(KEY_READ);
  EXPECT_EQ(k.key, nullptr);  // the failed writes did not create it
}

}  // namespace
