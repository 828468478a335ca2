// The sequencer as the player's MIDI device drives it from two threads:
// the feeding thread calls Fill for every buffer it hands to the sound
// device; the window thread calls SetPaused, Seek, SetTempoPercent,
// PositionMs and AtEnd. Every call takes the stream's own lock, so neither
// thread needs one of its own for these; Fill holds it for one render (a
// 4096-frame buffer takes a few milliseconds), which bounds how long a
// window call can wait. LengthMs needs no lock at all (the song does not
// change).
//
// Used bare, a Sequencer has no lock: then every call, LengthMs excepted,
// needs the caller's lock around it.
//
// PositionMs is the song position of the next frame Fill renders; what
// the listener hears lags by whatever the device has queued, which the
// device subtracts (converted with the tempo factor in force).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

#include "synth/sequencer.h"

namespace cx::synth {

class SynthStream {
 public:
  explicit SynthStream(std::unique_ptr<Sequencer> sequencer) : sequencer_(std::move(sequencer)) {}

  // Writes `frames` interleaved stereo 16-bit frames: the song, or silence
  // while paused. Returns true while the song has not reached its end.
  bool Fill(int16_t* out, size_t frames);

  void SetPaused(bool paused);
  bool paused() const;
  void Seek(int64_t ms);
  void SetTempoPercent(int percent);
  int tempoPercent() const;
  int64_t PositionMs() const;
  bool AtEnd() const;
  int64_t LengthMs() const { return sequencer_->LengthMs(); }

 private:
  mutable std::mutex mutex_;
  std::unique_ptr<Sequencer> sequencer_;
  bool paused_ = false;
};

}  // namespace cx::synth
