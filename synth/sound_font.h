// A SoundFont 2 bank held in memory: the 16-bit sample data (the 24-bit
// extension is ignored), sample headers checked against that data, and the
// preset and instrument zones with their generators. Modulators in the file
// are checked for size and otherwise ignored: the voice engine applies the
// standard default ones for velocity to attenuation, volume, expression,
// pan, modulation wheel to vibrato and the pitch wheel (velocity to filter
// cutoff is left out: it dulls soft notes more than players expect).
// Once loaded a SoundFont is read-only and may be shared by any number of
// songs and threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "codec/byte_source.h"

namespace cx::synth {

// Generator numbers as the bank stores them (the ones the engine reads).
enum Generator : int {
  kGenStartOffset = 0,
  kGenEndOffset = 1,
  kGenLoopStartOffset = 2,
  kGenLoopEndOffset = 3,
  kGenStartCoarseOffset = 4,
  kGenModLfoToPitch = 5,
  kGenVibLfoToPitch = 6,
  kGenModEnvToPitch = 7,
  kGenFilterFc = 8,
  kGenFilterQ = 9,
  kGenModLfoToFilterFc = 10,
  kGenModEnvToFilterFc = 11,
  kGenEndCoarseOffset = 12,
  kGenModLfoToVolume = 13,
  kGenPan = 17,
  kGenModLfoDelay = 21,
  kGenModLfoFreq = 22,
  kGenVibLfoDelay = 23,
  kGenVibLfoFreq = 24,
  kGenModEnvDelay = 25,
  kGenModEnvAttack = 26,
  kGenModEnvHold = 27,
  kGenModEnvDecay = 28,
  kGenModEnvSustain = 29,
  kGenModEnvRelease = 30,
  kGenKeyToModEnvHold = 31,
  kGenKeyToModEnvDecay = 32,
  kGenVolEnvDelay = 33,
  kGenVolEnvAttack = 34,
  kGenVolEnvHold = 35,
  kGenVolEnvDecay = 36,
  kGenVolEnvSustain = 37,
  kGenVolEnvRelease = 38,
  kGenKeyToVolEnvHold = 39,
  kGenKeyToVolEnvDecay = 40,
  kGenInstrument = 41,
  kGenKeyRange = 43,
  kGenVelRange = 44,
  kGenLoopStartCoarseOffset = 45,
  kGenKeynum = 46,
  kGenVelocity = 47,
  kGenAttenuation = 48,
  kGenLoopEndCoarseOffset = 50,
  kGenCoarseTune = 51,
  kGenFineTune = 52,
  kGenSampleId = 53,
  kGenSampleModes = 54,
  kGenScaleTuning = 56,
  kGenExclusiveClass = 57,
  kGenOverridingRootKey = 58,
  kGenCount = 61,
};

struct SampleHeader {
  std::string name;
  // Sample frames in SoundFont::samples(); end and loopEnd are one past.
  uint32_t start = 0, end = 0, loopStart = 0, loopEnd = 0;
  uint32_t sampleRate = 0;
  int originalPitch = 60;
  int pitchCorrection = 0;  // cents
  uint16_t type = 0;
  bool usable = false;   // lies within the data and has a rate
  bool loopValid = false;  // start <= loopStart < loopEnd <= end
};

struct Zone {
  int16_t gens[kGenCount] = {};
  uint64_t set = 0;  // bit g: generator g given in this zone
  uint8_t keyLo = 0, keyHi = 127, velLo = 0, velHi = 127;
  int target = -1;   // instrument (preset zone) or sample (instrument zone)

  bool Has(int g) const { return (set >> g) & 1; }
  bool Covers(int key, int vel) const {
    return key >= keyLo && key <= keyHi && vel >= velLo && vel <= velHi;
  }
};

struct Instrument {
  std::string name;
  Zone global;
  std::vector<Zone> zones;
};

struct Preset {
  std::string name;
  int program = 0;
  int bank = 0;
  Zone global;
  std::vector<Zone> zones;
};

// What one sample of one note plays with: the instrument's generators
// (defaults, global zone, zone) plus the preset's offsets.
struct VoiceZone {
  int32_t gens[kGenCount];
  const SampleHeader* sample;
};

class SoundFont {
 public:
  // Null with a reason in *error when the bytes are not a usable bank.
  static std::unique_ptr<SoundFont> Load(codec::ByteSource& source, std::string* error);
  static std::unique_ptr<SoundFont> FromBytes(const uint8_t* data, size_t size, std::string* error);

  // The preset for this bank and program, or null.
  const Preset* FindPreset(int bank, int program) const;
  // Writes the zones a note of this key and velocity plays (at most max)
  // and returns how many.
  size_t ZonesFor(const Preset& preset, int key, int velocity, VoiceZone* out, size_t max) const;

  const std::string& name() const { return name_; }
  const std::vector<Preset>& presets() const { return presets_; }
  const std::vector<Instrument>& instruments() const { return instruments_; }
  const std::vector<SampleHeader>& sampleHeaders() const { return samples_; }
  // The 16-bit sample data, with silent guard frames after the last so
  // interpolation may read past any sample's end.
  const int16_t* sampleData() const { return data_.data(); }
  size_t sampleFrames() const { return frames_; }

  static constexpr size_t kGuardFrames = 8;

 private:
  SoundFont() = default;
  bool ParsePresetData(const uint8_t* pdta, size_t size, std::string* error);

  std::string name_;
  std::vector<int16_t> data_;
  size_t frames_ = 0;
  std::vector<SampleHeader> samples_;
  std::vector<Instrument> instruments_;
  std::vector<Preset> presets_;
  // (bank << 8 | program, preset number), sorted for lookup.
  std::vector<std::pair<uint32_t, uint32_t>> presetIndex_;
};

}  // namespace cx::synth
