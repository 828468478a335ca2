// The three settings Cantorix keeps in the registry: read from the user's
// key, else the machine's (the installer's defaults); written to the user's
// key, which is made on the first write.
#pragma once

#include <windows.h>

#include "common/SettingsKey.h"

constexpr const char* kSettingsKey = kProgramSettingsKey;
constexpr char kSettingsWriteFailedText[] = "The settings could not be saved.";

// True only when the value exists and is a 32-bit number.
bool ReadSettingNumber(const char* name, DWORD* value);
// True only when the value is text and fits `capacity` bytes with its NUL.
bool ReadSettingText(const char* name, char* text, DWORD capacity);
// False when the user's key cannot be made or written; the caller tells the
// user.
bool WriteSettingNumber(const char* name, DWORD value);
