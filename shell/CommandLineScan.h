// The token scan of the command line, apart from the file system so it can
// be tested and fuzzed natively: the caller says which tokens name existing
// files or folders.
#pragma once

#include "common/StartupOptions.h"

using PathExistsFn = bool (*)(const char* path);

// Blank-separated tokens (no quoting), keywords compared case-insensitively
// over the keyword's length; the scan stops at "/X" and at the first token
// for which `exists` is true.
void ScanCommandLine(const char* text, StartupOptions& options, PathExistsFn exists);
