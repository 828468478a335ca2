#include "media/FileDispatch.h"

#include <string>
#include <vector>

#include "common/ErrorBox.h"
#include "common/Win32Handles.h"
#include "media/ListLines.h"
#include "media/MediaKind.h"

namespace {

// Enough for a long run of "#EXTINF" lines before the first entry.
constexpr DWORD kListPeekBytes = 65536;

// Reads the first entry of a list file: its first line that is not a
// comment, within the first kListPeekBytes. Reports and returns false when
// the file cannot be opened or read; an entry of "" when there is none.
bool ReadFirstListEntry(const char* name, HWND owner, std::string* entry) {
  UniqueHandle file(CreateFileA(name, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsOpen()) {
    ShowErrorBox(owner, "Can not open this file.");
    return false;
  }
  std::vector<char> bytes(kListPeekBytes);
  DWORD got = 0;
  if (!ReadFile(file.get(), bytes.data(), kListPeekBytes, &got, nullptr)) {
    ShowErrorBox(owner, "Error in reading file.");
    return false;
  }
  const size_t mark = ByteOrderMarkLength(bytes.data(), got);
  entry->clear();
  const LastLine last = got == kListPeekBytes ? LastLine::kDropped : LastLine::kTaken;
  ForEachListLine(bytes.data() + mark, got - mark, last, [&](const char* line, size_t length) {
    if (IsListComment(line, length)) return true;
    entry->assign(line, length);
    return false;
  });
  return true;
}

}  // namespace

DispatchTarget DispatchMediaFile(const char* name, HWND owner, PlayerWindowLookup lookup) {
  DispatchTarget none{nullptr, 0};
  if (name == nullptr || ExtensionOf(name) == nullptr) return none;

  uint16_t route = DirectPlayerRoute(name);
  if (route == 0 && IsListFileName(name)) {
    std::string entry;
    if (!ReadFirstListEntry(name, owner, &entry)) return none;
    route = PlayerRouteForKind(ClassifyByExtension(entry.c_str()));
    if (route == 0) {
      ShowErrorBox(owner, "File in list is not supported.");
      return none;
    }
  }
  if (route == 0) return none;
  return DispatchTarget{lookup != nullptr ? lookup(route) : nullptr, route};
}
