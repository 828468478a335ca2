// The playlist window ("PlayListClass"): a small skinned pop-up in which the
// user edits a player's list with ADD, DELETE, UP, DOWN, dropped files, LOAD
// and SAVE. It edits the list's edit entries only; OK (or a loaded list
// file) tells the player with kMsgListEdited. Every player's list gets its
// window through the same creator, which PlayList::Create calls.
#pragma once

#include <windows.h>
#include <commdlg.h>

// Reads the folder the list-file dialogs open in (the program's folder from
// the settings); false when there is none.
using ListFolderReader = bool (*)(char* folder, DWORD capacity);

// Registers the window class (once per process) and installs the creator
// for every PlayList. `instance` holds the skin bitmaps. False when the
// class cannot be registered; lists then have no window.
bool InstallPlayListWindow(HINSTANCE instance, ListFolderReader listFolder);

// The common dialogs ADD/LOAD and SAVE open; null puts the system's back.
// Tests answer the dialogs through this.
using FileDialogFunction = BOOL(WINAPI*)(LPOPENFILENAMEA);
void SetPlayListFileDialogs(FileDialogFunction open, FileDialogFunction save);
