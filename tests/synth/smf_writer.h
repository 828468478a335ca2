// Builds Standard MIDI Files for the tests: tracks of timed events written
// with or without running status, wrapped as format 0/1 files or RMID.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace cx::synth::test {

class TrackWriter {
 public:
  explicit TrackWriter(bool runningStatus = false) : running_(runningStatus) {}

  TrackWriter& Channel(uint32_t delta, uint8_t status, uint8_t d1, int d2 = -1) {
    Delta(delta);
    if (!running_ || status != last_) bytes_.push_back(status);
    last_ = status;
    bytes_.push_back(d1);
    if (d2 >= 0) bytes_.push_back(static_cast<uint8_t>(d2));
    return *this;
  }
  TrackWriter& NoteOn(uint32_t delta, int ch, int key, int vel) {
    return Channel(delta, static_cast<uint8_t>(0x90 | ch), key, vel);
  }
  TrackWriter& NoteOff(uint32_t delta, int ch, int key) {
    return Channel(delta, static_cast<uint8_t>(0x80 | ch), key, 64);
  }
  TrackWriter& Program(uint32_t delta, int ch, int program) {
    return Channel(delta, static_cast<uint8_t>(0xC0 | ch), program);
  }
  TrackWriter& Control(uint32_t delta, int ch, int number, int value) {
    return Channel(delta, static_cast<uint8_t>(0xB0 | ch), number, value);
  }
  TrackWriter& Tempo(uint32_t delta, uint32_t usPerQuarter) {
    return Meta(delta, 0x51, {uint8_t(usPerQuarter >> 16), uint8_t(usPerQuarter >> 8), uint8_t(usPerQuarter)});
  }
  TrackWriter& Meta(uint32_t delta, uint8_t type, std::vector<uint8_t> body) {
    Delta(delta);
    bytes_.push_back(0xFF);
    bytes_.push_back(type);
    Quantity(static_cast<uint32_t>(body.size()));
    bytes_.insert(bytes_.end(), body.begin(), body.end());
    last_ = 0;
    return *this;
  }
  TrackWriter& Sysex(uint32_t delta, uint8_t kind, std::vector<uint8_t> body) {
    Delta(delta);
    bytes_.push_back(kind);
    Quantity(static_cast<uint32_t>(body.size()));
    bytes_.insert(bytes_.end(), body.begin(), body.end());
    last_ = 0;
    return *this;
  }
  TrackWriter& End(uint32_t delta) { return Meta(delta, 0x2F, {}); }
  TrackWriter& Raw(std::initializer_list<uint8_t> bytes) {
    bytes_.insert(bytes_.end(), bytes);
    return *this;
  }

  std::vector<uint8_t> Chunk() const {
    std::vector<uint8_t> out = {'M', 'T', 'r', 'k'};
    Be32(&out, static_cast<uint32_t>(bytes_.size()));
    out.insert(out.end(), bytes_.begin(), bytes_.end());
    return out;
  }

  static void Be32(std::vector<uint8_t>* out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out->push_back(static_cast<uint8_t>(v >> s));
  }

 private:
  void Delta(uint32_t delta) { Quantity(delta); }
  void Quantity(uint32_t v) {
    uint8_t groups[5];
    int n = 0;
    do {
      groups[n++] = v & 0x7F;
      v >>= 7;
    } while (v);
    while (n--) bytes_.push_back(static_cast<uint8_t>(groups[n] | (n ? 0x80 : 0)));
  }

  bool running_;
  uint8_t last_ = 0;
  std::vector<uint8_t> bytes_;
};

inline std::vector<uint8_t> Smf(int format, uint16_t division, const std::vector<TrackWriter>& tracks) {
  std::vector<uint8_t> out = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, static_cast<uint8_t>(format), 0,
                              static_cast<uint8_t>(tracks.size()), static_cast<uint8_t>(division >> 8),
                              static_cast<uint8_t>(division)};
  for (const TrackWriter& t : tracks) {
    const std::vector<uint8_t> chunk = t.Chunk();
    out.insert(out.end(), chunk.begin(), chunk.end());
  }
  return out;
}

inline std::vector<uint8_t> Rmid(const std::vector<uint8_t>& smf) {
  auto le32 = [](std::vector<uint8_t>* out, uint32_t v) {
    for (int s = 0; s < 32; s += 8) out->push_back(static_cast<uint8_t>(v >> s));
  };
  // An empty INFO list and an odd-sized chunk (padded) before the data,
  // as some writers put them.
  std::vector<uint8_t> body = {'R', 'M', 'I', 'D', 'L', 'I', 'S', 'T'};
  le32(&body, 4);
  body.insert(body.end(), {'I', 'N', 'F', 'O', 'J', 'U', 'N', 'K'});
  le32(&body, 3);
  body.insert(body.end(), {1, 2, 3, 0});
  body.insert(body.end(), {'d', 'a', 't', 'a'});
  le32(&body, static_cast<uint32_t>(smf.size()));
  body.insert(body.end(), smf.begin(), smf.end());
  std::vector<uint8_t> out = {'R', 'I', 'F', 'F'};
  le32(&out, static_cast<uint32_t>(body.size()));
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

}  // namespace cx::synth::test
