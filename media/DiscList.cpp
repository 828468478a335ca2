#include "media/DiscList.h"

#include <windows.h>

#include <algorithm>
#include <functional>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "media/DiscRecords.h"

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

// The record count as the profile's integer reader sees it.
long long RecordCount() { return RecordCountOf(ReadValue(kCountKey)); }

bool ReadSerial(long long record, uint32_t* serial) {
  char key[32];
  std::snprintf(key, sizeof key, "SERIAL%lld", record);
  return SerialOf(ReadValue(key), serial);
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
  // Records keep the kinds earlier versions knew (the wave player's list is
  // still 3), so that files written now read as before.
  constexpr MediaKind kRecordedKinds = kKindWave | kKindMpeg | kKindMidi | kKindCdTrack | kKindListFile;
  std::snprintf(value, sizeof value, "%d", static_cast<int>(mediaType & kRecordedKinds));
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
  // The latest record wins: a list saved later for the same disc replaces
  // the earlier one, which serves again only when the later file is gone.
  std::sort(records.begin(), records.end(), std::greater<long long>());
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
