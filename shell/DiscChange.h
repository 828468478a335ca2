// The main panel's answer to discs arriving and leaving (WM_DEVICECHANGE).
#pragma once

#include <windows.h>

// Whether a drive (0 = A) is a CD-ROM drive; replaceable for tests.
using CdDriveTest = bool (*)(int drive);
void SetCdDriveTest(CdDriveTest test);

// Whether the disc now in a drive has a stored wave-player list: by default
// its volume serial is looked up in the disc database. Replaceable for tests.
using DiscListLookup = bool (*)(int drive);
void SetDiscListLookup(DiscListLookup lookup);

// Handles a device-change notice; returns what the panel's procedure returns.
LRESULT HandleDeviceChange(HWND panel, WPARAM event, LPARAM data);
