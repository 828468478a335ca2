// List-file text: which bytes are UTF-8 and what a legacy list becomes,
// checked against the C library's converter (iconv) on fixed texts and on
// random bytes.
#include <gtest/gtest.h>
#include <iconv.h>

#include <random>
#include <string>

#include "media/ListText.h"

namespace {

// iconv's answer: false when it refuses the bytes.
bool Convert(const char* from, const char* to, const std::string& in, std::string* out) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string source = in;
  out->assign(in.size() * 4 + 16, '\0');
  char* inPtr = &source[0];
  size_t inLeft = source.size();
  char* outPtr = &(*out)[0];
  size_t outLeft = out->size();
  const size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  if (result == static_cast<size_t>(-1) || inLeft != 0) return false;
  out->resize(out->size() - outLeft);
  return true;
}

bool ReferenceValidUtf8(const std::string& bytes) {
  std::string wide;
  return Convert("UTF-8", "UTF-32LE", bytes, &wide);
}

bool Reject(const char*, size_t, std::string*) { return false; }

TEST(ListTextTest, Utf8OrLegacy) {
  const struct {
    std::string bytes;
    bool utf8List;
    std::string expected;
  } cases[] = {
      {"C:\\a.wav\r\n", false, "C:\\a.wav\r\n"},  // ASCII unchanged
      {"C:\\Caf\xC3\xA9.wav\r\n", false, "C:\\Caf\xC3\xA9.wav\r\n"},  // valid UTF-8 kept
      {"C:\\Caf\xE9.wav\r\n", false, "C:\\Caf\xC3\xA9.wav\r\n"},      // 1252 converted
      {"\x80\x9F\xFF", false, "\xE2\x82\xAC\xC5\xB8\xC3\xBF"},
      {"\x81", false, "\xEF\xBF\xBD"},                                // unassigned in 1252
      {"\xEF\xBB\xBF" "C:\\x.mp3", false, "C:\\x.mp3"},               // the mark goes
      {"\xEF\xBB\xBF" "C:\\x.mp3", true, "C:\\x.mp3"},
      {"C:\\Caf\xE9.wav", true, "C:\\Caf\xE9.wav"},                   // .m3u8 is never legacy
      {"\xED\xA0\x80", false, "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},        // a surrogate is no UTF-8
      {"\xC0\xAF", false, "\xC3\x80\xC2\xAF"},                        // nor an overlong form
      {"", false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(ListTextAsUtf8(c.bytes.data(), c.bytes.size(), c.utf8List, Cp1252ToUtf8), c.expected);
  }
  // Lengths as the system counts them: an emoji is two units, a stray byte one.
  EXPECT_EQ(Utf16Length("a\xE6\x97\xA5\xF0\x9F\x8E\xB5\xFF\xC3", 10), 6u);
  // A converter that fails leaves the bytes as they were.
  EXPECT_EQ(ListTextAsUtf8("\xE9", 1, false, Reject), "\xE9");
}

// Random bytes, biased towards the lead and continuation bytes where UTF-8
// is decided: the check agrees with iconv, the result is always valid UTF-8
// for a .m3u, and 1252 agrees with iconv wherever iconv knows the byte.
TEST(ListTextTest, RandomBytesAgreeWithIconv) {
  std::mt19937 random(2718);
  const unsigned char interesting[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x9F, 0xA0, 0xBF, 0xC0, 0xC1,
                                       0xC2, 0xDF, 0xE0, 0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xFF};
  for (int round = 0; round < 15000; ++round) {
    std::string bytes(random() % 9, '\0');
    for (char& b : bytes) {
      b = static_cast<char>(random() % 2 ? interesting[random() % sizeof interesting] : random() % 256);
    }
    SCOPED_TRACE(::testing::PrintToString(bytes));
    ASSERT_EQ(IsValidUtf8(bytes.data(), bytes.size()), ReferenceValidUtf8(bytes));
    std::string utf16;
    if (Convert("UTF-8", "UTF-16LE", bytes, &utf16)) {
      ASSERT_EQ(Utf16Length(bytes.data(), bytes.size()), utf16.size() / 2);
    }
    const std::string text = ListTextAsUtf8(bytes.data(), bytes.size(), false, Cp1252ToUtf8);
    const bool marked = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0;
    ASSERT_TRUE(ReferenceValidUtf8(text));
    std::string legacy;
    std::string ours;
    Cp1252ToUtf8(bytes.data(), bytes.size(), &ours);
    if (!marked && !IsValidUtf8(bytes.data(), bytes.size()) && Convert("CP1252", "UTF-8", bytes, &legacy)) {
      ASSERT_EQ(ours, legacy);
      ASSERT_EQ(text, legacy);
    }
  }
}

}  // namespace
