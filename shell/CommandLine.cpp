#include "shell/CommandLine.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "shell/Settings.h"

namespace {

bool TokenIsKeyword(const std::string& token, const char* keyword) {
  return _strnicmp(token.c_str(), keyword, std::strlen(keyword)) == 0;
}

bool NamesExistingPath(const std::string& token) {
  return GetFileAttributesA(token.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

void ParseCommandLine(const char* text, StartupOptions& options) {
  if (text == nullptr) return;
  const char* p = text;
  while (*p != '\0') {
    while (*p == ' ') ++p;
    if (*p == '\0') break;
    const char* end = std::strchr(p, ' ');
    if (end == nullptr) end = p + std::strlen(p);
    std::string token(p, end);
    p = end;

    // Every keyword is tried; a longer token that starts with one counts.
    if (TokenIsKeyword(token, "ALLCLOSE")) options.createPlayers = false;
    if (TokenIsKeyword(token, "/PLAY")) options.playCdAtOnce = true;
    if (TokenIsKeyword(token, "/AUTO")) options.autoPlayCd = true;
    if (TokenIsKeyword(token, "/MIN")) options.startMinimized = true;
    if (TokenIsKeyword(token, "/X")) {
      options.forceCdAutoPlay = true;
      return;
    }
    if (token.size() < sizeof options.fileToOpen && NamesExistingPath(token)) {
      std::memcpy(options.fileToOpen, token.c_str(), token.size() + 1);
      return;
    }
  }
}

void LoadAutoPlaySettings(StartupOptions& options) {
  DWORD value = 0;
  options.canAutoPlayCd = ReadSettingNumber("CanAutoPlayCD", &value) ? value : 0;
  value = 0;
  options.canAutoPlayMp3List = ReadSettingNumber("CanAutoPlayMp3List", &value) ? value : 0;
  if (options.forceCdAutoPlay) options.canAutoPlayCd = 1;
}
