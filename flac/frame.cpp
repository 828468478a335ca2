#include "flac/frame.h"

#include <type_traits>

#include "flac/bit_reader.h"
#include "flac/predictor.h"

namespace cx::flac {

namespace {

struct CrcTables {
  uint8_t crc8[256];
  uint16_t crc16[8][256];  // [k]: a byte followed by k zero bytes
  CrcTables() {
    for (int i = 0; i < 256; ++i) {
      uint32_t c8 = static_cast<uint32_t>(i);
      uint32_t c16 = static_cast<uint32_t>(i) << 8;
      for (int b = 0; b < 8; ++b) {
        c8 = (c8 & 0x80) ? ((c8 << 1) ^ 0x07) : (c8 << 1);
        c16 = (c16 & 0x8000) ? ((c16 << 1) ^ 0x8005) : (c16 << 1);
      }
      crc8[i] = static_cast<uint8_t>(c8);
      crc16[0][i] = static_cast<uint16_t>(c16);
    }
    for (int k = 1; k < 8; ++k) {
      for (int i = 0; i < 256; ++i) {
        const uint16_t prev = crc16[k - 1][i];
        crc16[k][i] = static_cast<uint16_t>((prev << 8) ^ crc16[0][prev >> 8]);
      }
    }
  }
};

const CrcTables& Tables() {
  static const CrcTables tables;
  return tables;
}

const uint32_t kRates[12] = {0, 88200, 176400, 192000, 8000, 16000, 22050, 24000, 32000, 44100, 48000, 96000};
const int kDepths[8] = {0, 8, 12, 0, 16, 20, 24, 32};

// Side channels carry one bit more than the frame's depth.
bool IsSide(int code, int c) { return (code == 8 && c == 1) || (code == 9 && c == 0) || (code == 10 && c == 1); }

// The stereo pair from left/side, side/right or mid/side, in 64-bit
// modular arithmetic: exact for valid streams (the true values take at most
// 34 bits), harmless for damaged ones.
template <typename T>
void Decorrelate(int code, const T* a, const T* b, uint32_t n, int32_t* left, int32_t* right) {
  auto narrow = [](uint64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(v)); };
  switch (code) {
    case 8:
      for (uint32_t i = 0; i < n; ++i) {
        const uint64_t l = static_cast<uint64_t>(a[i]), s = static_cast<uint64_t>(b[i]);
        left[i] = narrow(l);
        right[i] = narrow(l - s);
      }
      break;
    case 9:
      for (uint32_t i = 0; i < n; ++i) {
        const uint64_t s = static_cast<uint64_t>(a[i]), r = static_cast<uint64_t>(b[i]);
        left[i] = narrow(s + r);
        right[i] = narrow(r);
      }
      break;
    default:
      for (uint32_t i = 0; i < n; ++i) {
        const uint64_t s = static_cast<uint64_t>(b[i]);
        const uint64_t m = (static_cast<uint64_t>(a[i]) << 1) | (s & 1);
        left[i] = narrow(static_cast<uint64_t>(static_cast<int64_t>(m + s) >> 1));
        right[i] = narrow(static_cast<uint64_t>(static_cast<int64_t>(m - s) >> 1));
      }
      break;
  }
}

}  // namespace

uint8_t Crc8(const uint8_t* data, size_t n) {
  const CrcTables& t = Tables();
  uint8_t c = 0;
  for (size_t i = 0; i < n; ++i) c = t.crc8[c ^ data[i]];
  return c;
}

uint16_t Crc16(const uint8_t* data, size_t n) {
  const CrcTables& t = Tables();
  uint32_t c = 0;
  // Eight bytes a step: the running CRC meets the first two, the other six
  // enter through the tables of their distance from the end.
  for (; n >= 8; n -= 8, data += 8) {
    c = t.crc16[7][(c >> 8) ^ data[0]] ^ t.crc16[6][(c & 0xFF) ^ data[1]] ^ t.crc16[5][data[2]] ^
        t.crc16[4][data[3]] ^ t.crc16[3][data[4]] ^ t.crc16[2][data[5]] ^ t.crc16[1][data[6]] ^
        t.crc16[0][data[7]];
  }
  for (size_t i = 0; i < n; ++i) c = ((c << 8) & 0xFFFF) ^ t.crc16[0][(c >> 8) ^ data[i]];
  return static_cast<uint16_t>(c);
}

bool ParseFrameHeader(const uint8_t* d, size_t size, FrameHeader* h) {
  if (size < 6 || d[0] != 0xFF || (d[1] & 0xFE) != 0xF8) return false;
  const int sizeCode = d[2] >> 4, rateCode = d[2] & 15;
  const int channelCode = d[3] >> 4, depthCode = (d[3] >> 1) & 7;
  if (sizeCode == 0 || rateCode == 15 || channelCode > 10 || depthCode == 3 || (d[3] & 1)) return false;
  h->variableBlocking = d[1] & 1;
  h->channelCode = channelCode;
  h->channels = channelCode < 8 ? channelCode + 1 : 2;
  h->bitsPerSample = kDepths[depthCode];

  // The number, coded like UTF-8 extended to 36 bits.
  size_t p = 4;
  const uint8_t lead = d[p++];
  int extra = 0;
  uint64_t v = 0;
  if (lead < 0x80) {
    v = lead;
  } else if (lead >= 0xC0 && lead < 0xFF) {
    int ones = 0;
    while (lead & (0x80 >> ones)) ++ones;  // 2..7
    extra = ones - 1;
    v = ones < 7 ? lead & (0x7F >> ones) : 0;
  } else {
    return false;
  }
  // A frame number takes at most 31 bits, a sample number 36.
  if (extra > (h->variableBlocking ? 6 : 5) || p + extra + 5 > size) return false;
  for (int i = 0; i < extra; ++i) {
    const uint8_t c = d[p++];
    if ((c & 0xC0) != 0x80) return false;
    v = v << 6 | (c & 0x3F);
  }
  h->number = v;

  if (sizeCode == 1) {
    h->blockSize = 192;
  } else if (sizeCode <= 5) {
    h->blockSize = 576u << (sizeCode - 2);
  } else if (sizeCode == 6) {
    h->blockSize = d[p++] + 1u;
  } else if (sizeCode == 7) {
    h->blockSize = (uint32_t{d[p]} << 8 | d[p + 1]) + 1u;
    p += 2;
    if (h->blockSize > 65535) return false;
  } else {
    h->blockSize = 256u << (sizeCode - 8);
  }
  if (rateCode < 12) {
    h->sampleRate = kRates[rateCode];
  } else if (rateCode == 12) {
    h->sampleRate = d[p++] * 1000u;
  } else {
    const uint32_t r = uint32_t{d[p]} << 8 | d[p + 1];
    p += 2;
    h->sampleRate = rateCode == 13 ? r : r * 10;
  }
  if (Crc8(d, p) != d[p]) return false;
  h->bytes = p + 1;
  return true;
}

void FrameDecoder::Reserve(uint32_t n, int channels, bool wide) {
  for (int c = 0; c < channels; ++c) {
    if (channels_[c].size() < n) channels_[c].resize(n);
  }
  if (wide) {
    for (auto& w : wide_) {
      if (w.size() < n) w.resize(n);
    }
    if (residual_.size() < n) residual_.resize(n);
  }
}

bool FrameDecoder::DecodeResidual(BitReader& br, uint32_t n, int order, int32_t* res) {
  const uint32_t method = br.Read(2);
  if (method > 1) return false;
  const int paramBits = method == 0 ? 4 : 5;
  const uint32_t escape = method == 0 ? 15 : 31;
  const int partitionOrder = static_cast<int>(br.Read(4));
  const uint32_t per = n >> partitionOrder;
  if ((per << partitionOrder) != n || per < static_cast<uint32_t>(order)) return false;
  for (uint32_t p = 0; p < (1u << partitionOrder); ++p) {
    const uint32_t count = p == 0 ? per - static_cast<uint32_t>(order) : per;
    const uint32_t k = br.Read(paramBits);
    if (k == escape) {
      const int bits = static_cast<int>(br.Read(5));
      for (uint32_t i = 0; i < count; ++i) res[i] = br.ReadSigned(bits);
    } else if (!br.ReadRice(static_cast<int>(k), res, count)) {
      return false;
    }
    if (br.Overrun()) return false;
    res += count;
  }
  return true;
}

template <typename T>
bool FrameDecoder::DecodeSubframe(BitReader& br, int bps, uint32_t n, T* out) {
  using U = std::make_unsigned_t<T>;
  if (br.Read(1) != 0) return false;
  const uint32_t type = br.Read(6);
  int wasted = 0;
  if (br.Read(1)) {
    wasted = static_cast<int>(br.ReadUnary(static_cast<uint32_t>(bps))) + 1;
    if (wasted >= bps) return false;
  }
  const int width = bps - wasted;
  auto sample = [&br, width]() -> T {
    if constexpr (std::is_same_v<T, int32_t>) {
      return br.ReadSigned(width);
    } else {
      return br.ReadSigned64(width);
    }
  };
  if (type == 0) {
    const T v = sample();
    for (uint32_t i = 0; i < n; ++i) out[i] = v;
  } else if (type == 1) {
    for (uint32_t i = 0; i < n; ++i) out[i] = sample();
  } else if ((type >= 8 && type <= 12) || type >= 32) {
    const int order = type >= 32 ? static_cast<int>(type) - 31 : static_cast<int>(type) - 8;
    if (static_cast<uint32_t>(order) > n) return false;
    for (int i = 0; i < order; ++i) out[i] = sample();
    int32_t coefs[32];
    int precision = 0, shift = 0;
    if (type >= 32) {
      precision = static_cast<int>(br.Read(4)) + 1;
      shift = br.ReadSigned(5);
      if (precision == 16 || shift < 0) return false;
      for (int i = 0; i < order; ++i) coefs[i] = br.ReadSigned(precision);
    }
    if constexpr (std::is_same_v<T, int32_t>) {
      if (!DecodeResidual(br, n, order, out + order)) return false;
      if (type >= 32) {
        RestoreLpc(out, n, order, coefs, shift, width, precision);
      } else {
        RestoreFixed(out, n, order);
      }
    } else {
      if (!DecodeResidual(br, n, order, residual_.data())) return false;
      for (uint32_t i = static_cast<uint32_t>(order); i < n; ++i) out[i] = residual_[i - order];
      if (type >= 32) {
        LpcWide(out, n, order, coefs, shift);
      } else {
        RestoreFixed(out, n, order);
      }
    }
  } else {
    return false;
  }
  if (br.Overrun()) return false;
  if (wasted) {
    for (uint32_t i = 0; i < n; ++i) out[i] = static_cast<T>(static_cast<U>(out[i]) << wasted);
  }
  return true;
}

FrameDecoder::Result FrameDecoder::Decode(const uint8_t* data, size_t size, bool atEnd, const FrameHeader& h,
                                          int bps, size_t* frameBytes) {
  const uint32_t n = h.blockSize;
  const bool wide = bps == 32 && h.channelCode >= 8;
  Reserve(n, h.channels, wide);
  BitReader br(data + h.bytes, size - h.bytes);
  auto failed = [&br, atEnd]() { return br.Overrun() && !atEnd ? Result::kNeedMoreBytes : Result::kDamaged; };
  for (int c = 0; c < h.channels; ++c) {
    const int width = bps + (IsSide(h.channelCode, c) ? 1 : 0);
    const bool ok = wide ? DecodeSubframe<int64_t>(br, width, n, wide_[c].data())
                         : DecodeSubframe<int32_t>(br, width, n, channels_[c].data());
    if (!ok) return failed();
  }
  br.AlignToByte();
  const uint32_t crc = br.Read(16);
  if (br.Overrun()) return failed();
  const size_t total = h.bytes + static_cast<size_t>(br.BitPosition() / 8);
  if (Crc16(data, total - 2) != crc) return Result::kDamaged;
  if (wide) {
    Decorrelate(h.channelCode, wide_[0].data(), wide_[1].data(), n, channels_[0].data(), channels_[1].data());
  } else if (h.channelCode >= 8) {
    Decorrelate(h.channelCode, channels_[0].data(), channels_[1].data(), n, channels_[0].data(),
                channels_[1].data());
  }
  *frameBytes = total;
  return Result::kOk;
}

}  // namespace cx::flac
