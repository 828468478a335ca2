// Media sources with a twist, for the output device tests.
#pragma once

#include <windows.h>

#include <atomic>

#include "audio/MediaSource.h"
#include "audio/SyncMutex.h"

// A WAV source whose reads take a while, to see what a stop does to a read
// in progress.
class SlowSource : public MediaSource {
 public:
  bool Read(uint32_t reserved, void* r1, uint32_t l1, void* r2, uint32_t l2, uint32_t* count) override {
    SyncGuard hold(syncMutex());
    reading = true;
    Sleep(delayMs);
    const bool ok = MediaSource::Read(reserved, r1, l1, r2, l2, count);
    reading = false;
    ++reads;
    return ok;
  }
  std::atomic<bool> reading{false};
  std::atomic<int> reads{0};
  DWORD delayMs = 0;
};

// A source claiming a format no device plays.
class OddFormatSource : public MediaSource {
 public:
  OddFormatSource() {
    info_.kind = kMediaWav;
    info_.format = MakePcmFormat(44100, 2, 16);
    info_.format.formatTag = 0x1234;
  }
};
