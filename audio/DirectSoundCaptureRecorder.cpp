#include "audio/DirectSoundCaptureRecorder.h"

#include <cstdio>

#include "common/ErrorBox.h"

namespace {
// How often the writer looks at a start that waits for its first bytes.
constexpr DWORD kWatchMs = 250;
}  // namespace

using DirectSoundCaptureCreateFunction = HRESULT(WINAPI*)(LPCGUID, LPDIRECTSOUNDCAPTURE*, LPUNKNOWN);

DirectSoundCaptureRecorder::~DirectSoundCaptureRecorder() {
  ReleaseRecorder();
  capture_.Reset();
  if (library_ != nullptr) FreeLibrary(library_);
}

bool DirectSoundCaptureRecorder::CreateCaptureObject() {
  if (capture_) return true;
  if (library_ == nullptr) library_ = LoadLibraryA("dsound.dll");
  if (library_ == nullptr) return false;
  auto create = reinterpret_cast<DirectSoundCaptureCreateFunction>(
      reinterpret_cast<void*>(GetProcAddress(library_, "DirectSoundCaptureCreate")));
  if (create == nullptr || FAILED(create(nullptr, capture_.Receive(), nullptr))) {
    capture_.Reset();
    return false;
  }
  return true;
}

void DirectSoundCaptureRecorder::SetFormat(uint32_t rate, uint16_t channels, uint16_t bits) {
  format_ = MakePcmFormat(rate, channels, bits);
}

void DirectSoundCaptureRecorder::ReportBufferError(HRESULT result) {
  char text[96];
  std::snprintf(text, sizeof text, kCaptureBufferErrorFormat, static_cast<unsigned>(result));
  ShowErrorBox(nullptr, text);
}

bool DirectSoundCaptureRecorder::CreateCaptureFile(const char* path) {
  if (!capture_ || buffer_ || !writer_.CreateWavFile(path, format_)) return false;
  description_ = DSCBUFFERDESC1{};
  description_.dwSize = sizeof description_;
  description_.dwBufferBytes = 2 * format_.avgBytesPerSec;
  description_.lpwfxFormat = reinterpret_cast<WAVEFORMATEX*>(&format_);
  copyOffset_ = 0;
  recordedBytes_ = 0;
  awaitingFirstBytes_ = false;
  restarts_ = 0;
  HRESULT result = E_FAIL;
  if (CreateEvents()) {
    result = MakeBuffer();
    if (!buffer_) ReportBufferError(result);
  }
  if (FAILED(result)) {
    ReleaseBuffer();
    writer_.FinishWavFile();  // nothing was written: the file is removed
    return false;
  }
  return true;
}

bool DirectSoundCaptureRecorder::CreateEvents() {
  for (int i = 0; i < 2; ++i) {
    events_[i].Reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (!events_[i]) return false;
    positions_[i].dwOffset = i * (description_.dwBufferBytes / 2);
    positions_[i].hEventNotify = events_[i].get();
  }
  wake_.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  return static_cast<bool>(wake_);
}

HRESULT DirectSoundCaptureRecorder::MakeBuffer() {
  notify_.Reset();
  buffer_.Reset();
  HRESULT result = capture_->CreateCaptureBuffer(reinterpret_cast<DSCBUFFERDESC*>(&description_),
                                                 buffer_.Receive(), nullptr);
  if (FAILED(result)) {
    buffer_.Reset();
    return result;
  }
  result = buffer_->QueryInterface(IID_IDirectSoundNotify, reinterpret_cast<void**>(notify_.Receive()));
  if (SUCCEEDED(result)) result = notify_->SetNotificationPositions(2, positions_);
  return result;
}

bool DirectSoundCaptureRecorder::StartWriter() {
  if (!thread_ && buffer_) {
    stopping_ = false;
    ResetEvent(wake_.get());
    thread_.Reset(CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr));
  }
  return static_cast<bool>(thread_);
}

bool DirectSoundCaptureRecorder::StartCapture() {
  std::lock_guard<std::mutex> hold(copyLock_);
  if (!buffer_ || FAILED(buffer_->Start(DSCBSTART_LOOPING))) return false;
  if (recordedBytes_ == 0) {
    awaitingFirstBytes_ = true;
    startTick_ = GetTickCount();
  }
  return true;
}

bool DirectSoundCaptureRecorder::PauseCapture() {
  std::lock_guard<std::mutex> hold(copyLock_);
  if (!buffer_ || FAILED(buffer_->Stop())) return false;
  awaitingFirstBytes_ = false;
  CopyCapturedLocked();
  return true;
}

DWORD WINAPI DirectSoundCaptureRecorder::ThreadMain(void* self) {
  static_cast<DirectSoundCaptureRecorder*>(self)->WriterLoop();
  return 0;
}

void DirectSoundCaptureRecorder::WatchCaptureStart() {
  std::lock_guard<std::mutex> hold(copyLock_);
  if (!awaitingFirstBytes_ || !buffer_) return;
  DWORD capturePos = 0, readPos = 0;
  if (recordedBytes_ > 0 ||
      (SUCCEEDED(buffer_->GetCurrentPosition(&capturePos, &readPos)) && readPos != copyOffset_)) {
    awaitingFirstBytes_ = false;
    return;
  }
  if (GetTickCount() - startTick_ < kCaptureStartMs) return;
  awaitingFirstBytes_ = false;
  if (restarts_ >= kCaptureRestarts) return;  // the device gives nothing: the file stays empty
  ++restarts_;
  buffer_->Stop();
  if (FAILED(MakeBuffer()) || FAILED(buffer_->Start(DSCBSTART_LOOPING))) return;
  awaitingFirstBytes_ = true;
  startTick_ = GetTickCount();
}

void DirectSoundCaptureRecorder::WriterLoop() {
  HANDLE waits[3] = {events_[0].get(), events_[1].get(), wake_.get()};
  HANDLE failed = nullptr;
  for (;;) {
    const DWORD woke = WaitForMultipleObjects(3, waits, FALSE, kWatchMs);
    if (woke == WAIT_TIMEOUT && !stopping_) {
      WatchCaptureStart();
      continue;
    }
    if (woke >= WAIT_OBJECT_0 + 2 || stopping_) return;  // the stop, or a failed wait
    HANDLE event = waits[woke - WAIT_OBJECT_0];
    if (failed != nullptr) {
      // A copy failed half a buffer ago: one last try, then the capture ends.
      if (event != failed) continue;
      std::lock_guard<std::mutex> hold(copyLock_);
      if (buffer_) buffer_->Stop();
      CopyCapturedLocked();
      return;
    }
    if (!CopyCaptured()) failed = event;
  }
}

bool DirectSoundCaptureRecorder::CopyCaptured() {
  std::lock_guard<std::mutex> hold(copyLock_);
  return CopyCapturedLocked();
}

bool DirectSoundCaptureRecorder::CopyCapturedLocked() {
  const DWORD size = description_.dwBufferBytes;
  DWORD capturePos = 0, readPos = 0;
  if (!buffer_ || size == 0 || FAILED(buffer_->GetCurrentPosition(&capturePos, &readPos))) return false;
  if (readPos < copyOffset_) readPos += size;
  const DWORD n = readPos - copyOffset_;
  if (n == 0) return true;
  awaitingFirstBytes_ = false;
  void* region1 = nullptr;
  void* region2 = nullptr;
  DWORD length1 = 0, length2 = 0;
  if (FAILED(buffer_->Lock(copyOffset_, n, &region1, &length1, &region2, &length2, 0))) return false;
  bool ok = writer_.AppendData(region1, length1);
  if (ok && region2 != nullptr && length2 > 0) ok = writer_.AppendData(region2, length2);
  buffer_->Unlock(region1, length1, region2, length2);
  recordedBytes_ = writer_.DataBytes();
  writeStop_ = static_cast<int>(writer_.stopped());
  if (!ok) return false;
  copyOffset_ = (copyOffset_ + n) % size;
  return true;
}

void DirectSoundCaptureRecorder::StopRecording() {
  if (thread_) {
    // The writer goes first, so the last copy below is the only one running.
    stopping_ = true;
    SetEvent(wake_.get());
    WaitForSingleObject(thread_.get(), INFINITE);
    thread_.Reset();
  }
  if (buffer_) {
    buffer_->Stop();
    CopyCaptured();
  }
  writer_.FinishWavFile();
}

void DirectSoundCaptureRecorder::ReleaseBuffer() {
  notify_.Reset();
  buffer_.Reset();
  for (UniqueHandle& event : events_) event.Reset();
  wake_.Reset();
  positions_[0] = positions_[1] = DSBPOSITIONNOTIFY{};
}

void DirectSoundCaptureRecorder::ReleaseRecorder() {
  StopRecording();
  ReleaseBuffer();
  description_ = DSCBUFFERDESC1{};
  format_ = MakePcmFormat(22050, 1, 16);
  copyOffset_ = 0;
  recordedBytes_ = 0;
  writeStop_ = 0;
}

bool DirectSoundCaptureRecorder::CapturePending() {
  std::lock_guard<std::mutex> hold(copyLock_);
  DWORD capturePos = 0, readPos = 0;
  return buffer_ && SUCCEEDED(buffer_->GetCurrentPosition(&capturePos, &readPos)) && readPos != copyOffset_;
}

uint32_t DirectSoundCaptureRecorder::RecordedMs() const {
  if (format_.avgBytesPerSec == 0) return 0;
  return static_cast<uint32_t>(static_cast<double>(recordedBytes_) * 1000.0 / format_.avgBytesPerSec);
}
