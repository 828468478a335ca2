#include "media/PlayList.h"

#include <cstring>
#include <utility>
#include <vector>

#include "media/ListLines.h"
#include "media/ListPaths.h"
#include "media/ListText.h"
#include "common/ErrorBox.h"
#include "common/Win32Handles.h"
#include "media/ShuffleRandom.h"

namespace {

ListWindowCreator gListWindowCreator = nullptr;
HWND gShownListWindow = nullptr;

// Copies a path into a slot. Paths that do not fit are refused rather than
// cut: a shortened path would name a different file, or none.
bool CopyToSlot(char (&slot)[kPlayListSlot], const char* path, size_t length) {
  if (length >= kPlayListSlot || !PathLengthFits(path, length)) return false;
  std::memcpy(slot, path, length);
  slot[length] = '\0';
  return true;
}

// Drive index of a path that starts with a drive letter: 0 for A, 1 for B
// and so on; -1 for anything else (relative or network paths).
int DriveOf(const char* path) {
  char letter = path[0];
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
  if (letter < 'A' || letter > 'Z' || path[1] != ':') return -1;
  return letter - 'A';
}

// The system's legacy ("ANSI") code page: the locale's, since the process
// code page is UTF-8 by the manifest; 1252 when the locale names none.
UINT LegacyCodePage() {
  DWORD codePage = 0;
  if (GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                     reinterpret_cast<char*>(&codePage), sizeof codePage) == 0 ||
      codePage == 0 || codePage == CP_UTF8) {
    codePage = 1252;
  }
  return codePage;
}

bool LegacyToUtf8(const char* data, size_t size, std::string* utf8) {
  if (size == 0) {
    utf8->clear();
    return true;
  }
  if (size > 0x7FFFFFFF) return false;
  const UINT codePage = LegacyCodePage();
  const int n = static_cast<int>(size);
  const int units = MultiByteToWideChar(codePage, 0, data, n, nullptr, 0);
  if (units <= 0) return Cp1252ToUtf8(data, size, utf8);
  std::vector<wchar_t> wide(static_cast<size_t>(units));
  MultiByteToWideChar(codePage, 0, data, n, wide.data(), units);
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return false;
  utf8->resize(static_cast<size_t>(bytes));
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, &(*utf8)[0], bytes, nullptr, nullptr);
  return true;
}

}  // namespace

bool ReadListFileText(const char* name, ListFileText* text) {
  text->bytes.clear();
  text->whole = false;
  UniqueHandle file(CreateFileA(name, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsOpen()) return false;
  // One byte more than is used tells whether the file goes on beyond. The
  // buffer is as big as the file says it is, within the limit.
  LARGE_INTEGER size = {};
  DWORD limit = kListFileMaxBytes + 1;
  if (GetFileSizeEx(file.get(), &size) && size.QuadPart >= 0 && size.QuadPart < kListFileMaxBytes) {
    limit = static_cast<DWORD>(size.QuadPart) + 1;
  }
  text->bytes.resize(limit);
  DWORD total = 0;
  while (total < limit) {
    DWORD got = 0;
    if (!ReadFile(file.get(), text->bytes.data() + total, limit - total, &got, nullptr)) {
      text->bytes.clear();
      return false;
    }
    if (got == 0) break;
    total += got;
  }
  text->whole = total <= kListFileMaxBytes;
  text->bytes.resize(text->whole ? total : kListFileMaxBytes);
  const std::string utf8 =
      ListTextAsUtf8(text->bytes.data(), text->bytes.size(), IsUtf8ListName(name), LegacyToUtf8);
  text->bytes.assign(utf8.begin(), utf8.end());
  return true;
}

void SetListWindowCreator(ListWindowCreator creator) { gListWindowCreator = creator; }

HWND ShownListWindow() { return gShownListWindow; }

void ForgetShownListWindow(HWND window) {
  if (window != nullptr && gShownListWindow == window) gShownListWindow = nullptr;
}

PlayList::PlayList() {
  for (int& slot : order_) slot = -1;
}

PlayList::~PlayList() {
  if (listWindow_ == nullptr) return;
  // A player closed while its list window is up must not leave the main
  // panel disabled for good.
  if (gShownListWindow == listWindow_) {
    gShownListWindow = nullptr;
    if (owner_ != nullptr) EnableWindow(owner_, TRUE);
  }
  if (IsWindow(listWindow_)) DestroyWindow(listWindow_);
}

bool PlayList::Create(MediaKind allowed) {
  allowed_ = allowed;
  dialogFilter_ = BuildOpenFilter(allowed);
  if (listWindow_ == nullptr && gListWindowCreator != nullptr) {
    listWindow_ = gListWindowCreator(this, owner_);
    if (listWindow_ != nullptr) {
      SendMessageA(listWindow_, kMsgListAttach, 0, reinterpret_cast<LPARAM>(this));
    }
  }
  return listWindow_ != nullptr && IsWindow(listWindow_);
}

void PlayList::Clear() {
  std::memset(entries_, 0, sizeof entries_);
  std::memset(edits_, 0, sizeof edits_);
  count_ = 0;
  position_ = -1;
  for (int& slot : order_) slot = 0;
  currentDrive_ = -1;
  ForgetListTitles();
}

void PlayList::Reset() {
  count_ = 0;
  notify_ = nullptr;
  allowed_ = kKindNone;
  dialogFilter_.clear();
  std::memset(entries_, 0, sizeof entries_);
  std::memset(edits_, 0, sizeof edits_);
  position_ = -1;
  loop_ = false;
  for (int& slot : order_) slot = -1;
  currentPath_[0] = '\0';
}

bool PlayList::Append(const char* path) {
  if (path == nullptr || count_ >= kPlayListCapacity) return false;
  if (FilterKind(allowed_, path) == kKindNone) return false;
  if (!CopyToSlot(entries_[count_], path, std::strlen(path))) return false;
  order_[count_] = count_;  // position count + 1
  if (position_ < 0 || position_ > count_) position_ = 0;
  if (count_ + 1 < kPlayListCapacity) entries_[count_ + 1][0] = '\0';
  ++count_;
  return true;
}

bool PlayList::FillFromPattern(const char* pattern) {
  Clear();
  if (pattern == nullptr) return false;
  size_t length = std::strlen(pattern);
  if (!CopyToSlot(patternDirectory_, pattern, length)) {
    patternDirectory_[0] = '\0';
    return false;
  }
  char* cut = std::strrchr(patternDirectory_, '\\');
  if (cut == nullptr) {
    patternDirectory_[0] = '\0';
    return false;
  }
  *cut = '\0';
  const size_t directoryLength = std::strlen(patternDirectory_);

  WIN32_FIND_DATAA found;
  ScopedFind search(FindFirstFileA(pattern, &found));
  if (!search.IsOpen()) return false;
  int taken = 0;
  do {
    // Folders (the "." and ".." of a "*.*" search among them) are not files
    // to play; a match too long for a slot is skipped rather than cut.
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    size_t nameLength = std::strlen(found.cFileName);
    if (directoryLength + 1 + nameLength >= kPlayListSlot ||
        Utf16Length(patternDirectory_, directoryLength) + 1 + Utf16Length(found.cFileName, nameLength) >
            kMaxPathUnits) {
      continue;
    }
    char* slot = entries_[taken];
    std::memcpy(slot, patternDirectory_, directoryLength);
    slot[directoryLength] = '\\';
    std::memcpy(slot + directoryLength + 1, found.cFileName, nameLength + 1);
    order_[taken] = taken;
    ++taken;
  } while (taken < kPlayListCapacity && FindNextFileA(search.get(), &found));

  count_ = taken;
  if (taken == 0) return false;  // no match worth keeping
  // A new disc under a lit RANDOM lamp plays in random order too.
  if (random_) ShuffleOrder(order_, count_);
  position_ = 0;
  return true;
}

bool PlayList::LoadListFile(const char* name) {
  if (name == nullptr || ClassifyByExtension(name) != kKindListFile) return false;
  ListFileText text;
  if (!ReadListFileText(name, &text) || text.bytes.empty()) return false;

  int kept = 0;
  bool cut = false;
  const std::string folder = ListFolderOf(name);
  const LastLine last = text.whole ? LastLine::kTaken : LastLine::kDropped;
  std::string pendingTitle;
  ForgetListTitles();
  ForEachListLine(text.bytes.data(), text.bytes.size(), last, [&](const char* line, size_t length) {
    const char* title = nullptr;
    size_t titleLength = 0;
    if (ExtinfTitle(line, length, &title, &titleLength)) pendingTitle.assign(title, titleLength);
    if (IsListComment(line, length)) return true;
    const std::string entry = ResolveListEntry(folder, std::string(line, length));
    if (!pendingTitle.empty()) RememberListTitle(entry, pendingTitle);
    pendingTitle.clear();
    char path[kPlayListSlot];
    if (!CopyToSlot(path, entry.c_str(), entry.size())) return true;  // too long: skipped
    if (FilterKind(allowed_, path) == kKindNone) return true;
    if (kept == kPlayListCapacity) {
      cut = true;
      return false;
    }
    std::memcpy(edits_[kept], path, entry.size() + 1);
    ++kept;
    return true;
  });
  for (int i = kept; i < kPlayListCapacity; ++i) edits_[i][0] = '\0';
  CommitEdits();
  if (cut) ShowErrorBox(owner_, kListCutText);
  return true;
}

void PlayList::CommitEdits() {
  std::memset(entries_, 0, sizeof entries_);
  int copied = 0;
  while (copied < kPlayListCapacity && edits_[copied][0] != '\0') {
    std::memcpy(entries_[copied], edits_[copied], kPlayListSlot);
    ++copied;
  }
  count_ = copied;
  SetStraightOrder();
  if (random_) ShuffleOrder(order_, count_);
  currentPath_[0] = '\0';
  currentDrive_ = -1;
  position_ = 0;
}

const char* PlayList::ListTitleOf(const char* path) const {
  if (path == nullptr) return nullptr;
  for (const auto& [entry, title] : listTitles_) {
    if (entry == path) return title.c_str();
  }
  return nullptr;
}

void PlayList::RememberListTitle(const std::string& path, const std::string& title) {
  if (listTitles_.size() < static_cast<size_t>(kPlayListCapacity) * 2) listTitles_.emplace_back(path, title);
}

bool PlayList::EditsHold(const char* path) const {
  if (path == nullptr || path[0] == '\0') return false;
  for (int i = 0; i < kPlayListCapacity && edits_[i][0] != '\0'; ++i) {
    if (std::strcmp(edits_[i], path) == 0) return true;
  }
  return false;
}

bool PlayList::CommitEditsKeeping(const char* playing) {
  const std::string kept = playing != nullptr ? playing : "";
  CommitEdits();
  return KeepCurrent(kept);
}

void PlayList::SetShuffled(bool on) {
  const std::string playing = position_ > 0 ? currentPath_ : "";
  if (on) {
    Shuffle();
  } else {
    Unshuffle();
  }
  KeepCurrent(playing);
}

// Makes the entry holding `path` the current one at its place in the play
// order; in a shuffled order it is moved to the front, so all the others
// are still to come.
bool PlayList::KeepCurrent(const std::string& path) {
  if (path.empty()) return false;
  for (int e = 0; e < count_; ++e) {
    if (path != entries_[e]) continue;
    int p = 1;
    while (p <= count_ && order_[p - 1] != e) ++p;
    if (p > count_) return false;
    if (random_) {
      std::swap(order_[0], order_[p - 1]);
      p = 1;
    }
    position_ = p;
    SetCurrentPath(entries_[e]);
    currentNumber_ = e + 1;
    return true;
  }
  return false;
}

bool PlayList::Advance(Direction direction) {
  if (direction == Direction::kForward) {
    if (loop_) {
      position_ = position_ == count_ ? 1 : position_ + 1;
    } else if (position_ == count_) {
      position_ = 0;
      currentNumber_ = 0;
      return false;  // the end of the list
    } else {
      ++position_;
    }
  } else {
    if (loop_) {
      position_ = position_ >= 2 ? position_ - 1 : count_;
    } else if (position_ < 2) {
      position_ = 0;
      currentNumber_ = 0;
      return false;  // before the start of the list
    } else {
      --position_;
    }
  }
  return true;
}

bool PlayList::Step(Direction direction, char* buffer, size_t size) {
  // Each round hands out one position; an entry the player cannot play makes
  // another round. Without loop the list's end stops the search; with loop
  // a list of nothing playable would go round forever, so one full round of
  // tries is the limit.
  for (int tries = 0;; ++tries) {
    if (position_ < 0 || position_ > count_) return false;
    if (loop_ && tries >= count_) {
      ClearCurrent();
      if (buffer != nullptr && size > 0) buffer[0] = '\0';
      return false;
    }
    if (!Advance(direction)) return false;
    int entry = OrderAt(position_);
    if (entry < 0 || entry >= count_) return false;
    const char* path = entries_[entry];
    size_t length = std::strlen(path);
    if (buffer == nullptr || length + 1 > size) return false;
    std::memcpy(buffer, path, length + 1);
    SetCurrentPath(path);
    currentNumber_ = entry + 1;
    if (FilterKind(allowed_, currentPath_) != kKindNone) return true;
  }
}

bool PlayList::Next(char* buffer, size_t size) { return Step(Direction::kForward, buffer, size); }

bool PlayList::Previous(char* buffer, size_t size) {
  return Step(Direction::kBackward, buffer, size);
}

bool PlayList::PlayEntry(int n, char* buffer, size_t size) {
  if (n < 1 || n > count_) return false;
  Unshuffle();
  position_ = n - 1;
  Next(buffer, size);
  return true;
}

void PlayList::Shuffle() {
  Unshuffle();
  ShuffleOrder(order_, count_);  // each file once per round, any order
  position_ = 0;
  random_ = true;
}

void PlayList::Unshuffle() {
  SetStraightOrder();
  position_ = 0;
  random_ = false;
}

int PlayList::EntryState(int n) const {
  if (n < 1 || n > count_) return 2;
  for (int p = 1; p <= count_; ++p) {
    if (order_[p - 1] != n - 1) continue;
    if (p < position_) return -1;
    return p == position_ ? 0 : 1;
  }
  return 2;
}

void PlayList::Rewind() {
  position_ = 0;
  currentPath_[0] = '\0';
}

bool PlayList::CurrentTitle(char* buffer, size_t size) const {
  return FileTitle(currentPath_, buffer, size);
}

bool PlayList::FirstEntryExists() const {
  if (entries_[0][0] == '\0') return false;
  return GetFileAttributesA(entries_[0]) != INVALID_FILE_ATTRIBUTES;
}

bool PlayList::ShowListWindow() {
  if (listWindow_ == nullptr || owner_ == nullptr || gShownListWindow != nullptr) return false;
  SendMessageA(listWindow_, kMsgListReload, 0, 0);
  // The owner goes first, so there is no moment in which both take clicks.
  EnableWindow(owner_, FALSE);
  ShowWindow(listWindow_, SW_SHOW);
  gShownListWindow = listWindow_;
  return true;
}

bool PlayList::HideListWindow() {
  if (listWindow_ == nullptr) return false;
  ShowWindow(listWindow_, SW_HIDE);
  // Another list's window may be the one keeping the owner disabled.
  if (gShownListWindow != nullptr && gShownListWindow != listWindow_) return true;
  gShownListWindow = nullptr;
  if (owner_ != nullptr) {
    EnableWindow(owner_, TRUE);
    SetForegroundWindow(owner_);
  }
  return true;
}

const char* PlayList::EntryAt(int i) const {
  if (i < 0 || i >= kPlayListCapacity) return "";
  return entries_[i];
}

int PlayList::OrderAt(int position) const {
  if (position < 1 || position > kPlayListCapacity) return -1;
  return order_[position - 1];
}

char* PlayList::EditSlot(int i) {
  if (i < 0 || i >= kPlayListCapacity) return nullptr;
  return edits_[i];
}

void PlayList::CopyEntriesToEdits(bool wholeTable) {
  for (int i = 0; i < kPlayListCapacity; ++i) {
    if (!wholeTable && entries_[i][0] == '\0') {
      for (int j = i; j < kPlayListCapacity; ++j) edits_[j][0] = '\0';
      return;
    }
    std::memcpy(edits_[i], entries_[i], kPlayListSlot);
  }
}

void PlayList::SetStraightOrder() {
  for (int p = 1; p <= count_; ++p) order_[p - 1] = p - 1;
}

void PlayList::SetCurrentPath(const char* path) {
  std::memcpy(currentPath_, path, std::strlen(path) + 1);
  currentDrive_ = DriveOf(currentPath_);
}

void PlayList::ClearCurrent() {
  currentPath_[0] = '\0';
  currentDrive_ = -1;
  currentNumber_ = 0;
}
