#include "shell/Settings.h"

#include <cstring>

#include "common/PathLimits.h"

namespace {

// The text values are folders: UTF-8, as the "A" registry calls give them in
// this process's code page, up to three bytes a UTF-16 unit.
constexpr DWORD kValueBufferSize = kPathCapacity;

}  // namespace

bool ReadSettingNumber(const char* name, DWORD* value) {
  BYTE buffer[kValueBufferSize];
  DWORD size = sizeof buffer;
  if (!ReadProgramSetting(name, REG_DWORD, buffer, &size) || size != sizeof(DWORD)) return false;
  std::memcpy(value, buffer, sizeof(DWORD));
  return true;
}

bool ReadSettingText(const char* name, char* text, DWORD capacity) {
  char buffer[kValueBufferSize + 1];
  DWORD size = kValueBufferSize;
  if (!ReadProgramSetting(name, REG_SZ, buffer, &size)) return false;
  if (size == 0 || capacity < size) return false;
  // The stored size counts the NUL; a value written without one still ends.
  size_t length = strnlen(buffer, size);
  if (length >= capacity) return false;
  std::memcpy(text, buffer, length);
  text[length] = '\0';
  return true;
}

bool WriteSettingNumber(const char* name, DWORD value) { return WriteProgramSettingNumber(name, value); }
