#include "media/PlayList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/WinTestSupport.h"

namespace {

using Strings = std::vector<std::string>;
const char kNothing[] = "<none>";

// A list with the given kinds whose entries are exactly `paths`, entered the
// way the playlist window hands a list over (so entries of other kinds can
// be in it, as after LOAD).
std::unique_ptr<PlayList> ListOf(MediaKind kinds, const Strings& paths) {
  auto list = std::make_unique<PlayList>();
  list->Create(kinds);
  for (int i = 0; i < kPlayListCapacity; ++i) {
    std::string path = i < static_cast<int>(paths.size()) ? paths[i] : "";
    std::snprintf(list->EditSlot(i), kPlayListSlot, "%s", path.c_str());
  }
  list->CommitEdits();
  return list;
}

std::string NextOf(PlayList& list) {
  char buffer[kPlayListSlot];
  return list.Next(buffer, sizeof buffer) ? std::string(buffer) : kNothing;
}

std::string PreviousOf(PlayList& list) {
  char buffer[kPlayListSlot];
  return list.Previous(buffer, sizeof buffer) ? std::string(buffer) : kNothing;
}

Strings EntriesOf(const PlayList& list) {
  Strings entries;
  for (int i = 0; i < list.Count(); ++i) entries.emplace_back(list.EntryAt(i));
  return entries;
}

// Entries as a list in `dir` yields them: relative ones lie in its folder.
Strings InFolder(const TempFolder& dir, Strings entries) {
  for (std::string& e : entries) {
    const bool absolute = (e.size() >= 2 && e[1] == ':') || (!e.empty() && e[0] == '\\');
    if (!absolute) e = dir.path() + "\\" + e;
  }
  return entries;
}

std::vector<int> OrderOf(const PlayList& list) {
  std::vector<int> order;
  for (int p = 1; p <= list.Count(); ++p) order.push_back(list.OrderAt(p));
  return order;
}

const Strings kThree = {"C:\\m\\one.mp3", "C:\\m\\two.wav", "C:\\m\\three.mp3"};

// ---- Play order ----------------------------------------------------------

TEST(PlayListOrderTest, StraightListEndsThenStartsAgain) {
  auto list = ListOf(kWavePlayerKinds, kThree);
  EXPECT_EQ(list->Position(), 0);
  EXPECT_EQ(NextOf(*list), kThree[0]);
  EXPECT_EQ(list->CurrentEntryNumber(), 1);
  EXPECT_EQ(NextOf(*list), kThree[1]);
  EXPECT_EQ(NextOf(*list), kThree[2]);
  EXPECT_EQ(list->CurrentEntryNumber(), 3);
  EXPECT_EQ(list->Position(), 3);
  EXPECT_EQ(NextOf(*list), kNothing);
  EXPECT_EQ(list->Position(), 0);
  EXPECT_EQ(list->CurrentEntryNumber(), 0);
  EXPECT_EQ(NextOf(*list), kThree[0]);
  EXPECT_EQ(list->CurrentEntryNumber(), 1);
}

TEST(PlayListOrderTest, LoopWrapsBothWays) {
  auto list = ListOf(kWavePlayerKinds, kThree);
  list->SetLoop(true);
  EXPECT_TRUE(list->IsLoop());
  for (const std::string& path : kThree) EXPECT_EQ(NextOf(*list), path);
  EXPECT_EQ(NextOf(*list), kThree[0]);
  EXPECT_EQ(list->Position(), 1);
  EXPECT_EQ(PreviousOf(*list), kThree[2]);
  EXPECT_EQ(list->Position(), 3);
  EXPECT_EQ(PreviousOf(*list), kThree[1]);
  // From before the first position, Previous goes to the last one.
  list->Rewind();
  EXPECT_EQ(PreviousOf(*list), kThree[2]);
}

TEST(PlayListOrderTest, PreviousStopsAtTheStartWithoutLoop) {
  auto list = ListOf(kWavePlayerKinds, kThree);
  EXPECT_EQ(PreviousOf(*list), kNothing);  // before the first
  EXPECT_EQ(list->Position(), 0);
  for (int i = 0; i < 3; ++i) NextOf(*list);
  EXPECT_EQ(PreviousOf(*list), kThree[1]);
  EXPECT_EQ(PreviousOf(*list), kThree[0]);
  EXPECT_EQ(list->Position(), 1);
  EXPECT_EQ(PreviousOf(*list), kNothing);
  EXPECT_EQ(list->Position(), 0);
  EXPECT_EQ(list->CurrentEntryNumber(), 0);
  EXPECT_EQ(NextOf(*list), kThree[0]);
}

TEST(PlayListOrderTest, PlayEntryOnAShuffledListGoesStraightFromThere) {
  const Strings five = {"C:\\1.mp3", "C:\\2.mp3", "C:\\3.mp3", "C:\\4.mp3", "C:\\5.mp3"};
  auto list = ListOf(kWavePlayerKinds, five);
  list->Shuffle();
  EXPECT_TRUE(list->IsShuffled());
  char buffer[kPlayListSlot];
  ASSERT_TRUE(list->PlayEntry(2, buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "C:\\2.mp3");
  EXPECT_FALSE(list->IsShuffled());
  EXPECT_EQ(OrderOf(*list), (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_EQ(list->CurrentEntryNumber(), 2);
  EXPECT_EQ(NextOf(*list), "C:\\3.mp3");

  EXPECT_FALSE(list->PlayEntry(0, buffer, sizeof buffer));
  EXPECT_FALSE(list->PlayEntry(6, buffer, sizeof buffer));
  EXPECT_EQ(list->CurrentEntryNumber(), 3);  // refused numbers change nothing
  // An entry that does not fit the buffer is still "played": the list stands
  // on it, as the player's display expects.
  char small[4];
  EXPECT_TRUE(list->PlayEntry(5, small, sizeof small));
  EXPECT_EQ(list->Position(), 5);
}

TEST(PlayListOrderTest, UnplayableEntriesAreSkippedBothWays) {
  // A loaded list may hold lines of other kinds after its first line.
  const Strings mixed = {"C:\\a.mp3", "C:\\b.mid", "C:\\c.txt", "C:\\d.wav", "C:\\e.cda"};
  auto list = ListOf(kWavePlayerKinds, mixed);
  EXPECT_EQ(NextOf(*list), "C:\\a.mp3");
  EXPECT_EQ(NextOf(*list), "C:\\d.wav");
  EXPECT_EQ(list->CurrentEntryNumber(), 4);
  EXPECT_EQ(NextOf(*list), kNothing);
  EXPECT_EQ(list->Position(), 0);

  list->SetLoop(true);
  EXPECT_EQ(NextOf(*list), "C:\\a.mp3");
  EXPECT_EQ(NextOf(*list), "C:\\d.wav");
  EXPECT_EQ(NextOf(*list), "C:\\a.mp3");  // over e.cda and round
  EXPECT_EQ(PreviousOf(*list), "C:\\d.wav");
  EXPECT_EQ(PreviousOf(*list), "C:\\a.mp3");
}

TEST(PlayListOrderTest, LoopOverNothingPlayableStopsAfterOneRound) {
  const Strings unplayable = {"C:\\a.mid", "C:\\b.txt", "C:\\c.cda"};
  for (bool loop : {false, true}) {
    auto list = ListOf(kWavePlayerKinds, unplayable);
    list->SetLoop(loop);
    EXPECT_EQ(NextOf(*list), kNothing) << loop;
    EXPECT_EQ(PreviousOf(*list), kNothing) << loop;
    EXPECT_EQ(list->CurrentEntryNumber(), 0) << loop;
    EXPECT_GE(list->Position(), 0);
    EXPECT_LE(list->Position(), 3);
  }
  // An empty list with loop on has nothing to go round.
  auto empty = ListOf(kWavePlayerKinds, {});
  empty->SetLoop(true);
  EXPECT_EQ(NextOf(*empty), kNothing);
  EXPECT_EQ(PreviousOf(*empty), kNothing);
}

TEST(PlayListOrderTest, ABufferTooSmallFailsButThePositionMovesOn) {
  auto list = ListOf(kWavePlayerKinds, kThree);
  char buffer[kPlayListSlot];
  std::string first = kThree[0];
  EXPECT_FALSE(list->Next(buffer, first.size()));  // no room for the NUL
  EXPECT_EQ(list->Position(), 1);
  EXPECT_EQ(list->CurrentEntryNumber(), 0);
  EXPECT_EQ(NextOf(*list), kThree[1]);
  EXPECT_TRUE(list->Previous(buffer, first.size() + 1));
  EXPECT_EQ(buffer, first);
}

TEST(PlayListOrderTest, NothingIsHandedOutFromAnUnusableList) {
  PlayList list;
  list.Create(kWavePlayerKinds);
  EXPECT_EQ(list.Position(), -1);
  EXPECT_EQ(NextOf(list), kNothing);
  EXPECT_EQ(PreviousOf(list), kNothing);
  list.SetLoop(true);
  EXPECT_EQ(NextOf(list), kNothing);
  EXPECT_EQ(list.EntryState(1), 2);
}

TEST(PlayListOrderTest, EntryStateFollowsThePlayOrder) {
  auto list = ListOf(kWavePlayerKinds, kThree);
  EXPECT_EQ(list->EntryState(1), 1);
  NextOf(*list);
  NextOf(*list);
  EXPECT_EQ(list->EntryState(1), -1);
  EXPECT_EQ(list->EntryState(2), 0);
  EXPECT_EQ(list->EntryState(3), 1);
  EXPECT_EQ(list->EntryState(0), 2);
  EXPECT_EQ(list->EntryState(4), 2);

  const Strings five = {"C:\\1.mp3", "C:\\2.mp3", "C:\\3.mp3", "C:\\4.mp3", "C:\\5.mp3"};
  auto shuffled = ListOf(kWavePlayerKinds, five);
  shuffled->Shuffle();
  NextOf(*shuffled);
  NextOf(*shuffled);
  for (int p = 1; p <= 5; ++p) {
    int n = shuffled->OrderAt(p) + 1;
    int expected = p < 2 ? -1 : p == 2 ? 0 : 1;
    EXPECT_EQ(shuffled->EntryState(n), expected) << "entry " << n << " at position " << p;
  }
}

TEST(PlayListOrderTest, RewindKeepsOrderAndFlags) {
  const Strings five = {"C:\\1.mp3", "C:\\2.mp3", "C:\\3.mp3", "C:\\4.mp3", "C:\\5.mp3"};
  auto list = ListOf(kWavePlayerKinds, five);
  list->SetLoop(true);
  list->Shuffle();
  std::vector<int> order = OrderOf(*list);
  std::string first = NextOf(*list);
  NextOf(*list);
  list->Rewind();
  EXPECT_EQ(list->Position(), 0);
  EXPECT_STREQ(list->CurrentPath(), "");
  EXPECT_EQ(OrderOf(*list), order);
  EXPECT_TRUE(list->IsShuffled());
  EXPECT_TRUE(list->IsLoop());
  EXPECT_EQ(NextOf(*list), first);
}

TEST(PlayListOrderTest, ShuffleIsAPermutationForEveryCount) {
  for (int count = 0; count <= kPlayListCapacity; ++count) {
    Strings paths;
    for (int i = 0; i < count; ++i) paths.push_back("C:\\t" + std::to_string(i) + ".wav");
    auto list = ListOf(kWavePlayerKinds, paths);
    list->Shuffle();
    std::vector<int> order = OrderOf(*list);
    std::vector<bool> seen(count, false);
    for (int entry : order) {
      ASSERT_GE(entry, 0) << count;
      ASSERT_LT(entry, count) << count;
      EXPECT_FALSE(seen[entry]) << count;
      seen[entry] = true;
    }
    EXPECT_EQ(list->Position(), 0);
    // Playing a shuffled list hands out every entry once, in that order.
    for (int p = 1; p <= count; ++p) EXPECT_EQ(NextOf(*list), paths[order[p - 1]]);
    EXPECT_EQ(NextOf(*list), kNothing);
    list->Unshuffle();
    EXPECT_FALSE(list->IsShuffled());
    for (int p = 1; p <= count; ++p) EXPECT_EQ(list->OrderAt(p), p - 1);
  }
}

// ---- Building the list ---------------------------------------------------

TEST(PlayListBuildTest, AppendTakesAllowedKindsUpToNinetyNine) {
  PlayList list;
  list.Create(kWavePlayerKinds);
  EXPECT_FALSE(list.Append(nullptr));
  EXPECT_FALSE(list.Append("C:\\tune.mid"));
  EXPECT_FALSE(list.Append("C:\\list.m3u"));
  EXPECT_FALSE(list.Append("C:\\noextension"));
  EXPECT_TRUE(list.Append("C:\\song.MP3"));
  EXPECT_EQ(list.Position(), 0);  // was -1: now usable
  for (int i = 1; i < kPlayListCapacity; ++i) {
    ASSERT_TRUE(list.Append(("C:\\s" + std::to_string(i) + ".wav").c_str())) << i;
  }
  EXPECT_EQ(list.Count(), 99);
  EXPECT_FALSE(list.Append("C:\\one-too-many.wav"));
  EXPECT_EQ(list.Count(), 99);
  EXPECT_STREQ(list.EntryAt(98), "C:\\s98.wav");
  EXPECT_EQ(NextOf(list), "C:\\song.MP3");

  PlayList cd;
  cd.Create(kCdPlayerKinds);
  EXPECT_TRUE(cd.Append("D:\\Track01.cda"));
  EXPECT_FALSE(cd.Append("D:\\song.mp3"));
}

TEST(PlayListBuildTest, AppendedEntriesArePlayedLastEvenWhenShuffled) {
  const Strings five = {"C:\\1.mp3", "C:\\2.mp3", "C:\\3.mp3", "C:\\4.mp3", "C:\\5.mp3"};
  auto list = ListOf(kWavePlayerKinds, five);
  list->Shuffle();
  std::vector<int> order = OrderOf(*list);
  NextOf(*list);
  ASSERT_TRUE(list->Append("C:\\6.wav"));
  order.push_back(5);
  EXPECT_EQ(OrderOf(*list), order);
  EXPECT_EQ(list->Position(), 1);  // a usable position is kept
  EXPECT_TRUE(list->IsShuffled());
}

TEST(PlayListBuildTest, OverlongPathsAreRefusedNotCut) {
  PlayList list;
  list.Create(kWavePlayerKinds);
  std::string fits = "C:\\" + std::string(252, 'a') + ".mp3";  // 259 characters
  std::string tooLong = "C:\\" + std::string(253, 'a') + ".mp3";
  ASSERT_EQ(fits.size(), 259u);
  EXPECT_TRUE(list.Append(fits.c_str()));
  EXPECT_FALSE(list.Append(tooLong.c_str()));
  EXPECT_EQ(EntriesOf(list), Strings{fits});
  EXPECT_EQ(NextOf(list), fits);

  // The limit is the system's, in UTF-16 units: 252 Japanese characters
  // (756 bytes of UTF-8) fit where 253 do not; an emoji counts two.
  std::string kanji;
  for (int i = 0; i < 252; ++i) kanji += "\xE6\x97\xA5";
  const std::string wide = "C:\\" + kanji + ".mp3";
  const std::string wider = "C:\\" + kanji + "\xE6\x97\xA5.mp3";
  const std::string emoji = "C:\\" + kanji.substr(3) + "\xF0\x9F\x8E\xB5.mp3";
  PlayList japanese;
  japanese.Create(kWavePlayerKinds);
  EXPECT_TRUE(japanese.Append(wide.c_str()));
  EXPECT_FALSE(japanese.Append(wider.c_str()));
  EXPECT_FALSE(japanese.Append(emoji.c_str()));
  EXPECT_EQ(EntriesOf(japanese), Strings{wide});
}

TEST(PlayListBuildTest, CommitEditsStopsAtTheFirstEmptySlotAndKeepsTheRandomFlag) {
  auto list = ListOf(kWavePlayerKinds, kThree);
  list->Shuffle();
  NextOf(*list);
  std::snprintf(list->EditSlot(0), kPlayListSlot, "C:\\x.mp3");
  std::snprintf(list->EditSlot(1), kPlayListSlot, "C:\\y.mp3");
  list->EditSlot(2)[0] = '\0';
  std::snprintf(list->EditSlot(3), kPlayListSlot, "C:\\after-the-gap.mp3");
  list->CommitEdits();
  EXPECT_EQ(EntriesOf(*list), (Strings{"C:\\x.mp3", "C:\\y.mp3"}));
  EXPECT_STREQ(list->EntryAt(2), "");
  EXPECT_STREQ(list->EntryAt(3), "");
  // Still shuffled, so the order is a new shuffle of the two, as the lamp says.
  std::vector<int> order = OrderOf(*list);
  std::sort(order.begin(), order.end());
  EXPECT_EQ(order, (std::vector<int>{0, 1}));
  EXPECT_EQ(list->Position(), 0);
  EXPECT_STREQ(list->CurrentPath(), "");
  EXPECT_EQ(list->CurrentDrive(), -1);
  EXPECT_TRUE(list->IsShuffled());

  // The window starts editing from the entries again.
  list->CopyEntriesToEdits(false);
  EXPECT_STREQ(list->EditSlot(1), "C:\\y.mp3");
  EXPECT_STREQ(list->EditSlot(3), "");
}

TEST(PlayListBuildTest, ClearAndResetForgetWhatTheyShould) {
  auto list = ListOf(kWavePlayerKinds, kThree);
  list->SetLoop(true);
  list->Shuffle();
  NextOf(*list);
  std::string current = list->CurrentPath();
  list->Clear();
  EXPECT_EQ(list->Count(), 0);
  EXPECT_EQ(list->Position(), -1);
  EXPECT_EQ(list->CurrentDrive(), -1);
  EXPECT_STREQ(list->EntryAt(0), "");
  EXPECT_STREQ(list->EditSlot(0), "");
  EXPECT_TRUE(list->IsLoop());
  EXPECT_TRUE(list->IsShuffled());
  EXPECT_EQ(list->CurrentPath(), current);
  EXPECT_TRUE(list->Append("C:\\again.wav"));  // kinds kept

  list->Reset();
  EXPECT_EQ(list->Count(), 0);
  EXPECT_EQ(list->Position(), -1);
  EXPECT_FALSE(list->IsLoop());
  EXPECT_EQ(list->AllowedKinds(), kKindNone);
  EXPECT_TRUE(list->DialogFilter().empty());
  EXPECT_STREQ(list->CurrentPath(), "");
  EXPECT_EQ(list->OrderAt(1), -1);
  EXPECT_FALSE(list->Append("C:\\again.wav"));  // no kinds allowed any more
}

TEST(PlayListBuildTest, CreateRecordsKindsAndFilterWithoutAWindowModule) {
  PlayList list;
  SetListWindowCreator(nullptr);
  EXPECT_FALSE(list.Create(kWavePlayerKinds));  // nobody makes windows yet
  EXPECT_EQ(list.AllowedKinds(), kWavePlayerKinds);
  EXPECT_EQ(list.DialogFilter(), BuildOpenFilter(kWavePlayerKinds));
  EXPECT_EQ(list.ListWindow(), nullptr);
  EXPECT_FALSE(list.ShowListWindow());
  EXPECT_FALSE(list.HideListWindow());
}

// ---- The current file -----------------------------------------------------

TEST(PlayListCurrentTest, TitleIsTheNameBetweenLastBackslashAndLastDot) {
  struct Case {
    const char* path;
    size_t size;
    bool ok;
    const char* title;
  };
  const Case cases[] = {
      {"C:\\music\\Song Title.mp3", 260, true, "Song Title"},
      {"C:\\a.b\\c.d.wav", 260, true, "c.d"},
      {"C:\\music\\.mp3", 260, true, ""},
      {"C:\\music\\Song Title.mp3", 5, true, "Song"},
      {"C:\\music\\Song Title.mp3", 1, true, ""},
      {"C:\\dir.x\\noext", 260, false, ""},
      {"relative.mp3", 260, false, ""},
      {"build/music/Forward Slash.mp3", 260, true, "Forward Slash"},
      {"C:\\music/sub\\Mixed.wav", 260, true, "Mixed"},
      {"C:\\music/dir.x\\noext", 260, false, ""},
  };
  for (const Case& c : cases) {
    // Without loop, an unplayable entry is still left as the current path.
    auto list = ListOf(kWavePlayerKinds, {c.path});
    NextOf(*list);
    ASSERT_STREQ(list->CurrentPath(), c.path);
    char buffer[260];
    std::memset(buffer, 'z', sizeof buffer);
    EXPECT_EQ(list->CurrentTitle(buffer, c.size), c.ok) << c.path;
    EXPECT_STREQ(buffer, c.title) << c.path;
    if (c.size < sizeof buffer) {
      EXPECT_EQ(buffer[c.size], 'z') << "wrote past the size";
    }
  }
  PlayList empty;
  char buffer[16];
  EXPECT_FALSE(empty.CurrentTitle(buffer, sizeof buffer));
  EXPECT_FALSE(empty.CurrentTitle(buffer, 0));
}

TEST(PlayListCurrentTest, DriveComesFromTheDriveLetter) {
  auto list = ListOf(kWavePlayerKinds, {"d:\\x.mp3", "Z:\\y.mp3", "rel\\z.mp3"});
  EXPECT_EQ(list->CurrentDrive(), -1);
  NextOf(*list);
  EXPECT_EQ(list->CurrentDrive(), 3);
  NextOf(*list);
  EXPECT_EQ(list->CurrentDrive(), 25);
  NextOf(*list);
  EXPECT_EQ(list->CurrentDrive(), -1);
}

TEST(PlayListCurrentTest, FirstEntryExistsLooksAtTheDisk) {
  TempFolder dir;
  std::string song = dir.Write("song.mp3", "not really audio");
  auto list = ListOf(kWavePlayerKinds, {song, "C:\\missing\\x.mp3"});
  EXPECT_TRUE(list->FirstEntryExists());
  DeleteFileA(song.c_str());
  EXPECT_FALSE(list->FirstEntryExists());
  auto other = ListOf(kWavePlayerKinds, {"C:\\missing\\x.mp3", song});
  EXPECT_FALSE(other->FirstEntryExists());
  auto empty = ListOf(kWavePlayerKinds, {});
  EXPECT_FALSE(empty->FirstEntryExists());
}

// ---- M3U list files -------------------------------------------------------

struct M3uCase {
  const char* label;
  std::string bytes;
  MediaKind kinds;
  Strings expected;
};

TEST(PlayListM3uTest, ReadsExactlyTheLinesTheDialectSays) {
  const M3uCase cases[] = {
      {"crlf", "C:\\m\\a.mp3\r\nC:\\m\\b.wav\r\n", kWavePlayerKinds, {"C:\\m\\a.mp3", "C:\\m\\b.wav"}},
      {"lf only", "C:\\m\\a.mp3\nC:\\m\\b.wav\n", kWavePlayerKinds, {"C:\\m\\a.mp3", "C:\\m\\b.wav"}},
      {"cr only", "C:\\m\\a.mp3\rC:\\m\\b.wav\r", kWavePlayerKinds, {"C:\\m\\a.mp3", "C:\\m\\b.wav"}},
      {"nul ends", std::string("a.mp3\0b.wav\0", 12), kWavePlayerKinds, {"a.mp3", "b.wav"}},
      {"no final line end", "a.mp3\r\nb.wav", kWavePlayerKinds, {"a.mp3", "b.wav"}},
      {"same for the cd player", "a.mp3\r\nb.wav", kCdPlayerKinds, {}},
      {"single unterminated line", "a.mp3", kWavePlayerKinds, {"a.mp3"}},
      {"empty lines", "\r\n\r\na.mp3\r\n\r\n\n\rb.mp3\n", kWavePlayerKinds, {"a.mp3", "b.mp3"}},
      {"extended m3u comments",
       "#EXTM3U\r\n#EXTINF:215,Artist - Title\r\nC:\\m\\song.mp3\r\n",
       kWavePlayerKinds,
       {"C:\\m\\song.mp3"}},
      {"a comment is never a path, even one naming a file",
       "# old.mp3\r\n#EXTINF:1,x.mp3\r\nnew.mp3\r\n",
       kWavePlayerKinds,
       {"new.mp3"}},
      {"relative paths against the list's folder",
       "music\\a.mp3\r\n..\\b.wav\r\nc.mp3\r\n",
       kWavePlayerKinds,
       {"music\\a.mp3", "..\\b.wav", "c.mp3"}},
      {"spaces kept, trailing space spoils the extension",
       " lead.mp3\r\ntrail.mp3 \r\n",
       kWavePlayerKinds,
       {" lead.mp3"}},
      {"other kinds dropped",
       "a.mid\r\nb.MP3\r\nc.cda\r\nd.m3u\r\ne.txt\r\nf.mp\r\ng.mpa\r\nh.WAV\r\nnoext\r\n",
       kWavePlayerKinds,
       {"b.MP3", "g.mpa", "h.WAV"}},
      {"midi player", "a.mid\r\nb.mp3\r\nc.RMI\r\n", kMidiPlayerKinds, {"a.mid", "c.RMI"}},
      {"cd player", "D:\\Track01.cda\r\nD:\\Track02.CDA\r\nx.wav\r\n", kCdPlayerKinds,
       {"D:\\Track01.cda", "D:\\Track02.CDA"}},
      {"nothing kept", "#EXTM3U\r\nreadme.txt\r\n", kWavePlayerKinds, {}},
  };
  TempFolder dir;
  for (const M3uCase& c : cases) {
    std::string file = dir.Write("case.m3u", c.bytes);
    auto list = ListOf(c.kinds, {});
    EXPECT_TRUE(list->LoadListFile(file.c_str())) << c.label;
    EXPECT_EQ(EntriesOf(*list), InFolder(dir, c.expected)) << c.label;
    EXPECT_EQ(list->Position(), 0) << c.label;
  }
}

TEST(PlayListM3uTest, KeepsTheFirstNinetyNineUsableLines) {
  std::string bytes;
  Strings expected;
  for (int i = 0; i < 150; ++i) {
    bytes += "C:\\skip" + std::to_string(i) + ".txt\r\n";  // not counted
    std::string path = "C:\\m\\" + std::to_string(i) + ".mp3";
    bytes += path + "\r\n";
    if (i < 99) expected.push_back(path);
  }
  TempFolder dir;
  std::string file = dir.Write("long.m3u", bytes);
  auto list = ListOf(kWavePlayerKinds, {});
  MessageBoxWatcher boxes;
  ASSERT_TRUE(list->LoadListFile(file.c_str()));
  ASSERT_TRUE(boxes.WaitFor(1, 5000));
  EXPECT_EQ(boxes.Texts(), Strings{kListCutText}) << "said once";
  EXPECT_EQ(list->Count(), 99);
  EXPECT_EQ(EntriesOf(*list), expected);
  EXPECT_EQ(list->OrderAt(99), 98);
}

TEST(PlayListM3uTest, IgnoresEverythingBeyondTheReadLimit) {
  const std::string inside = "C:\\inside.mp3\r\n";
  const std::string lastFull = "C:\\last.mp3\r\n";  // its LF is the last byte read
  std::string padding = "#" + std::string(kListFileMaxBytes - inside.size() - lastFull.size() - 3, 'p') + "\r\n";
  std::string bytes = padding + inside + lastFull;
  ASSERT_EQ(bytes.size(), kListFileMaxBytes);
  bytes += "C:\\beyond.mp3\r\n";

  // The same file with one more byte of padding: the last line's LF falls
  // outside what is read, so that line is cut off and dropped.
  std::string shifted = "#" + padding + inside + lastFull + "C:\\beyond.mp3\r\n";

  TempFolder dir;
  auto list = ListOf(kWavePlayerKinds, {});
  ASSERT_TRUE(list->LoadListFile(dir.Write("big.m3u", bytes).c_str()));
  EXPECT_EQ(EntriesOf(*list), (Strings{"C:\\inside.mp3", "C:\\last.mp3"}));
  ASSERT_TRUE(list->LoadListFile(dir.Write("shifted.m3u", shifted).c_str()));
  // "C:\last.mp3\r" still ends at its CR, inside the limit.
  EXPECT_EQ(EntriesOf(*list), (Strings{"C:\\inside.mp3", "C:\\last.mp3"}));
  std::string cut = "#" + shifted;
  ASSERT_TRUE(list->LoadListFile(dir.Write("cut.m3u", cut).c_str()));
  EXPECT_EQ(EntriesOf(*list), (Strings{"C:\\inside.mp3"}));
}

TEST(PlayListM3uTest, OverlongLinesAreSkipped) {
  std::string fits = "C:\\" + std::string(252, 'f') + ".mp3";
  std::string tooLong = "C:\\" + std::string(400, 'L') + ".mp3";
  TempFolder dir;
  std::string file = dir.Write("wide.m3u", "a.mp3\r\n" + tooLong + "\r\n" + fits + "\r\nb.mp3\r\n");
  auto list = ListOf(kWavePlayerKinds, {});
  ASSERT_TRUE(list->LoadListFile(file.c_str()));
  EXPECT_EQ(EntriesOf(*list), InFolder(dir, {"a.mp3", fits, "b.mp3"}));
}

TEST(PlayListM3uTest, UnreadableFilesLeaveTheListAsItWas) {
  TempFolder dir;
  std::string empty = dir.Write("empty.m3u", "");
  std::string text = dir.Write("list.txt", "a.mp3\r\n");
  std::string held = dir.Write("held.m3u", "a.mp3\r\n");
  CreateDirectoryA(dir.Path("folder.m3u").c_str(), nullptr);
  HANDLE holder = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);

  auto list = ListOf(kWavePlayerKinds, kThree);
  list->Shuffle();
  NextOf(*list);
  std::vector<int> order = OrderOf(*list);
  const std::string names[] = {empty, text, held, dir.Path("folder.m3u"), dir.Path("missing.m3u"), ""};
  for (const std::string& name : names) {
    EXPECT_FALSE(list->LoadListFile(name.c_str())) << name;
    EXPECT_EQ(EntriesOf(*list), kThree) << name;
    EXPECT_EQ(OrderOf(*list), order) << name;
    EXPECT_EQ(list->Position(), 1) << name;
  }
  EXPECT_FALSE(list->LoadListFile(nullptr));
  CloseHandle(holder);
  EXPECT_TRUE(list->LoadListFile(held.c_str()));
  EXPECT_EQ(EntriesOf(*list), InFolder(dir, {"a.mp3"}));
}

TEST(PlayListM3uTest, NameNeedOnlyLookLikeAListFile) {
  // The list-file test on the name is the loose one: ".m3" counts.
  TempFolder dir;
  auto list = ListOf(kWavePlayerKinds, {});
  EXPECT_TRUE(list->LoadListFile(dir.Write("short.m3", "a.mp3\r\n").c_str()));
  EXPECT_TRUE(list->LoadListFile(dir.Write("UPPER.M3U", "b.mp3\r\n").c_str()));
  EXPECT_EQ(EntriesOf(*list), InFolder(dir, {"b.mp3"}));
  EXPECT_FALSE(list->LoadListFile(dir.Write("song.mp3", "c.mp3\r\n").c_str()));
}

TEST(PlayListM3uTest, DamagedBytesNeverCrashOrYieldForeignText) {
  // Pseudo-random bytes with a few real lines spliced in.
  std::string bytes;
  uint32_t seed = 12345;
  for (int i = 0; i < 20000; ++i) {
    seed = seed * 1103515245u + 12345u;
    bytes.push_back(static_cast<char>(seed >> 24));
  }
  bytes.insert(5000, "\nC:\\spliced.mp3\n");
  TempFolder dir;
  auto list = ListOf(kWavePlayerKinds, {});
  ASSERT_TRUE(list->LoadListFile(dir.Write("noise.m3u", bytes).c_str()));
  bool found = false;
  for (const std::string& entry : EntriesOf(*list)) {
    EXPECT_LT(entry.size(), kPlayListSlot);
    EXPECT_NE(FilterKind(kWavePlayerKinds, entry.c_str()), kKindNone) << entry;
    EXPECT_NE(bytes.find(entry), std::string::npos);
    found = found || entry == "C:\\spliced.mp3";
  }
  EXPECT_TRUE(found);
}

// ---- Fill from a pattern -----------------------------------------------------

TEST(PlayListPatternTest, ListsMatchesWithTheirFolderWhateverTheirKind) {
  TempFolder dir;
  dir.Write("a.mp3", "x");
  dir.Write("b.txt", "x");
  dir.Write("c.wav", "x");
  CreateDirectoryA(dir.Path("sub.mp3").c_str(), nullptr);
  auto list = ListOf(kWavePlayerKinds, {});
  ASSERT_TRUE(list->FillFromPattern((dir.path() + "\\*.*").c_str()));
  EXPECT_STREQ(list->PatternDirectory(), dir.path().c_str());
  Strings entries = EntriesOf(*list);
  std::sort(entries.begin(), entries.end());
  EXPECT_EQ(entries, (Strings{dir.Path("a.mp3"), dir.Path("b.txt"), dir.Path("c.wav")}));
  EXPECT_EQ(list->Position(), 0);
  EXPECT_EQ(OrderOf(*list), (std::vector<int>{0, 1, 2}));
  // The player skips what it cannot play.
  Strings played;
  for (std::string next = NextOf(*list); next != kNothing; next = NextOf(*list)) played.push_back(next);
  std::sort(played.begin(), played.end());
  EXPECT_EQ(played, (Strings{dir.Path("a.mp3"), dir.Path("c.wav")}));
}

TEST(PlayListPatternTest, FailuresLeaveAnEmptyUnusableList) {
  TempFolder dir;
  auto list = ListOf(kWavePlayerKinds, kThree);
  EXPECT_FALSE(list->FillFromPattern("*.cda"));  // no folder
  EXPECT_EQ(list->Count(), 0);
  EXPECT_EQ(list->Position(), -1);
  list = ListOf(kWavePlayerKinds, kThree);
  EXPECT_FALSE(list->FillFromPattern((dir.path() + "\\*.cda").c_str()));  // no match
  EXPECT_EQ(list->Count(), 0);
  EXPECT_EQ(NextOf(*list), kNothing);
  EXPECT_FALSE(list->FillFromPattern(nullptr));
  std::string huge = "C:\\" + std::string(300, 'd') + "\\*.cda";
  EXPECT_FALSE(list->FillFromPattern(huge.c_str()));
  EXPECT_EQ(list->Count(), 0);
}

TEST(PlayListPatternTest, MatchesTooLongForASlotAreSkipped) {
  TempFolder dir;
  // A folder deep enough that only short names still fit in 259 characters.
  std::string deep = dir.path();
  while (deep.size() < 230) {
    deep += "\\" + std::string(20, 'd');
    ASSERT_TRUE(CreateDirectoryA(deep.c_str(), nullptr)) << deep;
  }
  size_t room = 259 - deep.size() - 1;
  std::string shortName = "s.cda";
  std::string longName = std::string(room + 1 - 4, 'L') + ".cda";  // one over
  std::string exactName = std::string(room - 4, 'E') + ".cda";     // just fits
  for (const std::string& name : {shortName, longName, exactName}) {
    std::wstring wide(L"\\\\?\\");
    std::string full = deep + "\\" + name;
    wide.append(full.begin(), full.end());
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << full.size();
    CloseHandle(file);
  }
  auto list = ListOf(kCdPlayerKinds, {});
  ASSERT_TRUE(list->FillFromPattern((deep + "\\*.cda").c_str()));
  Strings entries = EntriesOf(*list);
  std::sort(entries.begin(), entries.end());
  EXPECT_EQ(entries, (Strings{deep + "\\" + exactName, deep + "\\" + shortName}));
  EXPECT_EQ((deep + "\\" + exactName).size(), 259u);
  // The long file goes with the folder: TempFolder removes the tree with the
  // ANSI functions, which cannot reach it.
  std::wstring wide(L"\\\\?\\");
  std::string full = deep + "\\" + longName;
  wide.append(full.begin(), full.end());
  DeleteFileW(wide.c_str());
}

// ---- The playlist window's hooks ---------------------------------------------

// A real window standing in for the playlist window, recording what the list
// sends it.
struct ListWindowLog {
  std::vector<UINT> messages;
  LPARAM attached = 0;
};
ListWindowLog gLog;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kMsgListAttach || message == kMsgListReload) {
    gLog.messages.push_back(message);
    if (message == kMsgListAttach) gLog.attached = lParam;
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateRecordingWindow(PlayList* /*list*/, HWND owner) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "PlayListTestWindow";
    registered = RegisterClassA(&wc) != 0;
  }
  return CreateWindowExA(0, "PlayListTestWindow", "PlayList", WS_POPUP | WS_BORDER, 0, 0, 252,
                         272, owner, nullptr, GetModuleHandleA(nullptr), nullptr);
}

class PlayListWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gLog = ListWindowLog{};
    owner_ = CreateWindowExA(0, "STATIC", "panel", WS_POPUP, 0, 0, 50, 50, nullptr,
                             nullptr, nullptr, nullptr);
    ASSERT_NE(owner_, nullptr);
    SetListWindowCreator(CreateRecordingWindow);
  }
  void TearDown() override {
    SetListWindowCreator(nullptr);
    DestroyWindow(owner_);
    EXPECT_EQ(ShownListWindow(), nullptr);
  }
  std::unique_ptr<PlayList> NewList() {
    auto list = std::make_unique<PlayList>();
    list->SetOwnerWindow(owner_);
    list->SetNotifyWindow(owner_);
    return list;
  }
  HWND owner_ = nullptr;
};

TEST_F(PlayListWindowTest, CreateMakesAHiddenOwnedWindowAndHandsItTheList) {
  auto list = NewList();
  ASSERT_TRUE(list->Create(kCdPlayerKinds));
  HWND window = list->ListWindow();
  ASSERT_TRUE(IsWindow(window));
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_EQ(GetWindow(window, GW_OWNER), owner_);
  EXPECT_EQ(gLog.messages, std::vector<UINT>{kMsgListAttach});
  EXPECT_EQ(gLog.attached, reinterpret_cast<LPARAM>(list.get()));
  EXPECT_EQ(list->NotifyWindow(), owner_);
  // A second Create keeps the window it has.
  EXPECT_TRUE(list->Create(kCdPlayerKinds));
  EXPECT_EQ(list->ListWindow(), window);
  list.reset();
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(PlayListWindowTest, OnlyOneListWindowIsShownAndItDisablesTheOwner) {
  auto cd = NewList();
  auto wave = NewList();
  ASSERT_TRUE(cd->Create(kCdPlayerKinds));
  ASSERT_TRUE(wave->Create(kWavePlayerKinds));
  gLog.messages.clear();

  ASSERT_TRUE(cd->ShowListWindow());
  EXPECT_EQ(gLog.messages, std::vector<UINT>{kMsgListReload});
  EXPECT_TRUE(IsWindowVisible(cd->ListWindow()));
  EXPECT_FALSE(IsWindowEnabled(owner_));
  EXPECT_EQ(ShownListWindow(), cd->ListWindow());

  EXPECT_FALSE(wave->ShowListWindow());
  EXPECT_FALSE(cd->ShowListWindow());
  EXPECT_FALSE(IsWindowVisible(wave->ListWindow()));
  // Hiding a list whose window is not the shown one leaves the owner alone.
  EXPECT_TRUE(wave->HideListWindow());
  EXPECT_FALSE(IsWindowEnabled(owner_));
  EXPECT_EQ(ShownListWindow(), cd->ListWindow());

  EXPECT_TRUE(cd->HideListWindow());
  EXPECT_FALSE(IsWindowVisible(cd->ListWindow()));
  EXPECT_TRUE(IsWindowEnabled(owner_));
  EXPECT_EQ(ShownListWindow(), nullptr);

  EXPECT_TRUE(wave->ShowListWindow());
  // The window's own cancel forgets it without going through the list.
  ShowWindow(wave->ListWindow(), SW_HIDE);
  EnableWindow(owner_, TRUE);
  ForgetShownListWindow(cd->ListWindow());
  EXPECT_EQ(ShownListWindow(), wave->ListWindow());
  ForgetShownListWindow(wave->ListWindow());
  EXPECT_EQ(ShownListWindow(), nullptr);
}

TEST_F(PlayListWindowTest, ShowNeedsAnOwner) {
  PlayList list;
  ASSERT_TRUE(list.Create(kMidiPlayerKinds));
  EXPECT_FALSE(list.ShowListWindow());
  EXPECT_EQ(ShownListWindow(), nullptr);
}

TEST_F(PlayListWindowTest, DestroyingAListWhileItsWindowIsShownFreesTheOwner) {
  auto list = NewList();
  ASSERT_TRUE(list->Create(kWavePlayerKinds));
  ASSERT_TRUE(list->ShowListWindow());
  HWND window = list->ListWindow();
  list->Reset();
  list.reset();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_TRUE(IsWindowEnabled(owner_));
  EXPECT_EQ(ShownListWindow(), nullptr);
}

}  // namespace
