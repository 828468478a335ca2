// libFuzzer harness for the MIDI file reader: the input is a file (bare or
// RMID). A song that parses is checked for order and times, then played
// through a small bank: from the start, after a seek to its middle and at
// the fastest tempo.
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "synth/sequencer.h"
#include "tests/fuzz/FuzzCheck.h"
#include "tests/synth/sf2_writer.h"

namespace {

using cx::synth::test::Gen;
using cx::synth::test::Sf2Item;
using cx::synth::test::Sf2Sample;

std::shared_ptr<const cx::synth::SoundFont> SmallBank() {
  Sf2Sample tone;
  tone.name = "tone";
  for (int i = 0; i < 400; ++i) tone.pcm.push_back(static_cast<int16_t>((i % 50) * 600 - 15000));
  tone.loopStart = 100;
  tone.loopEnd = 300;
  std::vector<Sf2Item> instruments = {
      {"i", 0, 0, {{Gen(cx::synth::kGenSampleModes, 1), Gen(cx::synth::kGenSampleId, 0)}}}};
  std::vector<Sf2Item> presets = {{"melodic", 0, 0, {{Gen(cx::synth::kGenInstrument, 0)}}},
                                  {"drums", 0, 128, {{Gen(cx::synth::kGenInstrument, 0)}}}};
  const std::vector<uint8_t> bytes = cx::synth::test::Sf2Writer::Build({tone}, instruments, presets);
  return cx::synth::SoundFont::FromBytes(bytes.data(), bytes.size(), nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::shared_ptr<const cx::synth::SoundFont> font = SmallBank();
  FUZZ_CHECK(font);
  std::shared_ptr<const cx::synth::MidiSong> song = cx::synth::MidiSong::Parse(data, size, nullptr);
  if (!song) return 0;
  double last = 0;
  for (const cx::synth::MidiEvent& e : song->events()) {
    FUZZ_CHECK(std::isfinite(e.timeUs) && e.timeUs >= last);
    FUZZ_CHECK(e.status >= 0x80 && e.status < 0xF0 && e.data1 < 0x80 && e.data2 < 0x80);
    last = e.timeUs;
  }
  FUZZ_CHECK(song->lengthUs() >= last);

  cx::synth::Sequencer sequencer(font, song, 22050, 32);
  static std::vector<int16_t> out(2 * 1024);
  sequencer.Render(out.data(), 1024);
  sequencer.Seek(song->LengthMs() / 2);
  FUZZ_CHECK(sequencer.PositionMs() <= song->LengthMs());
  sequencer.SetTempoPercent(290);
  sequencer.Render(out.data(), 1024);
  FUZZ_CHECK(sequencer.synthesizer().ActiveVoices() <= 32);
  sequencer.Seek(song->LengthMs() + 1000);
  sequencer.Render(out.data(), 64);
  FUZZ_CHECK(sequencer.AtEnd());
  return 0;
}
