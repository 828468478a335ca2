#include "common/FileHandOff.h"

#include <cstring>

#include "common/PathLimits.h"

namespace {

// The name a window of this process is being handed, with the token that
// stands for it in lParam. Atoms are below 0x10000, so a token above never
// meets one; the token changes with every send, and nothing from outside is
// ever read through it: it is only compared.
const char* gLocalName = nullptr;
LPARAM gLocalToken = 0;
LPARAM gNextToken = 0x10000;

// An atom holds 255 characters, but the system's "A" atom calls measure the
// narrow text in bytes on the way: only names of at most 255 bytes travel
// in an atom, longer ones the other way.
constexpr size_t kAtomBytes = 255;

ATOM AddNameAtom(const char* path) {
  return std::strlen(path) <= kAtomBytes ? GlobalAddAtomA(path) : 0;
}

}  // namespace

size_t PathUnits(const char* path) {
  if (path == nullptr || path[0] == '\0') return 0;
  const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, nullptr, 0);
  return units > 0 ? static_cast<size_t>(units - 1) : 0;
}

bool PathFitsSystem(const char* path) {
  const size_t units = PathUnits(path);
  return units > 0 && units <= kMaxPathUnits;
}

bool SendFileToWindow(HWND target, UINT message, WPARAM command, const char* path) {
  if (target == nullptr || path == nullptr || path[0] == '\0') return false;
  ATOM atom = AddNameAtom(path);
  if (atom != 0) {
    SendMessageA(target, message, command, atom);
    GlobalDeleteAtom(atom);
    return true;
  }
  const char* outer = gLocalName;
  const LPARAM outerToken = gLocalToken;
  gLocalName = path;
  gLocalToken = gNextToken++;
  if (gNextToken <= 0x10000) gNextToken = 0x10000;
  SendMessageA(target, message, command, gLocalToken);
  gLocalName = outer;
  gLocalToken = outerToken;
  return true;
}

bool SendFileToProcess(HWND target, UINT message, WPARAM command, const char* path) {
  if (target == nullptr || path == nullptr || path[0] == '\0') return false;
  ATOM atom = AddNameAtom(path);
  if (atom != 0) {
    SendMessageA(target, message, command, atom);
    GlobalDeleteAtom(atom);
    return true;
  }
  COPYDATASTRUCT data = {};
  data.dwData = command;
  data.cbData = static_cast<DWORD>(std::strlen(path) + 1);
  data.lpData = const_cast<char*>(path);
  SendMessageA(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
  return true;
}

bool ReadHandedFile(LPARAM lParam, char* name, size_t capacity) {
  if (name == nullptr || capacity == 0) return false;
  name[0] = '\0';
  if (lParam >= 0x10000) {
    if (lParam != gLocalToken || gLocalName == nullptr) return false;
    const size_t length = std::strlen(gLocalName);
    if (length + 1 > capacity) return false;
    std::memcpy(name, gLocalName, length + 1);
    return true;
  }
  if (lParam == 0) return false;
  // Read wide and converted here: the "A" call would cut a name of more
  // than 255 bytes, which another sender's atom may hold.
  wchar_t wide[256] = {};
  const UINT units = GlobalGetAtomNameW(static_cast<ATOM>(lParam & 0xFFFF), wide, 256);
  if (units == 0 || units >= 256) return false;
  const int bytes = WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(units), name,
                                        static_cast<int>(capacity) - 1, nullptr, nullptr);
  if (bytes <= 0) return false;
  name[bytes] = '\0';
  return true;
}

bool ReadCopiedFile(const COPYDATASTRUCT* data, WPARAM command, char* name, size_t capacity) {
  if (data == nullptr || name == nullptr || capacity == 0 || data->dwData != command) return false;
  if (data->lpData == nullptr || data->cbData < 2 || data->cbData > capacity) return false;
  const char* bytes = static_cast<const char*>(data->lpData);
  const void* end = std::memchr(bytes, '\0', data->cbData);
  if (end == nullptr || end == bytes) return false;
  std::memcpy(name, bytes, static_cast<const char*>(end) - bytes + 1);
  return true;
}

size_t DroppedFileName(HDROP drop, UINT index, char* name, size_t capacity) {
  if (name == nullptr || capacity == 0) return 0;
  name[0] = '\0';
  const UINT units = DragQueryFileW(drop, index, nullptr, 0);
  if (units == 0 || units > kMaxPathUnits) return 0;
  wchar_t wide[kMaxPathUnits + 1];
  if (DragQueryFileW(drop, index, wide, kMaxPathUnits + 1) != units) return 0;
  const int bytes = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, static_cast<int>(units), name,
                                        static_cast<int>(capacity - 1), nullptr, nullptr);
  if (bytes <= 0) {
    name[0] = '\0';
    return 0;
  }
  name[bytes] = '\0';
  return static_cast<size_t>(bytes);
}
