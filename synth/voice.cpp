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
  fresh_ = true;
  released_ = false;
  sustained = false;
  lastGain_ = lastLeft_ = lastRight_ = 0;
  lastPan_ = 1000;
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
  filterQ_ = std::max(0.7071, std::pow(10.0, std::clamp<int32_t>(g[kGenFilterQ], 0, 960) / 200.0));
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
  // Steps of a few cents are inaudible; the coefficients cost trigonometry.
  if (std::fabs(cutoffCents - lastFc_) < 4) return;
  lastFc_ = cutoffCents;
  const double hz = std::min(AbsoluteCentsToHz(cutoffCents), outputRate_ * 0.45);
  const double w = 2 * kPi * hz / outputRate_;
  const double alpha = std::sin(w) / (2 * filterQ_), c = std::cos(w);
  const double a0 = 1 + alpha;
  b0_ = static_cast<float>((1 - c) / 2 / a0);
  b1_ = static_cast<float>((1 - c) / a0);
  b2_ = b0_;
  a1_ = static_cast<float>(-2 * c / a0);
  a2_ = static_cast<float>((1 - alpha) / a0);
}

bool Voice::BeginBlock(const ChannelMix& mix) {
  if (!active_) return false;
  fresh_ = false;
  const float volLevel = volEnv_.Step();
  if (volEnv_.stage() == Envelope::kDone) {
    active_ = false;
    return false;
  }
  const float modLevel = modEnv_.Step();
  const float modLfo = Lfo(&modLfoPhase_, modLfoRate_, &modLfoDelay_);
  const float vibLfo = Lfo(&vibLfoPhase_, vibLfoRate_, &vibLfoDelay_);

  const double cents = pitchCents_ + mix.pitchCents + modLevel * modEnvToPitch_ +
                       modLfo * modLfoToPitch_ + vibLfo * (vibLfoToPitch_ + mix.vibratoCents);
  const double step = std::min(baseStep_ * std::exp2(cents / 1200.0), 1024.0);
  // A step below 2^-32 of a frame would never move; one that small is silence anyway.
  increment_ = std::max<uint64_t>(1, static_cast<uint64_t>(step * 4294967296.0));

  const float cb = attenuationCb_ + mix.attenuationCb - modLfo * modLfoToVolume_;
  const float gain = volLevel * std::pow(10.0f, -std::max(cb, 0.0f) / 200.0f);
  // A released voice this far down no longer reaches the output's last bit.
  if (released_ && gain < 2e-5f && lastGain_ < 2e-5f) {
    active_ = false;
    return false;
  }
  const float pan = std::clamp(pan_ + mix.pan, -500.0f, 500.0f);
  if (pan != lastPan_) {
    lastPan_ = pan;
    const float angle = (pan + 500.0f) * static_cast<float>(kPi / 2000.0);
    panLeft_ = std::cos(angle);
    panRight_ = std::sin(angle);
  }
  // Samples are scaled from 16 bits here, once a block.
  const float gainLeft = gain * panLeft_ * (1.0f / 32768), gainRight = gain * panRight_ * (1.0f / 32768);
  startLeft_ = lastLeft_;
  startRight_ = lastRight_;
  stepLeft_ = (gainLeft - lastLeft_) / kBlock;
  stepRight_ = (gainRight - lastRight_) / kBlock;
  lastLeft_ = gainLeft;
  lastRight_ = gainRight;
  lastGain_ = gain;
  if (filterOn_) UpdateFilter(filterFc_ + modLevel * modEnvToFc_ + modLfo * modLfoToFc_);
  return true;
}

void Voice::Generate(float* out) {
  if (loopMode_) {
    Generate<true>(out);
  } else {
    Generate<false>(out);
  }
}

template <bool kLoop>
void Voice::Generate(float* out) {
  const int16_t* d = data_;
  uint64_t phase = phase_;
  const uint64_t increment = increment_;
  const uint32_t loopStart = loopStart_, loopEndIndex = loopEnd_;
  const uint64_t loopEnd = uint64_t{loopEnd_} << 32;
  const uint64_t loopLength = uint64_t{loopEnd_ - loopStart_} << 32;
  // Below this phase a frame and the one after it need no wrap or end test.
  const uint64_t plain = uint64_t{kLoop ? loopEnd_ - 1 : end_} << 32;
  constexpr float kFrac = 1.0f / 4294967296.0f;
  int i = 0;
  while (i < kBlock) {
    if (phase < plain) {
      const uint64_t run = std::min<uint64_t>((plain - phase - 1) / increment + 1, kBlock - i);
      for (const int stop = i + static_cast<int>(run); i < stop; ++i) {
        const uint32_t index = static_cast<uint32_t>(phase >> 32);
        const float frac = static_cast<float>(static_cast<uint32_t>(phase)) * kFrac;
        const float a = d[index];
        out[i] = a + (d[index + 1] - a) * frac;
        phase += increment;
      }
      continue;
    }
    if (!kLoop) {
      active_ = false;  // this block still sounds; the rest of it is silence
      break;
    }
    // The last frame of the loop interpolates towards its first.
    while (phase >= loopEnd) phase -= loopLength;
    const uint32_t index = static_cast<uint32_t>(phase >> 32);
    const float frac = static_cast<float>(static_cast<uint32_t>(phase)) * kFrac;
    uint32_t next = index + 1;
    if (next >= loopEndIndex) next = loopStart + (next - loopEndIndex);
    const float a = d[index];
    out[i++] = a + (d[next] - a) * frac;
    phase += increment;
    while (phase >= loopEnd) phase -= loopLength;
  }
  for (; i < kBlock; ++i) out[i] = 0;
  phase_ = phase;
}

void Voice::Filter(float* buffer) {
  const float b0 = b0_, b1 = b1_, b2 = b2_, a1 = a1_, a2 = a2_;
  float x1 = x1_, x2 = x2_, y1 = y1_, y2 = y2_;
  for (int i = 0; i < kBlock; ++i) {
    // Direct form I: only the last product waits for the previous output.
    const float x = buffer[i];
    const float y = (b0 * x + b1 * x1 + b2 * x2 - a2 * y2) - a1 * y1;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    buffer[i] = y;
  }
  x1_ = x1;
  x2_ = x2;
  y1_ = y1;
  y2_ = y2;
}

void Voice::FilterTwo(Voice& a, float* bufferA, Voice& b, float* bufferB) {
  // The same filter as above for two voices in one loop: each output waits
  // for its previous one, so two independent chains run in the time of one.
  const float ab0 = a.b0_, ab1 = a.b1_, ab2 = a.b2_, aa1 = a.a1_, aa2 = a.a2_;
  const float bb0 = b.b0_, bb1 = b.b1_, bb2 = b.b2_, ba1 = b.a1_, ba2 = b.a2_;
  float ax1 = a.x1_, ax2 = a.x2_, ay1 = a.y1_, ay2 = a.y2_;
  float bx1 = b.x1_, bx2 = b.x2_, by1 = b.y1_, by2 = b.y2_;
  for (int i = 0; i < kBlock; ++i) {
    const float ax = bufferA[i], bx = bufferB[i];
    const float ay = (ab0 * ax + ab1 * ax1 + ab2 * ax2 - aa2 * ay2) - aa1 * ay1;
    const float by = (bb0 * bx + bb1 * bx1 + bb2 * bx2 - ba2 * by2) - ba1 * by1;
    ax2 = ax1;
    ax1 = ax;
    ay2 = ay1;
    ay1 = ay;
    bx2 = bx1;
    bx1 = bx;
    by2 = by1;
    by1 = by;
    bufferA[i] = ay;
    bufferB[i] = by;
  }
  a.x1_ = ax1;
  a.x2_ = ax2;
  a.y1_ = ay1;
  a.y2_ = ay2;
  b.x1_ = bx1;
  b.x2_ = bx2;
  b.y1_ = by1;
  b.y2_ = by2;
}

void Voice::MixInto(const float* buffer, float* left, float* right) const {
  const float l0 = startLeft_, r0 = startRight_, dl = stepLeft_, dr = stepRight_;
  for (int i = 0; i < kBlock; ++i) {
    const float k = static_cast<float>(i + 1);
    left[i] += buffer[i] * (l0 + dl * k);
    right[i] += buffer[i] * (r0 + dr * k);
  }
}

}  // namespace cx::synth
