// The program's registry key, under the current user (what the user chose)
// and under the local machine (what the installer wrote, the defaults).
#pragma once

constexpr char kProgramSettingsKey[] = "Software\\Vex\\Vex Cantorix Wavesmith";
