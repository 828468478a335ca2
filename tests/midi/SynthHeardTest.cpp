// The built-in synthesizer's position is what is heard: run by
// tools/wine-run --play with CX_CAPTURE naming ALSA's file sink (see
// CMakeLists.txt). A MIDI file is silent for two seconds, then strikes a
// note; the moment the note shows up in the capture the sink has reached
// 2 s plus what came after it, and the device's position and how far it has
// rendered are taken then. The wave output hands the samples on unchanged,
// 44.1 kHz 16-bit stereo.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "midi/SynthChoice.h"
#include "midi/SynthDevice.h"
#include "tests/support/WinTestSupport.h"

namespace {

constexpr double kBytesPerMs = 44100 * 4 / 1000.0;
constexpr uint32_t kNoteMs = 2000;

// One track at the default tempo (480 ticks a beat, half a second): a note
// at tick 1920 (2 s), held for an eighth, and the end of the track.
std::string TwoSecondsThenANote() {
  const std::string track("\x8F\x00\x90\x3C\x64\x81\x70\x80\x3C\x00\x00\xFF\x2F\x00", 14);
  return std::string("MThd\0\0\0\6\0\0\0\1\x01\xE0MTrk\0\0\0", 21) + static_cast<char>(track.size()) + track;
}

// The newest part of the capture (the sink starts another one whenever the
// device is opened again).
std::string NewestPart(const std::string& capture) {
  std::string newest = capture;
  for (int n = 1; n < 10000; ++n) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%04d", n);
    if (GetFileAttributesA((capture + suffix).c_str()) == INVALID_FILE_ATTRIBUTES) break;
    newest = capture + suffix;
  }
  return newest;
}

TEST(SynthHeard, ThePositionIsWhatReachesTheDevice) {
  const char* capture = std::getenv("CX_CAPTURE");
  ASSERT_NE(capture, nullptr) << "run by tools/wine-run --play, see CMakeLists.txt";
  std::string sink = std::string("Z:") + capture;
  for (char& c : sink) c = c == '/' ? '\\' : c;
  std::shared_ptr<const cx::synth::SoundFont> font = SharedSoundFont(nullptr);
  ASSERT_NE(font, nullptr) << "the SoundFont beside the test program";
  HWND notify = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  TempFolder folder;
  {
    SynthDevice device(notify, font);
    ASSERT_TRUE(device.Open(folder.Write("note.mid", TwoSecondsThenANote()).c_str()));
    ASSERT_TRUE(device.Play());
    long long onset = -1, length = 0, heard = 0, rendered = 0;
    ASSERT_TRUE(PumpUntil([&] {
      const std::string bytes = ReadFileToString(NewestPart(sink));
      for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const int v = static_cast<int16_t>(static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1]) << 8);
        if (v > 200 || v < -200) {
          heard = device.Position();
          rendered = device.RenderedMs();
          onset = static_cast<long long>(i & ~size_t{3});
          length = static_cast<long long>(bytes.size());
          return true;
        }
      }
      return false;
    }, 30000)) << "the note reached the sink";
    device.Stop();
    const long long atSink = kNoteMs + static_cast<long long>((length - onset) / kBytesPerMs);
    std::printf("synthesizer: at the sink %lld ms; position %lld ms (%+lld), rendered %lld ms (%+lld)\n", atSink,
                heard, heard - atSink, rendered, rendered - atSink);
    EXPECT_LE(heard, rendered);
    EXPECT_LT(std::llabs(heard - atSink), 250) << "sink " << atSink << " position " << heard;
  }
  DestroyWindow(notify);
}

}  // namespace
