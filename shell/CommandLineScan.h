// The token scan of the command line, apart from the file system so it can
// be tested and fuzzed natively: the caller says which texts name existing
// files or folders.
#pragma once

#include "common/StartupOptions.h"

using PathExistsFn = bool (*)(const char* path);

// Tokens are separated by blanks; quotation marks group blanks into a token
// and are removed. Keywords are compared case-insensitively over the
// keyword's length (plain tokens only); the scan stops at "/X" and at the
// first file: a quoted token that names one, or the longest run of plain
// tokens, joined by the blanks between them, that names one.
void ScanCommandLine(const char* text, StartupOptions& options, PathExistsFn exists);
