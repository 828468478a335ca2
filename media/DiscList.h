// Which list file belongs to which disc: records of (list file, volume
// serial, player kinds) in the profile file "CXDB.INI", section "CANTORIX".
// The bare file name puts the file in the Windows directory.
#pragma once

#include <cstddef>
#include <cstdint>

#include "media/MediaKind.h"

constexpr char kDiscListFile[] = "CXDB.INI";
constexpr char kDiscListSection[] = "CANTORIX";

// The volume serial number of a root such as "D:\"; 0 when the volume cannot
// be read. Callers use it only when the drive holds a disc.
uint32_t VolumeSerial(const char* root);

// Appends a record for an existing list file. Every call appends, even for a
// list or serial recorded before. False when the list file does not exist or
// the profile cannot be written.
bool AddDiscList(const char* listPath, uint32_t serial, MediaKind mediaType);

// The list file of the lowest-numbered record for the serial whose file still
// exists. Records of every player are considered: `mediaType` is not
// compared. False, with `path` emptied, when there is none.
bool FindDiscList(uint32_t serial, MediaKind mediaType, char* path, size_t size);
