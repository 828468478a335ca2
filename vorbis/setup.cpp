#include "vorbis/setup.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace cx::vorbis {

namespace {

bool HeaderStart(const uint8_t* data, size_t size, uint8_t type) {
  return size >= 7 && data[0] == type && std::memcmp(data + 1, "vorbis", 6) == 0;
}

uint32_t Le32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool ParseFloor0(BitReader& br, const Setup& s, Floor0& f) {
  f.order = static_cast<int>(br.Read(8));
  f.rate = static_cast<int>(br.Read(16));
  f.barkMapSize = static_cast<int>(br.Read(16));
  f.amplitudeBits = static_cast<int>(br.Read(6));
  f.amplitudeOffset = static_cast<int>(br.Read(8));
  const int count = static_cast<int>(br.Read(4)) + 1;
  for (int i = 0; i < count; ++i) {
    int b = static_cast<int>(br.Read(8));
    if (b >= static_cast<int>(s.books.size()) || !s.books[b].hasVectors()) return false;
    f.books.push_back(b);
  }
  return !br.Exhausted() && f.order > 0 && f.rate > 0 && f.barkMapSize > 0;
}

bool ParseFloor1(BitReader& br, const Setup& s, Floor1& f) {
  const int books = static_cast<int>(s.books.size());
  const int partitions = static_cast<int>(br.Read(5));
  int maxClass = -1;
  for (int i = 0; i < partitions; ++i) {
    f.partitionClass.push_back(static_cast<int>(br.Read(4)));
    maxClass = std::max(maxClass, f.partitionClass.back());
  }
  f.classes.resize(maxClass + 1);
  for (auto& c : f.classes) {
    c.dimensions = static_cast<int>(br.Read(3)) + 1;
    c.subclassBits = static_cast<int>(br.Read(2));
    if (c.subclassBits) {
      c.masterbook = static_cast<int>(br.Read(8));
      if (c.masterbook >= books) return false;
    }
    for (int j = 0; j < (1 << c.subclassBits); ++j) {
      c.subBooks[j] = static_cast<int>(br.Read(8)) - 1;
      if (c.subBooks[j] >= books) return false;
    }
  }
  f.multiplier = static_cast<int>(br.Read(2)) + 1;
  const int rangeBits = static_cast<int>(br.Read(4));
  f.x = {0, 1 << rangeBits};
  for (int p : f.partitionClass) {
    for (int j = 0; j < f.classes[p].dimensions; ++j) {
      f.x.push_back(static_cast<int>(br.Read(rangeBits)));
      if (f.x.size() > 65) return false;
    }
  }
  if (br.Exhausted()) return false;
  const int n = static_cast<int>(f.x.size());
  f.sorted.resize(n);
  for (int i = 0; i < n; ++i) f.sorted[i] = i;
  std::stable_sort(f.sorted.begin(), f.sorted.end(), [&](int a, int b) { return f.x[a] < f.x[b]; });
  for (int i = 1; i < n; ++i) {
    if (f.x[f.sorted[i]] == f.x[f.sorted[i - 1]]) return false;  // the curve needs distinct points
  }
  f.lowNeighbor.assign(n, 0);
  f.highNeighbor.assign(n, 1);
  for (int i = 2; i < n; ++i) {
    int lo = 0, hi = 1;
    for (int j = 0; j < i; ++j) {
      if (f.x[j] < f.x[i] && f.x[j] > f.x[lo]) lo = j;
      if (f.x[j] > f.x[i] && f.x[j] < f.x[hi]) hi = j;
    }
    f.lowNeighbor[i] = lo;
    f.highNeighbor[i] = hi;
  }
  return true;
}

bool ParseResidue(BitReader& br, const Setup& s, Residue& r) {
  r.begin = br.Read(24);
  r.end = br.Read(24);
  r.partitionSize = br.Read(24) + 1;
  r.classifications = static_cast<int>(br.Read(6)) + 1;
  r.classbook = static_cast<int>(br.Read(8));
  if (r.classbook >= static_cast<int>(s.books.size())) return false;
  std::vector<int> cascade(r.classifications);
  for (auto& c : cascade) {
    int low = static_cast<int>(br.Read(3));
    int high = br.Bit() ? static_cast<int>(br.Read(5)) : 0;
    c = high * 8 + low;
  }
  r.books.assign(static_cast<size_t>(r.classifications) * 8, -1);
  for (int i = 0; i < r.classifications; ++i) {
    for (int j = 0; j < 8; ++j) {
      if (!(cascade[i] & (1 << j))) continue;
      int b = static_cast<int>(br.Read(8));
      if (b >= static_cast<int>(s.books.size()) || !s.books[b].hasVectors()) return false;
      r.books[i * 8 + j] = b;
    }
  }
  // One classbook entry names the classes of this many partitions.
  if (s.books[r.classbook].dimensions() > 64) return false;
  return !br.Exhausted() && r.begin <= r.end;
}

bool ParseMapping(BitReader& br, const Setup& s, int channels, Mapping& m) {
  if (br.Read(16) != 0) return false;
  const int submaps = br.Bit() ? static_cast<int>(br.Read(4)) + 1 : 1;
  if (br.Bit()) {
    const int steps = static_cast<int>(br.Read(8)) + 1;
    const int bits = ILog(static_cast<uint32_t>(channels - 1));
    for (int i = 0; i < steps; ++i) {
      int mag = static_cast<int>(br.Read(bits)), ang = static_cast<int>(br.Read(bits));
      if (mag == ang || mag >= channels || ang >= channels) return false;
      m.magnitude.push_back(mag);
      m.angle.push_back(ang);
    }
  }
  if (br.Read(2) != 0) return false;
  m.mux.assign(channels, 0);
  if (submaps > 1) {
    for (auto& x : m.mux) {
      x = static_cast<int>(br.Read(4));
      if (x >= submaps) return false;
    }
  }
  for (int i = 0; i < submaps; ++i) {
    br.Read(8);
    int floor = static_cast<int>(br.Read(8)), residue = static_cast<int>(br.Read(8));
    if (floor >= static_cast<int>(s.floors.size()) || residue >= static_cast<int>(s.residues.size())) return false;
    m.submapFloor.push_back(floor);
    m.submapResidue.push_back(residue);
  }
  return !br.Exhausted();
}

}  // namespace

bool ParseIdentification(const uint8_t* data, size_t size, Identification& id) {
  if (!HeaderStart(data, size, 1) || size < 30) return false;
  if (Le32(data + 7) != 0) return false;  // version
  id.channels = data[11];
  id.sampleRate = Le32(data + 12);
  id.bitrateNominal = static_cast<int32_t>(Le32(data + 20));
  const int b0 = data[28] & 15, b1 = data[28] >> 4;
  if (id.channels == 0 || id.sampleRate == 0 || b0 < 6 || b1 > 13 || b0 > b1 || !(data[29] & 1)) return false;
  id.blocksize[0] = 1 << b0;
  id.blocksize[1] = 1 << b1;
  return true;
}

bool ParseComment(const uint8_t* data, size_t size, codec::DecoderTags& tags, std::string& vendor) {
  if (!HeaderStart(data, size, 3)) return false;
  size_t pos = 7;
  auto text = [&](std::string& out) {
    if (size - pos < 4) return false;
    uint32_t len = Le32(data + pos);
    pos += 4;
    if (len > size - pos) return false;
    out.assign(reinterpret_cast<const char*>(data + pos), len);
    pos += len;
    return true;
  };
  if (!text(vendor) || size - pos < 4) return false;
  uint32_t count = Le32(data + pos);
  pos += 4;
  for (uint32_t i = 0; i < count; ++i) {
    std::string c;
    if (!text(c)) return false;
    size_t eq = c.find('=');
    if (eq == std::string::npos) continue;
    std::string key = c.substr(0, eq);
    for (auto& ch : key) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    std::string* field = key == "TITLE" ? &tags.title : key == "ARTIST" ? &tags.artist
                       : key == "ALBUM" ? &tags.album : nullptr;
    if (field && field->empty()) *field = c.substr(eq + 1);
  }
  return true;
}

bool ParseSetup(const uint8_t* data, size_t size, int channels, Setup& s) {
  if (!HeaderStart(data, size, 5)) return false;
  BitReader br(data + 7, size - 7);
  const int books = static_cast<int>(br.Read(8)) + 1;
  s.books.resize(books);
  Codebook::Budget budget;
  for (auto& b : s.books) {
    if (!b.Parse(br, budget)) return false;
  }
  const int times = static_cast<int>(br.Read(6)) + 1;
  for (int i = 0; i < times; ++i) {
    if (br.Read(16) != 0) return false;
  }
  const int floors = static_cast<int>(br.Read(6)) + 1;
  s.floors.resize(floors);
  for (auto& f : s.floors) {
    f.type = static_cast<int>(br.Read(16));
    if (f.type == 0 ? !ParseFloor0(br, s, f.f0) : f.type == 1 ? !ParseFloor1(br, s, f.f1) : true) return false;
  }
  const int residues = static_cast<int>(br.Read(6)) + 1;
  s.residues.resize(residues);
  for (auto& r : s.residues) {
    r.type = static_cast<int>(br.Read(16));
    if (r.type > 2 || !ParseResidue(br, s, r)) return false;
  }
  const int mappings = static_cast<int>(br.Read(6)) + 1;
  s.mappings.resize(mappings);
  for (auto& m : s.mappings) {
    if (!ParseMapping(br, s, channels, m)) return false;
  }
  const int modes = static_cast<int>(br.Read(6)) + 1;
  s.modes.resize(modes);
  for (auto& m : s.modes) {
    m.blockflag = br.Bit();
    if (br.Read(16) != 0 || br.Read(16) != 0) return false;
    m.mapping = static_cast<int>(br.Read(8));
    if (m.mapping >= mappings) return false;
  }
  return br.Bit() && !br.Exhausted();
}

}  // namespace cx::vorbis
