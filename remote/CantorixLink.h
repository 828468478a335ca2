// How Handset reaches Cantorix: its main panel found by class, commands
// sent with a time-out (a hung Cantorix must not hang the remote) or
// posted, and the program started when it is not running.
#pragma once

#include <windows.h>

#include <cstdint>

constexpr char kCantorixClass[] = "CANTORIX";

// How long a send may wait for Cantorix's user-interface thread. Opening a
// player creates its window and opens its devices, which takes seconds the
// first time under load; the poll and the 3D notice are quick when Cantorix
// is healthy.
constexpr UINT kOpenPlayerTimeoutMs = 10000;
constexpr UINT kQuickSendTimeoutMs = 500;

HWND FindCantorix();

// Sends the command message; false when there is no window, or it did not
// answer in time.
bool SendCantorixCommand(HWND cantorix, UINT commandMessage, uint16_t route, uint16_t code,
                         LPARAM lParam, UINT timeoutMs);
// Posts it; nothing when there is no window.
void PostCantorixCommand(HWND cantorix, UINT commandMessage, uint16_t route, uint16_t code,
                         LPARAM lParam);

// Starts Cantorix.exe with `arguments` ("", "allclose" or a quoted file): the copy beside
// Handset.exe, else the one in the "Application Path" setting's folder,
// else the bare name for the system to find. Returns once the new program
// waits for input (bounded), true when it was started.
bool StartCantorix(const char* arguments);

// The file named on Handset's command line (UTF-8, quoted or not): true
// when it exists and fits `capacity`.
bool FileArgument(const char* commandLine, char* path, size_t capacity);

// Hands `path` to the running Cantorix as a second start would (an atom, or
// WM_COPYDATA for a long name); when none runs, starts one with the file.
bool OpenInCantorix(const char* path, UINT commandMessage);
