// The wave player's recording half: the record state and its buttons, the
// choice of the file, and the recorder that does the work (DirectSound
// capture in DirectSound mode, else wave input). Recording runs beside
// playback and shares nothing with it but the window. Everything runs on
// the window's thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "audio/DirectSoundCaptureRecorder.h"
#include "audio/WaveInRecorder.h"

enum RecordState : int { kRecordIdle = 0, kRecordArmed = 1, kRecordRecording = 2, kRecordPaused = 3 };

struct RecordEnables {
  bool file, play, pause, stop;
};

constexpr char kWaveCaptureErrorText[] = "Wave Capture Function return an error.";
constexpr char kDirectCaptureErrorText[] = "The DirectX Capture function return error.";
constexpr char kRecordWriteErrorText[] =
    "The recording file could not be written (is the disk full?). The recording was stopped.";
constexpr char kRecordSizeLimitText[] =
    "The recording file reached the largest size of a WAV file (4 GB). The recording was stopped.";

// "take1" is recorded as "take1.wav"; a name whose last extension is ".wav"
// in any letter case is kept as chosen. False when the result does not fit.
bool WithWavExtension(char* path, size_t capacity);

class WaveRecordingEngine {
 public:
  // `window` owns the save dialog and the error boxes; `directSound` is the
  // mode the playback engine chose.
  WaveRecordingEngine(HWND window, bool directSound);
  virtual ~WaveRecordingEngine();
  WaveRecordingEngine(const WaveRecordingEngine&) = delete;
  WaveRecordingEngine& operator=(const WaveRecordingEngine&) = delete;

  // At the player's creation: whether a recorder can be set up at all.
  bool Prepare();
  // RECFILE, RECPLAY, RECPAUSE, RECSTOP and command 1032.
  void StartRecording(int formatIndex);
  void RecordResume();
  void RecordPause();
  void RecordStop();
  void RecordToggle();
  // The system asks whether it may suspend: a recording in progress ends.
  void OnSuspendQuery();
  // The system suspends or the session ends: whatever is armed or recording
  // ends as RECSTOP ends it, so the file is finished.
  void EndForSystem();
  // Every 500 ms: a file that takes no more data (a failed write, the size
  // limit) ends the recording, and the user is told why.
  void CheckWriter();

  RecordState state() const { return state_; }
  RecordEnables enables() const;
  bool timeShown() const { return timeShown_; }
  // What the record time display shows, in seconds.
  uint32_t ShownSeconds() const;
  bool available() const { return available_; }
  // True while an operation runs (a message box may be up).
  bool busy() const { return busy_ > 0; }
  void Abandon() { abandoned_ = true; }

 protected:
  // The save dialog; false when cancelled. Tests may answer it themselves.
  virtual bool ChooseFile(char* path, size_t capacity);
  virtual void ReportError(const char* text);
  // Why the recorder's file takes no more data, if so.
  virtual WavWriteStop WriterStop() const;

 private:
  bool EnsureRecorder();
  bool Arm(const char* path, int formatIndex);
  void DestroyRecorder();

  HWND window_;
  bool directSound_;
  bool available_ = false;
  RecordState state_ = kRecordIdle;
  bool timeShown_ = false;
  std::unique_ptr<WaveInRecorder> waveIn_;
  std::unique_ptr<DirectSoundCaptureRecorder> capture_;
  int busy_ = 0;
  bool abandoned_ = false;
};
