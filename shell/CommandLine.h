// Filling the start-up flags: the command line and the auto-play settings.
#pragma once

#include "common/StartupOptions.h"

// Scans the command line: blank-separated tokens (no quoting), keywords
// compared case-insensitively over the keyword's length, and the scan stops
// at the first token that names an existing file or folder.
void ParseCommandLine(const char* text, StartupOptions& options);

// Reads the two auto-play settings (0 when missing) and applies "/X".
void LoadAutoPlaySettings(StartupOptions& options);
