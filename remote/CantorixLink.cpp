#include "remote/CantorixLink.h"

#include <cstdio>

#include "common/CommandCodes.h"
#include "common/SettingsKey.h"
#include "common/Win32Handles.h"

namespace {

constexpr char kProgramName[] = "Cantorix.exe";
constexpr DWORD kStartWaitMs = 15000;

bool FileExists(const char* path) {
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// `folder` + "\Cantorix.exe" when that file exists.
bool ProgramIn(const char* folder, char (&path)[MAX_PATH]) {
  if (folder[0] == '\0') return false;
  const size_t length = strlen(folder);
  const char* separator = folder[length - 1] == '\\' || folder[length - 1] == '/' ? "" : "\\";
  const int n = std::snprintf(path, sizeof path, "%s%s%s", folder, separator, kProgramName);
  return n > 0 && n < static_cast<int>(sizeof path) && FileExists(path);
}

bool ProgramBesideHandset(char (&path)[MAX_PATH]) {
  char folder[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameA(nullptr, folder, sizeof folder);
  if (n == 0 || n >= sizeof folder) return false;
  char* slash = strrchr(folder, '\\');
  if (slash == nullptr) return false;
  *slash = '\0';
  return ProgramIn(folder, path);
}

// The folder the user's settings name, else the installer's.
bool ProgramInSettingsFolder(char (&path)[MAX_PATH]) {
  char folder[MAX_PATH] = {};
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
  char program[MAX_PATH] = {};
  const bool found = ProgramBesideHandset(program) || ProgramInSettingsFolder(program);
  char commandLine[2 * MAX_PATH] = {};
  if (found) {
    std::snprintf(commandLine, sizeof commandLine, "\"%s\" %s", program, arguments);
  } else {
    std::snprintf(commandLine, sizeof commandLine, "%s %s", kProgramName, arguments);
  }
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(found ? program : nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr,
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
