// Reading the RIFF 'sfbk' file: INFO (the bank's name), sdta (the sample
// data) and pdta (the preset, instrument and sample records).
#include "synth/sound_font.h"

#include <algorithm>
#include <new>

namespace cx::synth {
namespace {

uint32_t Le32(const uint8_t* p) {
  return (uint32_t{p[3]} << 24) | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
}
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
bool IdIs(const uint8_t* p, const char* id) {
  return p[0] == id[0] && p[1] == id[1] && p[2] == id[2] && p[3] == id[3];
}

std::string FixedName(const uint8_t* p, size_t n) {
  size_t length = 0;
  while (length < n && p[length]) ++length;
  return std::string(reinterpret_cast<const char*>(p), length);
}

// A walk over the chunks between two offsets of the source.
struct ChunkWalk {
  codec::ByteSource& source;
  int64_t pos, end;
  uint8_t id[4] = {};
  uint32_t length = 0;
  int64_t body = 0;

  // The next whole chunk; a chunk claiming more than is left is cut short.
  bool Next() {
    uint8_t head[8];
    if (end - pos < 8 || source.ReadAt(pos, head, 8) != 8) return false;
    std::copy(head, head + 4, id);
    body = pos + 8;
    length = static_cast<uint32_t>(std::min<int64_t>(Le32(head + 4), end - body));
    pos = body + length + (length & 1);
    return true;
  }
};

bool ReadBlock(codec::ByteSource& source, int64_t offset, uint32_t length, std::vector<uint8_t>* out) {
  out->resize(length);
  return length == 0 || source.ReadAt(offset, out->data(), length) == length;
}

struct Records {
  const uint8_t* data = nullptr;
  size_t count = 0;  // whole records, the terminal one included
  size_t size = 0;   // bytes a record takes
  const uint8_t* at(size_t i) const { return data + i * size; }
};

// The generators of one bag, with the order rules: the ranges come first,
// the instrument or sample generator ends the zone.
void ReadZone(const Records& gens, size_t first, size_t last, int terminal, Zone* zone) {
  for (size_t g = first; g < last; ++g) {
    const uint8_t* r = gens.at(g);
    const int oper = Le16(r);
    if (oper == kGenKeyRange || oper == kGenVelRange) {
      if (oper == kGenKeyRange) {
        zone->keyLo = std::min<uint8_t>(r[2], 127);
        zone->keyHi = std::min<uint8_t>(r[3], 127);
      } else {
        zone->velLo = std::min<uint8_t>(r[2], 127);
        zone->velHi = std::min<uint8_t>(r[3], 127);
      }
      zone->set |= uint64_t{1} << oper;
      continue;
    }
    if (oper >= kGenCount) continue;
    if (oper == terminal) {
      zone->target = Le16(r + 2);
      return;
    }
    zone->gens[oper] = static_cast<int16_t>(Le16(r + 2));
    zone->set |= uint64_t{1} << oper;
  }
}

// Splits a list of headers into zones through their bags; the first zone
// without the terminal generator is the global zone, any other such zone
// is dropped.
template <typename Owner>
bool ReadZones(const Records& headers, size_t bagField, const Records& bags, const Records& gens,
               int terminal, size_t targetCount, std::vector<Owner>* owners) {
  for (size_t h = 0; h + 1 < headers.count; ++h) {
    size_t bagFirst = Le16(headers.at(h) + bagField);
    size_t bagLast = Le16(headers.at(h + 1) + bagField);
    if (bagLast > bags.count - 1 || bagFirst > bagLast) return false;
    Owner& owner = (*owners)[h];
    for (size_t b = bagFirst; b < bagLast; ++b) {
      const size_t genFirst = Le16(bags.at(b));
      const size_t genLast = Le16(bags.at(b + 1));
      if (genLast > gens.count - 1 || genFirst > genLast) return false;
      Zone zone;
      ReadZone(gens, genFirst, genLast, terminal, &zone);
      if (zone.target >= 0) {
        if (static_cast<size_t>(zone.target) < targetCount) owner.zones.push_back(zone);
      } else if (b == bagFirst) {
        owner.global = zone;
      }
    }
  }
  return true;
}

}  // namespace

std::unique_ptr<SoundFont> SoundFont::FromBytes(const uint8_t* data, size_t size, std::string* error) {
  codec::MemoryByteSource source(std::vector<uint8_t>(data, data + size));
  return Load(source, error);
}

std::unique_ptr<SoundFont> SoundFont::Load(codec::ByteSource& source, std::string* error) {
  auto fail = [error](const char* why) {
    if (error) *error = why;
    return nullptr;
  };
  uint8_t head[12];
  if (source.Size() < 12 || source.ReadAt(0, head, 12) != 12 || !IdIs(head, "RIFF") ||
      !IdIs(head + 8, "sfbk")) {
    return fail("not a SoundFont (no RIFF sfbk header)");
  }
  std::unique_ptr<SoundFont> font(new (std::nothrow) SoundFont);
  if (!font) return fail("out of memory");
  const int64_t end = std::min<int64_t>(source.Size(), int64_t{Le32(head + 4)} + 8);
  ChunkWalk top{source, 12, end};
  std::vector<uint8_t> pdta;
  bool haveSamples = false, havePresets = false;
  while (top.Next()) {
    uint8_t listType[4];
    if (!IdIs(top.id, "LIST") || top.length < 4 || source.ReadAt(top.body, listType, 4) != 4) continue;
    ChunkWalk sub{source, top.body + 4, top.body + top.length};
    if (IdIs(listType, "pdta")) {
      if (!ReadBlock(source, top.body + 4, top.length - 4, &pdta)) return fail("cannot read pdta");
      havePresets = true;
      continue;
    }
    while (sub.Next()) {
      if (IdIs(listType, "INFO") && IdIs(sub.id, "INAM") && sub.length <= 256) {
        std::vector<uint8_t> text;
        if (ReadBlock(source, sub.body, sub.length, &text)) font->name_ = FixedName(text.data(), text.size());
      } else if (IdIs(listType, "sdta") && IdIs(sub.id, "smpl") && !haveSamples) {
        const size_t frames = sub.length / 2;
        if (frames == 0) return fail("empty sample data");
        font->data_.assign(frames + kGuardFrames, 0);
        std::vector<uint8_t> bytes;
        if (!ReadBlock(source, sub.body, static_cast<uint32_t>(frames * 2), &bytes)) {
          return fail("cannot read sample data");
        }
        for (size_t i = 0; i < frames; ++i) font->data_[i] = static_cast<int16_t>(Le16(&bytes[2 * i]));
        font->frames_ = frames;
        haveSamples = true;
      }
    }
  }
  if (!haveSamples) return fail("no sample data (sdta smpl)");
  if (!havePresets) return fail("no preset data (pdta)");
  if (!font->ParsePresetData(pdta.data(), pdta.size(), error)) return nullptr;
  return font;
}

bool SoundFont::ParsePresetData(const uint8_t* pdta, size_t size, std::string* error) {
  static const struct {
    const char* id;
    size_t size;
  } kKinds[9] = {{"phdr", 38}, {"pbag", 4}, {"pmod", 10}, {"pgen", 4}, {"inst", 22},
                 {"ibag", 4},  {"imod", 10}, {"igen", 4}, {"shdr", 46}};
  Records r[9];
  size_t pos = 0;
  while (size - pos >= 8) {
    const uint32_t length = Le32(pdta + pos + 4);
    if (length > size - pos - 8) break;
    for (int k = 0; k < 9; ++k) {
      if (IdIs(pdta + pos, kKinds[k].id) && !r[k].data) {
        r[k] = {pdta + pos + 8, length / kKinds[k].size, kKinds[k].size};
      }
    }
    pos += 8 + length + (length & 1);
    if (pos > size) break;
  }
  auto fail = [error](const char* why) {
    if (error) *error = why;
    return false;
  };
  // Every list ends with a terminal record; modulators may be just that.
  for (int k = 0; k < 9; ++k) {
    if (r[k].count < (k == 2 || k == 6 ? 1u : 2u)) return fail("preset data incomplete or damaged");
  }
  const Records &phdr = r[0], &pbag = r[1], &pgen = r[3], &inst = r[4], &ibag = r[5], &igen = r[7],
                &shdr = r[8];

  samples_.resize(shdr.count - 1);
  for (size_t i = 0; i < samples_.size(); ++i) {
    const uint8_t* p = shdr.at(i);
    SampleHeader& s = samples_[i];
    s.name = FixedName(p, 20);
    s.start = Le32(p + 20);
    s.end = Le32(p + 24);
    s.loopStart = Le32(p + 28);
    s.loopEnd = Le32(p + 32);
    s.sampleRate = Le32(p + 36);
    s.originalPitch = p[40] > 127 ? 60 : p[40];
    s.pitchCorrection = static_cast<int8_t>(p[41]);
    s.type = Le16(p + 44);
    s.usable = !(s.type & 0x8000) && s.start < s.end && s.end <= frames_ && s.sampleRate >= 400 &&
               s.sampleRate <= 200000;
    s.loopValid = s.usable && s.loopStart >= s.start && s.loopStart < s.loopEnd && s.loopEnd <= s.end;
  }

  instruments_.resize(inst.count - 1);
  for (size_t i = 0; i < instruments_.size(); ++i) instruments_[i].name = FixedName(inst.at(i), 20);
  if (!ReadZones(inst, 20, ibag, igen, kGenSampleId, samples_.size(), &instruments_)) {
    return fail("instrument zones out of range");
  }
  presets_.resize(phdr.count - 1);
  for (size_t i = 0; i < presets_.size(); ++i) {
    const uint8_t* p = phdr.at(i);
    presets_[i].name = FixedName(p, 20);
    presets_[i].program = Le16(p + 20) & 0x7F;
    presets_[i].bank = Le16(p + 22) & 0x3FFF;
  }
  if (!ReadZones(phdr, 24, pbag, pgen, kGenInstrument, instruments_.size(), &presets_)) {
    return fail("preset zones out of range");
  }
  for (size_t i = 0; i < presets_.size(); ++i) {
    presetIndex_.emplace_back((uint32_t(presets_[i].bank) << 8) | uint32_t(presets_[i].program),
                              static_cast<uint32_t>(i));
  }
  // Of two presets with one number the first in the file wins.
  std::stable_sort(presetIndex_.begin(), presetIndex_.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  return true;
}

const Preset* SoundFont::FindPreset(int bank, int program) const {
  const uint32_t key = (uint32_t(bank) << 8) | uint32_t(program & 0x7F);
  auto it = std::lower_bound(presetIndex_.begin(), presetIndex_.end(), key,
                             [](const auto& entry, uint32_t k) { return entry.first < k; });
  if (it == presetIndex_.end() || it->first != key) return nullptr;
  return &presets_[it->second];
}

}  // namespace cx::synth
