// Handing a file name over with command 5000. The name travels in a global
// atom as long as one holds it (255 characters); a longer one reaches
// another process as WM_COPYDATA (dwData = the command's wParam) and a window
// of this process through a token that only this process hands out.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstddef>

// Length of a UTF-8 name in UTF-16 units, or 0 when it is not valid UTF-8
// (the system's own conversion decides).
size_t PathUnits(const char* path);

// True when the system can open a name of this length (kMaxPathUnits).
bool PathFitsSystem(const char* path);

// To a window of this thread: sends `message` with `command` and an atom, or
// the local token; the name is readable only during the send.
bool SendFileToWindow(HWND target, UINT message, WPARAM command, const char* path);

// To a window of another process: an atom, else WM_COPYDATA.
bool SendFileToProcess(HWND target, UINT message, WPARAM command, const char* path);

// The name behind the lParam of a command 5000 (atom or local token); false
// when there is none or it does not fit `capacity` with its NUL.
bool ReadHandedFile(LPARAM lParam, char* name, size_t capacity);

// The name in a WM_COPYDATA from another process, when it carries `command`
// and holds one NUL-terminated name that fits `capacity`.
bool ReadCopiedFile(const COPYDATASTRUCT* data, WPARAM command, char* name, size_t capacity);

// Dropped file `index` of a drop, as UTF-8 in `name`; its length in bytes,
// or 0 when it is missing, longer than the system opens, or does not fit
// `capacity`. The names are taken as UTF-16 and converted here: the "A"
// query counts its result in UTF-16 units, not in the bytes it wrote.
size_t DroppedFileName(HDROP drop, UINT index, char* name, size_t capacity);
