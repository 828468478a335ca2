// Rendering with the Debian GM SoundFont: pitch of single notes, note
// onsets against the file's timing, the tempo factor, percussion, seeking,
// the sustain pedal and the voice limit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "codec/byte_source.h"
#include "synth/sequencer.h"
#include "tests/synth/signal.h"
#include "tests/synth/smf_writer.h"

namespace cx::synth {
namespace {

using test::Smf;
using test::TrackWriter;

constexpr int kRate = 44100;

std::shared_ptr<const SoundFont> GmFont() {
  static std::shared_ptr<const SoundFont> font = [] {
    // The Debian package's file; under Wine the host's root is drive Z:.
    const char* chosen = std::getenv("CX_SF2");
    std::unique_ptr<codec::ByteSource> source;
    for (const char* path : {chosen, "/usr/share/sounds/sf2/TimGM6mb.sf2", "Z:/usr/share/sounds/sf2/TimGM6mb.sf2"}) {
      if (path && !source) source = codec::FileByteSource::Open(path);
    }
    std::shared_ptr<const SoundFont> f;
    if (source) f = SoundFont::Load(*source, nullptr);
    return f;
  }();
  return font;
}

std::shared_ptr<const MidiSong> Song(const std::vector<uint8_t>& bytes) {
  return MidiSong::Parse(bytes.data(), bytes.size(), nullptr);
}

// Left plus right of `seconds` of output from wherever the sequencer stands.
std::vector<float> RenderMono(Sequencer& s, double seconds) {
  const size_t frames = static_cast<size_t>(seconds * kRate);
  std::vector<float> left(frames), right(frames), mono(frames);
  s.RenderFloat(left.data(), right.data(), frames);
  for (size_t i = 0; i < frames; ++i) mono[i] = left[i] + right[i];
  return mono;
}

// 1000 ticks a quarter at 60 bpm: a tick is a millisecond.
std::vector<uint8_t> OneTrack(const TrackWriter& t) { return Smf(0, 1000, {t}); }
TrackWriter MsTrack() {
  TrackWriter t;
  t.Tempo(0, 1000000);
  return t;
}

class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(GmFont()) << "timgm6mb-soundfont missing (tools/packages.txt)"; }
};

TEST_F(RenderTest, SingleNotesSoundAtTheirPitch) {
  const struct {
    int program, key;
  } kNotes[] = {{0, 48}, {0, 60}, {0, 69}, {0, 81}, {48, 45}, {48, 64}, {40, 67}, {40, 76},
                {73, 72}, {73, 84}, {56, 62}, {32, 40}, {52, 57}, {80, 70}};
  for (const auto& n : kNotes) {
    SCOPED_TRACE(testing::Message() << "program " << n.program << " key " << n.key);
    TrackWriter t = MsTrack();
    t.Program(0, 0, n.program).NoteOn(0, 0, n.key, 100).NoteOff(1200, 0, n.key).End(0);
    Sequencer s(GmFont(), Song(OneTrack(t)), kRate);
    const std::vector<float> out = RenderMono(s, 1.0);
    const size_t from = kRate * 3 / 10, count = kRate * 4 / 10;
    ASSERT_GT(test::Rms(out, from, from + count), 1e-3);
    const double expected = 440.0 * std::pow(2.0, (n.key - 69) / 12.0);
    const double measured = test::PitchHz(out.data() + from, count, kRate);
    EXPECT_NEAR(measured / expected, 1.0, 0.03) << measured << " Hz, expected " << expected;
  }
}

TEST_F(RenderTest, PitchWheelFollowsItsRpnRange) {
  for (int semitones : {2, 7, 12}) {
    SCOPED_TRACE(semitones);
    TrackWriter t = MsTrack();
    t.Program(0, 0, 73).Control(0, 0, 101, 0).Control(0, 0, 100, 0).Control(0, 0, 6, semitones);
    t.Control(0, 0, 38, 0).Channel(0, 0xE0, 0x7F, 0x7F).NoteOn(0, 0, 69, 100).End(1200);
    Sequencer s(GmFont(), Song(OneTrack(t)), kRate);
    const std::vector<float> out = RenderMono(s, 1.0);
    const double expected = 440.0 * std::pow(2.0, semitones * (8191.0 / 8192.0) / 12.0);
    const double measured = test::PitchHz(out.data() + kRate / 3, kRate / 3, kRate);
    EXPECT_NEAR(measured / expected, 1.0, 0.03) << measured;
  }
}

// Four short piano notes with uneven gaps.
std::vector<uint8_t> Staccato() {
  TrackWriter t = MsTrack();
  t.Program(0, 0, 0);
  for (uint32_t delta : {300u, 500u, 350u, 700u}) t.NoteOn(delta, 0, 72, 110).NoteOff(100, 0, 72);
  t.End(500);
  return OneTrack(t);
}
const double kStaccatoOnsets[] = {0.300, 0.900, 1.350, 2.150};

TEST_F(RenderTest, NotesStartWhenTheFileSays) {
  Sequencer s(GmFont(), Song(Staccato()), kRate);
  const std::vector<float> out = RenderMono(s, 2.6);
  const std::vector<double> onsets = test::Onsets(out, kRate, 0.02f, 60);
  ASSERT_EQ(onsets.size(), 4u);
  for (size_t i = 0; i < 4; ++i) EXPECT_NEAR(onsets[i], kStaccatoOnsets[i], 0.010) << i;
}

TEST_F(RenderTest, TempoFactorScalesNoteSpacing) {
  for (int percent : {200, 50, 137}) {
    SCOPED_TRACE(percent);
    Sequencer s(GmFont(), Song(Staccato()), kRate);
    s.SetTempoPercent(percent);
    const std::vector<float> out = RenderMono(s, 2.6 * 100 / percent + 0.3);
    const std::vector<double> onsets = test::Onsets(out, kRate, 0.02f, 40);
    ASSERT_EQ(onsets.size(), 4u);
    for (size_t i = 0; i < 4; ++i) EXPECT_NEAR(onsets[i], kStaccatoOnsets[i] * 100 / percent, 0.010) << i;
  }
}

TEST_F(RenderTest, TempoChangeKeepsThePosition) {
  Sequencer s(GmFont(), Song(Staccato()), kRate);
  RenderMono(s, 1.0);
  const int64_t before = s.PositionMs();
  s.SetTempoPercent(250);
  EXPECT_EQ(s.PositionMs(), before);
  RenderMono(s, 0.2);
  EXPECT_NEAR(static_cast<double>(s.PositionMs()), before + 500.0, 2.0);
  s.SetTempoPercent(5);
  EXPECT_EQ(s.tempoPercent(), Sequencer::kMinTempo);
}

TEST_F(RenderTest, DrumHitOnChannelTenSounds) {
  for (int key : {36, 38, 42, 49}) {
    SCOPED_TRACE(key);
    TrackWriter t = MsTrack();
    t.NoteOn(100, 9, key, 120).NoteOff(100, 9, key).End(400);
    Sequencer s(GmFont(), Song(OneTrack(t)), kRate);
    const std::vector<float> out = RenderMono(s, 0.6);
    EXPECT_LT(test::Rms(out, 0, kRate / 10), 1e-6);
    EXPECT_GT(test::Rms(out, kRate / 10, kRate * 3 / 10), 1e-2);
  }
}

// Sets up channel 3 with a program, volume, pan, bank and a bent pitch
// range, then plays a note at 3 s.
std::vector<uint8_t> SeekSong() {
  TrackWriter t = MsTrack();
  t.Program(0, 3, 40).Control(0, 3, 7, 70).Control(0, 3, 10, 30).Control(0, 3, 0, 0);
  t.Control(0, 3, 101, 0).Control(0, 3, 100, 0).Control(0, 3, 6, 5).Channel(0, 0xE3, 0, 0x50);
  t.NoteOn(500, 3, 60, 100).NoteOff(500, 3, 60);   // heard only straight through
  t.Control(500, 3, 11, 90).Control(0, 3, 64, 127);  // 1.5 s
  t.NoteOn(1500, 3, 67, 100).NoteOff(1000, 3, 67).End(500);  // 3 s .. 4 s
  return OneTrack(t);
}

TEST_F(RenderTest, SeekRestoresTheChannels) {
  auto song = Song(SeekSong());
  Sequencer straight(GmFont(), song, kRate);
  const std::vector<float> whole = RenderMono(straight, 2.5);
  const ChannelState expected = straight.synthesizer().channel(3);
  EXPECT_EQ(expected.program, 40);
  EXPECT_EQ(expected.bendSemitones, 5);
  const std::vector<float> rest = RenderMono(straight, 1.5);

  Sequencer seeked(GmFont(), song, kRate);
  RenderMono(seeked, 0.3);  // some state of its own first
  seeked.Seek(2500);
  EXPECT_EQ(seeked.PositionMs(), 2500);
  EXPECT_TRUE(seeked.synthesizer().channel(3) == expected);
  EXPECT_EQ(seeked.synthesizer().ActiveVoices(), 0);
  const std::vector<float> after = RenderMono(seeked, 1.5);
  // The note at 3 s, half a second into both renders.
  const size_t from = kRate / 2, count = kRate * 8 / 10;
  EXPECT_GT(test::AlignedCorrelation(rest, from, after, from, count, 64), 0.98);
  EXPECT_NEAR(test::Rms(after, from, from + count) / test::Rms(rest, from, from + count), 1.0, 0.05);

  // From the start the program and volume are the defaults again: the same
  // note sounds different.
  seeked.Seek(0);
  EXPECT_TRUE(seeked.synthesizer().channel(3) == ChannelState());
}

TEST_F(RenderTest, SustainPedalHoldsNotes) {
  auto level = [](bool pedal) {
    TrackWriter t = MsTrack();
    t.Program(0, 0, 0);
    if (pedal) t.Control(0, 0, 64, 127);
    t.NoteOn(0, 0, 60, 100).NoteOff(300, 0, 60).Control(1200, 0, 64, 0).End(1000);
    Sequencer s(GmFont(), Song(OneTrack(t)), kRate);
    const std::vector<float> out = RenderMono(s, 2.5);
    return std::vector<double>{test::Rms(out, kRate * 2 / 10, kRate * 3 / 10),
                               test::Rms(out, kRate * 12 / 10, kRate * 14 / 10),
                               test::Rms(out, kRate * 23 / 10, kRate * 25 / 10)};
  };
  const std::vector<double> held = level(true), free = level(false);
  // Held: still sounding a second after the key went up, gone after the
  // pedal; without the pedal gone after the key.
  EXPECT_GT(held[1], held[0] * 0.05);
  EXPECT_LT(held[2], held[1] * 0.05);
  EXPECT_LT(free[1], held[1] * 0.05);
}

TEST_F(RenderTest, VoiceLimitHoldsWithThreeHundredNotes) {
  TrackWriter t = MsTrack();
  for (int ch = 0; ch < 16; ++ch) t.Program(0, ch, ch * 8);
  for (int i = 0; i < 300; ++i) t.NoteOn(0, i % 16, 30 + i % 70, 100);
  t.NoteOn(500, 0, 60, 100).End(1000);
  Sequencer s(GmFont(), Song(OneTrack(t)), kRate, 64);
  ASSERT_EQ(s.synthesizer().maxVoices(), 64);
  int most = 0;
  std::vector<float> left(441), right(441);
  for (int block = 0; block < 100; ++block) {
    s.RenderFloat(left.data(), right.data(), left.size());
    most = std::max(most, s.synthesizer().ActiveVoices());
    for (float v : left) ASSERT_TRUE(std::isfinite(v));
  }
  EXPECT_EQ(most, 64);
}

TEST_F(RenderTest, AllSoundOffSilencesAtOnce) {
  TrackWriter t = MsTrack();
  t.Program(0, 0, 19).NoteOn(0, 0, 60, 100).NoteOn(0, 0, 64, 100).Control(500, 0, 120, 0).End(500);
  Sequencer s(GmFont(), Song(OneTrack(t)), kRate);
  const std::vector<float> out = RenderMono(s, 1.0);
  EXPECT_GT(test::Rms(out, kRate / 5, kRate * 2 / 5), 1e-2);
  EXPECT_LT(test::Rms(out, kRate * 52 / 100, kRate), 1e-6);
  EXPECT_TRUE(s.AtEnd());
}

}  // namespace
}  // namespace cx::synth
