// Started through tools/wine-run --play (CTest, see CMakeLists.txt) with
// CX_CAPTURE naming the capture file: Cantorix.exe plays a file whose every
// second is marked by a short gap of silence (its length tells which second
// it is), in whichever output mode the prefix gives it (WINEDLLOVERRIDES
// dsound= for the wave output device). Once a few marks have reached the
// capture the driver presses PAUSE, reads the playing time Cantorix shows,
// presses SKIPF and PAUSE again. In the capture, the marks before the pause
// say which stream position had reached the device when it paused, the
// marks after it where play went on; a skip of ten seconds from what was
// heard goes on exactly ten seconds later. The figures are printed.
// Run with DirectSound: after a skip while paused, what the wave output
// device delivers under Wine is no clean continuation (a mark comes twice,
// one from before the pause turns up again), so it cannot be measured so.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "common/CommandCodes.h"
#include "tests/audio/AudioTestFiles.h"
#include "tests/support/WinTestSupport.h"

namespace {

constexpr uint32_t kRate = 44100;
constexpr uint32_t kFileSeconds = 40;
// The mark of second s: (10 + 5 s) ms of zeros from s * 1000 ms on; five
// milliseconds apart, so a resampling mixer's blurred edges cannot make one
// mark look like its neighbour.
constexpr double MarkMs(int second) { return 10.0 + 5.0 * second; }
// Zero runs this long and longer may be marks.
constexpr size_t kShortestRun = 1000;

Bytes MarkedTrack() {
  Bytes pcm(static_cast<size_t>(kFileSeconds) * kRate * 4);
  for (size_t f = 0; f < pcm.size() / 4; ++f) {
    const int16_t v = (f / 50) % 2 ? 8000 : -8000;  // a 441 Hz square: no zero bytes
    for (int b = 0; b < 4; b += 2) {
      pcm[f * 4 + b] = static_cast<uint8_t>(v & 0xFF);
      pcm[f * 4 + b + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
    }
  }
  for (int s = 1; s < static_cast<int>(kFileSeconds); ++s) {
    const size_t first = static_cast<size_t>(s) * kRate;
    const size_t frames = static_cast<size_t>(MarkMs(s) * kRate / 1000);
    std::fill(pcm.begin() + static_cast<long>(first * 4), pcm.begin() + static_cast<long>((first + frames) * 4), 0);
  }
  return SimpleWav(kRate, 2, 16, pcm);
}

// Everything the sink wrote, its parts (one per opening of the device) in order.
std::string Captured(const std::string& capture) {
  std::string all = ReadFileToString(capture);
  for (int n = 1; n < 10000; ++n) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%04d", n);
    if (GetFileAttributesA((capture + suffix).c_str()) == INVALID_FILE_ATTRIBUTES) break;
    all += ReadFileToString(capture + suffix);
  }
  return all;
}

struct ZeroRun {
  size_t start, length;
};

std::vector<ZeroRun> ZeroRuns(const std::string& bytes) {
  std::vector<ZeroRun> runs;
  size_t i = 0;
  while (i < bytes.size()) {
    if (bytes[i] != 0) {
      ++i;
      continue;
    }
    size_t j = i;
    while (j < bytes.size() && bytes[j] == 0) ++j;
    if (j - i >= kShortestRun) runs.push_back({i, j - i});
    i = j;
  }
  return runs;
}

struct Mark {
  size_t at;  // capture offset
  int second;
};

// The capture's bytes per millisecond, whatever its format: its first two
// marks are a second apart.
double BytesPerMs(const std::vector<ZeroRun>& runs) {
  // The silence before the device's first sound is no mark.
  const size_t first = !runs.empty() && runs[0].start == 0 ? 1 : 0;
  return runs.size() < first + 2 ? 0 : static_cast<double>(runs[first + 1].start - runs[first].start) / 1000.0;
}

// The marks between `from` and `to`. A zero run whose length is no mark's
// (the few milliseconds of silence a device plays when it starts again) is
// passed over.
std::vector<Mark> MarksBetween(const std::vector<ZeroRun>& runs, size_t from, size_t to, double bytesPerMs) {
  std::vector<Mark> marks;
  if (bytesPerMs <= 0) return marks;
  for (const ZeroRun& r : runs) {
    if (r.start <= from || r.start + r.length >= to) continue;
    const double ms = r.length / bytesPerMs;
    const int second = static_cast<int>(std::lround((ms - 10.0) / 5.0));
    if (second < 1 || second >= static_cast<int>(kFileSeconds) || std::fabs(ms - MarkMs(second)) > 2.5) continue;
    marks.push_back({r.start, second});
  }
  return marks;
}

size_t MarksIn(const std::string& capture) {
  const std::string bytes = Captured(capture);
  const std::vector<ZeroRun> runs = ZeroRuns(bytes);
  return MarksBetween(runs, 0, bytes.size(), BytesPerMs(runs)).size();
}

// Waits until the panel's tick has come twice: the display has been drawn
// from the engine after whatever happened before the call.
bool TwoTicks(const std::function<int()>& blinkImage) {
  for (int i = 0; i < 2; ++i) {
    const int before = blinkImage();
    if (!PumpUntil([&] { return blinkImage() != before; }, 5000)) return false;
  }
  return true;
}

TEST(HeardSkip, PauseShowsAndSkipsFromWhatWasHeard) {
  const char* capture = std::getenv("CX_CAPTURE");
  ASSERT_NE(capture, nullptr) << "run by tools/wine-run --play, see CMakeLists.txt";
  std::string sink = std::string("Z:") + capture;
  for (char& c : sink) c = c == '/' ? '\\' : c;
  const UINT command = RegisterWindowMessageA(kCommandMessageName);
  TempFolder folder;
  const std::string file = folder.Write("marked.wav", MarkedTrack());

  ChildProcess cantorix(ProgramFolder() + "\\Cantorix.exe \"" + file + "\"");
  ASSERT_TRUE(cantorix.started());
  HWND panel = WaitForShownPanel(60000);
  ASSERT_NE(panel, nullptr);
  HWND wave = FindWindowExA(panel, nullptr, "CXWavePlayerClass", nullptr);
  ASSERT_NE(wave, nullptr);
  StatusPoller poller;
  const auto post = [&](uint16_t code) { PostMessageA(panel, command, MakeCommand(kRouteWave, code), 0); };
  const auto image = [&](int id) { return static_cast<int>(GetWindowLongPtrA(GetDlgItem(wave, id), GWLP_USERDATA)); };
  const auto digits = [&](int id) { return (image(id) - 193) * 10 + image(id + 1) - 193; };
  const auto paused = [&] {
    const uint32_t s = poller.Query(panel, kRouteWave);
    return s != 0xFFFFFFFFu && (s & kStatusPlay) && (s & kStatusPause);
  };

  ASSERT_TRUE(PumpUntil([&] { return MarksIn(sink) >= 4; }, 30000)) << "marks reached the sink";
  post(kCmdPause);
  ASSERT_TRUE(PumpUntil(paused, 10000));
  // The display is refreshed on the panel's tick, which also blinks the
  // current entry's button (redrawn by the pause itself too).
  ASSERT_TRUE(TwoTicks([&] { return image(2010); }));
  const int shownSeconds = digits(2034) * 60 + digits(2036);
  const size_t atPause = Captured(sink).size();
  post(kCmdSkipForward);
  post(kCmdPause);
  ASSERT_TRUE(PumpUntil([&] {
    const std::string bytes = Captured(sink);
    const std::vector<ZeroRun> runs = ZeroRuns(bytes);
    return bytes.size() > atPause && MarksBetween(runs, atPause, bytes.size(), BytesPerMs(runs)).size() >= 2;
  }, 30000)) << "play went on after the skip";
  post(kCmdStop);
  PostMessageA(panel, WM_CLOSE, 0, 0);
  EXPECT_EQ(cantorix.Wait(15000), 0);

  const std::string bytes = Captured(sink);
  const std::vector<ZeroRun> runs = ZeroRuns(bytes);
  // Where the sound stopped and where it went on: a paused device may go on
  // writing silence, or nothing.
  size_t stopped = atPause;
  while (stopped > 0 && bytes[stopped - 1] == 0) --stopped;
  size_t resumed = atPause;
  while (resumed < bytes.size() && bytes[resumed] == 0) ++resumed;
  const double perMs = BytesPerMs(runs);
  const std::vector<Mark> before = MarksBetween(runs, 0, stopped, perMs);
  const std::vector<Mark> after = MarksBetween(runs, resumed, bytes.size(), perMs);
  ASSERT_FALSE(before.empty() || after.empty());
  const double heardAtPause = before.back().second * 1000.0 + (stopped - before.back().at) / perMs;
  const double wentOnAt = after.front().second * 1000.0 - (after.front().at - resumed) / perMs;
  const double skipLead = wentOnAt - 10000.0 - heardAtPause;
  const double shownLead = shownSeconds * 1000.0 - heardAtPause;
  std::printf("paused with %.0f ms of the file at the sink; shown %d:%02d (%+.0f ms, less than a second is the "
              "display's rounding down); SKIPF went on at %.0f ms, %+.0f ms off ten seconds on\n",
              heardAtPause, shownSeconds / 60, shownSeconds % 60, shownLead, wentOnAt, skipLead);
  EXPECT_LT(std::fabs(skipLead), 250.0);
  // Whole seconds, rounded down: within a second below what was heard.
  EXPECT_LT(shownLead, 250.0);
  EXPECT_GT(shownLead, -1250.0);
}

}  // namespace
