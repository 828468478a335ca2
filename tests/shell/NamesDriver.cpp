// Started by names_end_to_end_test.py through tools/wine-run --play: gives
// the fixture files (ASCII names in CX_NAMES_DIR) names with blanks,
// accents, Cyrillic, Japanese and an emoji, then opens them the ways a user
// does: a first start with a quoted path, second starts handing a file to
// the running instance (one of them longer than an atom holds), a UTF-8
// list with a byte-order mark and a legacy (cp1252) list. Each time it waits
// until the wave player has shown the file's title and stopped again, and
// prints the fixtures in the order they should have been heard.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/CommandCodes.h"
#include "tests/support/WinTestSupport.h"

namespace {

// The CD player (drive X:) and the MIDI player (built-in synthesizer) are
// shown beside the wave player.
constexpr uint32_t kStopped = kStatusPlaylist | kStatusPlay | kStatusTrackForward | kStatusTrackBack |
                              kStatusWaveShown | kStatusCdShown | kStatusMidiShown;

std::string Repeat(const std::string& piece, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += piece;
  return out;
}

size_t Units(const std::string& utf8) {
  return static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0) - 1);
}

struct Session {
  HWND panel = nullptr;
  HWND wave = nullptr;
  StatusPoller poller;
  std::vector<std::string> heard;

  // Waits until every title has been seen, in order, and the player stopped.
  void ExpectPlayed(const std::vector<std::string>& titles, const std::vector<std::string>& fixtures) {
    std::string seen;
    EXPECT_TRUE(WaitPlayedInOrder(panel, wave, poller, titles, kStopped, 60000, &seen)) << seen;
    heard.insert(heard.end(), fixtures.begin(), fixtures.end());
  }
};

TEST(Names, EveryNameOpensPlaysAndShowsItsTitle) {
  ASSERT_EQ(GetACP(), 65001u) << "the manifest's code page";
  const char* folderVar = std::getenv("CX_NAMES_DIR");
  ASSERT_NE(folderVar, nullptr);
  const std::string folder = folderVar;
  const std::string program = ProgramFolder() + "\\Cantorix.exe";

  const std::string accented = "Caf\xC3\xA9 \xD0\x9F\xD0\xB5\xD1\x81\xD0\xBD\xD1\x8F first song";
  const std::string japanese = Repeat("\xE6\x97\xA5\xE6\x9C\xAC\xE3\x81\xAE\xE6\xAD\x8C", 25);  // 100
  const std::string emoji = "\xF0\x9F\x8E\xB5 tune";
  const std::string legacy = "Caf\xC3\xA9";
  // A folder and a name long enough that the path needs more than the 255
  // characters of an atom, and still no more than the system's 259.
  const std::string deepFolder = folder + "\\" + Repeat("\xE6\xB7\xB1", 100);
  std::string deepName = Repeat("\xE9\x95\xB7", 10);
  while (Units(deepFolder + "\\" + deepName + "x.wav") <= 258) deepName += "\xE9\x95\xB7";
  ASSERT_TRUE(CreateDirectoryA(deepFolder.c_str(), nullptr)) << GetLastError();

  const struct {
    const char* fixture;
    std::string path;
  } copies[] = {
      {"a.wav", folder + "\\" + accented + ".wav"},
      {"b.wav", folder + "\\" + japanese + ".wav"},
      {"c.wav", deepFolder + "\\" + deepName + ".wav"},
      {"d.wav", folder + "\\" + emoji + ".wav"},
      {"e.wav", folder + "\\" + legacy + ".wav"},
  };
  for (const auto& c : copies) {
    ASSERT_TRUE(CopyFileA((folder + "\\" + c.fixture).c_str(), c.path.c_str(), FALSE))
        << c.path << " " << GetLastError() << " " << Units(c.path);
  }
  ASSERT_GT(Units(copies[2].path), 255u);
  ASSERT_LE(Units(copies[2].path), 259u);

  // First start, quoted as a double-click sends it.
  ChildProcess first(program + " \"" + copies[0].path + "\"");
  ASSERT_TRUE(first.started());
  Session s;
  s.panel = WaitForShownPanel(20000);
  ASSERT_NE(s.panel, nullptr);
  s.wave = FindWindowExA(s.panel, nullptr, "CXWavePlayerClass", nullptr);
  ASSERT_NE(s.wave, nullptr);
  s.ExpectPlayed({accented}, {"a.wav"});

  // Second starts: the name reaches the running instance, by atom or, for
  // the long one, by WM_COPYDATA.
  const struct {
    std::string path;
    std::string title;
    const char* fixture;
  } handed[] = {
      {copies[1].path, japanese, "b.wav"},
      {copies[2].path, deepName, "c.wav"},
  };
  for (const auto& h : handed) {
    SCOPED_TRACE(h.fixture);
    ChildProcess second(program + " \"" + h.path + "\"");
    ASSERT_TRUE(second.started());
    EXPECT_EQ(second.Wait(20000), 0);
    s.ExpectPlayed({h.title}, {h.fixture});
  }

  // A UTF-8 list with a byte-order mark, and a list written by an older
  // program in the legacy code page (1252 here): "Café" as the byte E9.
  const std::string utf8List = folder + "\\" + emoji + " list.m3u8";
  ASSERT_TRUE(WriteStringToFile(utf8List, "\xEF\xBB\xBF" + copies[3].path + "\r\n" + copies[0].path + "\r\n"));
  const std::string legacyList = folder + "\\old list.m3u";
  ASSERT_TRUE(WriteStringToFile(legacyList, folder + "\\Caf\xE9.wav\r\n"));
  {
    ChildProcess second(program + " \"" + utf8List + "\"");
    EXPECT_EQ(second.Wait(20000), 0);
    s.ExpectPlayed({emoji, accented}, {"d.wav", "a.wav"});
  }
  {
    ChildProcess second(program + " " + legacyList);  // unquoted, with a blank
    EXPECT_EQ(second.Wait(20000), 0);
    s.ExpectPlayed({legacy}, {"e.wav"});
  }

  for (const std::string& f : s.heard) std::printf("heard %s\n", f.c_str());
  EXPECT_EQ(FindTopLevelWindows("CANTORIX").size(), 1u);
  PostMessageA(s.panel, WM_CLOSE, 0, 0);
  EXPECT_EQ(first.Wait(15000), 0);
}

}  // namespace
