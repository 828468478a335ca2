#include "vorbis/floor.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace cx::vorbis {

namespace {

// The floor 1 amplitudes: 256 steps of equal ratio up to 1.0, the lowest
// 1.0649863e-07.
struct InverseDb {
  float v[256];
  InverseDb() {
    const double low = std::log(1.0649863e-07);
    for (int i = 0; i < 256; ++i) v[i] = static_cast<float>(std::exp(low * (255 - i) / 255.0));
  }
};
const InverseDb kInverseDb;

void DecodeFloor0(const Floor0& f, const Setup& s, BitReader& br, FloorData& d) {
  d.amplitude = br.Read(f.amplitudeBits);
  if (d.amplitude == 0 || br.Exhausted()) return;
  const uint32_t book = br.Read(ILog(static_cast<uint32_t>(f.books.size())));
  if (br.Exhausted() || book >= f.books.size()) return;
  const Codebook& cb = s.books[f.books[book]];
  d.coeffs.clear();
  float last = 0;
  while (static_cast<int>(d.coeffs.size()) < f.order) {
    int e = cb.DecodeEntry(br);
    if (e < 0) return;
    const float* v = cb.Vector(e);
    for (int j = 0; j < cb.dimensions(); ++j) d.coeffs.push_back(v[j] + last);
    last = d.coeffs.back();
  }
  d.used = true;
}

void DecodeFloor1(const Floor1& f, const Setup& s, BitReader& br, FloorData& d) {
  if (!br.Bit()) return;
  static const int kRange[4] = {256, 128, 86, 64};
  const int rangeBits = ILog(static_cast<uint32_t>(kRange[f.multiplier - 1] - 1));
  d.y[0] = static_cast<int>(br.Read(rangeBits));
  d.y[1] = static_cast<int>(br.Read(rangeBits));
  int offset = 2;
  for (int cls : f.partitionClass) {
    const Floor1::Class& c = f.classes[cls];
    const int csub = (1 << c.subclassBits) - 1;
    int cval = 0;
    if (c.subclassBits) {
      cval = s.books[c.masterbook].DecodeEntry(br);
      if (cval < 0) return;
    }
    for (int j = 0; j < c.dimensions; ++j) {
      const int book = c.subBooks[cval & csub];
      cval >>= c.subclassBits;
      int v = 0;
      if (book >= 0) {
        v = s.books[book].DecodeEntry(br);
        if (v < 0) return;
      }
      d.y[offset++] = v;
    }
  }
  d.used = !br.Exhausted();
}

int RenderPoint(int x0, int y0, int x1, int y1, int x) {
  const int dy = y1 - y0, adx = x1 - x0;
  const int off = std::abs(dy) * (x - x0) / adx;
  return dy < 0 ? y0 - off : y0 + off;
}

// Multiplies spectrum[x0, min(x1, n)) along the line from (x0, y0) to (x1, y1).
void RenderLine(int x0, int y0, int x1, int y1, int n, float* spectrum) {
  const int dy = y1 - y0, adx = x1 - x0;
  const int base = dy / adx;
  const int sy = dy < 0 ? base - 1 : base + 1;
  const int ady = std::abs(dy) - std::abs(base) * adx;
  int y = y0, err = 0;
  const int end = std::min(x1, n);
  if (x0 >= end) return;
  spectrum[x0] *= kInverseDb.v[std::clamp(y, 0, 255)];
  for (int x = x0 + 1; x < end; ++x) {
    err += ady;
    if (err >= adx) {
      err -= adx;
      y += sy;
    } else {
      y += base;
    }
    spectrum[x] *= kInverseDb.v[std::clamp(y, 0, 255)];
  }
}

void ApplyFloor1(const Floor1& f, const FloorData& d, int n, float* spectrum) {
  static const int kRange[4] = {256, 128, 86, 64};
  const int range = kRange[f.multiplier - 1];
  const int count = static_cast<int>(f.x.size());
  int finalY[65];
  bool step2[65];
  finalY[0] = d.y[0];
  finalY[1] = d.y[1];
  step2[0] = step2[1] = true;
  for (int i = 2; i < count; ++i) {
    const int lo = f.lowNeighbor[i], hi = f.highNeighbor[i];
    const int predicted = RenderPoint(f.x[lo], finalY[lo], f.x[hi], finalY[hi], f.x[i]);
    const int val = d.y[i];
    const int highroom = range - predicted, lowroom = predicted;
    const int room = (highroom < lowroom ? highroom : lowroom) * 2;
    if (val != 0) {
      step2[lo] = step2[hi] = step2[i] = true;
      if (val >= room) {
        finalY[i] = highroom > lowroom ? val - lowroom + predicted : predicted - val + highroom - 1;
      } else {
        finalY[i] = (val & 1) ? predicted - (val + 1) / 2 : predicted + val / 2;
      }
    } else {
      step2[i] = false;
      finalY[i] = predicted;
    }
  }
  int lx = 0, ly = std::clamp(finalY[f.sorted[0]] * f.multiplier, 0, 255);
  int hx = 0, hy = ly;
  for (int k = 1; k < count; ++k) {
    const int i = f.sorted[k];
    if (!step2[i]) continue;
    hy = std::clamp(finalY[i] * f.multiplier, 0, 255);
    hx = f.x[i];
    RenderLine(lx, ly, hx, hy, n, spectrum);
    lx = hx;
    ly = hy;
  }
  if (hx < n) RenderLine(hx, hy, n, hy, n, spectrum);
}

float Bark(double x) {
  return static_cast<float>(13.1 * std::atan(0.00074 * x) + 2.24 * std::atan(0.0000000185 * x * x) + 0.0001 * x);
}

void ApplyFloor0(const Floor0& f, const FloorData& d, int n, float* spectrum) {
  const double pi = 3.14159265358979323846;
  const float barkNyquist = Bark(0.5 * f.rate);
  std::vector<double> cosCoeff(d.coeffs.size());
  for (size_t j = 0; j < d.coeffs.size(); ++j) cosCoeff[j] = std::cos(d.coeffs[j]);
  const double scale = static_cast<double>(d.amplitude) * f.amplitudeOffset /
                       static_cast<double>((uint64_t{1} << f.amplitudeBits) - 1);
  int i = 0;
  while (i < n) {
    int map = static_cast<int>(std::floor(Bark(static_cast<double>(f.rate) * i / (2.0 * n)) * f.barkMapSize / barkNyquist));
    map = std::min(map, f.barkMapSize - 1);
    const double cw = std::cos(pi * map / f.barkMapSize);
    double p, q;
    const int order = f.order;
    if (order & 1) {
      p = 1 - cw * cw;
      q = 0.25;
      for (int j = 0; j * 2 + 1 < order; ++j) p *= 4 * (cosCoeff[2 * j + 1] - cw) * (cosCoeff[2 * j + 1] - cw);
      for (int j = 0; j * 2 < order; ++j) q *= 4 * (cosCoeff[2 * j] - cw) * (cosCoeff[2 * j] - cw);
    } else {
      p = (1 - cw) / 2;
      q = (1 + cw) / 2;
      for (int j = 0; j * 2 + 1 < order; ++j) p *= 4 * (cosCoeff[2 * j + 1] - cw) * (cosCoeff[2 * j + 1] - cw);
      for (int j = 0; j * 2 < order; ++j) q *= 4 * (cosCoeff[2 * j] - cw) * (cosCoeff[2 * j] - cw);
    }
    const double value = std::exp(0.11512925 * (scale / std::sqrt(p + q) - f.amplitudeOffset));
    // Every bin that maps to the same Bark band takes the same value.
    int iterMap = map;
    while (i < n && iterMap == map) {
      spectrum[i] *= static_cast<float>(value);
      ++i;
      if (i < n) {
        iterMap = std::min(static_cast<int>(std::floor(Bark(static_cast<double>(f.rate) * i / (2.0 * n)) *
                                                       f.barkMapSize / barkNyquist)),
                           f.barkMapSize - 1);
      }
    }
  }
}

}  // namespace

void DecodeFloor(const Floor& floor, const Setup& setup, BitReader& br, FloorData& data) {
  data.used = false;
  if (floor.type == 0) {
    DecodeFloor0(floor.f0, setup, br, data);
  } else {
    DecodeFloor1(floor.f1, setup, br, data);
  }
}

void ApplyFloor(const Floor& floor, const FloorData& data, int n, float* spectrum) {
  if (floor.type == 0) {
    ApplyFloor0(floor.f0, data, n, spectrum);
  } else {
    ApplyFloor1(floor.f1, data, n, spectrum);
  }
}

}  // namespace cx::vorbis
