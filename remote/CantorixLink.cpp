#include "remote/CantorixLink.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/CommandCodes.h"
#include "common/SettingsKey.h"
#include "common/FileHandOff.h"
#include "common/PathLimits.h"
#include "common/Win32Handles.h"

namespace {

constexpr char kProgramName[] = "Cantorix.exe";
constexpr DWORD kStartWaitMs = 15000;

bool FileExists(const char* path) {
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Paths are UTF-8: a folder of 259 UTF-16 units may take three times as
// many bytes, so every path buffer here is kPathCapacity, not MAX_PATH.
using ProgramPath = char[kPathCapacity];

// `folder` + "\Cantorix.exe" when that file exists.
bool ProgramIn(const char* folder, ProgramPath& path) {
  if (folder[0] == '\0') return false;
  const size_t length = strlen(folder);
  const char* separator = folder[length - 1] == '\\' || folder[length - 1] == '/' ? "" : "\\";
  const int n = std::snprintf(path, sizeof path, "%s%s%s", folder, separator, kProgramName);
  return n > 0 && n < static_cast<int>(sizeof path) && PathFitsSystem(path) && FileExists(path);
}

bool ProgramBesideHandset(ProgramPath& path) {
  char folder[kPathCapacity] = {};
  const DWORD n = GetModuleFileNameA(nullptr, folder, sizeof folder);
  if (n == 0 || n >= sizeof folder) return false;
  char* slash = strrchr(folder, '\\');
  if (slash == nullptr) return false;
  *slash = '\0';
  return ProgramIn(folder, path);
}

// The folder the user's settings name, else the installer's. The "A"
// registry call hands the value over in the process code page, UTF-8.
bool ProgramInSettingsFolder(ProgramPath& path) {
  char folder[kPathCapacity] = {};
  DWORD size = sizeof folder - 1;
  if (!ReadProgramSetting("Application Path", REG_SZ, folder, &size)) return false;
  folder[sizeof folder - 1] = '\0';
  return ProgramIn(folder, path);
}

}  // namespace

HWND FindCantorix() { return FindWindowA(kCantorixClass, nullptr); }

bool SendCantorixCommand(HWND cantorix, UINT commandMessage, uint16_t route, uint16_t code,
                         LPARAM lParam, UINT timeoutMs) {
  if (cantorix == nullptr) return false;
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(cantorix, commandMessage, MakeCommand(route, code), lParam,
                             SMTO_ABORTIFHUNG | SMTO_NORMAL, timeoutMs, &result) != 0;
}

void PostCantorixCommand(HWND cantorix, UINT commandMessage, uint16_t route, uint16_t code,
                         LPARAM lParam) {
  // A null window would post to this thread's own queue.
  if (cantorix != nullptr) PostMessageA(cantorix, commandMessage, MakeCommand(route, code), lParam);
}

bool StartCantorix(const char* arguments) {
  ProgramPath program = {};
  const bool found = ProgramBesideHandset(program) || ProgramInSettingsFolder(program);
  // Built as a string: a quoted program path and a quoted file name each
  // take up to kPathCapacity bytes; the system's limit is far above both.
  std::string text = found ? "\"" + std::string(program) + "\"" : std::string(kProgramName);
  if (arguments != nullptr && arguments[0] != '\0') text += std::string(" ") + arguments;
  std::vector<char> commandLine(text.begin(), text.end());
  commandLine.push_back('\0');
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(found ? program : nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &info)) {
    return false;
  }
  UniqueHandle process(info.hProcess);
  UniqueHandle thread(info.hThread);
  WaitForInputIdle(process.get(), kStartWaitMs);
  // The main panel exists before its message loop runs; should the idle
  // wait come back early, give the window a little longer to appear.
  const DWORD start = GetTickCount();
  while (FindCantorix() == nullptr && GetTickCount() - start < kStartWaitMs &&
         WaitForSingleObject(process.get(), 50) == WAIT_TIMEOUT) {
  }
  return true;
}

bool FileArgument(const char* commandLine, char* path, size_t capacity) {
  if (path == nullptr || capacity == 0) return false;
  path[0] = '\0';
  if (commandLine == nullptr) return false;
  const char* begin = commandLine;
  while (*begin == ' ' || *begin == '\t') ++begin;
  const char* end = nullptr;
  if (*begin == '"') {
    end = std::strchr(++begin, '"');
    if (end == nullptr) return false;
  } else {
    end = begin + std::strlen(begin);
    while (end > begin && (end[-1] == ' ' || end[-1] == '\t')) --end;
  }
  const size_t length = static_cast<size_t>(end - begin);
  if (length == 0 || length + 1 > capacity) return false;
  std::memcpy(path, begin, length);
  path[length] = '\0';
  if (!PathFitsSystem(path) || GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) {
    path[0] = '\0';
    return false;
  }
  return true;
}

bool OpenInCantorix(const char* path, UINT commandMessage) {
  if (path == nullptr || path[0] == '\0') return false;
  HWND cantorix = FindCantorix();
  if (cantorix != nullptr) {
    return SendFileToProcess(cantorix, commandMessage, MakeCommand(kRouteMainPanel, kCmdOpenFile), path);
  }
  // A first start takes the name quoted, as a double-click gives it.
  return StartCantorix(("\"" + std::string(path) + "\"").c_str());
}
