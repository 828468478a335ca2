// The program's settings. A user's choices are kept under the current user
// (a normal user cannot write the local machine's key); the installer's
// values under the local machine serve as defaults behind them. Files the
// program keeps for the user live in the user's application-data folder.
#pragma once

#include <windows.h>

#include <cstddef>

constexpr char kProgramSettingsKey[] = "Software\\Vex\\Vex Cantorix Wavesmith";
// The folder under the user's application data.
constexpr char kProgramDataFolder[] = "Cantorix";

// The value `name` of type `type` (REG_DWORD, REG_SZ), the user's when the
// user has one of that type, else the machine's. `*size` is the room in
// `data` and receives the stored size. False when neither holds it.
bool ReadProgramSetting(const char* name, DWORD type, void* data, DWORD* size);

// Stores a number under the current user, creating the user's key when it is
// missing. False when the key cannot be made or the value not stored.
bool WriteProgramSettingNumber(const char* name, DWORD value);

// "<application data>\Cantorix" (no trailing backslash), from the shell's
// folder or else the environment's APPDATA; with `create` the folder is
// made when missing. False when there is no such folder or it cannot be
// made.
bool ProgramDataFolder(char* folder, size_t size, bool create);
