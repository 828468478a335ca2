#include "synth/midi_song.h"

#include <algorithm>
#include <new>

namespace cx::synth {
namespace {

uint32_t Be32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
uint32_t Le32(const uint8_t* p) {
  return (uint32_t{p[3]} << 24) | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
}
bool IdIs(const uint8_t* p, const char* id) {
  return p[0] == id[0] && p[1] == id[1] && p[2] == id[2] && p[3] == id[3];
}

// Reads within [pos, end) only; a quantity longer than four bytes is damage.
class TrackReader {
 public:
  TrackReader(const uint8_t* begin, const uint8_t* end) : pos_(begin), end_(end) {}
  bool AtEnd() const { return pos_ >= end_; }
  bool Byte(uint8_t* out) {
    if (pos_ >= end_) return false;
    *out = *pos_++;
    return true;
  }
  bool Quantity(uint32_t* out) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      uint8_t b;
      if (!Byte(&b)) return false;
      value = (value << 7) | (b & 0x7F);
      if (!(b & 0x80)) {
        *out = value;
        return true;
      }
    }
    return false;
  }
  bool Skip(uint32_t n, const uint8_t** start) {
    if (static_cast<size_t>(end_ - pos_) < n) return false;
    *start = pos_;
    pos_ += n;
    return true;
  }

 private:
  const uint8_t* pos_;
  const uint8_t* end_;
};

struct TempoChange {
  uint64_t tick;
  uint32_t usPerQuarter;
};

struct RawEvent {
  uint64_t tick;
  uint32_t order;  // keeps the file's order among events at one tick
  MidiEvent event;
};

// Data bytes each channel message type carries (index: type >> 4 - 8).
const int kDataBytes[7] = {2, 2, 2, 2, 1, 1, 2};

// Reads one track; stops quietly at damage, keeping what came before.
void ReadTrack(const uint8_t* begin, const uint8_t* end, std::vector<RawEvent>* events,
               std::vector<TempoChange>* tempos, uint64_t* lastTick) {
  TrackReader in(begin, end);
  uint64_t tick = 0;
  uint8_t running = 0;
  while (!in.AtEnd()) {
    uint32_t delta;
    uint8_t status;
    if (!in.Quantity(&delta) || !in.Byte(&status)) return;
    tick += delta;
    *lastTick = std::max(*lastTick, tick);
    uint8_t first = 0;
    bool haveFirst = false;
    if (status < 0x80) {
      if (!running) return;
      first = status;
      haveFirst = true;
      status = running;
    }
    if (status < 0xF0) {
      running = status;
      MidiEvent e;
      e.status = status;
      if (!haveFirst && !in.Byte(&first)) return;
      e.data1 = first & 0x7F;
      if (kDataBytes[(status >> 4) - 8] == 2) {
        uint8_t second;
        if (!in.Byte(&second)) return;
        e.data2 = second & 0x7F;
      }
      e.tick = tick;
      events->push_back({tick, static_cast<uint32_t>(events->size()), e});
      continue;
    }
    running = 0;
    const uint8_t* body;
    uint32_t length;
    if (status == 0xF0 || status == 0xF7) {
      if (!in.Quantity(&length) || !in.Skip(length, &body)) return;
      continue;
    }
    if (status != 0xFF) return;  // system common and real-time bytes have no place in a file
    uint8_t type;
    if (!in.Byte(&type) || !in.Quantity(&length) || !in.Skip(length, &body)) return;
    if (type == 0x2F) return;
    if (type == 0x51 && length >= 3) {
      const uint32_t us = (uint32_t{body[0]} << 16) | (uint32_t{body[1]} << 8) | body[2];
      if (us > 0) tempos->push_back({tick, us});
    }
  }
}

// The SMF inside a RIFF 'RMID' wrapper, or the bytes as they are.
bool Unwrap(const uint8_t** data, size_t* size) {
  if (*size < 12 || !IdIs(*data, "RIFF") || !IdIs(*data + 8, "RMID")) return true;
  const uint8_t* p = *data + 12;
  const uint8_t* end = *data + std::min<size_t>(*size, size_t{Le32(*data + 4)} + 8);
  while (end - p >= 8) {
    const uint32_t length = Le32(p + 4);
    const size_t room = static_cast<size_t>(end - p - 8);
    if (IdIs(p, "data")) {
      *data = p + 8;
      *size = std::min<size_t>(length, room);
      return true;
    }
    if (length > room) break;
    p += 8 + length + (length & 1);
  }
  return false;
}

}  // namespace

std::unique_ptr<MidiSong> MidiSong::Parse(const uint8_t* data, size_t size, std::string* error) {
  auto fail = [error](const char* why) {
    if (error) *error = why;
    return nullptr;
  };
  if (!data) return fail("no data");
  if (!Unwrap(&data, &size)) return fail("RMID file without a data chunk");
  if (size < 14 || !IdIs(data, "MThd")) return fail("not a MIDI file (no MThd header)");
  const uint32_t headerLength = Be32(data + 4);
  if (headerLength < 6 || headerLength > size - 8) return fail("MThd header too short");
  const int format = (data[8] << 8) | data[9];
  const int declaredTracks = (data[10] << 8) | data[11];
  const uint8_t divHigh = data[12], divLow = data[13];
  if (format > 2) return fail("unknown MIDI file format");

  // Microseconds a tick lasts when the division is in SMPTE frames.
  double smpteUsPerTick = 0;
  int ticksPerQuarter = 0;
  if (divHigh & 0x80) {
    const int fps = 256 - divHigh;
    const double rate = fps == 29 ? 29.97 : fps;
    if ((fps != 24 && fps != 25 && fps != 29 && fps != 30) || divLow == 0) {
      return fail("bad SMPTE division");
    }
    smpteUsPerTick = 1e6 / (rate * divLow);
  } else {
    ticksPerQuarter = (divHigh << 8) | divLow;
    if (ticksPerQuarter == 0) return fail("zero ticks per quarter note");
  }

  std::unique_ptr<MidiSong> song(new (std::nothrow) MidiSong);
  if (!song) return fail("out of memory");
  std::vector<RawEvent> raw;
  std::vector<TempoChange> tempos;
  uint64_t lastTick = 0;
  int tracks = 0;
  size_t pos = 8 + size_t{headerLength};
  while (size - pos >= 8) {
    const uint32_t length = Be32(data + pos + 4);
    const size_t room = size - pos - 8;
    const bool isTrack = IdIs(data + pos, "MTrk");
    const size_t take = std::min<size_t>(length, room);
    if (isTrack && (format != 2 || tracks == 0)) {
      ReadTrack(data + pos + 8, data + pos + 8 + take, &raw, &tempos, &lastTick);
    }
    tracks += isTrack;
    if (length >= room) break;
    pos += 8 + length;
  }
  if (tracks == 0) return fail("no MTrk track");
  (void)declaredTracks;  // the chunks found are what counts

  std::stable_sort(raw.begin(), raw.end(), [](const RawEvent& a, const RawEvent& b) {
    return a.tick < b.tick;
  });
  std::stable_sort(tempos.begin(), tempos.end(), [](const TempoChange& a, const TempoChange& b) {
    return a.tick < b.tick;
  });

  // Walks the tempo map alongside the sorted events.
  size_t nextTempo = 0;
  uint64_t segmentTick = 0;
  double segmentUs = 0;
  double usPerTick = smpteUsPerTick > 0 ? smpteUsPerTick : 500000.0 / ticksPerQuarter;
  auto timeOf = [&](uint64_t tick) {
    if (smpteUsPerTick == 0) {
      while (nextTempo < tempos.size() && tempos[nextTempo].tick <= tick) {
        segmentUs += static_cast<double>(tempos[nextTempo].tick - segmentTick) * usPerTick;
        segmentTick = tempos[nextTempo].tick;
        usPerTick = static_cast<double>(tempos[nextTempo].usPerQuarter) / ticksPerQuarter;
        ++nextTempo;
      }
    }
    return segmentUs + static_cast<double>(tick - segmentTick) * usPerTick;
  };

  song->events_.reserve(raw.size());
  for (const RawEvent& r : raw) {
    MidiEvent e = r.event;
    e.timeUs = timeOf(r.tick);
    song->events_.push_back(e);
  }
  song->lengthUs_ = timeOf(lastTick);
  song->format_ = format;
  song->tracks_ = tracks;
  return song;
}

}  // namespace cx::synth
