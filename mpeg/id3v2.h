// The title frame of an ID3v2 tag (versions 2.2 to 2.4), as UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>

namespace cx::mpeg {

// tag holds n bytes from the start of the tag's 10-byte header on (the
// whole tag, or as much of it as was read). Writes the title's text,
// converted from ISO-8859-1, UTF-16 or UTF-8 to UTF-8, cut to whole
// characters within capacity - 1 bytes and terminated. False (and an empty
// text) when there is no readable title frame.
bool ReadId3v2Title(const uint8_t* tag, size_t n, char* utf8, size_t capacity);

}  // namespace cx::mpeg
