// The SoundFont reader and the voice engine against small banks written
// here: how zones combine, which samples are refused, damaged banks, and
// the pitch, loop and exclusive-class behaviour of the voices.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "synth/sequencer.h"
#include "synth/sound_font.h"
#include "tests/synth/sf2_writer.h"
#include "tests/synth/signal.h"
#include "tests/synth/smf_writer.h"

namespace cx::synth {
namespace {

using test::Gen;
using test::Range;
using test::Sf2Item;
using test::Sf2Sample;
using test::Sf2Writer;

constexpr int kRate = 44100;

// 441 Hz at 44.1 kHz: 100 whole periods, looped over all of them.
Sf2Sample Sine(const std::string& name, uint8_t pitch, size_t periods = 100) {
  Sf2Sample s;
  s.name = name;
  for (size_t i = 0; i < periods * 100; ++i) {
    s.pcm.push_back(static_cast<int16_t>(20000 * std::sin(2 * 3.14159265358979 * i / 100.0)));
  }
  s.loopStart = 0;
  s.loopEnd = static_cast<uint32_t>(s.pcm.size());
  s.pitch = pitch;
  return s;
}

// Instrument 0: a global zone (attenuation 100, pan -200, looped), sample 0 below
// key 64 with fine tune 10, sample 1 from 64 with its own attenuation 50.
// Preset 0/0: a global zone with fine tune 5; one zone adding coarse tune
// 1; one zone for keys 100..127 adding attenuation 20 and a sample mode
// (which a preset cannot set).
std::vector<uint8_t> LayeredBank(size_t periods = 100) {
  std::vector<Sf2Item> instruments = {
      {"layers", 0, 0,
       {{Gen(kGenAttenuation, 100), Gen(kGenPan, -200), Gen(kGenSampleModes, 1)},
        {Range(kGenKeyRange, 0, 63), Gen(kGenFineTune, 10), Gen(kGenSampleId, 0)},
        {Range(kGenKeyRange, 64, 127), Gen(kGenAttenuation, 50), Gen(kGenSampleModes, 1),
         Gen(kGenSampleId, 1)}}},
  };
  std::vector<Sf2Item> presets = {
      {"lead", 0, 0,
       {{Gen(kGenFineTune, 5)},
        {Gen(kGenCoarseTune, 1), Gen(kGenInstrument, 0)},
        {Range(kGenKeyRange, 100, 127), Gen(kGenAttenuation, 20), Gen(kGenSampleModes, 3),
         Gen(kGenInstrument, 0)}}},
  };
  return Sf2Writer::Build({Sine("low", 69, periods), Sine("high", 81, periods)}, instruments, presets);
}

std::unique_ptr<SoundFont> Load(const std::vector<uint8_t>& bytes, std::string* error = nullptr) {
  return SoundFont::FromBytes(bytes.data(), bytes.size(), error);
}

TEST(SoundFontTest, ZonesCombineByTheirLevels) {
  std::string error;
  auto font = Load(LayeredBank(), &error);
  ASSERT_TRUE(font) << error;
  EXPECT_EQ(font->name(), "Test");
  const Preset* preset = font->FindPreset(0, 0);
  ASSERT_TRUE(preset);
  EXPECT_FALSE(font->FindPreset(0, 1));
  EXPECT_FALSE(font->FindPreset(128, 0));

  const struct {
    int key;
    size_t zones;
    const char* sample;
    int attenuation, fineTune, coarseTune, sampleModes;
  } kCases[] = {
      {50, 1, "low", 100, 10 + 5, 1, 1},
      {80, 1, "high", 50, 0 + 5, 1, 1},
      {110, 2, "high", 50, 0 + 5, 1, 1},        // the first preset zone
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.key);
    VoiceZone zones[4];
    ASSERT_EQ(font->ZonesFor(*preset, c.key, 100, zones, 4), c.zones);
    EXPECT_EQ(zones[0].sample->name, c.sample);
    EXPECT_EQ(zones[0].gens[kGenAttenuation], c.attenuation);
    EXPECT_EQ(zones[0].gens[kGenFineTune], c.fineTune);
    EXPECT_EQ(zones[0].gens[kGenCoarseTune], c.coarseTune);
    EXPECT_EQ(zones[0].gens[kGenSampleModes], c.sampleModes);
    EXPECT_EQ(zones[0].gens[kGenPan], -200);
    EXPECT_EQ(zones[0].gens[kGenScaleTuning], 100);
    EXPECT_EQ(zones[0].gens[kGenFilterFc], 13500);
    EXPECT_EQ(zones[0].gens[kGenVolEnvRelease], -12000);
  }
  // The key-limited preset zone: its own offset replaces the global one
  // (fine tune stays the global's 5 only where the zone sets none).
  VoiceZone zones[4];
  font->ZonesFor(*preset, 110, 100, zones, 4);
  EXPECT_EQ(zones[1].gens[kGenAttenuation], 50 + 20);
  EXPECT_EQ(zones[1].gens[kGenCoarseTune], 0);
  EXPECT_EQ(zones[1].gens[kGenFineTune], 5);
  EXPECT_EQ(zones[1].gens[kGenSampleModes], 1);
}

TEST(SoundFontTest, SamplesOutsideTheDataAreNotPlayed) {
  Sf2Sample beyond = Sine("beyond", 60);
  beyond.endBeyond = 100000;
  Sf2Sample badLoop = Sine("bad loop", 60);
  badLoop.loopEnd = static_cast<uint32_t>(badLoop.pcm.size()) + 10;
  std::vector<Sf2Item> instruments = {{"i", 0, 0,
                                       {{Range(kGenKeyRange, 0, 59), Gen(kGenSampleId, 0)},
                                        {Range(kGenKeyRange, 60, 127), Gen(kGenSampleId, 1)},
                                        {Gen(kGenSampleId, 7)}}}};  // no such sample: dropped
  std::vector<Sf2Item> presets = {{"p", 3, 0, {{Gen(kGenInstrument, 0)}, {Gen(kGenInstrument, 9)}}}};
  auto font = Load(Sf2Writer::Build({beyond, badLoop}, instruments, presets));
  ASSERT_TRUE(font);
  ASSERT_EQ(font->sampleHeaders().size(), 2u);
  EXPECT_FALSE(font->sampleHeaders()[0].usable);
  EXPECT_TRUE(font->sampleHeaders()[1].usable);
  EXPECT_FALSE(font->sampleHeaders()[1].loopValid);
  ASSERT_EQ(font->presets().size(), 1u);
  EXPECT_EQ(font->presets()[0].zones.size(), 1u);
  EXPECT_EQ(font->instruments()[0].zones.size(), 2u);
  VoiceZone zones[4];
  EXPECT_EQ(font->ZonesFor(font->presets()[0], 40, 100, zones, 4), 0u);
  EXPECT_EQ(font->ZonesFor(font->presets()[0], 70, 100, zones, 4), 1u);
}

TEST(SoundFontTest, DamagedBanksFailCleanly) {
  const std::vector<uint8_t> good = LayeredBank(1);
  ASSERT_TRUE(Load(good));
  int loaded = 0;
  for (size_t size = 0; size < good.size(); ++size) {
    std::vector<uint8_t> cut(good.begin(), good.begin() + size);
    std::string error;
    auto font = Load(cut, &error);
    if (font) {
      ++loaded;
      VoiceZone zones[8];
      for (const Preset& p : font->presets()) font->ZonesFor(p, 60, 100, zones, 8);
    } else {
      EXPECT_FALSE(error.empty()) << size;
    }
  }
  EXPECT_EQ(loaded, 0);  // the preset data comes last: no cut leaves it whole

  std::string error;
  std::vector<uint8_t> wav = good;
  wav[8] = 'W';
  EXPECT_FALSE(Load(wav, &error));
  EXPECT_NE(error.find("sfbk"), std::string::npos);
}

// Plays one note of the layered bank's preset and measures it.
std::vector<float> Play(const std::shared_ptr<const SoundFont>& font, int key, double seconds,
                        int program = 0, int channel = 0) {
  test::TrackWriter t;
  t.Tempo(0, 1000000).Program(0, channel, program).Control(0, channel, 10, 64);
  t.NoteOn(0, channel, key, 127).NoteOff(static_cast<uint32_t>(seconds * 1000), channel, key).End(0);
  const std::vector<uint8_t> smf = test::Smf(0, 1000, {t});
  Sequencer s(font, MidiSong::Parse(smf.data(), smf.size(), nullptr), kRate);
  const size_t frames = static_cast<size_t>(seconds * kRate);
  std::vector<float> left(frames), right(frames);
  s.RenderFloat(left.data(), right.data(), frames);
  for (size_t i = 0; i < frames; ++i) left[i] += right[i];
  return left;
}

TEST(SoundFontTest, VoicesPlayAtTheTunedPitch) {
  std::shared_ptr<const SoundFont> font = Load(LayeredBank());
  ASSERT_TRUE(font);
  const struct {
    int key;
    double cents;  // from the sample's 441 Hz
  } kCases[] = {
      {45, (45 - 69) * 100 + 100 + 15},  // sample "low", coarse +1, fine 10 + 5
      {60, (60 - 69) * 100 + 100 + 15},
      {69, (69 - 81) * 100 + 100 + 5},   // sample "high" from key 64
      {81, 0 + 100 + 5},                 // sample "high" at its root
      {93, 1200 + 100 + 5},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.key);
    // Far longer than the sample: only the loop keeps it sounding.
    const std::vector<float> out = Play(font, c.key, 1.0);
    const double measured = test::PitchHz(out.data() + kRate / 2, kRate / 4, kRate);
    EXPECT_NEAR(measured / (441.0 * std::pow(2.0, c.cents / 1200.0)), 1.0, 0.003) << measured;
  }
}

TEST(SoundFontTest, UnloopedSamplesEndAndExclusiveClassesCut) {
  // One period-short sample, no loop; two keys of one exclusive class.
  std::vector<Sf2Item> instruments = {
      {"kit", 0, 0,
       {{Gen(kGenExclusiveClass, 1)},
        {Range(kGenKeyRange, 42, 42), Gen(kGenSampleModes, 0), Gen(kGenSampleId, 0)},
        {Range(kGenKeyRange, 46, 46), Gen(kGenSampleModes, 1), Gen(kGenSampleId, 0)}}}};
  std::vector<Sf2Item> presets = {{"drums", 0, 128, {{Gen(kGenInstrument, 0)}}}};
  std::shared_ptr<const SoundFont> font = Load(Sf2Writer::Build({Sine("tick", 42, 20)}, instruments, presets));
  ASSERT_TRUE(font);

  // 2000 frames of sample: silent after about 45 ms even while held.
  const std::vector<float> out = Play(font, 42, 0.3, 0, 9);
  EXPECT_GT(test::Rms(out, 0, kRate / 50), 0.05);
  EXPECT_LT(test::Rms(out, kRate / 10, kRate * 3 / 10), 1e-6);

  // The looped open hi-hat (46) is cut by the closed one (42).
  test::TrackWriter t;
  t.Tempo(0, 1000000).NoteOn(0, 9, 46, 127).NoteOn(200, 9, 42, 127).End(400);
  const std::vector<uint8_t> smf = test::Smf(0, 1000, {t});
  Sequencer s(font, MidiSong::Parse(smf.data(), smf.size(), nullptr), kRate);
  std::vector<float> left(kRate / 10), right(kRate / 10);
  s.RenderFloat(left.data(), right.data(), left.size());
  EXPECT_EQ(s.synthesizer().ActiveVoices(), 1);
  for (int i = 0; i < 3; ++i) s.RenderFloat(left.data(), right.data(), left.size());
  EXPECT_EQ(s.synthesizer().ActiveVoices(), 0);  // the open one cut, the closed one ended
}

TEST(SoundFontTest, StealingTakesTheOldestReleasedThenTheQuietest) {
  // A looped tone with a long release, so released notes keep sounding.
  std::vector<Sf2Item> instruments = {
      {"pad", 0, 0, {{Gen(kGenSampleModes, 1), Gen(kGenVolEnvRelease, 2400), Gen(kGenSampleId, 0)}}}};
  std::vector<Sf2Item> presets = {{"pad", 0, 0, {{Gen(kGenInstrument, 0)}}}};
  std::shared_ptr<const SoundFont> font = Load(Sf2Writer::Build({Sine("tone", 60)}, instruments, presets));
  ASSERT_TRUE(font);
  test::TrackWriter t;
  t.Tempo(0, 1000000).NoteOn(0, 0, 60, 127).NoteOn(0, 0, 61, 127).NoteOn(0, 0, 62, 127);
  t.NoteOff(100, 0, 61).NoteOff(0, 0, 62);             // 100 ms: 61 released first, then 62
  t.NoteOn(100, 0, 64, 40);                           // 200 ms: takes 61's voice
  t.NoteOn(100, 0, 65, 127);                          // 300 ms: takes 62's voice
  t.NoteOn(100, 0, 67, 127).End(100);                 // 400 ms: none released: the quiet 64 goes
  const std::vector<uint8_t> smf = test::Smf(0, 1000, {t});
  Sequencer s(font, MidiSong::Parse(smf.data(), smf.size(), nullptr), kRate, 3);
  std::vector<float> left(kRate / 20), right(kRate / 20);
  auto playTo = [&](int ms) {
    while (s.PositionMs() < ms) s.RenderFloat(left.data(), right.data(), left.size());
  };
  const struct {
    int ms;
    std::vector<int> sounding, gone;
  } kSteps[] = {
      {150, {60, 61, 62}, {}},
      {250, {60, 62, 64}, {61}},
      {350, {60, 64, 65}, {61, 62}},
      {450, {60, 65, 67}, {61, 62, 64}},
  };
  for (const auto& step : kSteps) {
    playTo(step.ms);
    SCOPED_TRACE(step.ms);
    for (int key : step.sounding) EXPECT_TRUE(s.synthesizer().IsSounding(0, key)) << key;
    for (int key : step.gone) EXPECT_FALSE(s.synthesizer().IsSounding(0, key)) << key;
  }
}

}  // namespace
}  // namespace cx::synth
