#include "shell/CommandLineScan.h"

#include <cstring>
#include <string>

namespace {

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// The token begins with the keyword, in any letter case.
bool TokenIsKeyword(const std::string& token, const char* keyword) {
  const size_t length = std::strlen(keyword);
  if (token.size() < length) return false;
  for (size_t i = 0; i < length; ++i) {
    if (UpperAscii(token[i]) != UpperAscii(keyword[i])) return false;
  }
  return true;
}

}  // namespace

void ScanCommandLine(const char* text, StartupOptions& options, PathExistsFn exists) {
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
    if (token.size() < sizeof options.fileToOpen && exists(token.c_str())) {
      std::memcpy(options.fileToOpen, token.c_str(), token.size() + 1);
      return;
    }
  }
}
