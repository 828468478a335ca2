#include "media/ListLines.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Lines(const std::string& text, LastLine last = LastLine::kDropped) {
  std::vector<std::string> lines;
  size_t visited = ForEachListLine(text.data(), text.size(), last, [&](const char* line, size_t n) {
    lines.emplace_back(line, n);
    return true;
  });
  EXPECT_EQ(visited, lines.size());
  return lines;
}

using Strings = std::vector<std::string>;

struct SplitCase {
  const char* label;
  std::string text;
  Strings expected;
};

TEST(ListLinesTest, EveryLineEndWorksAndCutOffTextIsDropped) {
  const SplitCase cases[] = {
      {"crlf", "a.mp3\r\nb.wav\r\n", {"a.mp3", "b.wav"}},
      {"lf only", "a.mp3\nb.wav\n", {"a.mp3", "b.wav"}},
      {"cr only", "a.mp3\rb.wav\r", {"a.mp3", "b.wav"}},
      {"nul ends", std::string("a.mp3\0b.wav\0", 12), {"a.mp3", "b.wav"}},
      {"mixed", std::string("a\r\nb\nc\rd\0", 9), {"a", "b", "c", "d"}},
      {"no final end", "a.mp3\r\nb.wav", {"a.mp3"}},
      {"nothing ended", "b.wav", {}},
      {"empty", "", {}},
      {"empty lines", "\r\n\r\n\n\r", {}},
      {"empty lines between", "\n\na\r\n\r\n\rb\n\n", {"a", "b"}},
      {"spaces kept", " a.mp3 \r\n\tb.wav\n", {" a.mp3 ", "\tb.wav"}},
      {"comment is a line", "#EXTM3U\r\nsong.mp3\r\n", {"#EXTM3U", "song.mp3"}},
  };
  for (const SplitCase& c : cases) {
    EXPECT_EQ(Lines(c.text), c.expected) << c.label;
  }
}

TEST(ListLinesTest, UnterminatedLastLineCountsInAWholeFile) {
  const SplitCase cases[] = {
      {"no final end", "a.mp3\r\nb.wav", {"a.mp3", "b.wav"}},
      {"nothing ended", "b.wav", {"b.wav"}},
      {"final end", "a.mp3\r\nb.wav\r\n", {"a.mp3", "b.wav"}},
      {"trailing empty lines", "a.mp3\n\n\r", {"a.mp3"}},
      {"empty", "", {}},
  };
  for (const SplitCase& c : cases) {
    EXPECT_EQ(Lines(c.text, LastLine::kTaken), c.expected) << c.label;
  }
}

TEST(ListLinesTest, VisitorCanStopEarly) {
  std::string text = "a\nb\nc\n";
  Strings seen;
  auto visit = [&](const char* line, size_t n) {
    seen.emplace_back(line, n);
    return seen.size() < 2;
  };
  size_t visited = ForEachListLine(text.data(), text.size(), LastLine::kTaken, visit);
  EXPECT_EQ(visited, 2u);
  EXPECT_EQ(seen, (Strings{"a", "b"}));
}

TEST(ListLinesTest, LongAndManyLinesAreSplitExactly) {
  std::string text;
  Strings expected;
  for (int i = 0; i < 300; ++i) {
    std::string line = std::string(i % 7 + 1, 'x') + std::to_string(i);
    expected.push_back(line);
    text += line + (i % 3 == 0 ? "\r\n" : i % 3 == 1 ? "\n" : "\r");
  }
  EXPECT_EQ(Lines(text), expected);
}

// Damaged input: random bytes rich in line ends. Whatever comes, the lines
// hold every byte but the line ends, in order, none empty; a cut-off tail is
// left out only when the text was cut.
TEST(ListLinesTest, RandomBytesLoseNothingButLineEnds) {
  const char alphabet[] = {'a', 'b', '\r', '\n', '\0', '\\', '.'};
  uint32_t state = 1;
  for (int round = 0; round < 3000; ++round) {
    state = state * 1664525u + 1013904223u;
    std::string text(state >> 26, ' ');
    for (char& c : text) {
      state = state * 1664525u + 1013904223u;
      c = alphabet[(state >> 24) % sizeof alphabet];
    }
    for (LastLine last : {LastLine::kTaken, LastLine::kDropped}) {
      std::string joined;
      for (const std::string& line : Lines(text, last)) {
        EXPECT_FALSE(line.empty());
        EXPECT_EQ(line.find_first_of(std::string("\r\n\0", 3)), std::string::npos);
        joined += line;
      }
      size_t end = text.size();
      if (last == LastLine::kDropped) {
        const size_t lastEnd = text.find_last_of(std::string("\r\n\0", 3));
        end = lastEnd == std::string::npos ? 0 : lastEnd;
      }
      std::string expected;
      for (size_t i = 0; i < end; ++i) {
        if (text[i] != '\r' && text[i] != '\n' && text[i] != '\0') expected += text[i];
      }
      ASSERT_EQ(joined, expected) << "round " << round;
    }
  }
}

}  // namespace
