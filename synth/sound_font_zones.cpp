// Which samples a note plays and with which generator values: instrument
// zones take their value from the zone, else the instrument's global zone,
// else the default; preset zones (or the preset's global zone) add to that.
#include <algorithm>

#include "synth/sound_font.h"

namespace cx::synth {
namespace {

struct Defaults {
  int32_t gens[kGenCount] = {};
  Defaults() {
    gens[kGenFilterFc] = 13500;
    for (int g : {kGenModLfoDelay, kGenVibLfoDelay, kGenModEnvDelay, kGenModEnvAttack, kGenModEnvHold,
                  kGenModEnvDecay, kGenModEnvRelease, kGenVolEnvDelay, kGenVolEnvAttack, kGenVolEnvHold,
                  kGenVolEnvDecay, kGenVolEnvRelease}) {
      gens[g] = -12000;
    }
    gens[kGenKeynum] = -1;
    gens[kGenVelocity] = -1;
    gens[kGenScaleTuning] = 100;
    gens[kGenOverridingRootKey] = -1;
  }
};

// Generators that only mean something in an instrument zone; a preset
// zone's values for them are ignored.
bool InstrumentOnly(int g) {
  switch (g) {
    case kGenStartOffset: case kGenEndOffset: case kGenLoopStartOffset: case kGenLoopEndOffset:
    case kGenStartCoarseOffset: case kGenEndCoarseOffset: case kGenLoopStartCoarseOffset:
    case kGenLoopEndCoarseOffset: case kGenKeynum: case kGenVelocity: case kGenSampleId:
    case kGenSampleModes: case kGenExclusiveClass: case kGenOverridingRootKey:
    case kGenKeyRange: case kGenVelRange: case kGenInstrument:
      return true;
    default:
      return g >= kGenCount;
  }
}

// A zone's ranges, falling back on the global zone's where it gives none.
bool Covers(const Zone& zone, const Zone& global, int key, int vel) {
  const Zone& keys = zone.Has(kGenKeyRange) || !global.Has(kGenKeyRange) ? zone : global;
  const Zone& vels = zone.Has(kGenVelRange) || !global.Has(kGenVelRange) ? zone : global;
  return key >= keys.keyLo && key <= keys.keyHi && vel >= vels.velLo && vel <= vels.velHi;
}

}  // namespace

size_t SoundFont::ZonesFor(const Preset& preset, int key, int velocity, VoiceZone* out,
                           size_t max) const {
  static const Defaults kDefaults;
  size_t count = 0;
  for (const Zone& pz : preset.zones) {
    if (!Covers(pz, preset.global, key, velocity)) continue;
    const Instrument& instrument = instruments_[pz.target];
    for (const Zone& iz : instrument.zones) {
      if (!Covers(iz, instrument.global, key, velocity)) continue;
      const SampleHeader& sample = samples_[iz.target];
      if (!sample.usable) continue;
      if (count == max) return count;
      VoiceZone& v = out[count++];
      v.sample = &sample;
      for (int g = 0; g < kGenCount; ++g) {
        int32_t value = iz.Has(g) ? iz.gens[g]
                        : instrument.global.Has(g) ? instrument.global.gens[g]
                                                   : kDefaults.gens[g];
        if (!InstrumentOnly(g)) {
          if (pz.Has(g)) {
            value += pz.gens[g];
          } else if (preset.global.Has(g)) {
            value += preset.global.gens[g];
          }
        }
        v.gens[g] = value;
      }
    }
  }
  return count;
}

}  // namespace cx::synth
