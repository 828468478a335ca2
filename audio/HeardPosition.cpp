#include "audio/HeardPosition.h"

void HeardPosition::Reset(uint32_t startMs) {
  std::lock_guard<std::mutex> held(lock_);
  count_ = 0;
  startMs_ = startMs;
}

void HeardPosition::Queued(uint64_t at, uint32_t dataBytes, uint32_t fromMs, uint32_t toMs) {
  std::lock_guard<std::mutex> held(lock_);
  // Stretches are noted in the order they sound; one written over goes.
  while (count_ > 0 && stretches_[count_ - 1].at >= at) --count_;
  if (count_ == kStretches) {
    for (int i = 1; i < kStretches; ++i) stretches_[i - 1] = stretches_[i];
    --count_;
  }
  stretches_[count_++] = Stretch{at, dataBytes, fromMs, toMs < fromMs ? fromMs : toMs};
}

uint32_t HeardPosition::HeardMs(uint64_t played) const {
  std::lock_guard<std::mutex> held(lock_);
  int i = count_ - 1;
  while (i >= 0 && stretches_[i].at > played) --i;
  // Before the first stretch sounds the device plays nothing of the stream.
  if (i < 0) return count_ > 0 ? stretches_[0].fromMs : startMs_;
  const Stretch& s = stretches_[i];
  const uint64_t into = played - s.at;
  if (s.bytes == 0 || into >= s.bytes) return s.toMs;
  return s.fromMs + static_cast<uint32_t>(uint64_t{s.toMs - s.fromMs} * into / s.bytes);
}

bool HeardPosition::Started() const {
  std::lock_guard<std::mutex> held(lock_);
  return count_ > 0;
}
