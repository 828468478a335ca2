#include <gtest/gtest.h>

#include <string>

#include "shell/CommandLine.h"
#include "tests/support/WinTestSupport.h"

namespace {

StartupOptions Parse(const std::string& text) {
  StartupOptions options;
  ParseCommandLine(text.c_str(), options);
  return options;
}

class CommandLineTest : public ::testing::Test {
 protected:
  TempFolder dir_;
  std::string song_ = dir_.Write("song.mp3", "not really audio");
};

TEST_F(CommandLineTest, DefaultsWithoutTokens) {
  for (const char* text : {"", "   ", "nosuchfile.mp3"}) {
    StartupOptions o = Parse(text);
    EXPECT_TRUE(o.createPlayers);
    EXPECT_FALSE(o.playCdAtOnce || o.autoPlayCd || o.startMinimized || o.forceCdAutoPlay);
    EXPECT_STREQ(o.fileToOpen, "");
  }
  StartupOptions o;
  ParseCommandLine(nullptr, o);
  EXPECT_TRUE(o.createPlayers);
}

TEST_F(CommandLineTest, KeywordsMatchOverTheirOwnLength) {
  const struct {
    const char* text;
    bool createPlayers, play, autoPlay, minimized;
  } cases[] = {
      {"ALLCLOSE", false, false, false, false},
      {"allclose", false, false, false, false},
      {"AllCloseAndMore", false, false, false, false},
      {"/PLAY /AUTO /MIN", true, true, true, true},
      {"/play", true, true, false, false},
      {"/minimal", true, false, false, true},
      {"/MI", true, false, false, false},  // shorter than the keyword: nothing
      {"/PLA /AUT", true, false, false, false},
      {"MIN PLAY", true, false, false, false},  // the slash belongs to the keyword
      {"  /MIN    allclose  ", false, false, false, true},
      {"\t/MIN", true, false, false, false},  // only blanks separate tokens
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    StartupOptions o = Parse(c.text);
    EXPECT_EQ(o.createPlayers, c.createPlayers);
    EXPECT_EQ(o.playCdAtOnce, c.play);
    EXPECT_EQ(o.autoPlayCd, c.autoPlay);
    EXPECT_EQ(o.startMinimized, c.minimized);
  }
}

TEST_F(CommandLineTest, ScanStopsAtTheFirstExistingFileOrFolder) {
  StartupOptions o = Parse("/MIN " + song_);
  EXPECT_TRUE(o.startMinimized);
  EXPECT_EQ(std::string(o.fileToOpen), song_);

  o = Parse(song_ + " /MIN allclose");
  EXPECT_FALSE(o.startMinimized);
  EXPECT_TRUE(o.createPlayers);
  EXPECT_EQ(std::string(o.fileToOpen), song_);

  o = Parse("missing.mp3 " + dir_.path() + " " + song_);
  EXPECT_EQ(std::string(o.fileToOpen), dir_.path());
}

TEST_F(CommandLineTest, PathsWithBlanksOpenQuotedOrNot) {
  std::string spaced = dir_.Write("my song.mp3", "x");
  EXPECT_EQ(std::string(Parse("\"" + spaced + "\"").fileToOpen), spaced);
  EXPECT_EQ(std::string(Parse("/MIN " + spaced + " /PLAY").fileToOpen), spaced);

  // The longest run of tokens that names a file wins over a shorter one.
  dir_.Write("my", "x");
  EXPECT_EQ(std::string(Parse(spaced).fileToOpen), spaced);
  EXPECT_EQ(std::string(Parse(dir_.Path("my") + " other").fileToOpen), dir_.Path("my"));
}

TEST_F(CommandLineTest, OverlongTokensAreNotTakenAsFiles) {
  std::string longToken(400, 'a');
  StartupOptions o = Parse(longToken + " " + song_);
  EXPECT_EQ(std::string(o.fileToOpen), song_);
}

TEST_F(CommandLineTest, XSwitchEndsTheScanAndForcesCdAutoPlay) {
  StartupOptions o = Parse("/x " + song_ + " /MIN");
  EXPECT_TRUE(o.forceCdAutoPlay);
  EXPECT_STREQ(o.fileToOpen, "");
  EXPECT_FALSE(o.startMinimized);

  o = Parse("/MIN /Xtra");
  EXPECT_TRUE(o.startMinimized);
  EXPECT_TRUE(o.forceCdAutoPlay);

  o = Parse(song_ + " /X");
  EXPECT_FALSE(o.forceCdAutoPlay);
}

}  // namespace
