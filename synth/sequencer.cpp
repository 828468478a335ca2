#include "synth/sequencer.h"

#include <algorithm>
#include <cmath>

namespace cx::synth {
namespace {

constexpr size_t kChunk = 512;

}  // namespace

Sequencer::Sequencer(std::shared_ptr<const SoundFont> font, std::shared_ptr<const MidiSong> song,
                     int outputRate, int maxVoices)
    : font_(std::move(font)),
      song_(std::move(song)),
      synth_(font_, outputRate, maxVoices),
      outputRate_(synth_.outputRate()),
      usPerFrame_(1e6 / synth_.outputRate()),
      left_(kChunk),
      right_(kChunk) {}

void Sequencer::SetTempoPercent(int percent) {
  tempo_ = std::clamp(percent, kMinTempo, kMaxTempo);
  usPerFrame_ = 1e6 / outputRate_ * tempo_ / 100.0;
}

int64_t Sequencer::PositionMs() const {
  return static_cast<int64_t>(std::min(songUs_, song_->lengthUs()) / 1000.0);
}

bool Sequencer::AtEnd() const {
  return next_ >= song_->events().size() && songUs_ >= song_->lengthUs();
}

void Sequencer::DispatchDue() {
  const std::vector<MidiEvent>& events = song_->events();
  while (next_ < events.size() && events[next_].timeUs <= songUs_) {
    const MidiEvent& e = events[next_++];
    synth_.Message(e.status, e.data1, e.data2);
  }
}

size_t Sequencer::FramesUntilNextEvent(size_t limit) const {
  const std::vector<MidiEvent>& events = song_->events();
  if (next_ >= events.size()) return limit;
  const double frames = std::ceil((events[next_].timeUs - songUs_) / usPerFrame_);
  return static_cast<size_t>(std::clamp(frames, 1.0, static_cast<double>(limit)));
}

void Sequencer::RenderFloat(float* left, float* right, size_t frames) {
  while (frames > 0) {
    DispatchDue();
    const size_t n = FramesUntilNextEvent(frames);
    synth_.Render(left, right, n);
    songUs_ += n * usPerFrame_;
    left += n;
    right += n;
    frames -= n;
  }
}

void Sequencer::Render(int16_t* out, size_t frames) {
  while (frames > 0) {
    const size_t n = std::min(frames, kChunk);
    RenderFloat(left_.data(), right_.data(), n);
    const float scale = gain_ * 32767.0f;
    for (size_t i = 0; i < n; ++i) {
      const float l = std::clamp(left_[i] * scale, -32768.0f, 32767.0f);
      const float r = std::clamp(right_[i] * scale, -32768.0f, 32767.0f);
      out[2 * i] = static_cast<int16_t>(std::lrint(l));
      out[2 * i + 1] = static_cast<int16_t>(std::lrint(r));
    }
    out += 2 * n;
    frames -= n;
  }
}

void Sequencer::Seek(int64_t ms) {
  const double target = std::clamp<double>(static_cast<double>(ms) * 1000.0, 0.0, song_->lengthUs());
  synth_.Reset();
  const std::vector<MidiEvent>& events = song_->events();
  size_t i = 0;
  for (; i < events.size() && events[i].timeUs < target; ++i) {
    const MidiEvent& e = events[i];
    if (e.type() != 0x80 && e.type() != 0x90) synth_.Message(e.status, e.data1, e.data2);
  }
  // Notes the pedal held before the target have no voice to hold now.
  synth_.StopAllVoices();
  next_ = i;
  songUs_ = target;
}

}  // namespace cx::synth
