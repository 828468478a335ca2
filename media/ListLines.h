// Splitting the text of an M3U list file into lines. Shared by the playlist
// model and the playlist window's LOAD, which read list files the same way.
#pragma once

#include <cstddef>
#include <cstring>

// Whether text after the last line end is a line of its own.
enum class LastLine {
  kTaken,    // the text is the whole file: a hand-written list often has no
             // line end after its last path
  kDropped,  // the text was cut at a read limit: the tail may be half a path
};

// A line ends at CR, LF or NUL, so CR LF, LF-only and CR-only files all
// work; empty lines are skipped. `visit` gets each line (not NUL-terminated)
// in file order and returns false to stop early. Returns the number of
// lines visited.
template <typename Visitor>
size_t ForEachListLine(const char* data, size_t size, LastLine last, Visitor visit) {
  size_t visited = 0;
  size_t start = 0;
  for (size_t i = 0; i <= size; ++i) {
    if (i < size) {
      char c = data[i];
      if (c != '\r' && c != '\n' && c != '\0') continue;
    } else if (last == LastLine::kDropped) {
      break;
    }
    if (i > start) {
      ++visited;
      if (!visit(data + start, i - start)) return visited;
    }
    start = i + 1;
  }
  return visited;
}

// Lines that begin with "#" are comments and directives of the extended
// format ("#EXTM3U", "#EXTINF:..."): never a path.
inline bool IsListComment(const char* line, size_t length) { return length > 0 && line[0] == '#'; }

// The text after a UTF-8 byte-order mark, if there is one.
inline size_t ByteOrderMarkLength(const char* data, size_t size) {
  return size >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
}

// The title of an "#EXTINF:<seconds>,<title>" line (for the entry that
// follows it); false for any other line or an empty title.
inline bool ExtinfTitle(const char* line, size_t length, const char** title, size_t* titleLength) {
  static const char kTag[] = "#EXTINF:";
  const size_t tag = sizeof kTag - 1;
  if (length <= tag || std::memcmp(line, kTag, tag) != 0) return false;
  const void* comma = std::memchr(line + tag, ',', length - tag);
  if (comma == nullptr) return false;
  const char* start = static_cast<const char*>(comma) + 1;
  const size_t rest = length - static_cast<size_t>(start - line);
  if (rest == 0) return false;
  *title = start;
  *titleLength = rest;
  return true;
}
