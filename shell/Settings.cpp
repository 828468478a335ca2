#include "shell/Settings.h"

#include <cstring>

#include "common/PathLimits.h"

namespace {

class SettingsKey {
 public:
  explicit SettingsKey(REGSAM access) {
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, access, &key_) != ERROR_SUCCESS) {
      key_ = nullptr;
    }
  }
  ~SettingsKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  SettingsKey(const SettingsKey&) = delete;
  SettingsKey& operator=(const SettingsKey&) = delete;
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

// The text values are folders: UTF-8, as the "A" registry calls give them in
// this process's code page, up to three bytes a UTF-16 unit.
constexpr DWORD kValueBufferSize = kPathCapacity;

}  // namespace

bool ReadSettingNumber(const char* name, DWORD* value) {
  SettingsKey key(KEY_READ);
  if (key.get() == nullptr) return false;
  BYTE buffer[kValueBufferSize];
  DWORD size = sizeof buffer;
  DWORD type = 0;
  if (RegQueryValueExA(key.get(), name, nullptr, &type, buffer, &size) != ERROR_SUCCESS) return false;
  if (type != REG_DWORD || size != sizeof(DWORD)) return false;
  std::memcpy(value, buffer, sizeof(DWORD));
  return true;
}

bool ReadSettingText(const char* name, char* text, DWORD capacity) {
  SettingsKey key(KEY_READ);
  if (key.get() == nullptr) return false;
  char buffer[kValueBufferSize + 1];
  DWORD size = kValueBufferSize;
  DWORD type = 0;
  if (RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
      ERROR_SUCCESS) {
    return false;
  }
  if (type != REG_SZ || size == 0 || capacity < size) return false;
  // The stored size counts the NUL; a value written without one still ends.
  size_t length = strnlen(buffer, size);
  if (length >= capacity) return false;
  std::memcpy(text, buffer, length);
  text[length] = '\0';
  return true;
}

bool WriteSettingNumber(const char* name, DWORD value) {
  SettingsKey key(KEY_WRITE);
  if (key.get() == nullptr) return false;
  return RegSetValueExA(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                        sizeof value) == ERROR_SUCCESS;
}
