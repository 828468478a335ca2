#include "common/SettingsKey.h"

#include <shlobj.h>

#include <cstdio>
#include <initializer_list>
#include <cstring>

namespace {

// Reads one root's value; only a value of the wanted type that fits counts.
bool ReadFrom(HKEY root, const char* name, DWORD type, void* data, DWORD* size) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, kProgramSettingsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
  DWORD got = *size;
  DWORD kind = 0;
  const LONG result = RegQueryValueExA(key, name, nullptr, &kind, static_cast<BYTE*>(data), &got);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS || kind != type || got > *size) return false;
  *size = got;
  return true;
}

bool IsFolder(const char* path) {
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool ApplicationData(char (&path)[MAX_PATH]) {
  if (SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path)) && path[0] != '\0') {
    return true;
  }
  const DWORD n = GetEnvironmentVariableA("APPDATA", path, MAX_PATH);
  return n > 0 && n < MAX_PATH;
}

}  // namespace

bool ReadProgramSetting(const char* name, DWORD type, void* data, DWORD* size) {
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    if (ReadFrom(root, name, type, data, size)) return true;
  }
  return false;
}

bool WriteProgramSettingNumber(const char* name, DWORD value) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kProgramSettingsKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                      nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LONG result =
      RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

bool ProgramDataFolder(char* folder, size_t size, bool create) {
  char base[MAX_PATH] = {};
  if (folder == nullptr || size == 0 || !ApplicationData(base)) return false;
  const size_t length = std::strlen(base);
  const char* separator = length > 0 && base[length - 1] == '\\' ? "" : "\\";
  const int n = std::snprintf(folder, size, "%s%s%s", base, separator, kProgramDataFolder);
  if (n <= 0 || static_cast<size_t>(n) >= size || static_cast<size_t>(n) >= MAX_PATH) {
    folder[0] = '\0';
    return false;
  }
  if (!create || IsFolder(folder)) return true;
  // Application data itself may be missing on a fresh profile.
  if (!IsFolder(base)) CreateDirectoryA(base, nullptr);
  return CreateDirectoryA(folder, nullptr) || IsFolder(folder);
}
