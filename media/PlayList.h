// A player's list of files: what it plays, in which order, where it stands,
// and the working copy that the playlist window edits. The list never plays
// anything itself; the player asks it for the next or previous file name.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "media/MediaKind.h"
#include "common/CommandCodes.h"

constexpr int kPlayListCapacity = 99;
constexpr size_t kPlayListSlot = kPathCapacity;  // 259 UTF-16 units in UTF-8, and the NUL
// What one list file can hold; anything beyond is ignored.
// A list file is read whole up to this size (far beyond 99 entries of any
// length, comments between them included); a larger one is read this far.
constexpr DWORD kListFileMaxBytes = 4u << 20;
// Said once when a list holds more entries than the 99 taken.
constexpr char kListCutText[] = "The list holds more than 99 files: only the first 99 were taken.";

// The start of a list file as the players read it: at most kListFileMaxBytes.
struct ListFileText {
  std::vector<char> bytes;
  bool whole = false;  // false when the file goes on beyond what was read
};
// False when the file cannot be opened (it is opened without sharing) or read.
bool ReadListFileText(const char* name, ListFileText* text);

// Messages to the playlist window.
constexpr UINT kMsgListAttach = WM_USER + 1;  // lParam: the PlayList the window edits
constexpr UINT kMsgListReload = WM_USER + 2;  // copy the entries into the edit entries again
// The window tells the player (the notify window) that the user accepted the
// edited list with kMsgListEdited (CommandCodes.h), wParam and lParam 0; the
// player answers with CommitEdits and HideListWindow.

class PlayList;

// Makes the playlist window for a list: a hidden pop-up owned by `owner`.
// The playlist window's module installs it; until then `Create` makes no
// window and fails.
using ListWindowCreator = HWND (*)(PlayList* list, HWND owner);
void SetListWindowCreator(ListWindowCreator creator);

// Only one playlist window may be shown in the whole process, since each one
// disables the main panel while it is up.
HWND ShownListWindow();
// For the playlist window's cancel, which hides itself without going through
// its list: forgets `window` as the shown one (nothing if another is shown).
void ForgetShownListWindow(HWND window);

class PlayList {
 public:
  PlayList();
  virtual ~PlayList();
  PlayList(const PlayList&) = delete;
  PlayList& operator=(const PlayList&) = delete;

  // Records the kinds, builds the open dialog's filter and makes the list
  // window (through the installed creator), then hands the window this list
  // with kMsgListAttach. True when the list has a window.
  bool Create(MediaKind allowed);
  void SetOwnerWindow(HWND owner) { owner_ = owner; }
  void SetNotifyWindow(HWND notify) { notify_ = notify; }

  // Empties both lists; loop flag, random flag and current path are kept.
  void Clear();
  // Before the player destroys the list: forgets the kinds, the notify
  // window and both lists, and turns loop off.
  void Reset();

  // Adds one file at the end; it is played last even in a shuffled order.
  bool Append(const char* path);
  // The list becomes the files matching a wildcard pattern with a folder
  // (the CD player's "X:\*.cda"), the first 99 in file-system order.
  bool FillFromPattern(const char* pattern);
  // The list becomes the lines of an M3U file that name files of the allowed
  // kinds. A file that cannot be read leaves the list as it was.
  virtual bool LoadListFile(const char* name);
  // The edit entries become the list, ready to play, in an order that
  // follows the random flag (a new shuffle when it is on), so the lamps
  // and the order agree.
  void CommitEdits();
  // The "#EXTINF" title the last list file gave this path; null when none.
  const char* ListTitleOf(const char* path) const;
  void RememberListTitle(const std::string& path, const std::string& title);
  void ForgetListTitles() { listTitles_.clear(); }
  // Whether the edit entries hold this path.
  bool EditsHold(const char* path) const;
  // As CommitEdits, and the file that plays stays current when the new list
  // holds it: play goes on with it, and a new order starts after it.
  bool CommitEditsKeeping(const char* playing);
  // RANDOM on or off while a file may be playing: the file stays current
  // and the new order takes effect from the next file.
  void SetShuffled(bool on);

  // Hand out the next or previous playable file in play order; entries of
  // kinds the player cannot play are skipped.
  bool Next(char* buffer, size_t size);
  bool Previous(char* buffer, size_t size);
  // Straight order again, then hands out entry n (1-based). True whenever n
  // names an entry, even if the entry itself could not be handed out.
  bool PlayEntry(int n, char* buffer, size_t size);

  void Shuffle();
  void Unshuffle();
  void SetLoop(bool loop) { loop_ = loop; }
  bool IsLoop() const { return loop_; }
  bool IsShuffled() const { return random_; }

  int Count() const { return count_; }
  int CurrentEntryNumber() const { return currentNumber_; }
  int Position() const { return position_; }
  // -1 played already, 0 the current one, 1 still to come, 2 no such entry.
  int EntryState(int n) const;
  // Back before the first position; order and flags kept.
  void Rewind();
  // The current file's name between its last backslash and its last dot.
  bool CurrentTitle(char* buffer, size_t size) const;
  bool FirstEntryExists() const;

  bool ShowListWindow();
  bool HideListWindow();

  // What the playlist window works on.
  HWND OwnerWindow() const { return owner_; }
  HWND NotifyWindow() const { return notify_; }
  HWND ListWindow() const { return listWindow_; }
  MediaKind AllowedKinds() const { return allowed_; }
  // Double-NUL-terminated filter text for the open dialog.
  const std::string& DialogFilter() const { return dialogFilter_; }
  const char* PatternDirectory() const { return patternDirectory_; }
  const char* CurrentPath() const { return currentPath_; }
  int CurrentDrive() const { return currentDrive_; }
  // Entry i (0-based); empty beyond the count.
  const char* EntryAt(int i) const;
  // The entry at play-order position p (1..count), or -1.
  int OrderAt(int position) const;
  // Edit slot i (0-based), kPlayListSlot bytes, writable by the window; an
  // empty slot ends the edited list.
  char* EditSlot(int i);
  // Copies the entries over the edit entries: from the first up to the first
  // empty one (all 99 slots when `wholeTable`, as cancel does).
  void CopyEntriesToEdits(bool wholeTable);

 private:
  enum class Direction { kForward, kBackward };
  bool Step(Direction direction, char* buffer, size_t size);
  bool Advance(Direction direction);
  void SetStraightOrder();
  void SetCurrentPath(const char* path);
  void ClearCurrent();

  int currentNumber_ = 0;
  bool KeepCurrent(const std::string& path);
  std::vector<std::pair<std::string, std::string>> listTitles_;  // path, title
  char currentPath_[kPlayListSlot] = {};
  bool loop_ = false;
  int position_ = -1;
  int order_[kPlayListCapacity];  // order_[p - 1]: entry index at position p
  HWND owner_ = nullptr;
  HWND listWindow_ = nullptr;
  int currentDrive_ = -1;
  bool random_ = false;
  int count_ = 0;
  HWND notify_ = nullptr;
  MediaKind allowed_ = kKindNone;
  std::string dialogFilter_;
  char patternDirectory_[kPlayListSlot] = {};
  char entries_[kPlayListCapacity][kPlayListSlot] = {};
  char edits_[kPlayListCapacity][kPlayListSlot] = {};
};
