#include "synth/synthesizer.h"

#include <algorithm>
#include <cmath>

namespace cx::synth {
namespace {

float ConcaveCb(int value) {
  if (value <= 0) return 960;
  return static_cast<float>(std::min(960.0, -400.0 * std::log10(value / 127.0)));
}

constexpr size_t kMaxZonesPerNote = 32;

}  // namespace

bool ChannelState::operator==(const ChannelState& o) const {
  return program == o.program && bankMsb == o.bankMsb && bankLsb == o.bankLsb && volume == o.volume &&
         expression == o.expression && pan == o.pan && modulation == o.modulation &&
         sustain == o.sustain && pitchBend == o.pitchBend && bendSemitones == o.bendSemitones &&
         bendCents == o.bendCents && rpnMsb == o.rpnMsb && rpnLsb == o.rpnLsb;
}

Synthesizer::Synthesizer(std::shared_ptr<const SoundFont> font, int outputRate, int maxVoices)
    : font_(std::move(font)),
      outputRate_(std::clamp(outputRate, 8000, 192000)),
      voices_(static_cast<size_t>(std::clamp(maxVoices, 1, 1024))) {}

void Synthesizer::Reset() {
  StopAllVoices();
  for (ChannelState& c : channels_) c = ChannelState();
}

void Synthesizer::StopAllVoices() {
  for (Voice& v : voices_) v.Stop();
  blockUsed_ = Voice::kBlock;
}

int Synthesizer::ActiveVoices() const {
  return static_cast<int>(std::count_if(voices_.begin(), voices_.end(),
                                        [](const Voice& v) { return v.active(); }));
}

bool Synthesizer::IsSounding(int channel, int key) const {
  return std::any_of(voices_.begin(), voices_.end(), [&](const Voice& v) {
    return v.active() && v.channel() == channel && v.key() == key;
  });
}

void Synthesizer::Message(uint8_t status, uint8_t data1, uint8_t data2) {
  const int channel = status & 0x0F;
  data1 &= 0x7F;
  data2 &= 0x7F;
  switch (status & 0xF0) {
    case 0x80: NoteOff(channel, data1); break;
    case 0x90: data2 ? NoteOn(channel, data1, data2) : NoteOff(channel, data1); break;
    case 0xB0: Controller(channel, data1, data2); break;
    case 0xC0: channels_[channel].program = data1; break;
    case 0xE0: channels_[channel].pitchBend = data1 | (data2 << 7); break;
    default: break;  // aftertouch: no default modulator the engine applies
  }
}

const Preset* Synthesizer::PresetFor(int channel) const {
  const ChannelState& c = channels_[channel];
  if (channel == kDrumChannel) {
    const Preset* p = font_->FindPreset(128, c.program);
    return p ? p : font_->FindPreset(128, 0);
  }
  const Preset* p = font_->FindPreset(c.bankMsb, c.program);
  if (!p) p = font_->FindPreset(0, c.program);
  if (!p && !font_->presets().empty()) p = &font_->presets().front();
  return p;
}

Voice* Synthesizer::FreeVoice() {
  Voice* oldestReleased = nullptr;
  Voice* quietest = nullptr;
  for (Voice& v : voices_) {
    if (!v.active()) return &v;
    if (v.released() && !v.sustained) {
      if (!oldestReleased || v.serial() < oldestReleased->serial()) oldestReleased = &v;
    }
    if (!quietest || v.loudness() < quietest->loudness()) quietest = &v;
  }
  return oldestReleased ? oldestReleased : quietest;
}

void Synthesizer::NoteOn(int channel, int key, int velocity) {
  const Preset* preset = PresetFor(channel);
  if (!preset) return;
  VoiceZone zones[kMaxZonesPerNote];
  const size_t count = font_->ZonesFor(*preset, key, velocity, zones, kMaxZonesPerNote);
  // A new note of an exclusive class cuts the channel's sounding ones.
  for (size_t z = 0; z < count; ++z) {
    const int exclusive = zones[z].gens[kGenExclusiveClass];
    if (exclusive == 0) continue;
    for (Voice& v : voices_) {
      if (v.active() && v.channel() == channel && v.exclusiveClass() == exclusive) v.QuickRelease();
    }
  }
  for (size_t z = 0; z < count; ++z) {
    Voice* v = FreeVoice();
    v->Start(zones[z], font_->sampleData(), font_->sampleFrames(), channel, key, velocity,
             outputRate_, ++serial_);
  }
}

void Synthesizer::NoteOff(int channel, int key) {
  const bool hold = channels_[channel].sustain;
  for (Voice& v : voices_) {
    if (!v.active() || v.channel() != channel || v.key() != key || v.released() || v.sustained) continue;
    if (hold) {
      v.sustained = true;
    } else {
      v.Release();
    }
  }
}

void Synthesizer::SustainOff(int channel) {
  for (Voice& v : voices_) {
    if (v.active() && v.channel() == channel && v.sustained) {
      v.sustained = false;
      v.Release();
    }
  }
}

void Synthesizer::AllNotesOff(int channel) {
  for (Voice& v : voices_) {
    if (v.active() && v.channel() == channel && !v.released() && !v.sustained) {
      if (channels_[channel].sustain) {
        v.sustained = true;
      } else {
        v.Release();
      }
    }
  }
}

void Synthesizer::Controller(int channel, int number, int value) {
  ChannelState& c = channels_[channel];
  switch (number) {
    case 0: c.bankMsb = value; break;
    case 32: c.bankLsb = value; break;
    case 1: c.modulation = value; break;
    case 7: c.volume = value; break;
    case 10: c.pan = value; break;
    case 11: c.expression = value; break;
    case 64:
      c.sustain = value >= 64;
      if (!c.sustain) SustainOff(channel);
      break;
    case 98: case 99: c.rpnMsb = c.rpnLsb = 127; break;  // an NRPN deselects the RPN
    case 100: c.rpnLsb = value; break;
    case 101: c.rpnMsb = value; break;
    case 6:
      if (c.rpnMsb == 0 && c.rpnLsb == 0) c.bendSemitones = value;
      break;
    case 38:
      if (c.rpnMsb == 0 && c.rpnLsb == 0) c.bendCents = value;
      break;
    case 120:
      for (Voice& v : voices_) {
        if (v.active() && v.channel() == channel) v.Stop();
      }
      break;
    case 121: {
      // Volume, pan, program and bank survive a controller reset.
      const ChannelState kept = c;
      c = ChannelState();
      c.program = kept.program;
      c.bankMsb = kept.bankMsb;
      c.bankLsb = kept.bankLsb;
      c.volume = kept.volume;
      c.pan = kept.pan;
      c.bendSemitones = kept.bendSemitones;
      c.bendCents = kept.bendCents;
      SustainOff(channel);
      break;
    }
    case 123: case 124: case 125: case 126: case 127: AllNotesOff(channel); break;
    default: break;
  }
}

ChannelMix Synthesizer::MixFor(int channel) const {
  const ChannelState& c = channels_[channel];
  ChannelMix mix;
  mix.pitchCents = (c.pitchBend - 8192) / 8192.0f * (c.bendSemitones * 100.0f + c.bendCents);
  mix.attenuationCb = ConcaveCb(c.volume) + ConcaveCb(c.expression);
  mix.pan = (c.pan - 64) / 64.0f * 500.0f;
  mix.vibratoCents = c.modulation / 127.0f * 50.0f;
  return mix;
}

void Synthesizer::RenderBlock() {
  std::fill(blockLeft_, blockLeft_ + Voice::kBlock, 0.0f);
  std::fill(blockRight_, blockRight_ + Voice::kBlock, 0.0f);
  ChannelMix mixes[kChannels];
  for (int c = 0; c < kChannels; ++c) mixes[c] = MixFor(c);
  float own[Voice::kBlock], waiting[Voice::kBlock];
  Voice* pending = nullptr;  // a filtered voice waiting for a partner
  for (Voice& v : voices_) {
    if (!v.BeginBlock(mixes[v.channel()])) continue;
    if (!v.filtered()) {
      v.Generate(own);
      v.MixInto(own, blockLeft_, blockRight_);
    } else if (!pending) {
      v.Generate(waiting);
      pending = &v;
    } else {
      v.Generate(own);
      Voice::FilterTwo(*pending, waiting, v, own);
      pending->MixInto(waiting, blockLeft_, blockRight_);
      v.MixInto(own, blockLeft_, blockRight_);
      pending = nullptr;
    }
  }
  if (pending) {
    pending->Filter(waiting);
    pending->MixInto(waiting, blockLeft_, blockRight_);
  }
  blockUsed_ = 0;
}

void Synthesizer::Render(float* left, float* right, size_t frames) {
  while (frames > 0) {
    if (blockUsed_ == Voice::kBlock) RenderBlock();
    const size_t n = std::min<size_t>(frames, Voice::kBlock - blockUsed_);
    std::copy(blockLeft_ + blockUsed_, blockLeft_ + blockUsed_ + n, left);
    std::copy(blockRight_ + blockUsed_, blockRight_ + blockUsed_ + n, right);
    blockUsed_ += static_cast<int>(n);
    left += n;
    right += n;
    frames -= n;
  }
}

}  // namespace cx::synth
