// The notification icon's tip: a title cut to the tip buffer never ends in
// part of a UTF-8 sequence, which the system would turn into a wrong
// character or drop the tip for.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "shell/TrayIcon.h"

namespace {

std::string Tip(const std::string& title, size_t capacity) {
  std::string tip(capacity + 8, '#');
  MakeTrayTip(title.c_str(), &tip[0], capacity);
  EXPECT_EQ(tip[capacity + 1], '#') << "wrote past the buffer";
  return std::string(tip.c_str());
}

// Whether `text` is whole UTF-8: every lead byte has all its continuations.
bool WholeUtf8(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    const size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

TEST(TrayTip, ShortTitlesStayAndNoTitleNamesTheProgram) {
  EXPECT_EQ(Tip("alpha", 128), "alpha");
  EXPECT_EQ(Tip("", 128), "Cantorix");
  EXPECT_EQ(Tip("Artist \xE2\x80\x93 Song", 128), "Artist \xE2\x80\x93 Song");
  EXPECT_EQ(Tip(std::string(127, 'x'), 128), std::string(127, 'x'));
}

TEST(TrayTip, LongTitlesAreCutBetweenCharacters) {
  EXPECT_EQ(Tip(std::string(300, 'x'), 128), std::string(127, 'x'));
  // A dash (three bytes), an umlaut (two) and a clef (four) put across the
  // cut at every offset: the tip keeps whole characters only, as many as fit.
  for (const std::string wide : {"\xE2\x80\x93", "\xC3\xBC", "\xF0\x9D\x84\x9E"}) {
    for (size_t lead = 120; lead < 128; ++lead) {
      const std::string title = std::string(lead, 'a') + wide + wide + "tail";
      const std::string tip = Tip(title, 128);
      EXPECT_LE(tip.size(), 127u);
      EXPECT_TRUE(WholeUtf8(tip)) << lead;
      EXPECT_EQ(title.compare(0, tip.size(), tip), 0) << lead;
      EXPECT_GT(tip.size() + wide.size(), 127u) << lead << ": a whole character more would have fit";
    }
  }
}

TEST(TrayTip, TinyBuffers) {
  EXPECT_EQ(Tip("\xE2\x80\x93", 3), "");
  EXPECT_EQ(Tip("ab", 1), "");
  EXPECT_EQ(Tip("\xC3\xBC" "b", 3), "\xC3\xBC");
}

}  // namespace
