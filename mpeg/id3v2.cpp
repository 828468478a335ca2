#include "mpeg/id3v2.h"

#include <cstring>
#include <vector>

namespace cx::mpeg {
namespace {

uint32_t Syncsafe(const uint8_t* p) {
  return (uint32_t{p[0]} & 0x7F) << 21 | (p[1] & 0x7F) << 14 | (p[2] & 0x7F) << 7 | (p[3] & 0x7F);
}

uint32_t BigEndian(const uint8_t* p, int bytes) {
  uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v = (v << 8) | p[i];
  return v;
}

// Appends one code point as UTF-8 if it fits; false when the text is full.
bool PutCodePoint(uint32_t c, char* out, size_t capacity, size_t* used) {
  char bytes[4];
  int n;
  if (c < 0x80) {
    bytes[0] = static_cast<char>(c);
    n = 1;
  } else if (c < 0x800) {
    bytes[0] = static_cast<char>(0xC0 | (c >> 6));
    bytes[1] = static_cast<char>(0x80 | (c & 0x3F));
    n = 2;
  } else if (c < 0x10000) {
    bytes[0] = static_cast<char>(0xE0 | (c >> 12));
    bytes[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    bytes[2] = static_cast<char>(0x80 | (c & 0x3F));
    n = 3;
  } else {
    bytes[0] = static_cast<char>(0xF0 | (c >> 18));
    bytes[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    bytes[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    bytes[3] = static_cast<char>(0x80 | (c & 0x3F));
    n = 4;
  }
  if (*used + static_cast<size_t>(n) + 1 > capacity) return false;
  std::memcpy(out + *used, bytes, static_cast<size_t>(n));
  *used += static_cast<size_t>(n);
  return true;
}

// The first string of a text frame's body (encoding byte first).
void DecodeText(const uint8_t* p, size_t n, char* out, size_t capacity) {
  size_t used = 0;
  if (n == 0) return;
  const uint8_t encoding = p[0];
  ++p;
  --n;
  if (encoding == 0 || encoding == 3) {
    // ISO-8859-1 maps byte for byte onto the first 256 code points; UTF-8
    // is copied by whole sequences so a cut never splits a character.
    size_t i = 0;
    while (i < n && p[i] != 0) {
      if (encoding == 0) {
        if (!PutCodePoint(p[i], out, capacity, &used)) break;
        ++i;
        continue;
      }
      size_t len = p[i] < 0x80 ? 1 : p[i] >= 0xF0 ? 4 : p[i] >= 0xE0 ? 3 : 2;
      if (i + len > n || used + len + 1 > capacity) break;
      std::memcpy(out + used, p + i, len);
      used += len;
      i += len;
    }
  } else if (encoding == 1 || encoding == 2) {
    bool bigEndian = encoding == 2;
    size_t i = 0;
    if (encoding == 1 && n >= 2) {
      if (p[0] == 0xFE && p[1] == 0xFF) bigEndian = true;
      if ((p[0] == 0xFE && p[1] == 0xFF) || (p[0] == 0xFF && p[1] == 0xFE)) i = 2;
    }
    auto unit = [&](size_t at) -> uint32_t {
      return bigEndian ? (uint32_t{p[at]} << 8 | p[at + 1]) : (uint32_t{p[at + 1]} << 8 | p[at]);
    };
    while (i + 2 <= n) {
      uint32_t c = unit(i);
      if (c == 0) break;
      i += 2;
      if (c >= 0xD800 && c < 0xDC00 && i + 2 <= n) {
        const uint32_t low = unit(i);
        if (low >= 0xDC00 && low < 0xE000) {
          c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
          i += 2;
        }
      }
      if (c >= 0xD800 && c < 0xE000) c = '?';  // a lone surrogate
      if (!PutCodePoint(c, out, capacity, &used)) break;
    }
  }
  out[used] = '\0';
}

}  // namespace

bool ReadId3v2Title(const uint8_t* tag, size_t n, char* utf8, size_t capacity) {
  if (capacity == 0) return false;
  utf8[0] = '\0';
  if (n < 10 || std::memcmp(tag, "ID3", 3) != 0) return false;
  const int version = tag[3];
  if (version < 2 || version > 4) return false;
  const uint8_t flags = tag[5];
  size_t size = Syncsafe(tag + 6);
  if (size > n - 10) size = n - 10;
  std::vector<uint8_t> body(tag + 10, tag + 10 + size);
  if (flags & 0x80) {
    // Unsynchronisation put a 0 behind every 0xFF; take them out again.
    size_t out = 0;
    for (size_t i = 0; i < body.size(); ++i) {
      body[out++] = body[i];
      if (body[i] == 0xFF && i + 1 < body.size() && body[i + 1] == 0) ++i;
    }
    body.resize(out);
  }
  size_t at = 0;
  if (version >= 3 && (flags & 0x40) && body.size() >= 4) {
    at = version == 3 ? 4 + BigEndian(body.data(), 4) : Syncsafe(body.data());
  }
  const size_t headerBytes = version == 2 ? 6 : 10;
  while (at + headerBytes <= body.size()) {
    const uint8_t* f = body.data() + at;
    if (f[0] == 0) break;  // padding
    size_t frameSize;
    bool usable = true;
    if (version == 2) {
      frameSize = BigEndian(f + 3, 3);
    } else {
      frameSize = version == 4 ? Syncsafe(f + 4) : BigEndian(f + 4, 4);
      // Compressed or encrypted frames cannot be read here.
      usable = version == 3 ? (f[9] & 0xC0) == 0 : (f[9] & 0x0C) == 0;
    }
    const size_t start = at + headerBytes;
    if (frameSize > body.size() - start) break;
    const bool title = version == 2 ? std::memcmp(f, "TT2", 3) == 0 : std::memcmp(f, "TIT2", 4) == 0;
    if (title && usable) {
      const uint8_t* text = body.data() + start;
      size_t textSize = frameSize;
      if (version == 4 && (f[9] & 0x01) && textSize >= 4) {  // data length indicator
        text += 4;
        textSize -= 4;
      }
      DecodeText(text, textSize, utf8, capacity);
      return utf8[0] != '\0';
    }
    at = start + frameSize;
  }
  return false;
}

}  // namespace cx::mpeg
