#include "vorbis/residue.h"

#include <algorithm>

namespace cx::vorbis {

namespace {

// Type 0 spreads an entry's values across the partition with a stride;
// returns false at the end of the packet.
bool Partition0(const Codebook& cb, BitReader& br, float* v, int size) {
  const int dims = cb.dimensions();
  const int step = size / dims;
  for (int i = 0; i < step; ++i) {
    const int e = cb.DecodeEntry(br);
    if (e < 0) return false;
    const float* t = cb.Vector(e);
    for (int j = 0; j < dims; ++j) v[i + j * step] += t[j];
  }
  return true;
}

// Type 1 lays the values one after the other.
bool Partition1(const Codebook& cb, BitReader& br, float* v, int size) {
  const int dims = cb.dimensions();
  int i = 0;
  while (i < size) {
    const int e = cb.DecodeEntry(br);
    if (e < 0) return false;
    const float* t = cb.Vector(e);
    const int take = std::min(dims, size - i);
    for (int j = 0; j < take; ++j) v[i + j] += t[j];
    i += take;
  }
  return true;
}

}  // namespace

void DecodeResidue(const Residue& r, const Setup& s, BitReader& br, int channels, const bool* doNotDecode,
                   float* const* vectors, int n, std::vector<int>& classes, std::vector<float>& interleave) {
  const bool interleaved = r.type == 2;
  int decoded = 0;
  for (int c = 0; c < channels; ++c) decoded += doNotDecode[c] ? 0 : 1;
  if (decoded == 0) return;
  const int vectorsCoded = interleaved ? 1 : channels;
  const int64_t actual = interleaved ? static_cast<int64_t>(n) * channels : n;
  const int64_t begin = std::min<int64_t>(r.begin, actual), end = std::min<int64_t>(r.end, actual);
  const int64_t psize = r.partitionSize;
  const int partitions = static_cast<int>((end - begin) / psize);
  if (partitions <= 0) return;
  // Type 2 decodes into one vector, position p being channel p % channels,
  // sample p / channels; it is dealt out to the channels at the end.
  if (interleaved) interleave.assign(static_cast<size_t>(actual), 0.0f);
  const Codebook& classbook = s.books[r.classbook];
  const int perWord = classbook.dimensions();
  classes.assign(static_cast<size_t>(vectorsCoded) * (partitions + perWord), 0);
  auto skip = [&](int c) { return interleaved ? false : doNotDecode[c]; };
  auto passes = [&] {
    for (int pass = 0; pass < 8; ++pass) {
      int p = 0;
      while (p < partitions) {
        if (pass == 0) {
          for (int c = 0; c < vectorsCoded; ++c) {
            if (skip(c)) continue;
            int temp = classbook.DecodeEntry(br);
            if (temp < 0) return;
            int* cls = &classes[static_cast<size_t>(c) * (partitions + perWord) + p];
            for (int i = perWord - 1; i >= 0; --i) {
              cls[i] = temp % r.classifications;
              temp /= r.classifications;
            }
          }
        }
        for (int i = 0; i < perWord && p < partitions; ++i, ++p) {
          for (int c = 0; c < vectorsCoded; ++c) {
            if (skip(c)) continue;
            const int cls = classes[static_cast<size_t>(c) * (partitions + perWord) + p];
            const int book = r.books[cls * 8 + pass];
            if (book < 0) continue;
            const Codebook& cb = s.books[book];
            const int start = static_cast<int>(begin + p * psize);
            bool ok;
            if (interleaved) {
              ok = Partition1(cb, br, interleave.data() + start, static_cast<int>(psize));
            } else if (r.type == 0) {
              ok = Partition0(cb, br, vectors[c] + start, static_cast<int>(psize));
            } else {
              ok = Partition1(cb, br, vectors[c] + start, static_cast<int>(psize));
            }
            if (!ok) return;  // the end of the packet: what was read stands
          }
        }
      }
    }
  };
  passes();
  if (interleaved) {
    const float* in = interleave.data();
    for (int k = 0; k < n; ++k) {
      for (int c = 0; c < channels; ++c) vectors[c][k] += *in++;
    }
  }
}

}  // namespace cx::vorbis
