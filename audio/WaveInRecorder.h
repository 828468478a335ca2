// Records from the platform's wave input device into a WAV file: two capture
// buffers, both kept queued on the device, and a capture thread that writes
// each buffer the device hands back and queues it again at once, so nothing
// captured between two buffers is lost.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <cstdint>

#include "audio/PcmFormat.h"
#include "audio/WavFile.h"
#include "common/Win32Handles.h"

constexpr uint32_t kCaptureBufferBytes = 8192;

class WaveInRecorder {
 public:
  WaveInRecorder() = default;
  virtual ~WaveInRecorder();
  WaveInRecorder(const WaveInRecorder&) = delete;
  WaveInRecorder& operator=(const WaveInRecorder&) = delete;

  // Asks the wave mapper whether it can record `format`; if so it becomes
  // the recorder's format.
  bool QueryFormat(const PcmFormat& format);
  bool SetFormat(uint32_t rate, uint16_t channels, uint16_t bits);
  // Two buffers of `size` bytes; only while no thread runs. Size 0 frees them
  // and fails.
  bool AllocBuffers(uint32_t size);
  // Creates the WAV file and opens the device. On failure nothing is left
  // open and no file is left behind.
  bool CreateAndOpen(const char* path);
  // Starts the capture thread, which queues both buffers and starts the
  // device: recording runs from here on.
  bool StartThread();
  bool StartCapture();
  bool StopCapture();
  // Ends the capture: the device hands back what it holds, the thread writes
  // it and ends, the file is finished, the device closed.
  void StopRecording();
  void ReleaseAll();
  // Milliseconds of sound that reached the file.
  uint32_t RecordedMs() const;
  uint32_t RecordedBytes() const { return recordedBytes_; }
  // Why the file takes no more data (a failed write, the size limit), if so.
  WavWriteStop writeStop() const { return static_cast<WavWriteStop>(writeStop_.load()); }
  const PcmFormat& format() const { return format_; }
  MMRESULT lastResult() const { return lastResult_; }

 private:
  static DWORD WINAPI ThreadMain(void* self);
  void CaptureLoop();
  bool AddBuffer(int index);
  // The buffer at `index` when the device marked it done: unprepared, its
  // recorded byte count in *bytes.
  bool TakeBuffer(int index, uint32_t* bytes);
  void WriteTaken(int index, uint32_t bytes);
  void FreeBuffers();
  void CloseDevice();

  WavWriter writer_;
  PcmFormat format_ = MakePcmFormat(22050, 1, 16);
  HWAVEIN device_ = nullptr;
  UniqueHandle bufferDone_;  // signalled by the device for every buffer done
  UniqueHandle wake_;        // signalled by StopRecording to end the thread
  UniqueHandle thread_;
  std::atomic<bool> stopping_{false};
  WAVEHDR headers_[2] = {};
  uint8_t* buffers_[2] = {nullptr, nullptr};
  uint32_t bufferSize_ = 0;
  int doneIndex_ = 0;  // the buffer the device fills first
  std::atomic<uint32_t> recordedBytes_{0};
  std::atomic<int> writeStop_{0};
  MMRESULT lastResult_ = MMSYSERR_NOERROR;
};
