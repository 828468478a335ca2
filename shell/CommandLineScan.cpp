#include "shell/CommandLineScan.h"

#include <cstring>
#include <string>
#include <vector>

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

struct Token {
  std::string text;  // quotation marks removed
  bool quoted = false;
  size_t begin = 0, end = 0;  // its span in the command line
};

// A blank outside quotation marks ends a token; a quotation mark switches
// quoting and is dropped, so "a b"c is one token, a bc. An unclosed quotation
// runs to the end of the text.
std::vector<Token> SplitTokens(const char* text) {
  std::vector<Token> tokens;
  size_t i = 0;
  while (text[i] != '\0') {
    while (text[i] == ' ') ++i;
    if (text[i] == '\0') break;
    Token token;
    token.begin = i;
    bool inQuotes = false;
    for (; text[i] != '\0' && (inQuotes || text[i] != ' '); ++i) {
      if (text[i] == '"') {
        inQuotes = !inQuotes;
        token.quoted = true;
      } else {
        token.text.push_back(text[i]);
      }
    }
    token.end = i;
    tokens.push_back(std::move(token));
  }
  return tokens;
}

bool StoreIfExists(const std::string& path, StartupOptions& options, PathExistsFn exists) {
  if (path.empty() || path.size() >= sizeof options.fileToOpen || !exists(path.c_str())) return false;
  std::memcpy(options.fileToOpen, path.c_str(), path.size() + 1);
  return true;
}

// An unquoted path with blanks arrives as several plain tokens: the longest
// run from `first` that names a file wins, with the blanks as they were
// typed. Runs stop at a quoted token and at the size of the file slot.
bool TakeLongestPlainRun(const char* text, const std::vector<Token>& tokens, size_t first,
                         StartupOptions& options, PathExistsFn exists) {
  size_t last = first;
  while (last + 1 < tokens.size() && !tokens[last + 1].quoted &&
         tokens[last + 1].end - tokens[first].begin < sizeof options.fileToOpen) {
    ++last;
  }
  for (size_t j = last + 1; j-- > first;) {
    const std::string run(text + tokens[first].begin, text + tokens[j].end);
    if (StoreIfExists(run, options, exists)) return true;
  }
  return false;
}

}  // namespace

void ScanCommandLine(const char* text, StartupOptions& options, PathExistsFn exists) {
  if (text == nullptr) return;
  const std::vector<Token> tokens = SplitTokens(text);
  for (size_t i = 0; i < tokens.size(); ++i) {
    const Token& token = tokens[i];
    if (token.quoted) {
      if (StoreIfExists(token.text, options, exists)) return;
      continue;
    }
    // Every keyword is tried; a longer token that starts with one counts.
    if (TokenIsKeyword(token.text, "ALLCLOSE")) options.createPlayers = false;
    if (TokenIsKeyword(token.text, "/PLAY")) options.playCdAtOnce = true;
    if (TokenIsKeyword(token.text, "/AUTO")) options.autoPlayCd = true;
    if (TokenIsKeyword(token.text, "/MIN")) options.startMinimized = true;
    if (TokenIsKeyword(token.text, "/X")) {
      options.forceCdAutoPlay = true;
      return;
    }
    if (TakeLongestPlainRun(text, tokens, i, options, exists)) return;
  }
}
