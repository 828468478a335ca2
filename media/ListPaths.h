// Entries of a list file against the list's own folder. Entries read from a
// list are resolved against the folder the list lies in, not the current
// one; absolute entries (a drive letter and colon, or a leading backslash or
// slash, UNC names included) are kept as written. SAVE writes an entry that
// lies in the list's folder or below it relative to that folder, so a list
// moved together with its files keeps working; every other entry stays
// absolute.
#pragma once

#include <string>

// The folder of a list file: its path up to the last backslash or slash;
// "" when it has none.
std::string ListFolderOf(const std::string& listPath);

bool IsAbsoluteEntry(const std::string& entry);

// The entry as the player opens it.
std::string ResolveListEntry(const std::string& folder, const std::string& entry);

// The entry as SAVE writes it into a list in `folder`.
std::string RelativeListEntry(const std::string& folder, const std::string& entry);
