// Media kinds by file-name extension, shared by the whole program. Only the
// extension decides; no file header is looked at here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

using MediaKind = uint32_t;

constexpr MediaKind kKindNone = 0;
constexpr MediaKind kKindWave = 1;
constexpr MediaKind kKindMpeg = 2;
constexpr MediaKind kKindMidi = 4;
constexpr MediaKind kKindCdTrack = 8;
constexpr MediaKind kKindListFile = 16;
constexpr MediaKind kKindFlac = 32;
constexpr MediaKind kKindVorbis = 64;

// Allowed-kinds masks of the players; 0 means "any file" (dialog filter only).
constexpr MediaKind kCdPlayerKinds = kKindCdTrack;
constexpr MediaKind kMidiPlayerKinds = kKindMidi;
constexpr MediaKind kWavePlayerKinds = kKindWave | kKindMpeg | kKindFlac | kKindVorbis;

// The text from the last '.' to the end, or nullptr when there is no dot.
const char* ExtensionOf(const char* name);

// Loose recogniser: the extension is compared with the leading part of each
// table entry of the same length, so ".mp" counts as MPEG and a bare "." as
// WAV. Recognises list files too.
MediaKind ClassifyByExtension(const char* name);

// Strict recogniser: the whole extension must equal a table entry; the kind
// is then masked with `allowed`. Never yields a list file.
MediaKind FilterKind(MediaKind allowed, const char* name);

// Which player (its route) a name goes to when dispatched directly by its
// extension: ".WAV", ".MP3", ".MID", ".RMI" and ".CDA" with the loose
// comparison, and every other kind the wave player plays by its whole
// extension. Returns 0 for anything else, list files included.
uint16_t DirectPlayerRoute(const char* name);
bool IsListFileName(const char* name);
// ".m3u8" (whole, any letter case): a list that is always UTF-8.
bool IsUtf8ListName(const char* name);

// A file's title: its name after the last slash of either kind, without the
// last extension, cut to size - 1 characters. Empty (and false) for a path
// without a folder or without an extension.
bool FileTitle(const char* path, char* buffer, size_t size);

// The player route for a kind read from a list file's first line.
uint16_t PlayerRouteForKind(MediaKind kind);

// The open dialog's filter for a player's mask: description, NUL, patterns,
// NUL, NUL. The result's size() includes all three NULs.
std::string BuildOpenFilter(MediaKind allowed);
