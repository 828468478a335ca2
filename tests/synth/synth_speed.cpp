// Rendering speed over a corpus of generated songs, side by side with
// Debian's fluidsynth rendering the same files (reverb and chorus off):
// processor time, best of several runs, for each song and in total.
//   synth_speed SF2 SCRATCH_DIR [RUNS [VOICES]]
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "codec/byte_source.h"
#include "synth/sequencer.h"
#include "tests/synth/smf_writer.h"

namespace {

using cx::synth::test::TrackWriter;

struct Song {
  const char* name;
  int channels;     // melodic channels besides the drums
  int chordNotes;   // notes struck together
  uint32_t stepMs;  // between strikes
  uint32_t holdMs;  // how long each is held
  bool drums;
};

const Song kCorpus[] = {
    {"piano-solo", 1, 2, 200, 300, false},
    {"quartet", 4, 1, 250, 500, false},
    {"band", 8, 2, 250, 400, true},
    {"dense-16", 15, 3, 250, 400, true},
};

std::vector<uint8_t> Make(const Song& s, uint32_t seconds) {
  std::vector<TrackWriter> tracks;
  TrackWriter tempo;
  tempo.Tempo(0, 1000000).End(seconds * 1000);  // 1000 ticks a second
  tracks.push_back(tempo);
  for (int c = 0; c < s.channels; ++c) {
    const int ch = c < 9 ? c : c + 1;
    // Strikes overlap their releases: note-ons and note-offs go in two
    // tracks, which the reader merges by time.
    TrackWriter on(true), off(true);
    on.Program(0, ch, (c * 11 + 3) % 112).Control(0, ch, 7, 90).Control(0, ch, 10, 16 + c * 6);
    uint32_t onAt = 0, offAt = 0;
    for (uint32_t at = c * 17 % s.stepMs; at + s.holdMs < seconds * 1000; at += s.stepMs) {
      const int root = 40 + (at / s.stepMs * 5 + c * 7) % 36;
      for (int n = 0; n < s.chordNotes; ++n) on.NoteOn(n == 0 ? at - onAt : 0, ch, root + n * 4, 90);
      for (int n = 0; n < s.chordNotes; ++n) off.NoteOff(n == 0 ? at + s.holdMs - offAt : 0, ch, root + n * 4);
      onAt = at;
      offAt = at + s.holdMs;
    }
    on.End(0);
    off.End(0);
    tracks.push_back(on);
    tracks.push_back(off);
  }
  if (s.drums) {
    TrackWriter d(true);
    for (uint32_t at = 0; at < seconds * 1000; at += 125) {
      d.NoteOn(at == 0 ? 0 : 125, 9, (at / 125) % 2 ? 42 : ((at / 125) % 4 ? 38 : 36), 110);
    }
    d.End(0);
    tracks.push_back(d);
  }
  return cx::synth::test::Smf(1, 1000, tracks);
}

double ChildCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: synth_speed SF2 SCRATCH_DIR [RUNS [VOICES]]\n");
    return 2;
  }
  const std::string sf2 = argv[1], dir = argv[2];
  const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
  const int voices = argc > 4 ? std::atoi(argv[4]) : cx::synth::Synthesizer::kDefaultVoices;
  auto source = cx::codec::FileByteSource::Open(sf2);
  std::string error;
  std::shared_ptr<const cx::synth::SoundFont> font;
  if (source) font = cx::synth::SoundFont::Load(*source, &error);
  if (!font) {
    std::fprintf(stderr, "cannot load %s: %s\n", sf2.c_str(), error.c_str());
    return 1;
  }
  const uint32_t seconds = 60;
  const bool haveFluid = std::system("command -v fluidsynth >/dev/null 2>&1") == 0;
  std::printf("%-12s %8s %10s %10s %8s %12s %8s\n", "song", "music s", "cxsynth s", "x realtime",
              "voices", "fluidsynth s", "ratio");
  double ours = 0, theirs = 0;
  for (const Song& s : kCorpus) {
    const std::vector<uint8_t> bytes = Make(s, seconds);
    const std::string path = dir + "/" + s.name + ".mid";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::shared_ptr<const cx::synth::MidiSong> song = cx::synth::MidiSong::Parse(bytes.data(), bytes.size(), nullptr);
    if (!song) return 1;
    double best = 1e9;
    int peak = 0;
    std::vector<int16_t> out(2 * 4096);
    for (int r = 0; r < runs; ++r) {
      cx::synth::Sequencer seq(font, song, 44100, voices);
      const std::clock_t start = std::clock();
      while (!seq.AtEnd()) {
        seq.Render(out.data(), 4096);
        peak = std::max(peak, seq.synthesizer().ActiveVoices());
      }
      best = std::min(best, double(std::clock() - start) / CLOCKS_PER_SEC);
    }
    double fluid = 0;
    if (haveFluid) {
      fluid = 1e9;
      const std::string cmd = "fluidsynth -ni -q -R 0 -C 0 -r 44100 -F " + dir + "/fluid.wav " + sf2 + " " +
                              path + " >/dev/null 2>&1";
      for (int r = 0; r < runs; ++r) {
        const double before = ChildCpuSeconds();
        if (std::system(cmd.c_str()) != 0) break;
        fluid = std::min(fluid, ChildCpuSeconds() - before);
      }
    }
    ours += best;
    theirs += fluid;
    std::printf("%-12s %8.1f %10.3f %10.1f %8d %12.3f %8.2f\n", s.name, song->lengthUs() / 1e6, best,
                song->lengthUs() / 1e6 / best, peak, fluid, fluid > 0 ? best / fluid : 0.0);
  }
  std::printf("%-12s %8s %10.3f %10s %8s %12.3f %8.2f\n", "total", "", ours, "", "", theirs,
              theirs > 0 ? ours / theirs : 0.0);
  return 0;
}
