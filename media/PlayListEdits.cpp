#include "media/PlayListEdits.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/Win32Handles.h"
#include "media/DiscList.h"
#include "media/ListLines.h"
#include "media/ListPaths.h"
#include "media/ListText.h"

namespace {

constexpr char kListExtension[] = ".m3u";

void SwapSlots(char* a, char* b) {
  char held[kPlayListSlot];
  std::memcpy(held, a, kPlayListSlot);
  std::memcpy(a, b, kPlayListSlot);
  std::memcpy(b, held, kPlayListSlot);
}

// Puts a path into an edit slot; false when it does not fit.
bool StoreEdit(PlayList& list, int index, const char* path, size_t length) {
  if (length >= kPlayListSlot || !PathLengthFits(path, length)) return false;
  char* slot = list.EditSlot(index);
  std::memcpy(slot, path, length);
  slot[length] = '\0';
  return true;
}

void EmptyEditsFrom(PlayList& list, int first) {
  for (int i = first; i < kPlayListCapacity; ++i) list.EditSlot(i)[0] = '\0';
}

}  // namespace

int EditCount(PlayList& list) {
  int n = 0;
  while (n < kPlayListCapacity && list.EditSlot(n)[0] != '\0') ++n;
  return n;
}

bool AddEdit(PlayList& list, const char* path, size_t length) {
  if (length == 0 || length >= kPlayListSlot || !PathLengthFits(path, length)) return false;
  const std::string whole(path, length);
  if (FilterKind(list.AllowedKinds(), whole.c_str()) == kKindNone) return false;
  const int n = EditCount(list);
  if (n >= kPlayListCapacity) return false;
  StoreEdit(list, n, whole.c_str(), length);
  if (n + 1 < kPlayListCapacity) list.EditSlot(n + 1)[0] = '\0';
  return true;
}

int AddDialogSelection(PlayList& list, const char* result, size_t size, bool* full) {
  bool scratch = false;
  bool* leftOver = full != nullptr ? full : &scratch;
  *leftOver = false;
  const size_t first = strnlen(result, size);
  if (first == 0 || first >= size) return 0;
  const char* names = result + first + 1;
  if (names >= result + size || *names == '\0') {
    *leftOver = EditCount(list) >= kPlayListCapacity;
    return AddEdit(list, result, first) ? 1 : 0;  // one file, its full path
  }
  std::string folder(result, first);
  if (folder.back() != '\\') folder += '\\';
  int added = 0;
  const char* end = result + size;
  for (const char* name = names; name < end && *name != '\0';) {
    const size_t length = strnlen(name, end - name);
    if (EditCount(list) >= kPlayListCapacity) {
      *leftOver = true;
      break;
    }
    const std::string path = folder + std::string(name, length);
    if (AddEdit(list, path.c_str(), path.size())) ++added;
    name += length + 1;
  }
  return added;
}

void DeleteEdits(PlayList& list, const int* lines, int count) {
  for (int k = 0; k < count; ++k) {
    if (char* slot = list.EditSlot(lines[k])) slot[0] = '\0';
  }
  int kept = 0;
  for (int i = 0; i < kPlayListCapacity; ++i) {
    char* slot = list.EditSlot(i);
    if (slot[0] == '\0') continue;
    if (i != kept) std::memcpy(list.EditSlot(kept), slot, kPlayListSlot);
    ++kept;
  }
  EmptyEditsFrom(list, kept);
}

bool MoveEditsUp(PlayList& list, int* lines, int count) {
  if (count <= 0 || lines[0] <= 0) return false;
  for (int k = 0; k < count; ++k) {
    SwapSlots(list.EditSlot(lines[k] - 1), list.EditSlot(lines[k]));
    --lines[k];
  }
  return true;
}

bool MoveEditsDown(PlayList& list, int* lines, int count) {
  if (count <= 0) return false;
  const int last = lines[count - 1];
  if (last + 1 >= EditCount(list)) return false;
  for (int k = count - 1; k >= 0; --k) {
    SwapSlots(list.EditSlot(lines[k]), list.EditSlot(lines[k] + 1));
    ++lines[k];
  }
  return true;
}

void EditLineText(const char* entry, char* line, size_t size) {
  if (size == 0) return;
  const char* name = std::strrchr(entry, '\\');
  size_t length = std::strlen(entry);
  if (name != nullptr) {
    ++name;
    const char* dot = std::strrchr(name, '.');
    length = dot != nullptr ? static_cast<size_t>(dot - name) : std::strlen(name);
  } else {
    name = entry;
  }
  length = std::min(length, size - 1);
  std::memcpy(line, name, length);
  line[length] = '\0';
}

bool TakeListLines(PlayList& list, const ListFileText& text, const char* listName, bool* cut) {
  bool ignored = false;
  if (cut == nullptr) cut = &ignored;
  *cut = false;
  std::vector<std::string> lines;
  std::vector<std::pair<std::string, std::string>> titles;
  std::string pendingTitle;
  const std::string folder = ListFolderOf(listName != nullptr ? listName : "");
  const LastLine last = text.whole ? LastLine::kTaken : LastLine::kDropped;
  ForEachListLine(text.bytes.data(), text.bytes.size(), last, [&](const char* line, size_t length) {
    const char* title = nullptr;
    size_t titleLength = 0;
    if (ExtinfTitle(line, length, &title, &titleLength)) pendingTitle.assign(title, titleLength);
    if (IsListComment(line, length)) return true;
    std::string entry = ResolveListEntry(folder, std::string(line, length));
    if (!pendingTitle.empty()) titles.emplace_back(entry, pendingTitle);
    pendingTitle.clear();
    if (!PathLengthFits(entry.c_str(), entry.size())) return true;
    if (lines.size() == static_cast<size_t>(kPlayListCapacity)) {
      *cut = true;
      return false;
    }
    lines.push_back(std::move(entry));
    return true;
  });
  // The player skips entries it cannot play; a list meant for another
  // player shows in its first line.
  const char* first = lines.empty() ? "" : lines.front().c_str();
  if (FilterKind(list.AllowedKinds(), first) == kKindNone) return false;
  for (size_t i = 0; i < lines.size(); ++i) {
    StoreEdit(list, static_cast<int>(i), lines[i].c_str(), lines[i].size());
  }
  EmptyEditsFrom(list, static_cast<int>(lines.size()));
  list.ForgetListTitles();
  for (const auto& [path, title] : titles) list.RememberListTitle(path, title);
  return true;
}

bool ListFileNameFor(const char* chosen, char* name, size_t size) {
  std::string result = chosen;
  const char* extension = ExtensionOf(chosen);
  // ".m3u8" is kept as chosen: both are written as UTF-8 (media/ListText.h).
  if (extension == nullptr || (lstrcmpiA(extension, kListExtension) != 0 && !IsUtf8ListName(chosen))) {
    result += kListExtension;
  }
  if (!PathLengthFits(result.c_str(), result.size()) || result.size() >= size) return false;
  std::memcpy(name, result.c_str(), result.size() + 1);
  return true;
}

bool WriteEditsToListFile(PlayList& list, const char* name) {
  std::string text;
  const int count = EditCount(list);
  const std::string folder = ListFolderOf(name);
  for (int i = 0; i < count; ++i) {
    text += RelativeListEntry(folder, list.EditSlot(i));
    text += "\r\n";
  }
  UniqueHandle file(CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsOpen()) return false;
  DWORD written = 0;
  if (text.empty()) return true;
  return WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size();
}

bool RecordListForDisc(const PlayList& list, const char* name) {
  if (list.Count() == 0) return true;
  const char* first = list.EntryAt(0);
  const char letter = first[0];
  if (!((letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z')) || first[1] != ':') {
    return true;
  }
  char root[4];
  std::snprintf(root, sizeof root, "%c:\\", letter);
  return AddDiscList(name, VolumeSerial(root), list.AllowedKinds());
}
