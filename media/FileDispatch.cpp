#include "media/FileDispatch.h"

#include "media/MediaKind.h"
#include "common/ErrorBox.h"

namespace {

constexpr DWORD kListPeekBytes = 260;

// Reads the first line of a list file: the text before the first CR, LF or
// NUL within its first 260 bytes. Reports and returns false on failure.
bool ReadFirstListLine(const char* name, HWND owner, char (&line)[kListPeekBytes + 1]) {
  HANDLE file = CreateFileA(name, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    ShowErrorBox(owner, "Can not open this file.");
    return false;
  }
  DWORD got = 0;
  BOOL ok = ReadFile(file, line, kListPeekBytes, &got, nullptr);
  CloseHandle(file);
  if (!ok) {
    ShowErrorBox(owner, "Error in reading file.");
    return false;
  }
  line[got] = '\0';
  for (DWORD i = 0; i < got; ++i) {
    if (line[i] == '\r' || line[i] == '\n') {
      line[i] = '\0';
      break;
    }
  }
  return true;
}

}  // namespace

DispatchTarget DispatchMediaFile(const char* name, HWND owner, PlayerWindowLookup lookup) {
  DispatchTarget none{nullptr, 0};
  if (name == nullptr || ExtensionOf(name) == nullptr) return none;

  uint16_t route = DirectPlayerRoute(name);
  if (route == 0 && IsListFileName(name)) {
    char line[kListPeekBytes + 1];
    if (!ReadFirstListLine(name, owner, line)) return none;
    route = PlayerRouteForKind(ClassifyByExtension(line));
    if (route == 0) {
      ShowErrorBox(owner, "File in list is not supported.");
      return none;
    }
  }
  if (route == 0) return none;
  return DispatchTarget{lookup != nullptr ? lookup(route) : nullptr, route};
}
