#include "media/DiscList.h"

#include <windows.h>

#include <algorithm>
#include <functional>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/SettingsKey.h"
#include "media/DiscRecords.h"

namespace {

constexpr char kCountKey[] = "PlayListCount";

// Key names of the section, in file order; empty when the file or the
// section is missing. The profile functions report a full buffer by
// returning its size minus two, so the buffer grows until everything fits.
std::vector<std::string> SectionKeys(const char* file) {
  std::vector<std::string> keys;
  for (DWORD size = 4096; size <= (1u << 24); size *= 2) {
    std::vector<char> buffer(size);
    DWORD got = GetPrivateProfileStringA(kDiscListSection, nullptr, "", buffer.data(), size, file);
    if (got + 2 >= size) continue;
    for (const char* key = buffer.data(); *key != '\0'; key += std::strlen(key) + 1) {
      keys.emplace_back(key);
    }
    break;
  }
  return keys;
}

std::string ReadValue(const char* file, const char* key) {
  char value[1024];
  GetPrivateProfileStringA(kDiscListSection, key, "", value, sizeof value, file);
  return value;
}

// Another program reading the file without letting others write it (a
// backup, an editor, a search indexer) holds it for a moment: the write is
// tried again for up to a second before it counts as failed.
bool WriteValue(const char* file, const char* key, const char* value) {
  constexpr int kTries = 40;
  constexpr DWORD kPauseMs = 25;
  for (int tried = 1;; ++tried) {
    if (WritePrivateProfileStringA(kDiscListSection, key, value, file)) return true;
    const DWORD error = GetLastError();
    if ((error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) || tried == kTries) return false;
    Sleep(kPauseMs);
  }
}

// The record count as the profile's integer reader sees it.
long long RecordCount(const char* file) { return RecordCountOf(ReadValue(file, kCountKey)); }

bool ReadSerial(const char* file, long long record, uint32_t* serial) {
  char key[32];
  std::snprintf(key, sizeof key, "SERIAL%lld", record);
  return SerialOf(ReadValue(file, key), serial);
}

// The user's file, its folder made first.
std::string WritableDiscListFile() {
  char folder[MAX_PATH];
  if (!ProgramDataFolder(folder, sizeof folder, true)) return std::string();
  return std::string(folder) + "\\" + kDiscListFile;
}

// The lookup in one file: the latest record for the serial whose list
// file exists.
bool FindIn(const char* file, uint32_t serial, char* path, size_t size) {
  long long count = RecordCount(file);
  if (count < 1) return false;

  // Only records that have a serial can match, so the search follows the
  // keys present instead of counting up to a count that may be damaged.
  std::vector<long long> records;
  for (const std::string& key : SectionKeys(file)) {
    long long record = RecordNumberOf(key, "SERIAL");
    if (record >= 1 && record <= count) records.push_back(record);
  }
  // The latest record wins: a list saved later for the same disc replaces
  // the earlier one, which serves again only when the later file is gone.
  std::sort(records.begin(), records.end(), std::greater<long long>());
  records.erase(std::unique(records.begin(), records.end()), records.end());

  for (long long record : records) {
    uint32_t recorded = 0;
    if (!ReadSerial(file, record, &recorded) || recorded != serial) continue;
    char key[32];
    std::snprintf(key, sizeof key, "LIST%lld", record);
    std::string list = ReadValue(file, key);
    if (list.empty() || list.size() >= size) continue;
    if (GetFileAttributesA(list.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
    std::memcpy(path, list.c_str(), list.size() + 1);
    return true;
  }
  return false;
}

}  // namespace

std::string UserDiscListFile() {
  char folder[MAX_PATH];
  if (!ProgramDataFolder(folder, sizeof folder, false)) return std::string();
  return std::string(folder) + "\\" + kDiscListFile;
}

uint32_t VolumeSerial(const char* root) {
  // The volume name is not needed, and a name buffer too short for a long
  // disc label would make the whole call fail.
  DWORD serial = 0;
  if (!GetVolumeInformationA(root, nullptr, 0, &serial, nullptr, nullptr, nullptr, 0)) return 0;
  return serial;
}

bool AddDiscList(const char* listPath, uint32_t serial, MediaKind mediaType) {
  if (listPath == nullptr || GetFileAttributesA(listPath) == INVALID_FILE_ATTRIBUTES) return false;
  const std::string user = WritableDiscListFile();
  if (user.empty()) return false;
  const char* file = user.c_str();
  // The count decides the new record's number; records a damaged count no
  // longer covers are not overwritten.
  long long last = RecordCount(file);
  for (const std::string& key : SectionKeys(file)) {
    for (const char* prefix : {"LIST", "SERIAL", "MEDIATYPE"}) {
      last = std::max(last, RecordNumberOf(key, prefix));
    }
  }
  if (last >= INT_MAX) return false;
  int record = static_cast<int>(last + 1);

  char key[32];
  char value[32];
  std::snprintf(value, sizeof value, "%d", record);
  if (!WriteValue(file, kCountKey, value)) return false;
  std::snprintf(key, sizeof key, "LIST%d", record);
  if (!WriteValue(file, key, listPath)) return false;
  std::snprintf(key, sizeof key, "SERIAL%d", record);
  std::snprintf(value, sizeof value, "%d", static_cast<int32_t>(serial));
  if (!WriteValue(file, key, value)) return false;
  std::snprintf(key, sizeof key, "MEDIATYPE%d", record);
  // Records keep the kinds earlier versions knew (the wave player's list is
  // still 3), so that files written now read as before.
  constexpr MediaKind kRecordedKinds = kKindWave | kKindMpeg | kKindMidi | kKindCdTrack | kKindListFile;
  std::snprintf(value, sizeof value, "%d", static_cast<int>(mediaType & kRecordedKinds));
  return WriteValue(file, key, value);
}

bool FindDiscList(uint32_t serial, MediaKind /*mediaType*/, char* path, size_t size) {
  if (path == nullptr || size == 0) return false;
  path[0] = '\0';
  // Records written by earlier versions serve for the discs the user's
  // own file does not know.
  const std::string user = UserDiscListFile();
  return (!user.empty() && FindIn(user.c_str(), serial, path, size)) || FindIn(kDiscListFile, serial, path, size);
}
