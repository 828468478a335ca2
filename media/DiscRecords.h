// The text of the disc list database's values and key names, as the records
// are read back: portable, so it is fuzzed natively. The profile file itself
// is read and written by the system's profile functions (media/DiscList).
#pragma once

#include <cstdint>
#include <string>

// A whole decimal number, optionally signed and surrounded by blanks or
// tabs, in [low, high].
bool ParseRecordDecimal(const std::string& text, long long low, long long high, long long* value);

// The record count as the profile's integer reader sees it: its leading
// decimal number, 0 when there is none or it is negative.
long long RecordCountOf(const std::string& text);

// Serials are stored as signed 32-bit decimals ("%d"), so discs with the
// high bit set appear negative; both spellings read back to the same value.
// Anything else is a damaged record, not serial 0.
bool SerialOf(const std::string& text, uint32_t* serial);

// The record number in a key "<prefix><n>" (any letter case), or 0.
long long RecordNumberOf(const std::string& key, const char* prefix);
