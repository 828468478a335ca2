// How far the wave player's playing time is from what reaches the sound
// device, measured in what the device got: run by tools/wine-run --play
// with CX_CAPTURE naming the capture file (ALSA's file sink), once per
// output mode (CX_OUTPUT "waveout" or "dsound"). The file played is silence
// with three clicks at known times; the moment a click shows up in the
// capture, the sink has reached its time plus whatever came after it, and
// the engine's playing time and the source's read position are taken then.
// Silence is zero bytes in any format the sink is given, and the distance
// between two clicks gives the capture's bytes per second, so DirectSound's
// mixing (its own rate and sample format) does not matter.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "media/PlayList.h"
#include "tests/audio/AudioTestFiles.h"
#include "tests/support/WinTestSupport.h"
#include "waveplayer/WavePlayerEngine.h"

namespace {

constexpr uint32_t kRate = 44100;
constexpr uint32_t kClicksMs[] = {2500, 5500, 8500};
constexpr uint32_t kClickLengthMs = 300;
constexpr uint32_t kFileMs = 10000;
// A run of zero bytes this long (a twentieth of a second of 16-bit stereo
// at 44.1 kHz and more of any other format) is silence between clicks.
constexpr size_t kQuietRun = 8820;

WavePlayerEngine* gEngine = nullptr;

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kEndOfStreamMessage && gEngine != nullptr) {
    gEngine->OnStreamEnd(static_cast<uint32_t>(wParam));
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

Bytes ClickTrack() {
  Bytes pcm(static_cast<size_t>(kFileMs) * kRate / 1000 * 4, 0);
  for (uint32_t at : kClicksMs) {
    const size_t first = static_cast<size_t>(at) * kRate / 1000;
    const size_t frames = static_cast<size_t>(kClickLengthMs) * kRate / 1000;
    for (size_t f = first; f < first + frames; ++f) {
      const int16_t v = (f / 50) % 2 ? 8000 : -8000;  // a 441 Hz square
      for (int c = 0; c < 2; ++c) {
        pcm[f * 4 + c * 2] = static_cast<uint8_t>(v & 0xFF);
        pcm[f * 4 + c * 2 + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
      }
    }
  }
  return SimpleWav(kRate, 2, 16, pcm);
}

// The newest part of the capture: ALSA's file sink starts FILE.0001,
// FILE.0002, ... whenever the device is opened again.
std::string NewestPart(const std::string& capture) {
  std::string newest = capture;
  for (int n = 1; n < 10000; ++n) {
    char name[16];
    std::snprintf(name, sizeof name, ".%04d", n);
    if (GetFileAttributesA((capture + name).c_str()) == INVALID_FILE_ATTRIBUTES) break;
    newest = capture + name;
  }
  return newest;
}

// Follows the capture as it grows and finds where each click begins.
class ClickScanner {
 public:
  explicit ClickScanner(std::string capture) : capture_(std::move(capture)) {}
  // Reads what has arrived; returns the capture's length in bytes.
  uint64_t Scan() {
    const std::string part = NewestPart(capture_);
    if (part != part_) {
      part_ = part;
      scanned_ = 0;
      zeros_ = kQuietRun;  // the device starts in silence
      onsets_.clear();
    }
    HANDLE file = CreateFileA(part_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return scanned_;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(scanned_);
    SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
    std::vector<uint8_t> block(1 << 16);
    DWORD got = 0;
    while (ReadFile(file, block.data(), static_cast<DWORD>(block.size()), &got, nullptr) && got > 0) {
      for (DWORD i = 0; i < got; ++i) {
        if (block[i] == 0) {
          ++zeros_;
          continue;
        }
        if (zeros_ >= kQuietRun) onsets_.push_back(scanned_ + i);
        zeros_ = 0;
      }
      scanned_ += got;
    }
    CloseHandle(file);
    return scanned_;
  }
  const std::vector<uint64_t>& onsets() const { return onsets_; }

 private:
  std::string capture_;
  std::string part_;
  uint64_t scanned_ = 0;
  size_t zeros_ = 0;
  std::vector<uint64_t> onsets_;
};

TEST(HeardTime, ThePlayingTimeIsWhatReachesTheDevice) {
  const char* capture = std::getenv("CX_CAPTURE");
  const char* output = std::getenv("CX_OUTPUT");
  ASSERT_TRUE(capture != nullptr && output != nullptr) << "run by tools/wine-run --play, see CMakeLists.txt";
  const bool ds = std::string(output) == "dsound";
  std::string windowsCapture = std::string("Z:") + capture;
  for (char& c : windowsCapture) c = c == '/' ? '\\' : c;

  WNDCLASSA wc = {};
  wc.lpfnWndProc = HostProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "CXHeardTimeHost";
  RegisterClassA(&wc);
  // Message-only: nothing of it needs the desktop.
  HWND host = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(host, nullptr);
  TempFolder folder;
  PlayList list;
  list.SetNotifyWindow(host);
  list.Create(kWavePlayerKinds);
  {
    WavePlayerEngine engine(&list, host);
    gEngine = &engine;
    ASSERT_TRUE(engine.InitOutput(host, ds));
    ASSERT_EQ(engine.directSound(), ds) << "the output this run is for could not be set up";
    engine.AddFile(folder.Write("clicks.wav", ClickTrack()).c_str());

    ClickScanner scanner(windowsCapture);
    engine.PlayOrResume();
    ASSERT_TRUE(engine.outputPlaying());
    struct Reading {
      int64_t sinkMs, heardMs, readMs;
    };
    std::vector<Reading> readings;
    size_t seen = 1;
    const bool all = PumpUntil([&] {
      const uint64_t length = scanner.Scan();
      const std::vector<uint64_t>& onsets = scanner.onsets();
      if (onsets.size() > seen && onsets.size() <= 3) {
        // Taken at once: the engine's time and the source's read position.
        const int64_t heard = engine.HeardMs();
        const int64_t read = engine.source() != nullptr ? engine.source()->PositionMs() : -1;
        const size_t k = onsets.size() - 1;
        const double bytesPerMs = static_cast<double>(onsets[k] - onsets[k - 1]) / (kClicksMs[k] - kClicksMs[k - 1]);
        const int64_t sink = kClicksMs[k] + static_cast<int64_t>((length - onsets[k]) / bytesPerMs);
        readings.push_back({sink, heard, read});
        seen = onsets.size();
      }
      return seen >= 3;
    }, 30000);
    engine.StopPlayback();
    gEngine = nullptr;
    ASSERT_TRUE(all) << "clicks found in the capture: " << scanner.onsets().size();
    for (const Reading& r : readings) {
      std::printf("%s: at the sink %lld ms; playing time %lld ms (%+lld), read position %lld ms (%+lld)\n",
                  output, static_cast<long long>(r.sinkMs), static_cast<long long>(r.heardMs),
                  static_cast<long long>(r.heardMs - r.sinkMs), static_cast<long long>(r.readMs),
                  static_cast<long long>(r.readMs - r.sinkMs));
      // What the device holds is up to two seconds; the time shown is what
      // is heard, within the sink's own buffering and this loop's polling.
      EXPECT_LE(r.heardMs, r.readMs);
      EXPECT_LT(std::llabs(r.heardMs - r.sinkMs), 250) << "sink " << r.sinkMs << " heard " << r.heardMs;
    }
  }
  DestroyWindow(host);
}

}  // namespace
