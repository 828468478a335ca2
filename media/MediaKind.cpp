#include "media/MediaKind.h"

#include <algorithm>
#include <cstring>

#include "common/CommandRoutes.h"

namespace {

struct ExtensionRow {
  const char* extension;
  MediaKind kind;
};

// Searched in this order; the first match decides.
constexpr ExtensionRow kExtensions[] = {
    {".WAV", kKindWave}, {".MP1", kKindMpeg}, {".MP2", kKindMpeg}, {".MP3", kKindMpeg},
    {".MPA", kKindMpeg}, {".MID", kKindMidi}, {".RMI", kKindMidi}, {".CDA", kKindCdTrack},
    {".FLAC", kKindFlac}, {".OGG", kKindVorbis}, {".OGA", kKindVorbis},
    {".M3U", kKindListFile}, {".M3U8", kKindListFile},
};

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// Case-insensitive comparison of the first n characters, stopping at a NUL
// in either string (strnicmp semantics, without the locale).
bool EqualPrefixNoCase(const char* a, const char* b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
    if (a[i] == '\0') return true;
  }
  return true;
}

bool EqualNoCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    if (UpperAscii(*a) != UpperAscii(*b)) return false;
    if (*a == '\0') return true;
  }
}

// The loose comparison: the extension against the first strlen(extension)
// characters of the entry. An extension longer than the entry runs into the
// entry's NUL and fails.
bool LooseMatch(const char* extension, const char* entry) {
  return EqualPrefixNoCase(extension, entry, std::strlen(extension));
}

}  // namespace

const char* ExtensionOf(const char* name) {
  if (name == nullptr) return nullptr;
  return std::strrchr(name, '.');
}

MediaKind ClassifyByExtension(const char* name) {
  const char* extension = ExtensionOf(name);
  if (extension == nullptr) return kKindNone;
  for (const ExtensionRow& row : kExtensions) {
    if (LooseMatch(extension, row.extension)) return row.kind;
  }
  return kKindNone;
}

MediaKind FilterKind(MediaKind allowed, const char* name) {
  const char* extension = ExtensionOf(name);
  if (extension == nullptr) return kKindNone;
  for (const ExtensionRow& row : kExtensions) {
    if (row.kind == kKindListFile) break;
    if (EqualNoCase(extension, row.extension)) return row.kind & allowed;
  }
  return kKindNone;
}

uint16_t DirectPlayerRoute(const char* name) {
  const char* extension = ExtensionOf(name);
  if (extension == nullptr) return 0;
  if (LooseMatch(extension, ".WAV") || LooseMatch(extension, ".MP3")) return kRouteWave;
  if (LooseMatch(extension, ".MID") || LooseMatch(extension, ".RMI")) return kRouteMidi;
  if (LooseMatch(extension, ".CDA")) return kRouteCd;
  if (FilterKind(kWavePlayerKinds, name) != kKindNone) return kRouteWave;
  return 0;
}

bool IsListFileName(const char* name) {
  const char* extension = ExtensionOf(name);
  return extension != nullptr && (LooseMatch(extension, ".M3U") || EqualNoCase(extension, ".M3U8"));
}

bool IsUtf8ListName(const char* name) {
  const char* extension = ExtensionOf(name);
  return extension != nullptr && EqualNoCase(extension, ".M3U8");
}

uint16_t PlayerRouteForKind(MediaKind kind) {
  switch (kind) {
    case kKindWave:
    case kKindMpeg:
    case kKindFlac:
    case kKindVorbis:
      return kRouteWave;
    case kKindMidi:
      return kRouteMidi;
    case kKindCdTrack:
      return kRouteCd;
    default:
      return 0;
  }
}

std::string BuildOpenFilter(MediaKind allowed) {
  struct FilterRow {
    MediaKind kind;
    const char* description;
    const char* patterns;
  };
  // The last MPEG pattern has no dot; dialogs have always shown it that way.
  static constexpr FilterRow kRows[] = {
      {kKindCdTrack, "CD Audio", "*.cda"},
      {kKindMidi, "MIDI File", "*.mid;*.rmi"},
      {kKindWave, "Wave File", "*.wav"},
      {kKindMpeg, "MP3 Audio File", "*.mp1;*.mp2;*.mp3;*mpa"},
      {kKindFlac, "FLAC Audio File", "*.flac"},
      {kKindVorbis, "Ogg Vorbis File", "*.ogg;*.oga"},
  };
  constexpr size_t kMaxPart = 127;
  std::string description;
  std::string patterns;
  if (allowed == 0) {
    description = "All File";
    patterns = "*.*";
  } else {
    for (const FilterRow& row : kRows) {
      if ((allowed & row.kind) == 0) continue;
      if (!description.empty()) description += " & ";
      description += row.description;
      if (!patterns.empty()) patterns += ";";
      patterns += row.patterns;
    }
  }
  description.resize(std::min(description.size(), kMaxPart));
  patterns.resize(std::min(patterns.size(), kMaxPart));
  std::string filter = description;
  filter.push_back('\0');
  filter += patterns;
  filter.push_back('\0');
  filter.push_back('\0');
  return filter;
}

bool FileTitle(const char* path, char* buffer, size_t size) {
  if (buffer == nullptr || size == 0) return false;
  std::memset(buffer, 0, size);
  if (path == nullptr) return false;
  // Windows takes either slash between folders; the title follows the last.
  const char* backslash = std::strrchr(path, '\\');
  const char* forward = std::strrchr(path, '/');
  const char* slash = (forward != nullptr && (backslash == nullptr || forward > backslash)) ? forward : backslash;
  const char* dot = std::strrchr(path, '.');
  if (slash == nullptr || dot == nullptr || dot < slash) return false;
  size_t length = static_cast<size_t>(dot - slash - 1);
  if (length > size - 1) length = size - 1;
  std::memcpy(buffer, slash + 1, length);
  return true;
}
