// The command-line scan with a made-up file system: which texts name files
// is a fixed set, so quoting, runs of tokens and the switches are checked
// without Wine.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>

#include "shell/CommandLineScan.h"

namespace {

const std::set<std::string>& ExistingPaths() {
  static const std::set<std::string> paths = {
      "Z:\\My Music\\first song.wav",
      "Z:\\My Music",
      "Z:\\two  blanks.mp3",
      "Z:\\plain.mp3",
      "C:\\Musik\\Caf\xC3\xA9 \xD0\x9F\xD0\xB5\xD1\x81\xD0\xBD\xD1\x8F.wav",  // UTF-8 bytes
      "allclose song.mp3",
  };
  return paths;
}

bool Exists(const char* path) { return ExistingPaths().count(path) != 0; }

StartupOptions Scan(const std::string& text) {
  StartupOptions options;
  ScanCommandLine(text.c_str(), options, Exists);
  return options;
}

TEST(CommandLineScanTest, FilesWithBlanksQuotedOrNot) {
  const struct {
    const char* text;
    const char* file;
    bool minimized, createPlayers, forceCd;
  } cases[] = {
      // what a double-click sends
      {"\"Z:\\My Music\\first song.wav\"", "Z:\\My Music\\first song.wav", false, true, false},
      {"/MIN \"Z:\\My Music\\first song.wav\"", "Z:\\My Music\\first song.wav", true, true, false},
      // unquoted: the longest run of tokens that names a file, not its folder
      {"Z:\\My Music\\first song.wav", "Z:\\My Music\\first song.wav", false, true, false},
      {"/MIN Z:\\My Music\\first song.wav /PLAY", "Z:\\My Music\\first song.wav", true, true, false},
      {"Z:\\My Music", "Z:\\My Music", false, true, false},
      {"Z:\\My Music\\missing.wav", "", false, true, false},  // no run names a file
      // blanks inside a run are kept as typed
      {"Z:\\two  blanks.mp3", "Z:\\two  blanks.mp3", false, true, false},
      {"Z:\\two blanks.mp3", "", false, true, false},
      // quotation marks may cover part of a token; unclosed runs to the end
      {"Z:\\\"My Music\"\\first\" \"song.wav", "Z:\\My Music\\first song.wav", false, true, false},
      {"\"Z:\\My Music\\first song.wav", "Z:\\My Music\\first song.wav", false, true, false},
      {"\"\" Z:\\plain.mp3", "Z:\\plain.mp3", false, true, false},
      {"C:\\Musik\\Caf\xC3\xA9 \xD0\x9F\xD0\xB5\xD1\x81\xD0\xBD\xD1\x8F.wav",
       "C:\\Musik\\Caf\xC3\xA9 \xD0\x9F\xD0\xB5\xD1\x81\xD0\xBD\xD1\x8F.wav", false, true, false},
      // a quoted token is a name, never a switch
      {"\"/MIN\" \"allclose song.mp3\"", "allclose song.mp3", false, true, false},
      {"allclose song.mp3", "allclose song.mp3", false, false, false},
      // the scan still ends at the file and at /X
      {"Z:\\plain.mp3 /MIN allclose", "Z:\\plain.mp3", false, true, false},
      {"/X \"Z:\\My Music\\first song.wav\" /MIN", "", false, true, true},
      {"/MIN /Xtra Z:\\plain.mp3", "", true, true, true},
      {"\"Z:\\My Music\\first song.wav\" /X", "Z:\\My Music\\first song.wav", false, true, false},
      // a quoted text that names nothing is passed over
      {"\"Z:\\nothing here.wav\" Z:\\plain.mp3", "Z:\\plain.mp3", false, true, false},
      {"\t/MIN", "", false, true, false},  // only blanks separate tokens
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const StartupOptions o = Scan(c.text);
    EXPECT_STREQ(o.fileToOpen, c.file);
    EXPECT_EQ(o.startMinimized, c.minimized);
    EXPECT_EQ(o.createPlayers, c.createPlayers);
    EXPECT_EQ(o.forceCdAutoPlay, c.forceCd);
  }
}

// A path of 259 three-byte characters fits the slot; one byte more than the
// slot holds is never taken.
TEST(CommandLineScanTest, LongUtf8PathsFitTheSlot) {
  static std::string longest;
  longest = "C:\\";
  while (longest.size() + 3 < sizeof(StartupOptions{}.fileToOpen)) longest += "\xE6\x97\xA5";
  StartupOptions o;
  ScanCommandLine(("\"" + longest + "\"").c_str(), o, [](const char* p) { return longest == p; });
  EXPECT_EQ(std::string(o.fileToOpen), longest);

  longest.append(sizeof o.fileToOpen - longest.size(), 'x');
  StartupOptions tooLong;
  ScanCommandLine(longest.c_str(), tooLong, [](const char* p) { return longest == p; });
  EXPECT_STREQ(tooLong.fileToOpen, "");
}

// Random command lines built of names, switches, blanks and quotation marks:
// whatever is taken is an existing name, and the scan never reads past the text.
TEST(CommandLineScanTest, RandomLinesTakeOnlyExistingNames) {
  const char* pieces[] = {" ", "  ", "\"", "/MIN", "/x", "allclose", "Z:\\My", "Music\\first",
                          "song.wav", "Z:\\plain.mp3", "\xC3", "\xFF", "Z:\\two"};
  std::mt19937 random(12345);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    const int n = static_cast<int>(random() % 12);
    for (int k = 0; k < n; ++k) text += pieces[random() % (sizeof pieces / sizeof pieces[0])];
    const StartupOptions o = Scan(text);
    if (o.fileToOpen[0] != '\0') {
      EXPECT_TRUE(Exists(o.fileToOpen)) << text;
    }
  }
}

}  // namespace
