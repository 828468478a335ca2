// Entries of a list against the list's folder, both ways.
#include <gtest/gtest.h>

#include <string>

#include "media/ListPaths.h"

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  return s;
}

TEST(ListPathsTest, ResolvedAgainstTheListFolderAbsoluteKept) {
  EXPECT_EQ(ListFolderOf("Z:\\music\\list.m3u"), "Z:\\music");
  EXPECT_EQ(ListFolderOf("list.m3u"), "");
  const struct {
    const char* entry;
    const char* resolved;
  } cases[] = {
      {"a.wav", "Z:\\music\\a.wav"},
      {"sub\\b.mp3", "Z:\\music\\sub\\b.mp3"},
      {"..\\c.mp3", "Z:\\music\\..\\c.mp3"},
      {"C:\\x\\d.mp3", "C:\\x\\d.mp3"},
      {"c:e.mp3", "c:e.mp3"},
      {"\\\\server\\share\\f.mp3", "\\\\server\\share\\f.mp3"},
      {"\\root.mp3", "\\root.mp3"},
      {"/unix.mp3", "/unix.mp3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.entry);
    EXPECT_EQ(ResolveListEntry("Z:\\music", c.entry), c.resolved);
  }
  EXPECT_EQ(ResolveListEntry("", "a.wav"), "a.wav");
}

TEST(ListPathsTest, SavedRelativeWhereBelowTheListFolder) {
  const struct {
    const char* entry;
    const char* written;
  } cases[] = {
      {"Z:\\music\\a.wav", "a.wav"},
      {"z:\\MUSIC\\sub\\b.mp3", "sub\\b.mp3"},
      {"Z:\\music2\\c.mp3", "Z:\\music2\\c.mp3"},  // a sibling, not below
      {"Z:\\other\\d.mp3", "Z:\\other\\d.mp3"},
      {"Z:\\music", "Z:\\music"},
      {"Z:\\music\\", "Z:\\music\\"},
      {"rel.mp3", "rel.mp3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.entry);
    EXPECT_EQ(RelativeListEntry("Z:\\music", c.entry), c.written);
    // An absolute entry reads back as the same file (letter case aside).
    if (IsAbsoluteEntry(c.entry)) {
      EXPECT_EQ(Lower(ResolveListEntry("Z:\\music", RelativeListEntry("Z:\\music", c.entry))), Lower(c.entry));
    }
  }
}

}  // namespace
