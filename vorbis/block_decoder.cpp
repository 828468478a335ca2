#include "vorbis/block_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "vorbis/residue.h"

namespace cx::vorbis {

void BlockDecoder::Init(const Identification& id, const Setup* setup) {
  id_ = id;
  setup_ = setup;
  for (int i = 0; i < 2; ++i) {
    const int n = id.blocksize[i];
    if (!imdct_[i] || imdct_[i]->size() != n) imdct_[i] = std::make_unique<Imdct>(n);
    const int half = n / 2;
    slope_[i].resize(half);
    for (int k = 0; k < half; ++k) {
      const double s = std::sin((k + 0.5) / half * 3.14159265358979323846 / 2);
      slope_[i][k] = static_cast<float>(std::sin(3.14159265358979323846 / 2 * s * s));
    }
  }
  const int ch = id.channels, big = id.blocksize[1];
  spectrum_.assign(ch, std::vector<float>(big / 2));
  saved_.assign(ch, std::vector<float>(big / 2));
  output_.assign(ch, std::vector<float>(big / 2));
  block_.assign(big, 0.0f);
  floors_.assign(ch, FloorData{});
  havePrevious_ = false;
}

int BlockDecoder::PacketBlockSize(const Identification& id, const Setup& setup, const uint8_t* data, size_t size) {
  BitReader br(data, size);
  if (br.Bit()) return 0;
  const uint32_t mode = br.Read(ILog(static_cast<uint32_t>(setup.modes.size() - 1)));
  if (br.Exhausted() || mode >= setup.modes.size()) return 0;
  return id.blocksize[setup.modes[mode].blockflag ? 1 : 0];
}

void BlockDecoder::Window(float* buf, int n, int leftN, int rightN) const {
  const int lws = n / 4 - leftN / 4, lwe = n / 4 + leftN / 4;
  const int rws = 3 * n / 4 - rightN / 4, rwe = 3 * n / 4 + rightN / 4;
  const std::vector<float>& ls = Slope(leftN);
  const std::vector<float>& rs = Slope(rightN);
  std::fill(buf, buf + lws, 0.0f);
  for (int i = lws; i < lwe; ++i) buf[i] *= ls[i - lws];
  const int rh = rightN / 2;
  for (int i = rws; i < rwe; ++i) buf[i] *= rs[rh - 1 - (i - rws)];
  std::fill(buf + rwe, buf + n, 0.0f);
}

int BlockDecoder::Decode(const uint8_t* data, size_t size) {
  const Setup& s = *setup_;
  BitReader br(data, size);
  if (br.Bit()) return -1;
  const uint32_t modeNumber = br.Read(ILog(static_cast<uint32_t>(s.modes.size() - 1)));
  if (br.Exhausted() || modeNumber >= s.modes.size()) return -1;
  const Mode& mode = s.modes[modeNumber];
  const int n = id_.blocksize[mode.blockflag ? 1 : 0];
  int leftN = n, rightN = n;
  if (mode.blockflag) {
    leftN = br.Bit() ? n : id_.blocksize[0];
    rightN = br.Bit() ? n : id_.blocksize[0];
  } else {
    leftN = rightN = id_.blocksize[0];
  }
  if (br.Exhausted()) return -1;
  const Mapping& map = s.mappings[mode.mapping];
  const int ch = id_.channels, half = n / 2;

  // Floors first: they say which channels carry anything.
  bool silent[256];
  for (int c = 0; c < ch; ++c) {
    const int submap = map.mux[c];
    DecodeFloor(s.floors[map.submapFloor[submap]], s, br, floors_[c]);
    silent[c] = !floors_[c].used;
  }
  // A coupled pair is decoded when either side has energy.
  bool doNotDecode[256];
  std::copy(silent, silent + ch, doNotDecode);
  for (size_t i = 0; i < map.magnitude.size(); ++i) {
    const int m = map.magnitude[i], a = map.angle[i];
    if (!doNotDecode[m] || !doNotDecode[a]) doNotDecode[m] = doNotDecode[a] = false;
  }
  for (int c = 0; c < ch; ++c) std::fill(spectrum_[c].begin(), spectrum_[c].begin() + half, 0.0f);
  float* vectors[256];
  bool skip[256];
  for (size_t sub = 0; sub < map.submapResidue.size(); ++sub) {
    int count = 0;
    for (int c = 0; c < ch; ++c) {
      if (map.mux[c] != static_cast<int>(sub)) continue;
      vectors[count] = spectrum_[c].data();
      skip[count] = doNotDecode[c];
      ++count;
    }
    if (count == 0) continue;
    DecodeResidue(s.residues[map.submapResidue[sub]], s, br, count, skip, vectors, half, classes_, interleave_);
  }
  for (size_t i = map.magnitude.size(); i-- > 0;) {
    float* mag = spectrum_[map.magnitude[i]].data();
    float* ang = spectrum_[map.angle[i]].data();
    // Magnitude and angle back to the two channels; written as selects
    // (no branches on the signal), with s the angle signed by the magnitude.
    for (int k = 0; k < half; ++k) {
      const float m = mag[k], a = ang[k];
      const float s = m > 0 ? -a : a;
      mag[k] = a > 0 ? m : m - s;
      ang[k] = a > 0 ? m + s : m;
    }
  }

  const int prevN = previousN_;
  const int produced = havePrevious_ ? prevN / 4 + n / 4 : 0;
  float* block = block_.data();
  for (int c = 0; c < ch; ++c) {
    if (silent[c]) {
      std::fill(block, block + n, 0.0f);
    } else {
      ApplyFloor(s.floors[map.submapFloor[map.mux[c]]], floors_[c], half, spectrum_[c].data());
      imdct_[mode.blockflag ? 1 : 0]->Transform(spectrum_[c].data(), block);
      Window(block, n, leftN, rightN);
    }
    if (havePrevious_) {
      // Output runs from the previous block's centre to this one's; the
      // previous right half starts at the first output sample, this
      // block's left half at prevN/4 - n/4 before it.
      float* out = output_[c].data();
      const float* prev = saved_[c].data();
      const int shift = n / 4 - prevN / 4;  // index into block for t = 0
      const int both = std::max(0, -shift), prevEnd = std::min(produced, prevN / 2);
      int t = 0;
      for (; t < both; ++t) out[t] = prev[t];
      for (; t < prevEnd; ++t) out[t] = prev[t] + block[t + shift];
      for (; t < produced; ++t) out[t] = block[t + shift];
    }
    std::memcpy(saved_[c].data(), block + half, sizeof(float) * half);
  }
  havePrevious_ = true;
  previousN_ = n;
  return produced;
}

}  // namespace cx::vorbis
