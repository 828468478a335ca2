// playfile: plays one media file through the wave output device or a
// DirectSound stream and exits when the end notification has arrived, so
// that a test can run it with the sound going into a file and compare.
//
//   playfile [--dsound] [--pause AT:FOR] [--stop AT] [--linger MS] FILE
//
// --pause AT:FOR  pauses AT ms after the start for FOR ms, then resumes
// --seek AT:TO    AT ms after the start, moves the source to TO ms
// --stop AT       stops AT ms after the start and waits --linger ms more
// --linger MS     how long to keep listening after the end (default 600),
//                 to see that no second notification comes
// Prints "ends=N" with the number of end notifications seen and exits 0
// when the run went as asked (one end, or none after a stop).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "audio/DirectSoundPlayer.h"
#include "audio/MediaSource.h"
#include "audio/WaveOutDevice.h"

namespace {

int gEnds = 0;

LRESULT CALLBACK ListenerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kEndOfStreamMessage) {
    ++gEnds;
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

HWND MakeListener() {
  WNDCLASSA wc{};
  wc.lpfnWndProc = ListenerProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "CXPlayFileListener";
  RegisterClassA(&wc);
  return CreateWindowA(wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
}

void PumpFor(DWORD ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    const DWORD spent = GetTickCount() - start;
    if (spent >= ms) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - spent, QS_ALLINPUT);
  }
}

bool PumpUntilEnd(DWORD limitMs) {
  const DWORD start = GetTickCount();
  while (gEnds == 0 && GetTickCount() - start < limitMs) PumpFor(10);
  return gEnds > 0;
}

// One output engine, whichever kind, behind the four calls the run needs.
class Output {
 public:
  virtual ~Output() = default;
  virtual bool Open(MediaSource* source, HWND listener) = 0;
  virtual bool Start() = 0;
  virtual bool Pause() = 0;
  virtual bool Resume() = 0;
  virtual void Stop() = 0;
};

class WaveOutput : public Output {
 public:
  bool Open(MediaSource* source, HWND listener) override {
    return device_.Open(source) && device_.SetNotify(listener, kEndOfStreamMessage, 1);
  }
  bool Start() override { return device_.Start(); }
  bool Pause() override { return device_.Pause(); }
  bool Resume() override { return device_.Start(); }
  void Stop() override { device_.Stop(); }

 private:
  WaveOutDevice device_;
};

class DirectSoundOutput : public Output {
 public:
  bool Open(MediaSource* source, HWND listener) override {
    if (!device_.InitDevice(listener)) {
      std::printf("DirectSound is not available\n");
      return false;
    }
    stream_ = device_.CreateStream(source);
    return stream_ && stream_->SetStreamNotify(listener, kEndOfStreamMessage);
  }
  bool Start() override { return stream_->StartStream(); }
  bool Pause() override { return stream_->State() == kStreamPlaying && stream_->PauseStream(); }
  bool Resume() override { return stream_->ResumeStream(); }
  void Stop() override { stream_->StopStream(); }

 private:
  DirectSoundDevice device_;
  DirectSoundStream* stream_ = nullptr;
};

Output* MakeOutput(bool dsound, HWND listener);

}  // namespace

int main(int argc, char** argv) {
  bool dsound = false;
  long pauseAt = -1, pauseFor = 0, stopAt = -1, linger = 600, seekAt = -1, seekTo = 0;
  const char* path = nullptr;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--dsound") {
      dsound = true;
    } else if (a == "--pause" && i + 1 < argc) {
      std::sscanf(argv[++i], "%ld:%ld", &pauseAt, &pauseFor);
    } else if (a == "--seek" && i + 1 < argc) {
      std::sscanf(argv[++i], "%ld:%ld", &seekAt, &seekTo);
    } else if (a == "--stop" && i + 1 < argc) {
      stopAt = std::atol(argv[++i]);
    } else if (a == "--linger" && i + 1 < argc) {
      linger = std::atol(argv[++i]);
    } else {
      path = argv[i];
    }
  }
  if (!path) {
    std::fprintf(stderr, "usage: playfile [--dsound] [--pause AT:FOR] [--stop AT] [--linger MS] FILE\n");
    return 2;
  }
  HWND listener = MakeListener();
  MediaSource source;
  if (!source.OpenMedia(path)) {
    std::printf("cannot open %s\n", path);
    return 3;
  }
  Output* output = MakeOutput(dsound, listener);
  if (!output || !output->Open(&source, listener)) {
    std::printf("cannot open the output\n");
    delete output;
    return 4;
  }
  const uint32_t playMs = source.info().dataSize / source.info().format.avgBytesPerSec * 1000 + 1000;
  if (!output->Start()) {
    std::printf("cannot start\n");
    delete output;
    return 5;
  }
  bool ok = true;
  if (pauseAt >= 0) {
    PumpFor(static_cast<DWORD>(pauseAt));
    const bool paused = output->Pause() && !output->Pause();
    // A refill that began before the pause may still finish; after that
    // nothing is read while paused.
    PumpFor(100);
    const uint32_t before = source.PositionMs();
    PumpFor(static_cast<DWORD>(pauseFor));
    const uint32_t after = source.PositionMs();
    const bool resumed = output->Resume();
    std::printf("paused at %u ms of the source (%s), %u ms after the pause, %s\n", before,
                paused ? "paused" : "pause failed", after, resumed ? "resumed" : "resume failed");
    ok = paused && resumed && after == before && gEnds == 0;
  }
  if (seekAt >= 0) {
    PumpFor(static_cast<DWORD>(seekAt));
    // Held across both, so no refill slips in between.
    SyncGuard noRead(source.syncMutex());
    const uint32_t before = source.PositionMs();
    const uint32_t result = source.Seek(static_cast<uint32_t>(seekTo));
    std::printf("seek from %u ms to %ld ms: %u\n", before, seekTo, result);
  }
  if (stopAt >= 0) {
    PumpFor(static_cast<DWORD>(stopAt));
    output->Stop();
    PumpFor(static_cast<DWORD>(linger));
    std::printf("ends=%d\n", gEnds);
    delete output;
    return ok && gEnds == 0 ? 0 : 1;
  }
  const DWORD started = GetTickCount();
  PumpUntilEnd(playMs + static_cast<DWORD>(pauseFor) + 5000);
  std::printf("end after %lu ms\n", static_cast<unsigned long>(GetTickCount() - started));
  PumpFor(static_cast<DWORD>(linger));
  std::printf("ends=%d\n", gEnds);
  delete output;
  return ok && gEnds == 1 ? 0 : 1;
}

namespace {
Output* MakeOutput(bool dsound, HWND) {
  if (dsound) return new DirectSoundOutput;
  return new WaveOutput;
}
}  // namespace
