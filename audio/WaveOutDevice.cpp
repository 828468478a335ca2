#include "audio/WaveOutDevice.h"

#include <cstring>
#include <new>

#include "audio/StreamGeneration.h"

WaveOutDevice::~WaveOutDevice() { Close(); }

bool WaveOutDevice::Open(MediaSource* source) {
  if (open_ || !source) return false;
  source_ = source;
  WAVEFORMATEX format;
  static_assert(sizeof format == sizeof(PcmFormat), "PcmFormat is a WAVEFORMATEX");
  std::memcpy(&format, &source->info().format, sizeof format);

  lastResult_ = waveOutOpen(nullptr, WAVE_MAPPER, &format, 0, 0, WAVE_FORMAT_QUERY);
  if (lastResult_ != MMSYSERR_NOERROR || format.nAvgBytesPerSec == 0) {
    Close();
    return false;
  }
  // Unnamed: two devices must never share a wake-up.
  bufferDone_.Reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
  wake_.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!bufferDone_ || !wake_) {
    Close();
    return false;
  }
  lastResult_ = waveOutOpen(&device_, WAVE_MAPPER, &format,
                            reinterpret_cast<DWORD_PTR>(bufferDone_.get()), 0, CALLBACK_EVENT);
  if (lastResult_ != MMSYSERR_NOERROR) {
    device_ = nullptr;
    Close();
    return false;
  }
  bufferSize_ = format.nAvgBytesPerSec;
  blockAlign_ = format.nBlockAlign;
  for (uint8_t*& b : buffers_) b = new (std::nothrow) uint8_t[bufferSize_];
  if (!buffers_[0] || !buffers_[1]) {
    Close();
    return false;
  }
  ResetEvent(bufferDone_.get());  // the device signals it on open
  buffersWritten_ = 0;
  open_ = 1;
  return true;
}

bool WaveOutDevice::SetNotify(HWND window, UINT message, uint32_t mode) {
  if (mode > 1 || (mode == 1 && !IsWindow(window))) return false;
  notifyMode_ = mode;
  notifyWindow_ = window;
  notifyMessage_ = message;
  return true;
}

bool WaveOutDevice::IsPlaying() const { return thread_ && !paused_; }

bool WaveOutDevice::Start() {
  if (thread_) {
    if (!paused_) return false;
    lastResult_ = waveOutRestart(device_);
    if (lastResult_ != MMSYSERR_NOERROR) return false;
    paused_ = 0;
    return true;
  }
  if (!open_) return false;
  stopping_ = false;
  generation_ = NewStreamGeneration();
  // A stop resets the device's count; the heard position starts from where
  // the source stands now.
  playedAtStart_ = DeviceBytes();
  queuedBytes_ = 0;
  heard_.Reset(source_->PositionMs());
  ResetEvent(wake_.get());
  thread_.Reset(CreateThread(nullptr, 0, &WaveOutDevice::ThreadMain, this, 0, nullptr));
  paused_ = 0;
  return static_cast<bool>(thread_);
}

bool WaveOutDevice::Pause() {
  if (!thread_ || paused_) return false;
  lastResult_ = waveOutPause(device_);
  if (lastResult_ != MMSYSERR_NOERROR) return false;
  paused_ = 1;
  return true;
}

DWORD WINAPI WaveOutDevice::ThreadMain(void* self) {
  auto* device = static_cast<WaveOutDevice*>(self);
  device->StreamLoop();
  // A stopped stream has not ended: nothing is posted.
  if (!device->stopping_) device->NotifyEnd();
  return 0;
}

void WaveOutDevice::NotifyEnd() {
  if (notifyMode_ == 1 && IsWindow(notifyWindow_)) {
    PostMessageA(notifyWindow_, notifyMessage_, generation_, 0);
  }
}

bool WaveOutDevice::HeaderDone(int index) const {
  return !prepared_[index] || (headers_[index].dwFlags & WHDR_DONE) != 0;
}

// Both buffers stay queued: as soon as the device hands one back it is
// refilled and queued again behind the other, so the device never runs dry
// between buffers. The stream has ended when a read delivers nothing and
// every queued buffer has come back.
void WaveOutDevice::StreamLoop() {
  if (!buffers_[0] || !buffers_[1] || bufferSize_ == 0) return;
  bool sourceEnded = false;
  for (int i = 0; i < 2 && !sourceEnded && !stopping_; ++i) {
    sourceEnded = !FillBuffer(i) || !WriteCurrent(i);
  }
  const HANDLE waits[2] = {wake_.get(), bufferDone_.get()};
  while (!stopping_) {
    bool anyQueued = false;
    for (int i = 0; i < 2; ++i) {
      if (!prepared_[i]) continue;
      if (!HeaderDone(i)) {
        anyQueued = true;
        continue;
      }
      UnprepareHeader(i);
      if (!sourceEnded && !stopping_) {
        sourceEnded = !FillBuffer(i) || !WriteCurrent(i);
        anyQueued = anyQueued || prepared_[i];
      }
    }
    if (!anyQueued) return;
    // The time-out only guards against a lost signal; the done flags decide.
    const DWORD w = WaitForMultipleObjects(2, waits, FALSE, 250);
    if (w == WAIT_FAILED) return;
  }
}

uint64_t WaveOutDevice::DeviceBytes() const {
  if (!device_) return 0;
  MMTIME time = {};
  time.wType = TIME_SAMPLES;
  if (waveOutGetPosition(device_, &time, sizeof time) != MMSYSERR_NOERROR) return 0;
  switch (time.wType) {
    case TIME_SAMPLES: return uint64_t{time.u.sample} * blockAlign_;
    case TIME_BYTES: return time.u.cb;
    case TIME_MS: return uint64_t{time.u.ms} * bufferSize_ / 1000;  // a buffer holds one second
    default: return 0;
  }
}

uint64_t WaveOutDevice::PlayedBytes() const {
  const uint64_t now = DeviceBytes();
  return now > playedAtStart_ ? now - playedAtStart_ : 0;
}

uint32_t WaveOutDevice::HeardMs() const {
  if (!source_) return 0;
  if (!thread_ || !heard_.Started()) return source_->PositionMs();
  return heard_.HeardMs(PlayedBytes());
}

bool WaveOutDevice::FillBuffer(int index) {
  uint32_t count = 0;
  // The positions either side of the read belong to it: no seek between.
  SyncGuard held(source_->syncMutex());
  const uint32_t from = source_->PositionMs();
  if (!source_->Read(0, buffers_[index], bufferSize_, nullptr, 0, &count)) count = 0;
  counts_[index] = count;
  readFrom_[index] = from;
  readTo_[index] = source_->PositionMs();
  return count > 0;
}

bool WaveOutDevice::WriteCurrent(int index) {
  WAVEHDR& h = headers_[index];
  h = WAVEHDR{};
  h.lpData = reinterpret_cast<LPSTR>(buffers_[index]);
  h.dwBufferLength = counts_[index];
  lastResult_ = waveOutPrepareHeader(device_, &h, sizeof h);
  if (lastResult_ != MMSYSERR_NOERROR) return false;
  prepared_[index] = true;
  lastResult_ = waveOutWrite(device_, &h, sizeof h);
  if (lastResult_ != MMSYSERR_NOERROR) {
    UnprepareHeader(index);
    return false;
  }
  ++buffersWritten_;
  heard_.Queued(queuedBytes_, counts_[index], readFrom_[index], readTo_[index]);
  queuedBytes_ += counts_[index];
  return true;
}

void WaveOutDevice::UnprepareHeader(int index) {
  if (!prepared_[index]) return;
  lastResult_ = waveOutUnprepareHeader(device_, &headers_[index], sizeof headers_[index]);
  prepared_[index] = false;
}

void WaveOutDevice::ResetDevice() {
  if (device_) lastResult_ = waveOutReset(device_);
}

void WaveOutDevice::Stop() {
  if (thread_) {
    stopping_ = true;
    SetEvent(wake_.get());
    // The thread checks the flag between reads, so a read is never cut off.
    WaitForSingleObject(thread_.get(), INFINITE);
    thread_.Reset();
  }
  ResetDevice();
  for (int i = 0; i < 2; ++i) UnprepareHeader(i);
  counts_[0] = counts_[1] = 0;
  paused_ = 0;
  // An end the thread posted before the stop may still be queued; it now
  // names a run that is over.
  generation_ = 0;
}

void WaveOutDevice::Close() {
  if (thread_) Stop();
  if (device_) {
    ResetDevice();
    for (int i = 0; i < 2; ++i) UnprepareHeader(i);
    lastResult_ = waveOutClose(device_);
    device_ = nullptr;
  }
  bufferDone_.Reset();
  wake_.Reset();
  for (uint8_t*& b : buffers_) {
    delete[] b;
    b = nullptr;
  }
  bufferSize_ = 0;
  headers_[0] = headers_[1] = WAVEHDR{};
  source_ = nullptr;
  paused_ = open_ = 0;
}
