// The MIDI file reader against files written here: event times from the
// tempo map, running status, sysex and meta events skipped, tracks merged,
// RMID and SMPTE, and damaged files refused or cut without a crash.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "synth/midi_song.h"
#include "tests/synth/smf_writer.h"

namespace cx::synth {
namespace {

using test::Rmid;
using test::Smf;
using test::TrackWriter;

std::unique_ptr<MidiSong> Parse(const std::vector<uint8_t>& bytes, std::string* error = nullptr) {
  return MidiSong::Parse(bytes.data(), bytes.size(), error);
}

struct Expected {
  uint8_t status, data1;
  double ms;
};

void ExpectEvents(const MidiSong& song, const std::vector<Expected>& expected) {
  ASSERT_EQ(song.events().size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(song.events()[i].status, expected[i].status);
    EXPECT_EQ(song.events()[i].data1, expected[i].data1);
    EXPECT_NEAR(song.events()[i].timeUs / 1000.0, expected[i].ms, 1e-6);
  }
}

// 480 ticks a quarter; 120 bpm, then 240 bpm from tick 960, then 60 bpm
// from tick 1920. Times: tick t < 960 -> t * 500/480 ms; then 1000 + (t-960)
// * 250/480; then 1500 + (t-1920) * 1000/480.
TrackWriter TempoTrack(bool running) {
  TrackWriter t(running);
  t.Tempo(0, 500000).Tempo(960, 250000).Tempo(960, 1000000).End(480);
  return t;
}

TrackWriter NotesTrack(bool running, int channel) {
  TrackWriter t(running);
  t.Program(0, channel, 5)
      .NoteOn(480, channel, 60, 100)     // tick 480: 500 ms
      .NoteOn(0, channel, 64, 90)
      .NoteOff(480, channel, 60)         // 960: 1000 ms
      .NoteOff(0, channel, 64)
      .NoteOn(480, channel, 67, 80)      // 1440: 1250 ms
      .NoteOff(960, channel, 67)         // 2400: 2500 ms
      .End(0);
  return t;
}

const std::vector<Expected> kNotes = {{0xC0, 5, 0},      {0x90, 60, 500},  {0x90, 64, 500},
                                      {0x80, 60, 1000},  {0x80, 64, 1000}, {0x90, 67, 1250},
                                      {0x80, 67, 2500}};

TEST(SmfTest, FormatZeroFollowsTheTempoMap) {
  TrackWriter u;
  u.Tempo(0, 500000).Program(0, 0, 5).NoteOn(480, 0, 60, 100).NoteOn(0, 0, 64, 90);
  u.Tempo(480, 250000).NoteOff(0, 0, 60).NoteOff(0, 0, 64).NoteOn(480, 0, 67, 80);
  u.Tempo(480, 1000000).NoteOff(480, 0, 67).End(0);
  std::string error;
  auto song = Parse(Smf(0, 480, {u}), &error);
  ASSERT_TRUE(song) << error;
  EXPECT_EQ(song->format(), 0);
  ExpectEvents(*song, kNotes);
  EXPECT_EQ(song->LengthMs(), 2500);
}

TEST(SmfTest, FormatOneMergesTracksByTime) {
  for (bool running : {false, true}) {
    SCOPED_TRACE(running);
    TrackWriter late(running);
    late.Control(1440, 3, 7, 90).End(1200);  // 1250 ms; it ends at tick 2640
    auto song = Parse(Smf(1, 480, {TempoTrack(running), NotesTrack(running, 0), late}));
    ASSERT_TRUE(song);
    EXPECT_EQ(song->trackCount(), 3);
    std::vector<Expected> expected = kNotes;
    // At one tick the earlier track's events come first.
    expected.insert(expected.begin() + 6, {0xB3, 7, 1250});
    ExpectEvents(*song, expected);
    EXPECT_EQ(song->LengthMs(), 3000);  // the last track's end counts
  }
}

TEST(SmfTest, RunningStatusReadsAsWrittenInFull) {
  auto full = Parse(Smf(1, 480, {TempoTrack(false), NotesTrack(false, 2)}));
  auto running = Parse(Smf(1, 480, {TempoTrack(true), NotesTrack(true, 2)}));
  ASSERT_TRUE(full && running);
  ASSERT_EQ(full->events().size(), running->events().size());
  for (size_t i = 0; i < full->events().size(); ++i) {
    EXPECT_EQ(full->events()[i].status, running->events()[i].status);
    EXPECT_EQ(full->events()[i].data1, running->events()[i].data1);
    EXPECT_EQ(full->events()[i].data2, running->events()[i].data2);
    EXPECT_EQ(full->events()[i].timeUs, running->events()[i].timeUs);
  }
}

TEST(SmfTest, SysexAndMetaEventsAreSkipped) {
  TrackWriter t(true);
  t.Tempo(0, 500000)
      .Sysex(0, 0xF0, {0x7E, 0x7F, 0x09, 0x01, 0xF7})
      .NoteOn(480, 0, 60, 100)
      .Meta(0, 0x01, std::vector<uint8_t>(300, 'x'))  // a text longer than one length byte
      .Sysex(10, 0xF7, {0x43, 0x10})
      .Meta(0, 0x7F, {1, 2, 3})
      .NoteOn(470, 0, 60, 0)  // tick 960: 1000 ms
      .End(0);
  auto song = Parse(Smf(0, 480, {t}));
  ASSERT_TRUE(song);
  ExpectEvents(*song, {{0x90, 60, 500}, {0x90, 60, 1000}});
  EXPECT_EQ(song->events()[1].data2, 0);
}

TEST(SmfTest, RmidWrapperHoldsTheSameSong) {
  const std::vector<uint8_t> smf = Smf(1, 480, {TempoTrack(false), NotesTrack(true, 0)});
  std::string error;
  auto song = Parse(Rmid(smf), &error);
  ASSERT_TRUE(song) << error;
  ExpectEvents(*song, kNotes);
}

TEST(SmfTest, SmpteDivisionCountsFrames) {
  // 25 frames a second, 40 ticks a frame: a tick is a millisecond, whatever
  // the tempo events say.
  TrackWriter t;
  t.Tempo(0, 250000).NoteOn(250, 0, 60, 100).NoteOff(1000, 0, 60).End(0);
  const uint16_t division = static_cast<uint16_t>((256 - 25) << 8 | 40);
  auto song = Parse(Smf(0, division, {t}));
  ASSERT_TRUE(song);
  ExpectEvents(*song, {{0x90, 60, 250}, {0x80, 60, 1250}});

  auto drop = Parse(Smf(0, static_cast<uint16_t>((256 - 29) << 8 | 100), {t}));
  ASSERT_TRUE(drop);
  EXPECT_NEAR(drop->events()[0].timeUs, 250 * 1e6 / (29.97 * 100), 1e-6);
}

TEST(SmfTest, FormatTwoPlaysItsFirstTrack) {
  auto song = Parse(Smf(2, 480, {NotesTrack(false, 0), NotesTrack(false, 1)}));
  ASSERT_TRUE(song);
  EXPECT_EQ(song->events().size(), kNotes.size());
  for (const MidiEvent& e : song->events()) EXPECT_EQ(e.channel(), 0);
}

TEST(SmfTest, DamagedFilesAreRefusedWithAReason) {
  const std::vector<uint8_t> good = Smf(0, 480, {NotesTrack(false, 0)});
  auto with = [&](size_t at, std::initializer_list<uint8_t> bytes) {
    std::vector<uint8_t> b = good;
    size_t i = at;
    for (uint8_t v : bytes) b[i++] = v;
    return b;
  };
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
  } kCases[] = {
      {"empty", {}},
      {"not a MIDI file", {'R', 'I', 'F', 'F', 1, 0, 0, 0, 'W', 'A', 'V', 'E', 0, 0, 0, 0}},
      {"header longer than the file", with(4, {0x7F, 0xFF, 0xFF, 0xFF})},
      {"header too short", with(4, {0, 0, 0, 5})},
      {"zero ticks a quarter", with(12, {0, 0})},
      {"bad SMPTE rate", with(12, {0xE4, 10})},
      {"format 3", with(8, {0, 3})},
      {"no track", std::vector<uint8_t>(good.begin(), good.begin() + 14)},
      {"RMID without data", {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'R', 'M', 'I', 'D'}},
  };
  for (const auto& c : kCases) {
    std::string error;
    EXPECT_FALSE(Parse(c.bytes, &error)) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
  }
}

TEST(SmfTest, ACutFileKeepsTheEventsBeforeTheCut) {
  const std::vector<uint8_t> good = Smf(1, 480, {TempoTrack(true), NotesTrack(true, 0)});
  auto whole = Parse(good);
  ASSERT_TRUE(whole);
  for (size_t size = 0; size < good.size(); ++size) {
    SCOPED_TRACE(size);
    auto song = MidiSong::Parse(good.data(), size, nullptr);
    if (!song) continue;
    ASSERT_LE(song->events().size(), whole->events().size());
    for (size_t i = 0; i < song->events().size(); ++i) {
      EXPECT_EQ(song->events()[i].status, whole->events()[i].status);
      EXPECT_EQ(song->events()[i].timeUs, whole->events()[i].timeUs);
    }
  }
}

TEST(SmfTest, DamageInsideATrackStopsThatTrackOnly) {
  TrackWriter bad;
  bad.NoteOn(0, 1, 50, 100).Raw({0x81, 0x80, 0x80, 0x80, 0x00, 0x90, 1, 1});  // a five-byte delta
  TrackWriter orphan;
  orphan.Raw({0x00, 0x40, 0x40});  // a data byte with no status before it
  auto song = Parse(Smf(1, 480, {NotesTrack(false, 0), bad, orphan}));
  ASSERT_TRUE(song);
  EXPECT_EQ(song->events().size(), kNotes.size() + 1);
  EXPECT_EQ(song->events()[1].status, 0x91);
}

}  // namespace
}  // namespace cx::synth
