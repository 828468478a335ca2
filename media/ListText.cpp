#include "media/ListText.h"

#include "common/PathLimits.h"

namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

void AppendUtf8(uint32_t c, std::string* out) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

}  // namespace

size_t Utf16Length(const char* data, size_t size) {
  size_t units = 0;
  size_t i = 0;
  while (i < size) {
    const auto c = static_cast<unsigned char>(data[i]);
    size_t length = c < 0x80 ? 1 : (c >= 0xC2 && c <= 0xDF) ? 2 : (c >= 0xE0 && c <= 0xEF) ? 3
                                 : (c >= 0xF0 && c <= 0xF4) ? 4 : 1;
    if (length > 1 && (size - i < length || !IsValidUtf8(data + i, length))) length = 1;
    units += length == 4 ? 2 : 1;
    i += length;
  }
  return units;
}

bool PathLengthFits(const char* path, size_t size) {
  return size < kPathCapacity && Utf16Length(path, size) <= kMaxPathUnits;
}

bool IsValidUtf8(const char* data, size_t size) {
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  size_t i = 0;
  while (i < size) {
    const unsigned char c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t length;
    uint32_t lowest;
    uint32_t value;
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2, lowest = 0x80, value = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3, lowest = 0x800, value = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4, lowest = 0x10000, value = c & 0x07;
    } else {
      return false;
    }
    if (size - i < length) return false;
    for (size_t k = 1; k < length; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      value = (value << 6) | (p[i + k] & 0x3F);
    }
    if (value < lowest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

bool Cp1252ToUtf8(const char* data, size_t size, std::string* utf8) {
  // 0x80..0x9F; 0xFFFD where the code page assigns nothing.
  static const uint16_t kHigh[32] = {
      0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
  utf8->clear();
  utf8->reserve(size);
  for (size_t i = 0; i < size; ++i) {
    const auto c = static_cast<unsigned char>(data[i]);
    AppendUtf8(c >= 0x80 && c < 0xA0 ? kHigh[c - 0x80] : c, utf8);
  }
  return true;
}

std::string ListTextAsUtf8(const char* data, size_t size, bool utf8List, LegacyToUtf8Fn legacy) {
  if (data == nullptr) return std::string();
  if (size >= 3 && std::string(data, 3) == kByteOrderMark) {
    data += 3;
    size -= 3;
  }
  if (utf8List || IsValidUtf8(data, size)) return std::string(data, size);
  std::string converted;
  if (legacy != nullptr && legacy(data, size, &converted)) return converted;
  return std::string(data, size);
}
