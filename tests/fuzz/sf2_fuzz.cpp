// libFuzzer harness for the SoundFont reader: the input is a bank. One
// that loads has every preset's zones looked up, and a few notes of its
// first presets played, so damaged offsets and loops reach the voices.
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "synth/synthesizer.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::shared_ptr<const cx::synth::SoundFont> font = cx::synth::SoundFont::FromBytes(data, size, nullptr);
  if (!font) return 0;
  cx::synth::VoiceZone zones[16];
  for (const cx::synth::Preset& p : font->presets()) {
    for (int key : {0, 60, 127}) {
      const size_t n = font->ZonesFor(p, key, 100, zones, 16);
      FUZZ_CHECK(n <= 16);
      for (size_t z = 0; z < n; ++z) FUZZ_CHECK(zones[z].sample && zones[z].sample->usable);
    }
  }
  cx::synth::Synthesizer synth(font, 22050, 16);
  static float left[512], right[512];
  const size_t presets = std::min<size_t>(font->presets().size(), 4);
  for (size_t i = 0; i < presets; ++i) {
    const cx::synth::Preset& p = font->presets()[i];
    const int channel = p.bank == 128 ? 9 : 0;
    synth.Message(static_cast<uint8_t>(0xB0 | channel), 0, static_cast<uint8_t>(p.bank & 0x7F));
    synth.Message(static_cast<uint8_t>(0xC0 | channel), static_cast<uint8_t>(p.program), 0);
    synth.Message(static_cast<uint8_t>(0x90 | channel), 60, 100);
    synth.Message(static_cast<uint8_t>(0x90 | channel), 30, 127);
    synth.Message(static_cast<uint8_t>(0xE0 | channel), 0x7F, 0x7F);
    synth.Render(left, right, 512);
    synth.Message(static_cast<uint8_t>(0x80 | channel), 60, 0);
    synth.Render(left, right, 512);
    for (float v : left) FUZZ_CHECK(std::isfinite(v));
  }
  return 0;
}
