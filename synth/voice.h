// One sounding sample: interpolated playback with its loop, the volume and
// modulation envelopes, two LFOs and a resonant low-pass filter, mixed into
// a stereo pair of float buffers a block of kBlock frames at a time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "synth/sound_font.h"

namespace cx::synth {

// What the channel adds to a voice while it sounds, refreshed every block.
struct ChannelMix {
  float pitchCents = 0;       // pitch wheel times its range
  float attenuationCb = 0;    // from volume and expression
  float pan = 0;              // -500 (left) .. 500 (right), added to the zone's
  float vibratoCents = 0;     // modulation wheel's depth on the vibrato LFO
};

// An envelope stepped once per block: DAHDSR, with the volume kind
// decaying and releasing in centibels and the modulation kind linearly.
class Envelope {
 public:
  enum Stage { kDelay, kAttack, kHold, kDecay, kSustain, kRelease, kDone };
  void Start(const int32_t* gens, int firstGen, int key, bool volume, double blockRate);
  void Release();
  void QuickRelease();  // a few milliseconds, for cut-off notes
  // Advances one block; returns the level (amplitude for the volume kind,
  // 0..1 for the modulation kind).
  float Step();
  Stage stage() const { return stage_; }

 private:
  float Level() const;

  bool volume_ = true;
  Stage stage_ = kDone;
  double blocks_ = 0;  // left in the current timed stage
  double delay_ = 0, attack_ = 0, hold_ = 0, decayRate_ = 0, releaseRate_ = 0;
  double sustain_ = 0;   // cB for the volume kind, 0..1 otherwise
  double attackLevel_ = 0;  // 0..1 through the attack
  double value_ = 0;     // cB below peak (volume) or level (modulation) after the attack
};

class Voice {
 public:
  static constexpr int kBlock = 64;

  void Start(const VoiceZone& zone, const int16_t* data, size_t frames, int channel, int key,
             int velocity, double outputRate, uint64_t serial);
  void Release();
  void QuickRelease() { volEnv_.QuickRelease(); modEnv_.QuickRelease(); released_ = true; }
  void Stop() { active_ = false; }
  // A block in four steps, so the synthesizer can filter voices in pairs:
  // BeginBlock steps the envelopes and LFOs (false once the voice is
  // over), Generate writes kBlock interpolated frames, Filter (when
  // filtered()) runs the low-pass over them, MixInto adds them to the mix
  // with the block's gain and pan.
  bool BeginBlock(const ChannelMix& mix);
  void Generate(float* out);
  bool filtered() const { return filterOn_; }
  void Filter(float* buffer);
  static void FilterTwo(Voice& a, float* bufferA, Voice& b, float* bufferB);
  void MixInto(const float* buffer, float* left, float* right) const;

  bool active() const { return active_; }
  bool released() const { return released_; }
  int channel() const { return channel_; }
  int key() const { return key_; }
  int exclusiveClass() const { return exclusiveClass_; }
  uint64_t serial() const { return serial_; }
  // A voice not yet rendered counts as loud: stealing it would drop a note
  // that has only just been struck.
  float loudness() const { return fresh_ ? 1e30f : lastGain_; }

  bool sustained = false;  // released by the key, held by the pedal

 private:
  float Lfo(double* phase, double rate, double* delayBlocks);
  void UpdateFilter(double cutoffCents);
  template <bool kLoop>
  void Generate(float* out);

  const int16_t* data_ = nullptr;
  bool active_ = false, released_ = false, fresh_ = false;
  int channel_ = 0, key_ = 0, exclusiveClass_ = 0;
  uint64_t serial_ = 0;

  uint64_t phase_ = 0;  // 32.32 fixed point, frames into data_
  uint32_t end_ = 0, loopStart_ = 0, loopEnd_ = 0;
  int loopMode_ = 0;    // 0 none, 1 always, 3 until released
  double baseStep_ = 0;
  double pitchCents_ = 0;

  float attenuationCb_ = 0;
  float pan_ = 0;
  int32_t modLfoToPitch_ = 0, vibLfoToPitch_ = 0, modEnvToPitch_ = 0;
  int32_t modLfoToFc_ = 0, modEnvToFc_ = 0, modLfoToVolume_ = 0;
  double modLfoPhase_ = 0, modLfoRate_ = 0, modLfoDelay_ = 0;
  double vibLfoPhase_ = 0, vibLfoRate_ = 0, vibLfoDelay_ = 0;
  Envelope volEnv_, modEnv_;

  bool filterOn_ = false;
  double filterFc_ = 13500, filterQ_ = 0.7071, lastFc_ = -1, outputRate_ = 44100;
  float b0_ = 1, b1_ = 0, b2_ = 0, a1_ = 0, a2_ = 0;
  float x1_ = 0, x2_ = 0, y1_ = 0, y2_ = 0;

  float lastGain_ = 0, lastLeft_ = 0, lastRight_ = 0;
  float lastPan_ = 1000, panLeft_ = 0, panRight_ = 0;  // 1000: not yet worked out
  // The block under way: its phase step and its gain ramps.
  uint64_t increment_ = 0;
  float startLeft_ = 0, startRight_ = 0, stepLeft_ = 0, stepRight_ = 0;
};

}  // namespace cx::synth
