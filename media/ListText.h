// The text of a list file as the players use it: UTF-8, the programs' code
// page. ".m3u8" files are UTF-8; ".m3u" files are UTF-8 when their bytes are
// valid UTF-8 and otherwise in the system's legacy code page (what earlier
// versions, and most other programs, wrote). A UTF-8 byte-order mark is
// dropped. Lists are written as UTF-8 without a mark, so a list of ASCII
// names is written byte for byte as it always was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// True when the bytes are well-formed UTF-8 (no overlong forms, no
// surrogates, nothing above U+10FFFF).
bool IsValidUtf8(const char* data, size_t size);

// The length in UTF-16 units of UTF-8 bytes, the measure the system limits
// paths by: a four-byte character takes two units, any other character one,
// and each byte that is no part of a valid character one (it would become
// U+FFFD).
size_t Utf16Length(const char* data, size_t size);

// A path the system can open by its length (at most kMaxPathUnits units)
// and that fits a slot of kPathCapacity bytes with its NUL.
bool PathLengthFits(const char* path, size_t size);

// Turns one legacy-code-page text into UTF-8; false when it cannot.
using LegacyToUtf8Fn = bool (*)(const char* data, size_t size, std::string* utf8);

// Windows-1252 to UTF-8, the legacy code page where the system names none
// (and the native builds' stand-in); the five unassigned bytes become U+FFFD.
bool Cp1252ToUtf8(const char* data, size_t size, std::string* utf8);

// The bytes of a list file as UTF-8 text (see above). `utf8List` is true for
// ".m3u8". A legacy text the converter refuses is kept as it was.
std::string ListTextAsUtf8(const char* data, size_t size, bool utf8List, LegacyToUtf8Fn legacy);
