#include "media/DiscRecords.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool StartsWithNoCase(const std::string& text, const char* prefix, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (UpperAscii(text[i]) != UpperAscii(prefix[i])) return false;
  }
  return true;
}

}  // namespace

bool ParseRecordDecimal(const std::string& text, long long low, long long high, long long* value) {
  const char* start = text.c_str();
  while (*start == ' ' || *start == '\t') ++start;
  if (*start == '\0') return false;
  errno = 0;
  char* end = nullptr;
  long long parsed = std::strtoll(start, &end, 10);
  while (*end == ' ' || *end == '\t') ++end;
  if (errno != 0 || *end != '\0' || parsed < low || parsed > high) return false;
  *value = parsed;
  return true;
}

long long RecordCountOf(const std::string& text) {
  long long count = std::strtoll(text.c_str(), nullptr, 10);
  return count > 0 ? count : 0;
}

bool SerialOf(const std::string& text, uint32_t* serial) {
  long long value = 0;
  if (!ParseRecordDecimal(text, INT32_MIN, UINT32_MAX, &value)) return false;
  *serial = static_cast<uint32_t>(value);
  return true;
}

long long RecordNumberOf(const std::string& key, const char* prefix) {
  size_t length = std::strlen(prefix);
  if (key.size() <= length || !StartsWithNoCase(key, prefix, length)) return 0;
  long long number = 0;
  if (!ParseRecordDecimal(key.substr(length), 1, LLONG_MAX / 2, &number)) return 0;
  return number;
}
