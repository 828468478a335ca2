// Records into a WAV file through DirectSound capture: a looping buffer of
// two seconds with notifications at its start and middle, and a writer
// thread that appends everything captured since its last copy at each one.
// dsound.dll is loaded at run time, as for playback.
//
// A capture that delivers nothing for kCaptureStartMs after its first start
// gets a new capture buffer, up to kCaptureRestarts times: Wine's capture
// thread can end the moment it is made, when it runs before the buffer it
// serves is counted, and that buffer's position then never moves.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <atomic>
#include <cstdint>
#include <mutex>

#include "audio/PcmFormat.h"
#include "audio/WavFile.h"
#include "common/Win32Handles.h"

constexpr char kCaptureBufferErrorFormat[] = "Error in create capture buffer.\nError code = %x";
constexpr DWORD kCaptureStartMs = 2000;
constexpr int kCaptureRestarts = 2;

class DirectSoundCaptureRecorder {
 public:
  DirectSoundCaptureRecorder() = default;
  virtual ~DirectSoundCaptureRecorder();
  DirectSoundCaptureRecorder(const DirectSoundCaptureRecorder&) = delete;
  DirectSoundCaptureRecorder& operator=(const DirectSoundCaptureRecorder&) = delete;

  // The capture object of the default device, unless it exists already.
  bool CreateCaptureObject();
  void SetFormat(uint32_t rate, uint16_t channels, uint16_t bits);
  // Creates the file, the capture buffer and its notifications. On failure
  // nothing is left open and no file is left behind; a buffer the device
  // refuses is reported in a message box first.
  bool CreateCaptureFile(const char* path);
  bool StartWriter();
  bool StartCapture();
  // Stops the capture and copies what was captured up to the pause: a
  // restarted capture buffer does not keep what it held.
  bool PauseCapture();
  // Ends the writer thread, stops the capture, copies what was captured up
  // to the stop and finishes the file, in this order.
  void StopRecording();
  void ReleaseRecorder();
  // Whether the device has delivered anything the file does not hold yet:
  // a started capture can take a moment before its first bytes.
  bool CapturePending();
  uint32_t RecordedMs() const;
  // How often this recording's capture buffer was made again because its
  // capture did not begin.
  int CaptureRestarts() const { return restarts_; }
  uint32_t RecordedBytes() const { return recordedBytes_; }
  // Why the file takes no more data (a failed write, the size limit), if so.
  WavWriteStop writeStop() const { return static_cast<WavWriteStop>(writeStop_.load()); }
  const PcmFormat& format() const { return format_; }

 protected:
  // The box for a refused capture buffer; tests may watch it.
  virtual void ReportBufferError(HRESULT result);

 private:
  static DWORD WINAPI ThreadMain(void* self);
  void WriterLoop();
  bool CreateEvents();
  // The capture buffer and its notifications, on the events made before.
  HRESULT MakeBuffer();
  // On the writer thread: a started capture that has given nothing by its
  // deadline gets a new buffer.
  void WatchCaptureStart();
  // One copy at a time: the writer's and the pause's would otherwise both
  // append the same bytes.
  bool CopyCaptured();
  bool CopyCapturedLocked();
  void ReleaseBuffer();

  HMODULE library_ = nullptr;
  ComPtr<IDirectSoundCapture> capture_;
  ComPtr<IDirectSoundCaptureBuffer> buffer_;
  ComPtr<IDirectSoundNotify> notify_;
  PcmFormat format_ = MakePcmFormat(22050, 1, 16);
  DSCBUFFERDESC1 description_{};
  DSBPOSITIONNOTIFY positions_[2] = {};
  UniqueHandle events_[2];
  UniqueHandle wake_;
  UniqueHandle thread_;
  std::atomic<bool> stopping_{false};
  WavWriter writer_;
  std::mutex copyLock_;
  DWORD copyOffset_ = 0;
  std::atomic<uint32_t> recordedBytes_{0};
  std::atomic<int> writeStop_{0};
  // Under copyLock_: whether a start waits for its first bytes, since when.
  bool awaitingFirstBytes_ = false;
  DWORD startTick_ = 0;
  std::atomic<int> restarts_{0};
};
