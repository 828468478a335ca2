#include "shell/CommandLine.h"

#include <windows.h>

#include "shell/CommandLineScan.h"
#include "shell/Settings.h"

namespace {

bool NamesExistingPath(const char* path) {
  return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

void ParseCommandLine(const char* text, StartupOptions& options) {
  ScanCommandLine(text, options, NamesExistingPath);
}

void LoadAutoPlaySettings(StartupOptions& options) {
  DWORD value = 0;
  options.canAutoPlayCd = ReadSettingNumber("CanAutoPlayCD", &value) ? value : 0;
  value = 0;
  options.canAutoPlayMp3List = ReadSettingNumber("CanAutoPlayMp3List", &value) ? value : 0;
  if (options.forceCdAutoPlay) options.canAutoPlayCd = 1;
}
