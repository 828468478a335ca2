// recordfile: records one WAV file through the wave input recorder or the
// DirectSound capture recorder, the way the recording engine drives them, so
// that a test can feed the capture device from a file and compare.
//
//   recordfile (wavein|dsound) ROW PATH STEP...
//
// ROW is a row of the recording format table. Each STEP is "play:MS"
// (start or resume the capture, then wait MS), "pause:MS" (pause, then
// wait) or "wait:MS" (just wait); the recording is stopped after the last.
// A capture's first stretch is timed from its first bytes, not from the
// start: under load the device can take a while to begin.
// Prints "bytes=N ms=M restarts=R" with what the recorder counted at the
// stop and how often a capture that did not begin was started anew.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "audio/DirectSoundCaptureRecorder.h"
#include "audio/RecordFormats.h"
#include "audio/WaveInRecorder.h"

namespace {

// The two recorders behind the four operations of the record buttons.
struct Recorder {
  virtual ~Recorder() = default;
  virtual bool Arm(const RecordFormat& row, const char* path) = 0;
  virtual bool Play() = 0;
  // Whether the capture has delivered its first bytes since Play.
  virtual bool Begun() = 0;
  virtual bool Pause() = 0;
  virtual void Stop() = 0;
  virtual uint32_t Bytes() const = 0;
  virtual uint32_t Ms() const = 0;
  virtual int Restarts() const { return 0; }
};

struct WaveIn final : Recorder {
  WaveInRecorder r;
  bool Arm(const RecordFormat& row, const char* path) override {
    return r.AllocBuffers(kCaptureBufferBytes) &&
           r.SetFormat(row.rate, static_cast<uint16_t>(row.channels), static_cast<uint16_t>(row.bits)) &&
           r.CreateAndOpen(path) && r.StartThread();
  }
  bool Play() override { return r.StartCapture(); }
  bool Begun() override { return true; }  // armed, it records from the start
  bool Pause() override { return r.StopCapture(); }
  void Stop() override { r.StopRecording(); }
  uint32_t Bytes() const override { return r.RecordedBytes(); }
  uint32_t Ms() const override { return r.RecordedMs(); }
};

struct Capture final : Recorder {
  DirectSoundCaptureRecorder r;
  bool Arm(const RecordFormat& row, const char* path) override {
    if (!r.CreateCaptureObject()) return false;
    r.SetFormat(row.rate, static_cast<uint16_t>(row.channels), static_cast<uint16_t>(row.bits));
    return r.CreateCaptureFile(path) && r.StartWriter();
  }
  bool Play() override { return r.StartCapture(); }
  bool Begun() override { return r.RecordedBytes() > 0 || r.CapturePending(); }
  bool Pause() override { return r.PauseCapture(); }
  void Stop() override { r.StopRecording(); }
  uint32_t Bytes() const override { return r.RecordedBytes(); }
  uint32_t Ms() const override { return r.RecordedMs(); }
  int Restarts() const override { return r.CaptureRestarts(); }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: recordfile (wavein|dsound) ROW PATH STEP...\n");
    return 2;
  }
  std::unique_ptr<Recorder> recorder;
  if (std::strcmp(argv[1], "dsound") == 0) {
    recorder.reset(new Capture);
  } else {
    recorder.reset(new WaveIn);
  }
  if (!recorder->Arm(RecordFormatAt(std::atoi(argv[2])), argv[3])) {
    std::printf("arm failed\n");
    return 1;
  }
  for (int i = 4; i < argc; ++i) {
    const char* colon = std::strchr(argv[i], ':');
    const DWORD ms = colon != nullptr ? static_cast<DWORD>(std::atoi(colon + 1)) : 0;
    bool ok = true;
    if (std::strncmp(argv[i], "play", 4) == 0) ok = recorder->Play();
    if (std::strncmp(argv[i], "pause", 5) == 0) ok = recorder->Pause();
    if (!ok) {
      std::printf("step %s failed\n", argv[i]);
      recorder->Stop();
      return 1;
    }
    if (std::strncmp(argv[i], "play", 4) == 0) {
      const DWORD start = GetTickCount();
      while (!recorder->Begun() && GetTickCount() - start < 10000) Sleep(5);
      if (!recorder->Begun()) {
        std::printf("the capture gave nothing for 10 s\n");
        recorder->Stop();
        return 1;
      }
    }
    Sleep(ms);
  }
  recorder->Stop();
  std::printf("bytes=%u ms=%u restarts=%d\n", recorder->Bytes(), recorder->Ms(), recorder->Restarts());
  return 0;
}
