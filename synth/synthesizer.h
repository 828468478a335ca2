// Sixteen MIDI channels playing a SoundFont: channel messages in, stereo
// float blocks out. Voices are taken from a fixed pool; when it is full the
// oldest released voice goes first, then the quietest. Channel 10 plays the
// percussion bank (128). Not thread-safe: one caller at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "synth/sound_font.h"
#include "synth/voice.h"

namespace cx::synth {

struct ChannelState {
  int program = 0;
  int bankMsb = 0, bankLsb = 0;
  int volume = 100, expression = 127, pan = 64, modulation = 0;
  bool sustain = false;
  int pitchBend = 8192;          // 14 bits, 8192 = centre
  int bendSemitones = 2, bendCents = 0;
  int rpnMsb = 127, rpnLsb = 127;  // 127/127: none selected

  bool operator==(const ChannelState& o) const;
};

class Synthesizer {
 public:
  static constexpr int kChannels = 16;
  static constexpr int kDrumChannel = 9;
  static constexpr int kDefaultVoices = 128;

  Synthesizer(std::shared_ptr<const SoundFont> font, int outputRate, int maxVoices = kDefaultVoices);

  // Power-on state: every channel reset, every voice stopped.
  void Reset();
  // One channel message (status 0x80..0xEF).
  void Message(uint8_t status, uint8_t data1, uint8_t data2);
  // Stops every voice at once (for a seek).
  void StopAllVoices();
  // Fills left and right with the next frames. Voices run in whole blocks
  // of Voice::kBlock frames, so a message takes effect at the next block
  // boundary (at most 1.5 ms late at 44.1 kHz).
  void Render(float* left, float* right, size_t frames);

  const ChannelState& channel(int c) const { return channels_[c]; }
  int ActiveVoices() const;
  // Whether a voice of this note still sounds (held, sustained or releasing).
  bool IsSounding(int channel, int key) const;
  int maxVoices() const { return static_cast<int>(voices_.size()); }
  int outputRate() const { return outputRate_; }

 private:
  void NoteOn(int channel, int key, int velocity);
  void NoteOff(int channel, int key);
  void Controller(int channel, int number, int value);
  void AllNotesOff(int channel);
  void SustainOff(int channel);
  const Preset* PresetFor(int channel) const;
  Voice* FreeVoice();
  ChannelMix MixFor(int channel) const;
  void RenderBlock();

  std::shared_ptr<const SoundFont> font_;
  int outputRate_;
  std::vector<Voice> voices_;
  ChannelState channels_[kChannels];
  uint64_t serial_ = 0;
  float blockLeft_[Voice::kBlock] = {}, blockRight_[Voice::kBlock] = {};
  int blockUsed_ = Voice::kBlock;  // frames of the block already handed out
};

}  // namespace cx::synth
