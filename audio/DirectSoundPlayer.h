// DirectSound playback: the device (the DirectSound object and its primary
// buffer) and, per played file, a stream with a looping two-second buffer
// with 3D control, notifications at its start and middle, and a feeding
// thread that refills the half that has just been played.
//
// dsound.dll is loaded at run time, so a machine without it still starts and
// plays through the wave output device instead.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <atomic>
#include <cstdint>
#include <mutex>

#include "audio/HeardPosition.h"
#include "audio/StreamGeneration.h"
#include "audio/MediaSource.h"
#include "common/Shared3DBlock.h"
#include "common/Win32Handles.h"

using DirectSoundCreateFn = HRESULT(WINAPI*)(LPCGUID, LPDIRECTSOUND*, LPUNKNOWN);
using DirectSoundCaptureCreateFn = HRESULT(WINAPI*)(LPCGUID, LPDIRECTSOUNDCAPTURE*, LPUNKNOWN);

enum StreamState : uint32_t { kStreamPlaying = 1, kStreamPaused = 2, kStreamStopped = 3 };

class DirectSoundStream {
 public:
  DirectSoundStream() = default;
  virtual ~DirectSoundStream();
  DirectSoundStream(const DirectSoundStream&) = delete;
  DirectSoundStream& operator=(const DirectSoundStream&) = delete;

  // A looping buffer of two seconds of the source's format, with 3D control.
  bool InitStream(IDirectSound* directSound, MediaSource* source);
  // Fills the first half, plays, and starts the feeding thread.
  bool StartStream();
  bool ResumeStream();
  bool PauseStream();
  // Returns with the feeding thread gone; a read in progress is finished
  // first. No notification follows.
  void StopStream();
  uint32_t State() const { return state_; }
  bool IsStreamPlaying() const { return state_ == kStreamPlaying; }
  // The end of the stream posts `message` to `window`, wParam the run's
  // generation (audio/StreamGeneration.h).
  bool SetStreamNotify(HWND window, UINT message);
  // The generation of the feeding thread's run; 0 when none runs or it was
  // stopped.
  uint32_t generation() const { return generation_; }
  // A stream that could not start because its source has ended: a new
  // generation for the end notice that tells it, as a run that played out.
  uint32_t EndWithoutStart() {
    generation_ = NewStreamGeneration();
    return generation_;
  }
  void ReleaseStream();
  // The stream position of what the buffer plays now, from its play cursor;
  // the source's own position before the first start.
  uint32_t HeardMs();

  // Commands 5020 and 5021: the selected groups of the block "3DShareName"
  // are applied to the 3D buffer, or the buffer's values written into it.
  bool Apply3D(uint32_t groupMask);
  bool Read3D(uint32_t groupMask);
  bool Apply3DValues(uint32_t groupMask, const Shared3DBlock& block);
  bool Read3DValues(uint32_t groupMask, Shared3DBlock* block);

  // Halves refilled from the source since the start (for tests).
  uint32_t refills() const { return refills_; }

 protected:
  virtual bool CreateNotifications();

 private:
  static DWORD WINAPI ThreadMain(void* self);
  void FeedLoop();
  bool FillHalf(DWORD offset, DWORD play, bool fromSource, bool* ended);
  // The play cursor's progress in bytes since the start: the feeding thread
  // moves the count on at every wake-up (at least twice a lap), so a cursor
  // read in between is never a whole lap ahead of it.
  void TrackCursor(DWORD play);
  uint64_t PlayedBytesAt(DWORD play) const;
  // Where the half at `offset` sounds next, in played bytes.
  uint64_t SoundsAt(DWORD offset, DWORD play) const;

  UINT notifyMessage_ = 0;
  HWND notifyWindow_ = nullptr;
  std::atomic<bool> stop_{false};
  uint32_t generation_ = 0;  // set before the thread starts, cleared after it is gone
  std::atomic<uint32_t> state_{kStreamStopped};
  // While paused the feeding thread reads nothing: a notice that was on its
  // way when the buffer stopped is kept (a bit per half) and served at the
  // resume. Both are guarded by the source's sync lock.
  bool holdFeed_ = false;
  uint32_t heldNotices_ = 0;
  UniqueHandle thread_;
  UniqueHandle wake_;  // ends the feeding thread's wait on a stop
  MediaSource* source_ = nullptr;
  IDirectSound3DBuffer* buffer3D_ = nullptr;
  IDirectSoundNotify* notify_ = nullptr;
  DSBPOSITIONNOTIFY positions_[2] = {};
  UniqueHandle events_[2];
  IDirectSoundBuffer* buffer_ = nullptr;
  DSBUFFERDESC description_{};
  PcmFormat format_{};
  std::atomic<uint32_t> refills_{0};
  HeardPosition heard_;
  mutable std::mutex cursorLock_;
  uint64_t playedBytes_ = 0;  // guarded by cursorLock_
  DWORD lastPlay_ = 0;        // guarded by cursorLock_
};

class DirectSoundDevice {
 public:
  static constexpr int kStreamSlots = 8;

  DirectSoundDevice() = default;
  virtual ~DirectSoundDevice();
  DirectSoundDevice(const DirectSoundDevice&) = delete;
  DirectSoundDevice& operator=(const DirectSoundDevice&) = delete;

  // Loads DirectSound, creates the default device for `window` at normal
  // cooperation and its primary buffer. False leaves nothing behind.
  bool InitDevice(HWND window);
  bool IsInitialised() const { return directSound_ != nullptr; }
  DirectSoundStream* CreateStream(MediaSource* source);
  bool DestroyStream(DirectSoundStream* stream);
  // For the capture recorder; null until InitDevice has loaded the library.
  DirectSoundCaptureCreateFn captureCreate() const { return captureCreate_; }

 private:
  void ReleaseAll();

  DirectSoundStream* streams_[kStreamSlots] = {};
  DSBUFFERDESC primaryDescription_{};
  IDirectSoundBuffer* primary_ = nullptr;
  IDirectSound* directSound_ = nullptr;
  HMODULE library_ = nullptr;
  DirectSoundCaptureCreateFn captureCreate_ = nullptr;
};

// The wave player's handling of commands 5020 (apply the selected groups of
// the shared block) and 5021 (write the current values back into it); false
// when there is no stream or the block cannot be opened.
bool Handle3DCommand(DirectSoundStream* stream, uint16_t code, uint32_t groupMask);
