// Where in its stream the sound heard now came from. An output queues
// stretches of the stream ahead of its device (the wave output's two
// buffers, DirectSound's two halves): up to two seconds that the source has
// been read past but nobody has heard yet. Each stretch is noted with the
// place in the device's own count of played bytes where it will sound and
// the stream positions it was read from and to; the device's play count
// then maps back to the stream, across seeks (a stretch read after a seek
// carries the new position) and tempo changes (its two ends say how much
// stream time it holds). The feeding thread notes, any thread asks.
#pragma once

#include <cstdint>
#include <mutex>

class HeardPosition {
 public:
  // Nothing queued: until something is, the heard position is `startMs`.
  void Reset(uint32_t startMs);
  // `dataBytes` of the stream, read from `fromMs` to `toMs`, sound from the
  // device's played byte `at` on; whatever was noted at or after `at` has
  // been written over. Silence the device plays behind the data (a short
  // last read) counts as the stretch's end.
  void Queued(uint64_t at, uint32_t dataBytes, uint32_t fromMs, uint32_t toMs);
  // The stream position of the sound at the device's played byte `played`.
  uint32_t HeardMs(uint64_t played) const;
  // Whether anything has been queued since the reset.
  bool Started() const;

 private:
  struct Stretch {
    uint64_t at;
    uint32_t bytes, fromMs, toMs;
  };
  // More than any output keeps queued at once: the oldest ones have played.
  static constexpr int kStretches = 8;

  mutable std::mutex lock_;
  Stretch stretches_[kStretches] = {};
  int count_ = 0;
  uint32_t startMs_ = 0;
};
