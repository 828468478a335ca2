#include "audio/WaveInRecorder.h"

#include <new>

WaveInRecorder::~WaveInRecorder() { ReleaseAll(); }

bool WaveInRecorder::QueryFormat(const PcmFormat& format) {
  lastResult_ = waveInOpen(nullptr, WAVE_MAPPER, reinterpret_cast<const WAVEFORMATEX*>(&format), 0, 0,
                           WAVE_FORMAT_QUERY);
  if (lastResult_ != MMSYSERR_NOERROR) return false;
  format_ = format;
  return true;
}

bool WaveInRecorder::SetFormat(uint32_t rate, uint16_t channels, uint16_t bits) {
  return QueryFormat(MakePcmFormat(rate, channels, bits));
}

void WaveInRecorder::FreeBuffers() {
  for (uint8_t*& buffer : buffers_) {
    delete[] buffer;
    buffer = nullptr;
  }
}

bool WaveInRecorder::AllocBuffers(uint32_t size) {
  if (thread_) return false;
  FreeBuffers();
  bufferSize_ = size;
  if (size == 0) return false;
  for (uint8_t*& buffer : buffers_) buffer = new (std::nothrow) uint8_t[size];
  if (buffers_[0] == nullptr || buffers_[1] == nullptr) {
    FreeBuffers();
    return false;
  }
  // Unnamed: a second instance of the program must not share it.
  if (!bufferDone_) bufferDone_.Reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
  if (!wake_) wake_.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  return bufferDone_ && wake_;
}

bool WaveInRecorder::CreateAndOpen(const char* path) {
  if (device_ != nullptr || !bufferDone_ || buffers_[0] == nullptr) return false;
  if (!writer_.CreateWavFile(path, format_)) return false;
  lastResult_ = waveInOpen(&device_, WAVE_MAPPER, reinterpret_cast<const WAVEFORMATEX*>(&format_),
                           reinterpret_cast<DWORD_PTR>(bufferDone_.get()), 0, CALLBACK_EVENT);
  if (lastResult_ == MMSYSERR_NOERROR) return true;
  device_ = nullptr;
  writer_.FinishWavFile();  // nothing was written: the file is removed
  return false;
}

bool WaveInRecorder::StartThread() {
  if (!thread_ && device_ != nullptr) {
    stopping_ = false;
    ResetEvent(wake_.get());
    thread_.Reset(CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr));
  }
  return static_cast<bool>(thread_);
}

bool WaveInRecorder::StartCapture() {
  if (device_ == nullptr) return false;
  lastResult_ = waveInStart(device_);
  return lastResult_ == MMSYSERR_NOERROR;
}

bool WaveInRecorder::StopCapture() {
  if (device_ == nullptr) return false;
  // The buffer being filled comes back done with what it holds; the thread
  // writes it like any other.
  lastResult_ = waveInStop(device_);
  return lastResult_ == MMSYSERR_NOERROR;
}

DWORD WINAPI WaveInRecorder::ThreadMain(void* self) {
  static_cast<WaveInRecorder*>(self)->CaptureLoop();
  return 0;
}

bool WaveInRecorder::AddBuffer(int index) {
  WAVEHDR& header = headers_[index];
  header = WAVEHDR{};
  header.lpData = reinterpret_cast<LPSTR>(buffers_[index]);
  header.dwBufferLength = bufferSize_;
  if (waveInPrepareHeader(device_, &header, sizeof header) != MMSYSERR_NOERROR) return false;
  if (waveInAddBuffer(device_, &header, sizeof header) == MMSYSERR_NOERROR) return true;
  waveInUnprepareHeader(device_, &header, sizeof header);
  header.dwFlags = 0;
  return false;
}

bool WaveInRecorder::TakeBuffer(int index, uint32_t* bytes) {
  WAVEHDR& header = headers_[index];
  // Only a header the device is done with may be taken; unpreparing one it
  // still holds would fail and leave it queued.
  if ((header.dwFlags & WHDR_DONE) == 0) return false;
  if (waveInUnprepareHeader(device_, &header, sizeof header) != MMSYSERR_NOERROR) return false;
  *bytes = header.dwBytesRecorded;
  header.dwFlags = 0;
  return true;
}

void WaveInRecorder::WriteTaken(int index, uint32_t bytes) {
  if (bytes == 0) return;
  writer_.AppendData(buffers_[index], bytes);
  recordedBytes_ = writer_.DataBytes();
  writeStop_ = static_cast<int>(writer_.stopped());
}

void WaveInRecorder::CaptureLoop() {
  // The device signalled the event when it was opened.
  ResetEvent(bufferDone_.get());
  AddBuffer(0);
  AddBuffer(1);
  doneIndex_ = 0;
  StartCapture();
  HANDLE waits[2] = {bufferDone_.get(), wake_.get()};
  for (;;) {
    const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    const bool stop = woke != WAIT_OBJECT_0 || stopping_;
    if (stop) waveInReset(device_);  // every queued buffer comes back done, in order
    // The device hands buffers back in the order they were queued.
    uint32_t bytes = 0;
    while (TakeBuffer(doneIndex_, &bytes)) {
      const int taken = doneIndex_;
      doneIndex_ ^= 1;
      WriteTaken(taken, bytes);
      // Queued again as soon as it is written; the other buffer is queued
      // meanwhile, so the device never runs dry.
      if (!stop) AddBuffer(taken);
    }
    if (stop) return;
  }
}

void WaveInRecorder::StopRecording() {
  if (thread_) {
    // The thread resets the device itself, writes what came back and ends;
    // a write in progress is finished first.
    stopping_ = true;
    SetEvent(wake_.get());
    WaitForSingleObject(thread_.get(), INFINITE);
    thread_.Reset();
  }
  writer_.FinishWavFile();
  CloseDevice();
}

void WaveInRecorder::CloseDevice() {
  if (device_ == nullptr) return;
  waveInReset(device_);
  for (WAVEHDR& header : headers_) {
    if (header.dwFlags & WHDR_PREPARED) waveInUnprepareHeader(device_, &header, sizeof header);
    header = WAVEHDR{};
  }
  waveInClose(device_);
  device_ = nullptr;
}

void WaveInRecorder::ReleaseAll() {
  StopRecording();
  bufferDone_.Reset();
  wake_.Reset();
  FreeBuffers();
  bufferSize_ = 0;
  doneIndex_ = 0;
  recordedBytes_ = 0;
  writeStop_ = 0;
}

uint32_t WaveInRecorder::RecordedMs() const {
  if (format_.avgBytesPerSec == 0) return 0;
  return static_cast<uint32_t>(static_cast<double>(recordedBytes_) * 1000.0 / format_.avgBytesPerSec);
}
