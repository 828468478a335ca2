#include "mpeg/layer3.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "mpeg/standard_tables.h"

namespace cx::mpeg {
namespace {

constexpr int kPretab[22] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 3, 3, 3, 2, 0};
constexpr int kSlen1[16] = {0, 0, 0, 0, 3, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4};
constexpr int kSlen2[16] = {0, 1, 2, 3, 0, 1, 2, 3, 1, 2, 3, 1, 2, 3, 2, 3};
constexpr int kScfsiGroups[5] = {0, 6, 11, 16, 21};
constexpr double kAliasCoefficients[8] = {-0.6, -0.535, -0.33, -0.185, -0.095, -0.041, -0.0142, -0.0037};
constexpr int kPow43Size = 8208;  // largest magnitude: 15 + 2^13 - 1

// Requantisation tables: |x|^(4/3) and 2^(k/4) for k = -256..121.
struct PowerTables {
  float pow43[kPow43Size];
  double pow2Quarter[378];
  float aliasCs[8];
  float aliasCa[8];
  PowerTables() {
    for (int x = 0; x < kPow43Size; ++x) pow43[x] = static_cast<float>(std::pow(static_cast<double>(x), 4.0 / 3.0));
    for (int k = -256; k < 122; ++k) pow2Quarter[k + 256] = std::pow(2.0, k / 4.0);
    for (int i = 0; i < 8; ++i) {
      double c = kAliasCoefficients[i];
      aliasCs[i] = static_cast<float>(1.0 / std::sqrt(1.0 + c * c));
      aliasCa[i] = static_cast<float>(c / std::sqrt(1.0 + c * c));
    }
  }
};

const PowerTables& Powers() {
  static const PowerTables tables;
  return tables;
}

inline double Pow2Quarter(int k) {
  if (k < -256) k = -256;
  if (k > 121) k = 121;
  return Powers().pow2Quarter[k + 256];
}

}  // namespace

Layer3Decoder::Layer3Decoder() : huffman_(LoadHuffmanTables()) {
  Reset();
  std::memset(scale_, 0, sizeof scale_);
}

void Layer3Decoder::Reset() {
  reservoir_.Reset();
  frameStart_ = 0;
}

// ---------------------------------------------------------------- side info

bool Layer3Decoder::ReadSideInfo(BitReader& in, const FrameHeader& h) {
  const int channels = h.channels;
  const int granules = h.id ? 2 : 1;
  SideInfo& s = side_;
  if (h.id) {
    s.main_data_begin = in.GetBits(9);
    s.private_bits = in.GetBits(channels == 1 ? 5 : 3);
    for (int ch = 0; ch < channels; ++ch) {
      for (int g = 0; g < 4; ++g) s.scfsi[ch][g] = in.GetBits(1);
    }
  } else {
    s.main_data_begin = in.GetBits(8);
    s.private_bits = in.GetBits(channels == 1 ? 1 : 2);
  }
  bool ok = true;
  for (int gr = 0; gr < granules; ++gr) {
    for (int ch = 0; ch < channels; ++ch) {
      GranuleInfo& g = s.granule[gr][ch];
      g.part2_3_length = in.GetBits(12);
      g.big_values = in.GetBits(9);
      g.global_gain = in.GetBits(8);
      g.scalefac_compress = in.GetBits(h.id ? 4 : 9);
      g.window_switching_flag = in.GetBits(1);
      if (g.window_switching_flag) {
        g.block_type = in.GetBits(2);
        g.mixed_block_flag = in.GetBits(1);
        g.table_select[0] = in.GetBits(5);
        g.table_select[1] = in.GetBits(5);
        g.table_select[2] = 0;
        for (int w = 0; w < 3; ++w) g.subblock_gain[w] = in.GetBits(3);
        if (g.block_type == 0) ok = false;  // not allowed with window switching
        g.region0_count = (g.block_type == 2 && !g.mixed_block_flag) ? 8 : 7;
        g.region1_count = 20 - g.region0_count;
      } else {
        g.block_type = 0;
        g.mixed_block_flag = 0;
        for (int r = 0; r < 3; ++r) g.table_select[r] = in.GetBits(5);
        for (int w = 0; w < 3; ++w) g.subblock_gain[w] = 0;
        g.region0_count = in.GetBits(4);
        g.region1_count = in.GetBits(3);
      }
      g.preflag = h.id ? in.GetBits(1) : 0;
      g.scalefac_scale = in.GetBits(1);
      g.count1table_select = in.GetBits(1);
    }
  }
  return ok && !in.EndOfFile();
}

// ---------------------------------------------------------------- reservoir

bool Layer3Decoder::FillReservoir(BitReader& in, const FrameHeader& h) {
  const int bytes = MainDataBytes(h);
  uint8_t chunk[2048];
  for (int done = 0; done < bytes;) {
    int n = std::min<int>(bytes - done, static_cast<int>(sizeof chunk));
    in.GetBytes(chunk, n);
    for (int i = 0; i < n; ++i) reservoir_.PutByte(chunk[i]);
    done += n;
  }
  // The previous frame's granules end mid-byte; main data starts on a byte.
  uint64_t mainDataEnd = (reservoir_.TotalBits() + 7) / 8;
  reservoir_.SkipBits(mainDataEnd * 8 - reservoir_.TotalBits());
  int64_t discard = static_cast<int64_t>(frameStart_) - static_cast<int64_t>(side_.main_data_begin) -
                    static_cast<int64_t>(mainDataEnd);
  frameStart_ += static_cast<uint64_t>(bytes);
  // Negative: the data this frame points back to never reached the
  // reservoir (start of a cut stream, or a seek without preload).
  if (discard < 0) return false;
  reservoir_.SkipBits(static_cast<uint64_t>(discard) * 8);
  return true;
}

bool Layer3Decoder::PreloadFrame(BitReader& in, const FrameHeader& h) {
  if (!ReadSideInfo(in, h)) return false;
  const int bytes = MainDataBytes(h);
  uint8_t chunk[2048];
  for (int done = 0; done < bytes;) {
    int n = std::min<int>(bytes - done, static_cast<int>(sizeof chunk));
    in.GetBytes(chunk, n);
    for (int i = 0; i < n; ++i) reservoir_.PutByte(chunk[i]);
    done += n;
  }
  frameStart_ += static_cast<uint64_t>(bytes);
  return !in.EndOfFile();
}

// ---------------------------------------------------------------- scale factors

void Layer3Decoder::ReadScaleFactorsMpeg1(int gr, int ch) {
  const GranuleInfo& g = side_.granule[gr][ch];
  ScaleFactors& sf = scale_[ch];
  const int slen1 = kSlen1[g.scalefac_compress & 15];
  const int slen2 = kSlen2[g.scalefac_compress & 15];
  for (int b = 0; b < 23; ++b) sf.intensityLimitLong[b] = 7;
  for (int b = 0; b < 13; ++b) sf.intensityLimitShort[b] = 7;
  if (g.IsShort()) {
    int sfb = 0;
    if (g.mixed_block_flag) {
      for (; sfb < 8; ++sfb) sf.longBands[sfb] = static_cast<int>(reservoir_.GetBits(slen1));
      sfb = 3;
    }
    for (; sfb < 12; ++sfb) {
      int bits = sfb < 6 ? slen1 : slen2;
      for (int w = 0; w < 3; ++w) sf.shortBands[w][sfb] = static_cast<int>(reservoir_.GetBits(bits));
    }
    for (int w = 0; w < 3; ++w) sf.shortBands[w][12] = 0;
    return;
  }
  for (int group = 0; group < 4; ++group) {
    // In the second granule a set scfsi flag keeps the first granule's values.
    if (gr == 1 && side_.scfsi[ch][group]) continue;
    int bits = group < 2 ? slen1 : slen2;
    for (int sfb = kScfsiGroups[group]; sfb < kScfsiGroups[group + 1]; ++sfb) {
      sf.longBands[sfb] = static_cast<int>(reservoir_.GetBits(bits));
    }
  }
  sf.longBands[21] = sf.longBands[22] = 0;
}

void Layer3Decoder::ReadScaleFactorsLsf(int ch, const FrameHeader& h) {
  GranuleInfo& g = side_.granule[0][ch];
  ScaleFactors& sf = scale_[ch];
  const bool intensityRight = ch == 1 && h.mode == 1 && (h.modeExtension & 1);
  uint32_t sfc = g.scalefac_compress;
  int slen[4] = {};
  int row = 0;
  g.preflag = 0;
  if (!intensityRight) {
    if (sfc < 400) {
      slen[0] = static_cast<int>((sfc >> 4) / 5);
      slen[1] = static_cast<int>((sfc >> 4) % 5);
      slen[2] = static_cast<int>((sfc & 15) >> 2);
      slen[3] = static_cast<int>(sfc & 3);
      row = 0;
    } else if (sfc < 500) {
      sfc -= 400;
      slen[0] = static_cast<int>((sfc >> 2) / 5);
      slen[1] = static_cast<int>((sfc >> 2) % 5);
      slen[2] = static_cast<int>(sfc & 3);
      row = 1;
    } else {
      sfc -= 500;
      slen[0] = static_cast<int>(sfc / 3);
      slen[1] = static_cast<int>(sfc % 3);
      g.preflag = 1;
      row = 2;
    }
  } else {
    uint32_t isc = sfc >> 1;
    if (isc < 180) {
      slen[0] = static_cast<int>(isc / 36);
      slen[1] = static_cast<int>((isc % 36) / 6);
      slen[2] = static_cast<int>((isc % 36) % 6);
      row = 3;
    } else if (isc < 244) {
      isc -= 180;
      slen[0] = static_cast<int>((isc & 63) >> 4);
      slen[1] = static_cast<int>((isc & 15) >> 2);
      slen[2] = static_cast<int>(isc & 3);
      row = 4;
    } else {
      isc -= 244;
      slen[0] = static_cast<int>(isc / 3);
      slen[1] = static_cast<int>(isc % 3);
      row = 5;
    }
  }
  const int kind = g.IsShort() ? (g.mixed_block_flag ? 2 : 1) : 0;
  int values[45] = {};
  int limits[45] = {};
  int count = 0;
  for (int part = 0; part < 4; ++part) {
    for (int i = 0; i < kLsfPartitions[row][kind][part] && count < 45; ++i, ++count) {
      values[count] = static_cast<int>(reservoir_.GetBits(slen[part]));
      // The largest value of a band's width means "no intensity"; bands
      // sent with no bits at all carry position 0 (as the reference
      // decoders read such streams).
      limits[count] = slen[part] ? (1 << slen[part]) - 1 : 1;
    }
  }
  for (int b = 0; b < 23; ++b) sf.longBands[b] = 0, sf.intensityLimitLong[b] = 7;
  for (int b = 0; b < 13; ++b) {
    sf.intensityLimitShort[b] = 7;
    for (int w = 0; w < 3; ++w) sf.shortBands[w][b] = 0;
  }
  int k = 0;
  if (kind == 0) {
    for (int sfb = 0; sfb < 21 && k < count; ++sfb, ++k) {
      sf.longBands[sfb] = values[k];
      sf.intensityLimitLong[sfb] = limits[k];
    }
    return;
  }
  int sfb = 0;
  if (kind == 2) {
    for (; sfb < 6 && k < count; ++sfb, ++k) {
      sf.longBands[sfb] = values[k];
      sf.intensityLimitLong[sfb] = limits[k];
    }
    sfb = 3;
  }
  for (; sfb < 12; ++sfb) {
    for (int w = 0; w < 3 && k < count; ++w, ++k) {
      sf.shortBands[w][sfb] = values[k];
      sf.intensityLimitShort[sfb] = limits[k];
    }
  }
}

// ---------------------------------------------------------------- Huffman

void Layer3Decoder::DecodeHuffman(const GranuleInfo& g, uint64_t part2Start) {
  std::memset(quantized_, 0, sizeof quantized_);
  const uint64_t end = part2Start + g.part2_3_length;
  // A damaged big_values may claim more pairs than a granule holds;
  // decoding stops at the 576th value.
  if (g.big_values > 288) ++stats_.bigValuesClamped;
  const int bigEnd = static_cast<int>(std::min<uint32_t>(g.big_values, 288) * 2);
  int region1, region2;
  if (g.IsShort()) {
    // Region 0 holds three short bands of each window (or the long part of
    // a mixed block): 36 lines except at 8 kHz, where short bands are wider.
    region1 = g.mixed_block_flag ? 36 : 3 * shortBounds_[3];
    region2 = 576;
  } else {
    uint32_t r1 = std::min<uint32_t>(g.region0_count + 1, 22);
    uint32_t r2 = std::min<uint32_t>(g.region0_count + g.region1_count + 2, 22);
    region1 = longBounds_[r1];
    region2 = longBounds_[r2];
  }
  int i = 0;
  for (int region = 0; region < 3; ++region) {
    int stop = std::min(region == 0 ? region1 : region == 1 ? region2 : 576, bigEnd);
    if (i >= stop) continue;
    const HuffmanTable& t = huffman_[g.table_select[region] & 31];
    if (t.lookupBits == 0) {
      i = stop;  // table without codes: zeros, no bits read
      continue;
    }
    const int linbits = static_cast<int>(t.linbits);
    // The bits sit in a 64-bit cache that is refilled only when fewer than
    // a code and two signs (21 bits) are left, so the lookups do not wait
    // for a load each; escapes check for their own bits.
    uint64_t pos = reservoir_.TotalBits();
    uint64_t cache = reservoir_.Peek64At(pos);
    int avail = 57;
    auto take = [&](int n) {  // n bits off the front of the cache (n >= 1)
      const uint32_t v = static_cast<uint32_t>(cache >> (64 - n));
      cache <<= n;
      avail -= n;
      pos += static_cast<uint64_t>(n);
      return v;
    };
    auto refill = [&](int need) {
      if (avail < need) {
        cache = reservoir_.Peek64At(pos);
        avail = 57;
      }
    };
    for (; i < stop; i += 2) {
      refill(21);
      const uint32_t entry = HuffmanLookup(t, static_cast<uint32_t>(cache >> 32));
      const int length = static_cast<int>(LookupLength(entry));
      int x = static_cast<int>(LookupSymbol(entry) >> 4);
      int y = static_cast<int>(LookupSymbol(entry) & 15);
      if (length) take(length);
      if (linbits && (x == 15 || y == 15)) {
        if (x == 15) {
          refill(linbits + 1);
          x += static_cast<int>(take(linbits));
        }
        if (x && take(1)) x = -x;
        if (y == 15) {
          refill(linbits + 1);
          y += static_cast<int>(take(linbits));
        }
        if (y && take(1)) y = -y;
      } else {
        // Signs without branches: they are as good as random.
        const int nx = x != 0;
        const int sx = -static_cast<int>((cache >> 63) & static_cast<uint64_t>(nx));
        cache <<= nx;
        const int ny = y != 0;
        const int sy = -static_cast<int>((cache >> 63) & static_cast<uint64_t>(ny));
        cache <<= ny;
        avail -= nx + ny;
        pos += static_cast<uint64_t>(nx + ny);
        x = (x ^ sx) - sx;
        y = (y ^ sy) - sy;
      }
      quantized_[i] = x;
      quantized_[i + 1] = y;
    }
    reservoir_.SkipBits(pos - reservoir_.TotalBits());
  }
  const HuffmanTable& quad = huffman_[32 + (g.count1table_select & 1)];
  while (reservoir_.TotalBits() < end && i < 576) {
    const uint64_t window = reservoir_.Peek64();
    const uint32_t entry = HuffmanLookup(quad, static_cast<uint32_t>(window >> 32));
    int used = static_cast<int>(LookupLength(entry));
    const uint32_t sym = LookupSymbol(entry);
    for (int bit = 3; bit >= 0; --bit, ++i) {
      int v = (sym >> bit) & 1;
      if (v) {
        v = ((window << used) >> 63) ? -1 : 1;
        ++used;
      }
      if (i < 576) quantized_[i] = v;
    }
    reservoir_.SkipBits(static_cast<uint64_t>(used));
  }
  huffmanEnd_ = std::min(i, 576);
  if (reservoir_.TotalBits() > end) {
    reservoir_.RewindBits(reservoir_.TotalBits() - end);
  } else {
    reservoir_.SkipBits(end - reservoir_.TotalBits());
  }
}

// ---------------------------------------------------------------- requantisation

void Layer3Decoder::Requantize(const GranuleInfo& g, int ch) {
  const PowerTables& p = Powers();
  const ScaleFactors& sf = scale_[ch];
  float* out = lines_[ch];
  // Lines from where the Huffman data ended are zero.
  int last = huffmanEnd_ - 1;
  while (last >= 0 && quantized_[last] == 0) --last;
  nonzeroEnd_[ch] = last + 1;
  std::memset(out, 0, sizeof lines_[ch]);
  if (last < 0) return;
  const int global = static_cast<int>(g.global_gain) - 210;
  const int shift = 2 * (1 + static_cast<int>(g.scalefac_scale));

  // One factor per band and window; per line only the |x|^(4/3) lookup.
  auto put = [&](int from, int to, int exponent) {
    // Single precision: its rounding is far below the 16-bit output's.
    const float factor = static_cast<float>(Pow2Quarter(exponent));
    for (int i = from; i < to; ++i) {
      int x = quantized_[i];
      int mag = std::min(std::abs(x), kPow43Size - 1);
      float v = p.pow43[mag] * factor;  // pow43[0] is 0
      out[i] = std::copysign(v, static_cast<float>(x));
    }
  };

  const int end = last + 1;
  int i = 0;
  if (!g.IsShort() || g.mixed_block_flag) {
    const int longEnd = g.IsShort() ? 36 : 576;
    for (int sfb = 0; sfb < 22 && i < longEnd && i < end; ++sfb) {
      int bandEnd = std::min<int>(longBounds_[sfb + 1], longEnd);
      int v = sf.longBands[sfb] + (g.preflag ? kPretab[sfb] : 0);
      put(i, std::min(bandEnd, end), global - shift * v);
      i = bandEnd;
    }
  }
  if (g.IsShort()) {
    for (int sfb = g.mixed_block_flag ? 3 : 0; sfb < 13 && i < end; ++sfb) {
      int width = shortBounds_[sfb + 1] - shortBounds_[sfb];
      for (int w = 0; w < 3; ++w) {
        int exponent = global - 8 * static_cast<int>(g.subblock_gain[w]) - shift * sf.shortBands[w][sfb];
        int to = std::min(i + width, 576);
        put(i, std::min(to, end), exponent);
        i = to;
      }
    }
  }
}

// ---------------------------------------------------------------- stereo

namespace {

// Index just past the last nonzero line in [from, to) of a channel, or
// 'from' when all are zero.
int LastNonzeroEnd(const float* x, int from, int to) {
  for (int i = to - 1; i >= from; --i) {
    if (x[i] != 0.0f) return i + 1;
  }
  return from;
}

}  // namespace

void Layer3Decoder::ProcessStereo(int gr, const FrameHeader& h) {
  if (h.channels != 2 || h.mode != 1) return;
  const bool ms = (h.modeExtension & 2) != 0;
  const bool intensity = (h.modeExtension & 1) != 0;
  float* left = lines_[0];
  float* right = lines_[1];
  const GranuleInfo& g = side_.granule[gr][1];
  const ScaleFactors& sf = scale_[1];

  // Intensity position per line, -1 where the line is not intensity coded.
  int position[576];
  std::fill(position, position + 576, -1);
  if (intensity) {
    auto fillLong = [&](int firstLine, int lastBandExclusive) {
      int sfb = 0;
      while (sfb < 22 && longBounds_[sfb] < firstLine) ++sfb;
      for (; sfb < lastBandExclusive; ++sfb) {
        // The last band carries no scale factor and takes the one below.
        int src = sfb == 21 ? 20 : sfb;
        int pos = sf.longBands[src];
        bool legal = pos < sf.intensityLimitLong[src];
        for (int i = longBounds_[sfb]; i < longBounds_[sfb + 1]; ++i) position[i] = legal ? pos : -1;
      }
    };
    if (!g.IsShort()) {
      // First band wholly above the right channel's last nonzero line.
      int end = LastNonzeroEnd(right, 0, 576);
      int sfb = 0;
      while (sfb < 22 && longBounds_[sfb] < end) ++sfb;
      fillLong(longBounds_[sfb], 22);
    } else {
      const int firstShort = g.mixed_block_flag ? 3 : 0;
      int maxBand = 0;
      for (int w = 0; w < 3; ++w) {
        int startBand = firstShort;
        for (int sfb = 12; sfb >= firstShort; --sfb) {
          int width = shortBounds_[sfb + 1] - shortBounds_[sfb];
          int base = 3 * shortBounds_[sfb] + w * width;
          if (LastNonzeroEnd(right, base, base + width) > base) {
            startBand = sfb + 1;
            break;
          }
        }
        maxBand = std::max(maxBand, startBand);
        for (int sfb = startBand; sfb < 13; ++sfb) {
          int src = sfb == 12 ? 11 : sfb;
          int pos = sf.shortBands[w][src];
          bool legal = pos < sf.intensityLimitShort[src];
          int width = shortBounds_[sfb + 1] - shortBounds_[sfb];
          int base = 3 * shortBounds_[sfb] + w * width;
          for (int i = base; i < base + width; ++i) position[i] = legal ? pos : -1;
        }
      }
      if (g.mixed_block_flag && maxBand <= 3) {
        int end = LastNonzeroEnd(right, 0, 36);
        int longBands = h.id ? 8 : 6;
        int sfb = 0;
        while (sfb < longBands && longBounds_[sfb] < end) ++sfb;
        if (sfb < longBands) fillLong(longBounds_[sfb], longBands);
      }
    }
  }

  constexpr float kInvSqrt2 = 0.707106781188095f;
  if (!intensity) {
    if (!ms) return;
    int n = std::max(nonzeroEnd_[0], nonzeroEnd_[1]);
    for (int i = 0; i < n; ++i) {
      float m = left[i], s = right[i];
      left[i] = (m + s) * kInvSqrt2;
      right[i] = (m - s) * kInvSqrt2;
    }
    nonzeroEnd_[0] = nonzeroEnd_[1] = n;
    return;
  }

  // Left and right factors per intensity position.
  float kl[32], kr[32];
  if (h.id) {
    for (int p = 0; p < 7; ++p) {
      if (p == 6) {
        kl[p] = 1.0f;
        kr[p] = 0.0f;
        continue;
      }
      double ratio = std::tan(p * 3.14159265358979323846 / 12);
      kl[p] = static_cast<float>(ratio / (1 + ratio));
      kr[p] = static_cast<float>(1 / (1 + ratio));
    }
    for (int p = 7; p < 32; ++p) kl[p] = kr[p] = 1.0f;
  } else {
    double io = (side_.granule[0][1].scalefac_compress & 1) ? 0.70710678118654752 : 0.84089641525371454;
    for (int p = 0; p < 32; ++p) {
      if (p == 0) {
        kl[p] = kr[p] = 1.0f;
      } else if (p & 1) {
        kl[p] = static_cast<float>(std::pow(io, (p + 1) / 2));
        kr[p] = 1.0f;
      } else {
        kl[p] = 1.0f;
        kr[p] = static_cast<float>(std::pow(io, p / 2));
      }
    }
  }
  for (int i = 0; i < 576; ++i) {
    int p = position[i];
    if (p >= 0 && p < 32) {
      float x = left[i];
      left[i] = x * kl[p];
      right[i] = x * kr[p];
    } else if (ms) {
      float m = left[i], s = right[i];
      left[i] = (m + s) * kInvSqrt2;
      right[i] = (m - s) * kInvSqrt2;
    }
  }
  nonzeroEnd_[0] = nonzeroEnd_[1] = 576;
}

// ---------------------------------------------------------------- reorder, alias

void Layer3Decoder::ReorderAndAlias(const GranuleInfo& g, int ch, float* out) {
  const float* in = lines_[ch];
  if (g.IsShort()) {
    // Short lines go from band-window-line order to window-interleaved
    // order within each subband, as the short IMDCT reads them.
    int sfb = 0;
    if (g.mixed_block_flag) {
      std::memcpy(out, in, 36 * sizeof(float));
      sfb = 3;
    } else {
      std::memset(out, 0, 576 * sizeof(float));
    }
    for (; sfb < 13; ++sfb) {
      int start = shortBounds_[sfb];
      int width = shortBounds_[sfb + 1] - start;
      for (int w = 0; w < 3; ++w) {
        const float* src = in + 3 * start + w * width;
        for (int j = 0; j < width; ++j) out[3 * (start + j) + w] = src[j];
      }
    }
    if (!g.mixed_block_flag) return;
  } else {
    std::memcpy(out, in, 576 * sizeof(float));
  }
  const PowerTables& p = Powers();
  int limit = g.IsShort() ? 1 : std::min(31, (nonzeroEnd_[ch] + 17) / 18);
  for (int sb = 0; sb < limit; ++sb) {
    float* a = out + 18 * (sb + 1) - 1;
    float* b = out + 18 * (sb + 1);
    for (int i = 0; i < 8; ++i) {
      float x = a[-i], y = b[i];
      a[-i] = x * p.aliasCs[i] - y * p.aliasCa[i];
      b[i] = y * p.aliasCs[i] + x * p.aliasCa[i];
    }
  }
}

// ---------------------------------------------------------------- frame

bool Layer3Decoder::DecodeFrame(BitReader& in, const FrameHeader& h, HybridFilterbank& hybrid,
                                SubbandSynthesis& synth, int16_t* pcm) {
  if (!ReadSideInfo(in, h)) return false;
  if (!FillReservoir(in, h)) return false;
  const ScaleFactorBands& bands = kScaleFactorBands[h.mpeg25 ? 2 : h.id & 1][h.samplingIndex % 3];
  longBounds_ = bands.longBounds;
  shortBounds_ = bands.shortBounds;
  const int channels = h.channels;
  const int granules = h.id ? 2 : 1;
  alignas(16) float reordered[576];
  alignas(16) float filtered[576];
  for (int gr = 0; gr < granules; ++gr) {
    for (int ch = 0; ch < channels; ++ch) {
      const GranuleInfo& g = side_.granule[gr][ch];
      ++stats_.granules;
      if (g.IsMixed()) {
        ++stats_.mixedGranules;
      } else if (g.IsShort()) {
        ++stats_.shortGranules;
      } else if (g.window_switching_flag) {
        ++stats_.switchedGranules;
      }
      uint64_t part2Start = reservoir_.TotalBits();
      if (h.id) {
        ReadScaleFactorsMpeg1(gr, ch);
      } else {
        ReadScaleFactorsLsf(ch, h);
      }
      DecodeHuffman(g, part2Start);
      Requantize(g, ch);
    }
    if (channels == 2 && h.mode == 1) {
      stats_.msGranules += (h.modeExtension & 2) ? 1 : 0;
      stats_.intensityGranules += (h.modeExtension & 1) ? 1 : 0;
    }
    ProcessStereo(gr, h);
    for (int ch = 0; ch < channels; ++ch) {
      const GranuleInfo& g = side_.granule[gr][ch];
      ReorderAndAlias(g, ch, reordered);
      BlockShape shape{g.window_switching_flag != 0, g.block_type, g.mixed_block_flag != 0};
      // Alias reduction reaches eight lines into the subband above the
      // last coded line; the reorder of short blocks moves lines up within
      // their band, so those are transformed whole.
      const int coded = g.IsShort() ? 32 : std::min(32, (nonzeroEnd_[ch] + 17) / 18 + 1);
      hybrid.Transform(reordered, shape, ch, filtered, coded);
      SynthesizeGranule(synth, filtered, ch, pcm + 576 * channels * gr + ch, channels);
    }
  }
  return true;
}

}  // namespace cx::mpeg
