// The three settings Cantorix keeps under HKEY_LOCAL_MACHINE. The program
// opens the key and never creates it; installing the program does that.
#pragma once

#include <windows.h>

constexpr char kSettingsKey[] = "Software\\Vex\\Vex Cantorix Wavesmith";

// True only when the value exists and is a 32-bit number.
bool ReadSettingNumber(const char* name, DWORD* value);
// True only when the value is text and fits `capacity` bytes with its NUL.
bool ReadSettingText(const char* name, char* text, DWORD capacity);
// Fails silently (returns false) when the key is missing.
bool WriteSettingNumber(const char* name, DWORD value);
