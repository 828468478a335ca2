// What the playlist window does to a list's edit entries: adding, deleting
// and moving entries, taking a list file's lines and writing the entries to
// a list file. The edit entries are kept packed: the non-empty ones come
// first and every slot after the first empty one is empty too, so line n of
// the window's list box is always edit entry n.
#pragma once

#include <cstddef>

#include "media/PlayList.h"

// The number of edit entries in use.
int EditCount(PlayList& list);

// Puts a path into the first empty edit entry. False (nothing changed) when
// its kind is not one the list accepts, when all 99 are in use, or when the
// path does not fit a slot: a shortened path would name another file.
bool AddEdit(PlayList& list, const char* path, size_t length);

// An open dialog's result: one full path, or a folder followed by names
// (each NUL-terminated, a second NUL after the last). Returns the number of
// entries added.
// *full (when given) says whether names were left over because the list
// holds 99 entries.
int AddDialogSelection(PlayList& list, const char* result, size_t size, bool* full = nullptr);

// `lines` holds line numbers of the list box, ascending. Delete empties
// those entries and closes the gaps. Up and Down move them one step and give
// their new line numbers back in `lines`; false when they cannot move (the
// first is at the top, or the last at the end of the list).
void DeleteEdits(PlayList& list, const int* lines, int count);
bool MoveEditsUp(PlayList& list, int* lines, int count);
bool MoveEditsDown(PlayList& list, int* lines, int count);

// The list box line of an entry: the name after the last backslash without
// its extension; an entry without a backslash (a relative path from a list
// file) is shown whole.
void EditLineText(const char* entry, char* line, size_t size);

// LOAD: the entries of the list file `listName` (at most 99; comments
// skipped, relative ones resolved against the list's folder, those too long
// for the system skipped) become the edit entries. Only the first entry's
// kind is checked; false, with nothing changed, when the list does not
// accept it.
// `cut` (may be null) tells whether the list held more than 99 entries.
bool TakeListLines(PlayList& list, const ListFileText& text, const char* listName, bool* cut);

// SAVE: the name gets ".m3u" unless it already ends so (in any letter case).
// False when the result would not fit a path of 259 characters.
bool ListFileNameFor(const char* chosen, char* name, size_t size);
// Writes the edit entries, each followed by CR LF, over whatever the file
// held. False when the file cannot be created or written.
bool WriteEditsToListFile(PlayList& list, const char* name);
// Records a saved list file against the disc of the list's first entry in
// the disc list database; nothing for an empty list or one whose first entry
// names no drive. False only when a record was due and could not be
// written.
bool RecordListForDisc(const PlayList& list, const char* name);
