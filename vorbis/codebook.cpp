#include "vorbis/codebook.h"

#include <algorithm>
#include <cmath>

namespace cx::vorbis {

namespace {

constexpr uint32_t kMaxEntries = 1u << 20;

// The largest r with r^dims <= entries.
uint32_t Lookup1Values(uint32_t entries, int dims) {
  uint32_t r = static_cast<uint32_t>(std::floor(std::pow(static_cast<double>(entries), 1.0 / dims)));
  auto fits = [&](uint64_t v) {
    uint64_t p = 1;
    for (int i = 0; i < dims; ++i) {
      p *= v;
      if (p > entries) return false;
    }
    return true;
  };
  while (r > 0 && !fits(r)) --r;
  while (fits(uint64_t{r} + 1)) ++r;
  return r;
}

}  // namespace

float UnpackFloat32(uint32_t v) {
  double mantissa = v & 0x1FFFFF;
  if (v & 0x80000000u) mantissa = -mantissa;
  int exponent = static_cast<int>((v & 0x7FE00000u) >> 21);
  return static_cast<float>(std::ldexp(mantissa, exponent - 788));
}

bool Codebook::Parse(BitReader& br, Budget& budget) {
  if (br.Read(24) != 0x564342) return false;
  dimensions_ = static_cast<int>(br.Read(16));
  entries_ = br.Read(24);
  if (br.Exhausted() || dimensions_ == 0 || entries_ == 0 || entries_ > kMaxEntries) return false;
  if (entries_ > budget.entries) return false;
  budget.entries -= entries_;
  std::vector<uint8_t> lengths;
  if (!ReadLengths(br, lengths)) return false;
  if (!BuildCode(lengths)) return false;
  return ReadLookup(br, lengths, budget);
}

bool Codebook::ReadLengths(BitReader& br, std::vector<uint8_t>& lengths) {
  lengths.assign(entries_, 0);
  if (br.Bit()) {  // ordered: runs of entries of rising length
    uint32_t entry = 0;
    int length = static_cast<int>(br.Read(5)) + 1;
    while (entry < entries_) {
      uint32_t count = br.Read(ILog(entries_ - entry));
      if (br.Exhausted() || length > 32 || count > entries_ - entry) return false;
      for (uint32_t i = 0; i < count; ++i) lengths[entry + i] = static_cast<uint8_t>(length);
      entry += count;
      ++length;
    }
    return true;
  }
  const bool sparse = br.Bit();
  if (br.BitsLeft() < entries_) return false;  // each entry takes a bit at least
  for (uint32_t i = 0; i < entries_; ++i) {
    if (!sparse || br.Bit()) lengths[i] = static_cast<uint8_t>(br.Read(5) + 1);
  }
  return !br.Exhausted();
}

bool Codebook::Insert(int32_t node, int depth, int len, uint32_t entry) {
  // Leftmost first: the left subtree takes the codeword when it has a free
  // slot no deeper than len, which minFree says without walking it.
  bool placed = false;
  for (int b = 0; b < 2 && !placed; ++b) {
    int32_t c = nodes_[node].child[b];
    if (c < -1) continue;  // a leaf
    if (c == -1) {
      if (depth + 1 == len) {
        nodes_[node].child[b] = -static_cast<int32_t>(entry) - 2;
        placed = true;
        break;
      }
      nodes_.push_back(Node{});
      c = static_cast<int32_t>(nodes_.size() - 1);
      nodes_[c].minFree = static_cast<uint8_t>(depth + 2);
      nodes_[node].child[b] = c;
    } else if (nodes_[c].minFree > len) {
      continue;
    }
    placed = Insert(c, depth + 1, len, entry);
  }
  int minFree = kNoFree;
  for (int b = 0; b < 2; ++b) {
    const int32_t c = nodes_[node].child[b];
    if (c == -1) minFree = std::min(minFree, depth + 1);
    if (c >= 0) minFree = std::min(minFree, static_cast<int>(nodes_[c].minFree));
  }
  nodes_[node].minFree = static_cast<uint8_t>(minFree);
  return placed;
}

bool Codebook::BuildCode(const std::vector<uint8_t>& lengths) {
  // The code tree, filled leftmost first, which hands each entry the lowest
  // free codeword of its length.
  nodes_.assign(1, Node{});
  nodes_[0].minFree = 1;
  uint32_t used = 0, single = 0;
  for (uint32_t e = 0; e < entries_; ++e) {
    if (lengths[e] == 0) continue;
    ++used;
    single = e;
    if (nodes_[0].minFree > lengths[e] || !Insert(0, 0, lengths[e], e)) return false;  // over-full
  }
  if (used == 0) return false;
  table_.assign(size_t{1} << kTableBits, 0);
  if (used == 1) {
    // A lone entry is coded by a one-bit word; either bit value is taken.
    for (auto& t : table_) t = (1u << 24) | single;
    return true;
  }
  FillTable(0, 0, 0);
  return true;
}

void Codebook::FillTable(int32_t node, int depth, uint32_t reversed) {
  if (depth == kTableBits) {
    table_[reversed] = kLongFlag | static_cast<uint32_t>(node);
    return;
  }
  for (int b = 0; b < 2; ++b) {
    int32_t c = nodes_[node].child[b];
    uint32_t r = reversed | (static_cast<uint32_t>(b) << depth);
    if (c == -1) continue;
    if (c < -1) {
      uint32_t entry = static_cast<uint32_t>(-c - 2);
      int len = depth + 1;
      for (uint32_t hi = 0; hi < (1u << (kTableBits - len)); ++hi) {
        table_[r | (hi << len)] = (static_cast<uint32_t>(len) << 24) | entry;
      }
    } else {
      FillTable(c, depth + 1, r);
    }
  }
}

int Codebook::DecodeLong(BitReader& br, uint32_t node) const {
  if (!br.Skip(kTableBits)) return -1;
  int32_t n = static_cast<int32_t>(node);
  for (int depth = kTableBits; depth < 33; ++depth) {
    int32_t c = nodes_[n].child[br.Read(1)];
    if (br.Exhausted() || c == -1) return -1;
    if (c < -1) return -c - 2;
    n = c;
  }
  return -1;
}

bool Codebook::ReadLookup(BitReader& br, const std::vector<uint8_t>& lengths, Budget& budget) {
  const uint32_t type = br.Read(4);
  if (type == 0) return !br.Exhausted();
  if (type > 2) return false;
  const float minimum = UnpackFloat32(br.Read(32));
  const float delta = UnpackFloat32(br.Read(32));
  const int valueBits = static_cast<int>(br.Read(4)) + 1;
  const bool sequence = br.Bit();
  uint64_t count = type == 1 ? Lookup1Values(entries_, dimensions_)
                             : static_cast<uint64_t>(entries_) * static_cast<uint64_t>(dimensions_);
  if (br.Exhausted() || count == 0 || count * static_cast<uint64_t>(valueBits) > br.BitsLeft()) return false;
  const uint64_t values = static_cast<uint64_t>(entries_) * static_cast<uint64_t>(dimensions_);
  if (values > budget.values) return false;
  budget.values -= values;
  std::vector<uint32_t> multiplicands(count);
  for (auto& m : multiplicands) m = br.Read(valueBits);
  vectors_.assign(static_cast<size_t>(entries_) * dimensions_, 0.0f);
  for (uint32_t e = 0; e < entries_; ++e) {
    if (lengths[e] == 0) continue;
    float last = 0;
    float* v = &vectors_[static_cast<size_t>(e) * dimensions_];
    uint64_t divisor = 1;
    for (int i = 0; i < dimensions_; ++i) {
      uint64_t offset = type == 1 ? (e / divisor) % count : static_cast<uint64_t>(e) * dimensions_ + i;
      float value = static_cast<float>(multiplicands[offset]) * delta + minimum + last;
      v[i] = value;
      if (sequence) last = value;
      if (type == 1) divisor *= count;
      if (divisor > entries_) divisor = uint64_t{entries_} + 1;  // further digits are all zero
    }
  }
  return !br.Exhausted();
}

}  // namespace cx::vorbis
