// Filling the start-up flags: the command line and the auto-play settings.
#pragma once

#include "common/StartupOptions.h"

// Scans the command line (UTF-8, the programs' code page) as
// ScanCommandLine does, asking the file system which names exist.
void ParseCommandLine(const char* text, StartupOptions& options);

// Reads the two auto-play settings (0 when missing) and applies "/X".
void LoadAutoPlaySettings(StartupOptions& options);
