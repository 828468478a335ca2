// A Standard MIDI File (format 0, 1, or the first track of 2), bare or
// wrapped in a RIFF 'RMID' file, reduced to what playback needs: the channel
// messages of every track merged by time, each with its time in
// microseconds from the tempo map (as written, tempo factor 100%). Sysex and
// meta events other than tempo and end of track are skipped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace cx::synth {

struct MidiEvent {
  double timeUs = 0;     // from the start of the song
  uint64_t tick = 0;
  uint8_t status = 0;    // 0x80..0xEF: type in the high nibble, channel in the low
  uint8_t data1 = 0;
  uint8_t data2 = 0;     // 0 for program change and channel pressure

  int channel() const { return status & 0x0F; }
  int type() const { return status & 0xF0; }
};

class MidiSong {
 public:
  // Null with a reason in *error when the bytes hold no playable song. A
  // track cut short by the end of the file keeps the events before the cut.
  static std::unique_ptr<MidiSong> Parse(const uint8_t* data, size_t size, std::string* error);

  const std::vector<MidiEvent>& events() const { return events_; }
  // Time of the last event of any kind (end of track included), as written.
  double lengthUs() const { return lengthUs_; }
  int64_t LengthMs() const { return static_cast<int64_t>(lengthUs_ / 1000.0 + 0.5); }
  int format() const { return format_; }
  int trackCount() const { return tracks_; }

 private:
  MidiSong() = default;

  std::vector<MidiEvent> events_;
  double lengthUs_ = 0;
  int format_ = 0;
  int tracks_ = 0;
};

}  // namespace cx::synth
