#include "media/DiscList.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char kCountKey[] = "PlayListCount";

// Key names of the section, in file order; empty when the file or the
// section is missing. The profile functions report a full buffer by
// returning its size minus two, so the buffer grows until everything fits.
std::vector<std::string> SectionKeys() {
  std::vector<std::string> keys;
  for (DWORD size = 4096; size <= (1u << 24); size *= 2) {
    std::vector<char> buffer(size);
    DWORD got = GetPrivateProfileStringA(kDiscListSection, nullptr, "", buffer.data(), size,
                                         kDiscListFile);
    if (got + 2 >= size) continue;
    for (const char* key = buffer.data(); *key != '\0'; key += std::strlen(key) + 1) {
      keys.emplace_back(key);
    }
    break;
  }
  return keys;
}

std::string ReadValue(const char* key) {
  char value[1024];
  GetPrivateProfileStringA(kDiscListSection, key, "", value, sizeof value, kDiscListFile);
  return value;
}

bool WriteValue(const char* key, const char* value) {
  return WritePrivateProfileStringA(kDiscListSection, key, value, kDiscListFile) != 0;
}

// A whole decimal number, optionally signed, in [low, high].
bool ParseDecimal(const std::string& text, long long low, long long high, long long* value) {
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

// The record count as the profile's integer reader sees it: its leading
// decimal number, 0 when there is none.
long long RecordCount() {
  std::string text = ReadValue(kCountKey);
  long long count = std::strtoll(text.c_str(), nullptr, 10);
  return count > 0 ? count : 0;
}

// Serials are stored as signed 32-bit decimals ("%d"), so discs with the
// high bit set appear negative; both spellings read back to the same value.
// Anything else is a damaged record, not serial 0.
bool ReadSerial(long long record, uint32_t* serial) {
  char key[32];
  std::snprintf(key, sizeof key, "SERIAL%lld", record);
  long long value = 0;
  if (!ParseDecimal(ReadValue(key), INT32_MIN, UINT32_MAX, &value)) return false;
  *serial = static_cast<uint32_t>(value);
  return true;
}

// The record number in a key "<prefix><n>" (any letter case), or 0.
long long RecordNumberOf(const std::string& key, const char* prefix) {
  size_t length = std::strlen(prefix);
  if (key.size() <= length || _strnicmp(key.c_str(), prefix, length) != 0) return 0;
  long long number = 0;
  if (!ParseDecimal(key.substr(length), 1, LLONG_MAX / 2, &number)) return 0;
  return number;
}

}  // namespace

uint32_t VolumeSerial(const char* root) {
  // The volume name is not needed, and a name buffer too short for a long
  // disc label would make the whole call fail.
  DWORD serial = 0;
  if (!GetVolumeInformationA(root, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0)) return 0;
  return serial;
}

bool AddDiscList(const char* listPath, uint32_t serial, MediaKind mediaType) {
  if (listPath == nullptr || GetFileAttributesA(listPath) == INVALID_FILE_ATTRIBUTES) return false;
  // The count decides the new record's number; records a damaged count no
  // longer covers are not overwritten.
  long long last = RecordCount();
  for (const std::string& key : SectionKeys()) {
    for (const char* prefix : {"LIST", "SERIAL", "MEDIATYPE"}) {
      last = std::max(last, RecordNumberOf(key, prefix));
    }
  }
  if (last >= INT_MAX) return false;
  int record = static_cast<int>(last + 1);

  char key[32];
  char value[32];
  std::snprintf(value, sizeof value, "%d", record);
  if (!WriteValue(kCountKey, value)) return false;
  std::snprintf(key, sizeof key, "LIST%d", record);
  if (!WriteValue(key, listPath)) return false;
  std::snprintf(key, sizeof key, "SERIAL%d", record);
  std::snprintf(value, sizeof value, "%d", static_cast<int32_t>(serial));
  if (!WriteValue(key, value)) return false;
  std::snprintf(key, sizeof key, "MEDIATYPE%d", record);
  std::snprintf(value, sizeof value, "%d", static_cast<int>(mediaType));
  return WriteValue(key, value);
}

bool FindDiscList(uint32_t serial, MediaKind /*mediaType*/, char* path, size_t size) {
  if (path == nullptr || size == 0) return false;
  path[0] = '\0';
  long long count = RecordCount();
  if (count < 1) return false;

  // Only records that have a serial can match, so the search follows the
  // keys present instead of counting up to a count that may be damaged.
  std::vector<long long> records;
  for (const std::string& key : SectionKeys()) {
    long long record = RecordNumberOf(key, "SERIAL");
    if (record >= 1 && record <= count) records.push_back(record);
  }
  std::sort(records.begin(), records.end());
  records.erase(std::unique(records.begin(), records.end()), records.end());

  for (long long record : records) {
    uint32_t recorded = 0;
    if (!ReadSerial(record, &recorded) || recorded != serial) continue;
    char key[32];
    std::snprintf(key, sizeof key, "LIST%lld", record);
    std::string list = ReadValue(key);
    if (list.empty() || list.size() >= size) continue;
    if (GetFileAttributesA(list.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
    std::memcpy(path, list.c_str(), list.size() + 1);
    return true;
  }
  return false;
}
