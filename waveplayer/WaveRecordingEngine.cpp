#include "waveplayer/WaveRecordingEngine.h"

#include <commdlg.h>

#include <cstring>
#include <new>

#include "audio/RecordFormats.h"
#include "common/Check.h"
#include "common/ErrorBox.h"
#include "common/PathLimits.h"
#include "common/FileHandOff.h"

namespace {

class BusyScope {
 public:
  explicit BusyScope(int* count) : count_(count) { ++*count_; }
  ~BusyScope() { --*count_; }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  int* count_;
};

}  // namespace

bool WithWavExtension(char* path, size_t capacity) {
  const char* dot = std::strrchr(path, '.');
  if (dot != nullptr && lstrcmpiA(dot, ".wav") == 0) return true;
  const size_t length = std::strlen(path);
  if (length + 5 > capacity) return false;
  std::memcpy(path + length, ".wav", 5);
  return true;
}

WaveRecordingEngine::WaveRecordingEngine(HWND window, bool directSound)
    : window_(window), directSound_(directSound) {}

WaveRecordingEngine::~WaveRecordingEngine() {
  CX_CHECK(busy_ == 0);
  DestroyRecorder();
}

bool WaveRecordingEngine::Prepare() {
  available_ = EnsureRecorder();
  if (!available_) DestroyRecorder();
  return available_;
}

bool WaveRecordingEngine::EnsureRecorder() {
  if (directSound_) {
    if (!capture_) capture_.reset(new (std::nothrow) DirectSoundCaptureRecorder);
    return capture_ && capture_->CreateCaptureObject();
  }
  if (!waveIn_) waveIn_.reset(new (std::nothrow) WaveInRecorder);
  return waveIn_ && waveIn_->AllocBuffers(kCaptureBufferBytes);
}

void WaveRecordingEngine::DestroyRecorder() {
  // Each recorder's destructor ends its thread and finishes its file.
  capture_.reset();
  waveIn_.reset();
}

void WaveRecordingEngine::ReportError(const char* text) { ShowErrorBox(window_, text); }

bool WaveRecordingEngine::ChooseFile(char* path, size_t capacity) {
  path[0] = '\0';
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = window_;
  dialog.lpstrFilter = "Wave File\0*.Wav\0";
  dialog.lpstrFile = path;
  dialog.nMaxFile = static_cast<DWORD>(capacity);
  dialog.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_SHOWHELP;
  return GetSaveFileNameA(&dialog) != FALSE;
}

void WaveRecordingEngine::StartRecording(int formatIndex) {
  if (state_ != kRecordIdle) return;
  BusyScope busy(&busy_);
  if (!EnsureRecorder()) {
    DestroyRecorder();
    ReportError(directSound_ ? kDirectCaptureErrorText : kWaveCaptureErrorText);
    return;
  }
  char path[kPathCapacity] = {};  // UTF-8: up to three bytes a UTF-16 unit
  if (!ChooseFile(path, sizeof path) || abandoned_) return;
  if (!WithWavExtension(path, sizeof path) || !PathFitsSystem(path)) return;
  // A failed start releases everything and removes the half-made file; the
  // next RECFILE makes a new recorder.
  if (!Arm(path, formatIndex)) {
    DestroyRecorder();
    return;
  }
  state_ = kRecordArmed;
}

bool WaveRecordingEngine::Arm(const char* path, int formatIndex) {
  const RecordFormat& row = RecordFormatAt(formatIndex);
  const auto channels = static_cast<uint16_t>(row.channels);
  const auto bits = static_cast<uint16_t>(row.bits);
  if (directSound_) {
    capture_->SetFormat(row.rate, channels, bits);
    return capture_->CreateCaptureFile(path) && capture_->StartWriter();
  }
  return waveIn_->SetFormat(row.rate, channels, bits) && waveIn_->CreateAndOpen(path) &&
         waveIn_->StartThread();
}

void WaveRecordingEngine::RecordResume() {
  timeShown_ = true;
  if (state_ != kRecordArmed && state_ != kRecordPaused) return;
  const bool started = directSound_ ? capture_->StartCapture() : waveIn_->StartCapture();
  if (started) state_ = kRecordRecording;
}

void WaveRecordingEngine::RecordPause() {
  if (state_ != kRecordRecording) return;
  if (directSound_) {
    capture_->PauseCapture();
  } else {
    waveIn_->StopCapture();
  }
  state_ = kRecordPaused;
}

void WaveRecordingEngine::RecordStop() {
  if (state_ == kRecordIdle) return;  // nothing records: nothing to stop
  if (capture_) capture_->StopRecording();
  if (waveIn_) waveIn_->StopRecording();
  DestroyRecorder();
  state_ = kRecordIdle;
  timeShown_ = false;
}

void WaveRecordingEngine::RecordToggle() {
  if (enables().play) {
    RecordResume();
  } else {
    RecordStop();
  }
}

void WaveRecordingEngine::OnSuspendQuery() {
  if (timeShown_) RecordStop();
}

void WaveRecordingEngine::EndForSystem() { RecordStop(); }

WavWriteStop WaveRecordingEngine::WriterStop() const {
  if (capture_) return capture_->writeStop();
  if (waveIn_) return waveIn_->writeStop();
  return WavWriteStop::kNone;
}

void WaveRecordingEngine::CheckWriter() {
  if (state_ == kRecordIdle) return;
  const WavWriteStop why = WriterStop();
  if (why == WavWriteStop::kNone) return;
  BusyScope busy(&busy_);
  RecordStop();
  ReportError(why == WavWriteStop::kSizeLimit ? kRecordSizeLimitText : kRecordWriteErrorText);
}

RecordEnables WaveRecordingEngine::enables() const {
  switch (state_) {
    case kRecordArmed:
    case kRecordPaused: return {false, true, false, true};
    case kRecordRecording: return {false, false, true, true};
    case kRecordIdle: break;
  }
  return {available_, false, false, false};
}

uint32_t WaveRecordingEngine::ShownSeconds() const {
  if (!timeShown_) return 0;
  if (capture_) return capture_->RecordedMs() / 1000;
  if (waveIn_) return waveIn_->RecordedMs() / 1000;
  return 0;
}
