// Which list file belongs to which disc: records of (list file, volume
// serial, player kinds) in the profile file "CXDB.INI", section "CANTORIX".
// Records are written to the user's own file, in the program's folder of
// the user's application data; the file earlier versions kept in the
// Windows directory (the bare file name) is still read, for the discs the
// user's file does not know.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "media/MediaKind.h"

constexpr char kDiscListFile[] = "CXDB.INI";
constexpr char kDiscListSection[] = "CANTORIX";
constexpr char kDiscListWriteFailedText[] = "The list could not be recorded for its disc.";

// The full path of the user's file; empty when the user has no
// application-data folder. Nothing is created.
std::string UserDiscListFile();

// The volume serial number of a root such as "D:\"; 0 when the volume cannot
// be read. Callers use it only when the drive holds a disc.
uint32_t VolumeSerial(const char* root);

// Appends a record for an existing list file to the user's file (made, with
// its folder, when missing). Every call appends, even for a list or serial
// recorded before. False when the list file does not exist or the profile
// cannot be written.
bool AddDiscList(const char* listPath, uint32_t serial, MediaKind mediaType);

// The list file of the latest record for the serial whose file still
// exists, in the user's file, else in the Windows directory's. Records of
// every player are considered: `mediaType` is not compared. False, with
// `path` emptied, when there is none.
bool FindDiscList(uint32_t serial, MediaKind mediaType, char* path, size_t size);
