#include "synth/stream.h"

#include <algorithm>

namespace cx::synth {

bool SynthStream::Fill(int16_t* out, size_t frames) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (paused_) {
    std::fill(out, out + 2 * frames, int16_t{0});
  } else {
    sequencer_->Render(out, frames);
  }
  return !sequencer_->AtEnd();
}

void SynthStream::SetPaused(bool paused) {
  std::lock_guard<std::mutex> lock(mutex_);
  paused_ = paused;
}

bool SynthStream::paused() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return paused_;
}

void SynthStream::Seek(int64_t ms) {
  std::lock_guard<std::mutex> lock(mutex_);
  sequencer_->Seek(ms);
}

void SynthStream::SetTempoPercent(int percent) {
  std::lock_guard<std::mutex> lock(mutex_);
  sequencer_->SetTempoPercent(percent);
}

int SynthStream::tempoPercent() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sequencer_->tempoPercent();
}

int64_t SynthStream::PositionMs() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sequencer_->PositionMs();
}

bool SynthStream::AtEnd() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sequencer_->AtEnd();
}

}  // namespace cx::synth
