#include "media/ListPaths.h"

namespace {

bool IsSlash(char c) { return c == '\\' || c == '/'; }

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

}  // namespace

std::string ListFolderOf(const std::string& listPath) {
  const size_t slash = listPath.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : listPath.substr(0, slash);
}

bool IsAbsoluteEntry(const std::string& entry) {
  if (!entry.empty() && IsSlash(entry[0])) return true;
  return entry.size() >= 2 && entry[1] == ':' &&
         ((entry[0] >= 'A' && entry[0] <= 'Z') || (entry[0] >= 'a' && entry[0] <= 'z'));
}

std::string ResolveListEntry(const std::string& folder, const std::string& entry) {
  if (folder.empty() || IsAbsoluteEntry(entry)) return entry;
  return folder + "\\" + entry;
}

std::string RelativeListEntry(const std::string& folder, const std::string& entry) {
  // Names compare without regard to ASCII letter case, as the file system does.
  if (folder.empty() || entry.size() <= folder.size() + 1 || !IsSlash(entry[folder.size()])) return entry;
  for (size_t i = 0; i < folder.size(); ++i) {
    const bool sameSlash = IsSlash(folder[i]) && IsSlash(entry[i]);
    if (!sameSlash && LowerAscii(folder[i]) != LowerAscii(entry[i])) return entry;
  }
  return entry.substr(folder.size() + 1);
}
