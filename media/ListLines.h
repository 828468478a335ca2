// Splitting the text of an M3U list file into lines. Shared by the playlist
// model and the playlist window's LOAD, which read list files the same way.
#pragma once

#include <cstddef>

// A line ends at CR, LF or NUL, so CR LF, LF-only and CR-only files all
// work; empty lines are skipped. Text after the last line end is not a line:
// a list file cut off in the middle of a path must not yield half a path.
// `visit` gets each line (not NUL-terminated) in file order and returns
// false to stop early. Returns the number of lines visited.
template <typename Visitor>
size_t ForEachListLine(const char* data, size_t size, Visitor visit) {
  size_t visited = 0;
  size_t start = 0;
  for (size_t i = 0; i < size; ++i) {
    char c = data[i];
    if (c != '\r' && c != '\n' && c != '\0') continue;
    if (i > start) {
      ++visited;
      if (!visit(data + start, i - start)) return visited;
    }
    start = i + 1;
  }
  return visited;
}
