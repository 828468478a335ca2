#include "synth/voice.h"

#include <algorithm>
#include <cmath>

namespace cx::synth {
namespace {

constexpr double kSilentCb = 960;  // 96 dB down: below a 16-bit output's last bit
constexpr double kPi = 3.14159265358979323846;

double TimecentsToSeconds(int32_t tc, int32_t maxTc) {
  if (tc <= -12000) return 0;
  return std::exp2(std::min(tc, maxTc) / 1200.0);
}

double AbsoluteCentsToHz(double cents) { return 8.176 * std::exp2(cents / 1200.0); }

// The concave curve of the default velocity, volume and expression
// modulators: the level goes with the square of the value, at most 96 dB.
float ConcaveCb(int value) {
  if (value <= 0) return 960;
  return static_cast<float>(std::min(960.0, -400.0 * std::log10(value / 127.0)));
}

}  // namespace

void Envelope::Start(const int32_t* gens, int first, int key, bool volume, double blockRate) {
  volume_ = volume;
  const int keyOffset = 60 - key;
  delay_ = TimecentsToSeconds(gens[first], 5000) * blockRate;
  attack_ = TimecentsToSeconds(gens[first + 1], 8000) * blockRate;
  hold_ = TimecentsToSeconds(gens[first + 2] + gens[first + 6] * keyOffset, 5000) * blockRate;
  const double decay = TimecentsToSeconds(gens[first + 3] + gens[first + 7] * keyOffset, 8000) * blockRate;
  const double release = TimecentsToSeconds(gens[first + 5], 8000) * blockRate;
  // Decay and release run at the rate that would cross the whole range in
  // their time.
  const double range = volume ? 1000.0 : 1.0;
  decayRate_ = decay > 1 ? range / decay : range;
  releaseRate_ = release > 1 ? range / release : range;
  const double sustain = std::clamp<int32_t>(gens[first + 4], 0, 1000);
  sustain_ = volume ? sustain : 1.0 - sustain / 1000.0;
  attackLevel_ = 0;
  value_ = volume ? 0 : 1;
  stage_ = kDelay;
  blocks_ = delay_;
}

void Envelope::Release() {
  if (stage_ == kDone || stage_ == kRelease) return;
  if (stage_ == kDelay || stage_ == kAttack) {
    value_ = volume_ ? -200.0 * std::log10(std::max(attackLevel_, 1e-5)) : attackLevel_;
  }
  stage_ = kRelease;
}

void Envelope::QuickRelease() {
  Release();
  releaseRate_ = std::max(releaseRate_, volume_ ? 1000.0 / 4 : 0.25);  // about 6 ms at 44.1 kHz
}

float Envelope::Level() const {
  if (stage_ == kDelay) return 0;
  if (stage_ == kAttack) return static_cast<float>(attackLevel_);
  if (volume_) return static_cast<float>(std::pow(10.0, -value_ / 200.0));
  return static_cast<float>(std::max(0.0, value_));
}

float Envelope::Step() {
  switch (stage_) {
    case kDelay:
      if (--blocks_ > 0) break;
      stage_ = kAttack;
      blocks_ = attack_;
      [[fallthrough]];
    case kAttack:
      if (blocks_ >= 1) {
        attackLevel_ = std::min(1.0, attackLevel_ + 1.0 / attack_);
        --blocks_;
        break;
      }
      attackLevel_ = 1;
      stage_ = kHold;
      blocks_ = hold_;
      break;
    case kHold:
      if (--blocks_ > 0) break;
      stage_ = kDecay;
      [[fallthrough]];
    case kDecay:
      if (volume_) {
        value_ = std::min(value_ + decayRate_, sustain_);
        if (value_ >= sustain_) stage_ = sustain_ >= kSilentCb ? kDone : kSustain;
      } else {
        value_ = std::max(value_ - decayRate_, sustain_);
        if (value_ <= sustain_) stage_ = kSustain;
      }
      break;
    case kSustain:
      break;
    case kRelease:
      if (volume_) {
        value_ += releaseRate_;
        if (value_ >= kSilentCb) stage_ = kDone;
      } else {
        value_ = std::max(0.0, value_ - releaseRate_);
      }
      break;
    case kDone:
      return 0;
  }
  return Level();
}

void Voice::Start(const VoiceZone& zone, const int16_t* data, size_t frames, int channel, int key,
                  int velocity, double outputRate, uint64_t serial) {
  const int32_t* g = zone.gens;
  const SampleHeader& s = *zone.sample;
  data_ = data;
  channel_ = channel;
  key_ = key;
  serial_ = serial;
  outputRate_ = outputRate;
  active_ = true;
  released_ = false;
  sustained = false;
  lastGain_ = lastLeft_ = lastRight_ = 0;
  exclusiveClass_ = g[kGenExclusiveClass];

  // Offsets move the sample's points; whatever they give stays inside the data.
  const int64_t limit = static_cast<int64_t>(frames);
  auto point = [limit](uint32_t base, int32_t fine, int32_t coarse) {
    return std::clamp<int64_t>(int64_t{base} + fine + int64_t{coarse} * 32768, 0, limit);
  };
  const int64_t start = point(s.start, g[kGenStartOffset], g[kGenStartCoarseOffset]);
  const int64_t end = std::max(start + 1, point(s.end, g[kGenEndOffset], g[kGenEndCoarseOffset]));
  const int64_t loopStart = point(s.loopStart, g[kGenLoopStartOffset], g[kGenLoopStartCoarseOffset]);
  const int64_t loopEnd = point(s.loopEnd, g[kGenLoopEndOffset], g[kGenLoopEndCoarseOffset]);
  end_ = static_cast<uint32_t>(std::min(end, limit));
  loopMode_ = g[kGenSampleModes] & 3;
  if (loopMode_ == 2 || !s.loopValid || loopStart < start || loopEnd > end || loopEnd - loopStart < 2) {
    loopMode_ = 0;
  }
  loopStart_ = static_cast<uint32_t>(loopStart);
  loopEnd_ = static_cast<uint32_t>(loopEnd);
  phase_ = static_cast<uint64_t>(start) << 32;

  const int pitchKey = g[kGenKeynum] >= 0 && g[kGenKeynum] <= 127 ? g[kGenKeynum] : key;
  const int rootKey = g[kGenOverridingRootKey] >= 0 && g[kGenOverridingRootKey] <= 127
                          ? g[kGenOverridingRootKey] : s.originalPitch;
  pitchCents_ = double(g[kGenScaleTuning]) * (pitchKey - rootKey) + g[kGenCoarseTune] * 100.0 +
                g[kGenFineTune] + s.pitchCorrection;
  baseStep_ = double(s.sampleRate) / outputRate;

  if (g[kGenVelocity] >= 1 && g[kGenVelocity] <= 127) velocity = g[kGenVelocity];
  attenuationCb_ = static_cast<float>(std::clamp<int32_t>(g[kGenAttenuation], 0, 1440)) +
                   ConcaveCb(velocity);
  pan_ = static_cast<float>(std::clamp<int32_t>(g[kGenPan], -500, 500));

  const double blockRate = outputRate / kBlock;
  volEnv_.Start(g, kGenVolEnvDelay, key, true, blockRate);
  modEnv_.Start(g, kGenModEnvDelay, key, false, blockRate);
  modLfoToPitch_ = g[kGenModLfoToPitch];
  vibLfoToPitch_ = g[kGenVibLfoToPitch];
  modEnvToPitch_ = g[kGenModEnvToPitch];
  modLfoToFc_ = g[kGenModLfoToFilterFc];
  modEnvToFc_ = g[kGenModEnvToFilterFc];
  modLfoToVolume_ = g[kGenModLfoToVolume];
  modLfoPhase_ = vibLfoPhase_ = 0;
  modLfoRate_ = AbsoluteCentsToHz(std::clamp<int32_t>(g[kGenModLfoFreq], -16000, 4500)) / blockRate;
  vibLfoRate_ = AbsoluteCentsToHz(std::clamp<int32_t>(g[kGenVibLfoFreq], -16000, 4500)) / blockRate;
  modLfoDelay_ = TimecentsToSeconds(g[kGenModLfoDelay], 5000) * blockRate;
  vibLfoDelay_ = TimecentsToSeconds(g[kGenVibLfoDelay], 5000) * blockRate;

  filterFc_ = std::clamp<int32_t>(g[kGenFilterFc], 1500, 13500);
  filterQDb_ = std::clamp<int32_t>(g[kGenFilterQ], 0, 960) / 10.0;
  filterOn_ = filterFc_ < 13500 || modLfoToFc_ != 0 || modEnvToFc_ != 0;
  lastFc_ = -1;
  x1_ = x2_ = y1_ = y2_ = 0;
}

void Voice::Release() {
  released_ = true;
  volEnv_.Release();
  modEnv_.Release();
  if (loopMode_ == 3) loopMode_ = 0;
}

float Voice::Lfo(double* phase, double rate, double* delayBlocks) {
  if (*delayBlocks > 0) {
    *delayBlocks -= 1;
    return 0;
  }
  const double p = *phase;
  *phase = p + rate - std::floor(p + rate);
  // A triangle starting at zero and rising.
  return static_cast<float>(p < 0.25 ? 4 * p : p < 0.75 ? 2 - 4 * p : 4 * p - 4);
}

void Voice::UpdateFilter(double cutoffCents) {
  if (std::fabs(cutoffCents - lastFc_) < 1) return;
  lastFc_ = cutoffCents;
  const double hz = std::min(AbsoluteCentsToHz(cutoffCents), outputRate_ * 0.45);
  const double w = 2 * kPi * hz / outputRate_;
  const double q = std::max(0.7071, std::pow(10.0, filterQDb_ / 20.0));
  const double alpha = std::sin(w) / (2 * q), c = std::cos(w);
  const double a0 = 1 + alpha;
  b0_ = static_cast<float>((1 - c) / 2 / a0);
  b1_ = static_cast<float>((1 - c) / a0);
  b2_ = b0_;
  a1_ = static_cast<float>(-2 * c / a0);
  a2_ = static_cast<float>((1 - alpha) / a0);
}

void Voice::Render(float* left, float* right, int frames, const ChannelMix& mix) {
  if (!active_) return;
  const float volLevel = volEnv_.Step();
  if (volEnv_.stage() == Envelope::kDone) {
    active_ = false;
    return;
  }
  const float modLevel = modEnv_.Step();
  const float modLfo = Lfo(&modLfoPhase_, modLfoRate_, &modLfoDelay_);
  const float vibLfo = Lfo(&vibLfoPhase_, vibLfoRate_, &vibLfoDelay_);

  const double cents = pitchCents_ + mix.pitchCents + modLevel * modEnvToPitch_ +
                       modLfo * modLfoToPitch_ + vibLfo * (vibLfoToPitch_ + mix.vibratoCents);
  const double step = std::min(baseStep_ * std::exp2(cents / 1200.0), 1024.0);
  const uint64_t increment = static_cast<uint64_t>(step * 4294967296.0);

  const float cb = attenuationCb_ + mix.attenuationCb - modLfo * modLfoToVolume_;
  const float gain = volLevel * std::pow(10.0f, -std::max(cb, 0.0f) / 200.0f);
  const float pan = std::clamp(pan_ + mix.pan, -500.0f, 500.0f);
  const float angle = (pan + 500.0f) * static_cast<float>(kPi / 2000.0);
  const float gainLeft = gain * std::cos(angle), gainRight = gain * std::sin(angle);
  float gl = lastLeft_, gr = lastRight_;
  const float dl = (gainLeft - gl) / frames, dr = (gainRight - gr) / frames;
  lastLeft_ = gainLeft;
  lastRight_ = gainRight;
  lastGain_ = gain;
  // A released voice this far down no longer reaches the output's last bit.
  if (released_ && gain < 2e-5f && lastGain_ < 2e-5f) {
    active_ = false;
    return;
  }

  if (filterOn_) UpdateFilter(filterFc_ + modLevel * modEnvToFc_ + modLfo * modLfoToFc_);

  MixFn mix_fn = filterOn_ ? (loopMode_ ? &Voice::Mix<true, true> : &Voice::Mix<true, false>)
                           : (loopMode_ ? &Voice::Mix<false, true> : &Voice::Mix<false, false>);
  (this->*mix_fn)(left, right, frames, increment, gl, gr, dl, dr);
}

// The per-frame loop, with the filter and the loop decided outside it and
// the state in locals so the stores to the mix do not force it to memory.
template <bool kFilter, bool kLoop>
void Voice::Mix(float* left, float* right, int frames, uint64_t increment, float gl, float gr, float dl,
                float dr) {
  const int16_t* d = data_;
  uint64_t phase = phase_;
  const uint32_t loopStart = loopStart_, loopEndIndex = loopEnd_;
  const uint64_t loopEnd = uint64_t{loopEnd_} << 32;
  const uint64_t loopLength = uint64_t{loopEnd_ - loopStart_} << 32;
  const uint64_t end = uint64_t{end_} << 32;
  const float b0 = b0_, b1 = b1_, b2 = b2_, a1 = a1_, a2 = a2_;
  float x1 = x1_, x2 = x2_, y1 = y1_, y2 = y2_;
  constexpr float kFrac = 1.0f / 4294967296.0f, kScale = 1.0f / 32768.0f;
  for (int i = 0; i < frames; ++i) {
    const uint32_t index = static_cast<uint32_t>(phase >> 32);
    const float frac = static_cast<float>(static_cast<uint32_t>(phase)) * kFrac;
    uint32_t next = index + 1;
    if (kLoop && next >= loopEndIndex) next = loopStart + (next - loopEndIndex);
    const float a = d[index];
    float s = (a + (d[next] - a) * frac) * kScale;
    if (kFilter) {
      // Direct form I: only the last product waits for the previous output.
      const float feed = b0 * s + b1 * x1 + b2 * x2 - a2 * y2;
      const float y = feed - a1 * y1;
      x2 = x1;
      x1 = s;
      y2 = y1;
      y1 = y;
      s = y;
    }
    gl += dl;
    gr += dr;
    left[i] += s * gl;
    right[i] += s * gr;
    phase += increment;
    if (kLoop) {
      while (phase >= loopEnd) phase -= loopLength;
    } else if (phase >= end) {
      active_ = false;
      break;
    }
  }
  phase_ = phase;
  x1_ = x1;
  x2_ = x2;
  y1_ = y1;
  y2_ = y2;
}

}  // namespace cx::synth
