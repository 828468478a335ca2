// Plays one media source through the platform's wave output device: two
// buffers of one second each, both kept queued on the device, and a feeding
// thread that refills whichever buffer the device hands back. When the last
// buffer has been played the thread posts the end notification, with the
// run's generation (audio/StreamGeneration.h) in wParam.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <cstdint>

#include "audio/HeardPosition.h"
#include "audio/MediaSource.h"
#include "common/Win32Handles.h"

constexpr UINT kEndOfStreamMessage = 953;

class WaveOutDevice {
 public:
  WaveOutDevice() = default;
  virtual ~WaveOutDevice();
  WaveOutDevice(const WaveOutDevice&) = delete;
  WaveOutDevice& operator=(const WaveOutDevice&) = delete;

  virtual bool IsOpen() const { return open_ != 0; }
  // A feeding thread exists and the device is not paused.
  virtual bool IsPlaying() const;
  virtual void NotifyEnd();
  // Mode 0: no notification; mode 1: post `message` to `window`, wParam the
  // generation of the run that ended.
  virtual bool SetNotify(HWND window, UINT message, uint32_t mode);
  virtual void Close();
  virtual void StreamLoop();
  virtual void ResetDevice();
  // Ends the feeding thread (never in the middle of a source read) and
  // discards what the device holds. No notification follows, and one still
  // queued is of a run that is over (generation() no longer matches).
  virtual void Stop();
  // The first call starts the feeding thread; later calls resume a pause.
  virtual bool Start();
  virtual bool Open(MediaSource* source);
  bool Pause();
  // The stream position of what the device plays now: the read position
  // less what is queued and not yet played. Before anything is queued (and
  // after a stop) the source's own position.
  uint32_t HeardMs() const;

  // The generation of the feeding thread's run; 0 when none runs or it was
  // stopped.
  uint32_t generation() const { return generation_; }
  MMRESULT lastResult() const { return lastResult_; }
  // Buffers written to the device since Open (for tests).
  uint32_t buffersWritten() const { return buffersWritten_; }

 protected:
  virtual void UnprepareHeader(int index);
  // Queues the buffer just filled behind the one the device is playing.
  virtual bool WriteCurrent(int index);
  virtual bool FillBuffer(int index);

 private:
  static DWORD WINAPI ThreadMain(void* self);
  bool HeaderDone(int index) const;
  // Bytes the device has played since the feeding thread started.
  uint64_t PlayedBytes() const;
  uint64_t DeviceBytes() const;

  uint32_t paused_ = 0;
  uint32_t open_ = 0;
  bool prepared_[2] = {false, false};
  uint32_t notifyMode_ = 0;
  UINT notifyMessage_ = 0;
  HWND notifyWindow_ = nullptr;
  uint32_t counts_[2] = {0, 0};
  uint32_t readFrom_[2] = {0, 0};  // the stream positions each buffer was read between
  uint32_t readTo_[2] = {0, 0};
  MMRESULT lastResult_ = MMSYSERR_NOERROR;
  HWAVEOUT device_ = nullptr;
  UniqueHandle thread_;
  UniqueHandle bufferDone_;  // signalled by the device whenever a buffer is done
  UniqueHandle wake_;        // signalled by Stop to end the feeding thread
  std::atomic<bool> stopping_{false};
  uint32_t generation_ = 0;  // set before the thread starts, cleared after it is gone
  WAVEHDR headers_[2] = {};
  uint8_t* buffers_[2] = {nullptr, nullptr};
  uint32_t bufferSize_ = 0;
  uint32_t blockAlign_ = 0;
  MediaSource* source_ = nullptr;
  std::atomic<uint32_t> buffersWritten_{0};
  HeardPosition heard_;
  uint64_t queuedBytes_ = 0;      // feeding thread: bytes written since the start
  uint64_t playedAtStart_ = 0;    // the device's count when the thread started
};
