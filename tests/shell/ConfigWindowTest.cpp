// The settings store against the Wine prefix's real registry (the user's
// key first, the machine's behind it), and the configuration window's OK
// and Cancel semantics, including missing keys and a key that cannot be
// written.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio/RecordFormats.h"
#include "shell/App.h"
#include "shell/ConfigWindow.h"
#include "shell/Settings.h"
#include "common/Win32Handles.h"
#include "tests/shell/PanelTestSupport.h"
#include "tests/support/WinTestSupport.h"

namespace {

constexpr char kVexKey[] = "Software\\Vex";

// Direct registry access, to set the scene and to look behind the store.
struct Key {
  Key(HKEY root, REGSAM access) {
    if (RegOpenKeyExA(root, kSettingsKey, 0, access, &key) != ERROR_SUCCESS) key = nullptr;
  }
  ~Key() {
    if (key != nullptr) RegCloseKey(key);
  }
  HKEY key = nullptr;
};

void Create(HKEY root) {
  HKEY key = nullptr;
  RegCreateKeyExA(root, kSettingsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
  if (key != nullptr) RegCloseKey(key);
}
void Store(HKEY root, const char* name, DWORD value) {
  Create(root);
  Key k(root, KEY_WRITE);
  RegSetValueExA(k.key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}
void StoreText(HKEY root, const char* name, const std::string& text) {
  Create(root);
  Key k(root, KEY_WRITE);
  RegSetValueExA(k.key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>(text.size() + 1));
}
void Forget(HKEY root, const char* name) {
  Key k(root, KEY_WRITE);
  if (k.key != nullptr) RegDeleteValueA(k.key, name);
}
void ForgetBoth(const char* name) {
  Forget(HKEY_CURRENT_USER, name);
  Forget(HKEY_LOCAL_MACHINE, name);
}
// -1 when missing.
long Stored(HKEY root, const char* name) {
  Key k(root, KEY_READ);
  DWORD value = 0, size = sizeof value, type = 0;
  if (k.key == nullptr ||
      RegQueryValueExA(k.key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS) {
    return -1;
  }
  return static_cast<long>(value);
}

// One key's values, whatever their types, to be put back as they were.
struct SavedKey {
  bool existed = false;
  struct Value {
    std::string name;
    DWORD type;
    std::vector<BYTE> data;
  };
  std::vector<Value> values;

  void Take(HKEY root) {
    Key k(root, KEY_READ);
    existed = k.key != nullptr;
    for (DWORD i = 0; existed; ++i) {
      char name[256];
      BYTE data[1024];
      DWORD nameSize = sizeof name, dataSize = sizeof data, type = 0;
      if (RegEnumValueA(k.key, i, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS) break;
      values.push_back({name, type, std::vector<BYTE>(data, data + dataSize)});
    }
  }
  void PutBack(HKEY root) const {
    RegDeleteKeyA(root, kSettingsKey);
    if (!existed) return;
    Create(root);
    Key k(root, KEY_WRITE);
    for (const Value& v : values) {
      RegSetValueExA(k.key, v.name.c_str(), 0, v.type, v.data.data(), static_cast<DWORD>(v.data.size()));
    }
  }
};

// Both keys as the prefix had them, put back after every test.
class SettingsGuard {
 public:
  SettingsGuard() {
    user_.Take(HKEY_CURRENT_USER);
    machine_.Take(HKEY_LOCAL_MACHINE);
  }
  ~SettingsGuard() {
    // A key made unwritable for a test goes first.
    RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey);
    RegDeleteKeyA(HKEY_CURRENT_USER, kVexKey);
    user_.PutBack(HKEY_CURRENT_USER);
    machine_.PutBack(HKEY_LOCAL_MACHINE);
  }

 private:
  SavedKey user_, machine_;
};

// The user's key cannot be made: its parent is a volatile key, under which
// the registry keeps no lasting key.
void MakeUsersKeyUnwritable() {
  RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey);
  const LONG gone = RegDeleteKeyA(HKEY_CURRENT_USER, kVexKey);
  ASSERT_TRUE(gone == ERROR_SUCCESS || gone == ERROR_FILE_NOT_FOUND) << "another key under Software\\Vex";
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kVexKey, 0, nullptr, REG_OPTION_VOLATILE, KEY_WRITE, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

TEST(Settings, WritesGoToTheUsersKeyReadsFallBackToTheMachines) {
  SettingsGuard guard;
  DWORD value = 7;
  EXPECT_FALSE(ReadSettingNumber("CxTestNumber", &value));
  EXPECT_EQ(value, 7u);
  EXPECT_TRUE(WriteSettingNumber("CxTestNumber", 0xDEADBEEF));
  EXPECT_TRUE(ReadSettingNumber("CxTestNumber", &value));
  EXPECT_EQ(value, 0xDEADBEEFu);
  EXPECT_EQ(Stored(HKEY_CURRENT_USER, "CxTestNumber"), static_cast<long>(0xDEADBEEF));
  EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, "CxTestNumber"), -1);

  // The user's value of the right type wins; the machine's serves behind
  // it, also behind a user's value of the wrong type.
  struct Row {
    long machine, user;  // -1: none, -2: text
    bool found;
    DWORD expected;
  } rows[] = {
      {-1, -1, false, 0}, {5, -1, true, 5}, {5, 9, true, 9}, {-1, 9, true, 9}, {5, -2, true, 5}, {-1, -2, false, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << "machine " << r.machine << ", user " << r.user);
    ForgetBoth("CxTestNumber");
    if (r.machine >= 0) Store(HKEY_LOCAL_MACHINE, "CxTestNumber", static_cast<DWORD>(r.machine));
    if (r.user >= 0) Store(HKEY_CURRENT_USER, "CxTestNumber", static_cast<DWORD>(r.user));
    if (r.user == -2) StoreText(HKEY_CURRENT_USER, "CxTestNumber", "9");
    value = 0;
    EXPECT_EQ(ReadSettingNumber("CxTestNumber", &value), r.found);
    if (r.found) {
      EXPECT_EQ(value, r.expected);
    }
  }

  StoreText(HKEY_LOCAL_MACHINE, "CxTestText", "C:\\Program Files\\Cantorix");
  char text[64];
  EXPECT_TRUE(ReadSettingText("CxTestText", text, sizeof text));
  EXPECT_STREQ(text, "C:\\Program Files\\Cantorix");
  StoreText(HKEY_CURRENT_USER, "CxTestText", "D:\\Mine");
  EXPECT_TRUE(ReadSettingText("CxTestText", text, sizeof text));
  EXPECT_STREQ(text, "D:\\Mine");
  // Too small a buffer, or the wrong type, fails.
  EXPECT_FALSE(ReadSettingText("CxTestText", text, 5));
  EXPECT_FALSE(ReadSettingNumber("CxTestText", &value));
  Store(HKEY_CURRENT_USER, "CxTestNumber", 1);
  EXPECT_FALSE(ReadSettingText("CxTestNumber", text, sizeof text));
}

TEST(Settings, MissingKeysFailReadsAndTheFirstWriteMakesTheUsersKey) {
  SettingsGuard guard;
  RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey);
  ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, kSettingsKey), ERROR_SUCCESS);
  DWORD value = 0;
  char text[64];
  EXPECT_FALSE(ReadSettingNumber("CanAutoPlayCD", &value));
  EXPECT_FALSE(ReadSettingText("Application Path", text, sizeof text));
  EXPECT_TRUE(WriteSettingNumber("CanAutoPlayCD", 1));
  EXPECT_EQ(Stored(HKEY_CURRENT_USER, "CanAutoPlayCD"), 1);
  // The machine's key stays the installer's business.
  EXPECT_EQ(Key(HKEY_LOCAL_MACHINE, KEY_READ).key, nullptr);
}

TEST(Settings, AWriteThatCannotBeMadeFails) {
  SettingsGuard guard;
  MakeUsersKeyUnwritable();
  EXPECT_FALSE(WriteSettingNumber("CanAutoPlayCD", 1));
  EXPECT_EQ(Stored(HKEY_CURRENT_USER, "CanAutoPlayCD"), -1);
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

// Nothing stored anywhere: both switches are off, as at start-up; opening
// the window does not turn them on.
TEST_F(ConfigWindowTest, NothingStoredMeansBothOff) {
  ForgetBoth("CanAutoPlayCD");
  ForgetBoth("CanAutoPlayMp3List");
  gApp.options.canAutoPlayCd = 0;
  gApp.options.canAutoPlayMp3List = 0;
  Open();
  EXPECT_FALSE(ShowsChecked(kConfigCheckCd));
  EXPECT_FALSE(ShowsChecked(kConfigCheckMp3List));
  EXPECT_EQ(gApp.options.canAutoPlayCd, 0u);
  EXPECT_EQ(gApp.options.canAutoPlayMp3List, 0u);
  Press(kConfigCancel);
  EXPECT_FALSE(IsWindowVisible(ConfigWindowHandle()));
  EXPECT_TRUE(IsWindowEnabled(panel_));
  EXPECT_EQ(Stored(HKEY_CURRENT_USER, "CanAutoPlayCD"), -1);
  EXPECT_EQ(gApp.options.canAutoPlayCd, 0u);
  // Shown again (the window exists now): still off.
  Open();
  EXPECT_FALSE(ShowsChecked(kConfigCheckCd));
  EXPECT_EQ(gApp.options.canAutoPlayMp3List, 0u);
  Press(kConfigCancel);
}

// The machine's values are the defaults the window shows; OK stores the
// user's choice in the user's key and leaves the machine's alone.
TEST_F(ConfigWindowTest, OkStoresTheBoxesForTheUserAndTheFormat) {
  Store(HKEY_LOCAL_MACHINE, "CanAutoPlayCD", 0);
  Store(HKEY_LOCAL_MACHINE, "CanAutoPlayMp3List", 1);
  Forget(HKEY_CURRENT_USER, "CanAutoPlayCD");
  Forget(HKEY_CURRENT_USER, "CanAutoPlayMp3List");
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
  MessageBoxWatcher boxes;
  Press(kConfigOk);
  EXPECT_FALSE(IsWindowVisible(ConfigWindowHandle()));
  EXPECT_TRUE(IsWindowEnabled(panel_));
  EXPECT_EQ(Stored(HKEY_CURRENT_USER, "CanAutoPlayCD"), 1);
  EXPECT_EQ(Stored(HKEY_CURRENT_USER, "CanAutoPlayMp3List"), 0);
  EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, "CanAutoPlayCD"), 0);
  EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, "CanAutoPlayMp3List"), 1);
  EXPECT_EQ(gApp.options.canAutoPlayCd, 1u);
  EXPECT_EQ(gApp.options.canAutoPlayMp3List, 0u);
  EXPECT_EQ(gApp.recordFormatIndex, 11);
  // The window keeps its selection for the next opening, and shows the
  // user's values over the machine's.
  Open();
  EXPECT_EQ(Selected(kConfigFormatList), std::string(RecordFormatText(11)));
  EXPECT_TRUE(ShowsChecked(kConfigCheckCd));
  EXPECT_FALSE(ShowsChecked(kConfigCheckMp3List));
  Press(kConfigCancel);
  EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(ConfigWindowTest, CancelLeavesStoredAndLiveSettingsAsShown) {
  Store(HKEY_CURRENT_USER, "CanAutoPlayCD", 1);
  Store(HKEY_CURRENT_USER, "CanAutoPlayMp3List", 0);
  Store(HKEY_LOCAL_MACHINE, "CanAutoPlayMp3List", 1);
  Open();
  Toggle(kConfigCheckCd);
  ChooseQuality(1);
  Press(kConfigCancel);
  EXPECT_EQ(Stored(HKEY_CURRENT_USER, "CanAutoPlayCD"), 1);
  EXPECT_EQ(gApp.options.canAutoPlayCd, 1u);
  EXPECT_EQ(gApp.options.canAutoPlayMp3List, 0u);
  EXPECT_EQ(gApp.recordFormatIndex, 0);
  // Showing again reads the store again.
  Store(HKEY_CURRENT_USER, "CanAutoPlayMp3List", 1);
  Open();
  EXPECT_TRUE(ShowsChecked(kConfigCheckCd));
  EXPECT_TRUE(ShowsChecked(kConfigCheckMp3List));
  EXPECT_EQ(gApp.options.canAutoPlayMp3List, 1u);
  SendMessageA(ConfigWindowHandle(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindowEnabled(panel_));
}

// Without any key (no installer ran), OK makes the user's key.
TEST_F(ConfigWindowTest, MissingKeysAreMadeForTheUserOnOk) {
  RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey);
  ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, kSettingsKey), ERROR_SUCCESS);
  Open();
  EXPECT_FALSE(ShowsChecked(kConfigCheckCd));
  Toggle(kConfigCheckCd);
  MessageBoxWatcher boxes;
  Press(kConfigOk);
  EXPECT_EQ(gApp.options.canAutoPlayCd, 1u);
  EXPECT_EQ(gApp.options.canAutoPlayMp3List, 0u);
  EXPECT_EQ(Stored(HKEY_CURRENT_USER, "CanAutoPlayCD"), 1);
  EXPECT_EQ(Stored(HKEY_CURRENT_USER, "CanAutoPlayMp3List"), 0);
  EXPECT_EQ(Key(HKEY_LOCAL_MACHINE, KEY_READ).key, nullptr);
  EXPECT_TRUE(boxes.Texts().empty());
}

// A choice that cannot be stored still holds for this run, and the user is
// told it will not outlast it.
TEST_F(ConfigWindowTest, AFailedWriteIsReported) {
  Store(HKEY_LOCAL_MACHINE, "CanAutoPlayCD", 0);
  MakeUsersKeyUnwritable();
  Open();
  Toggle(kConfigCheckCd);
  MessageBoxWatcher boxes;
  Press(kConfigOk);
  ASSERT_TRUE(boxes.WaitFor(1, 5000));
  EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{kSettingsWriteFailedText}));
  EXPECT_EQ(boxes.Owners(), (std::vector<HWND>{panel_}));
  EXPECT_EQ(gApp.options.canAutoPlayCd, 1u);
  EXPECT_FALSE(IsWindowVisible(ConfigWindowHandle()));
  EXPECT_TRUE(IsWindowEnabled(panel_));
  EXPECT_EQ(Stored(HKEY_CURRENT_USER, "CanAutoPlayCD"), -1);
  EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, "CanAutoPlayCD"), 0);
}

}  // namespace
