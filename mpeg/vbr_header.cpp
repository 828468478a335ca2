#include "mpeg/vbr_header.h"

#include <cstring>

namespace cx::mpeg {
namespace {

uint32_t BigEndian(const uint8_t* p, int bytes) {
  uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v = (v << 8) | p[i];
  return v;
}

bool ParseXing(const uint8_t* frame, size_t n, const FrameHeader& h, VbrHeader* out) {
  size_t at = 4 + (h.protection == 0 ? 2 : 0) + static_cast<size_t>(SideInfoBytes(h));
  if (at + 8 > n) return false;
  const bool xing = std::memcmp(frame + at, "Xing", 4) == 0;
  if (!xing && std::memcmp(frame + at, "Info", 4) != 0) return false;
  VbrHeader v;
  v.kind = xing ? VbrHeader::Kind::kXing : VbrHeader::Kind::kInfo;
  const uint32_t flags = BigEndian(frame + at + 4, 4);
  at += 8;
  if (flags & 1) {
    if (at + 4 > n) return false;
    v.frames = BigEndian(frame + at, 4);
    at += 4;
  }
  if (flags & 2) {
    if (at + 4 > n) return false;
    v.bytes = BigEndian(frame + at, 4);
    at += 4;
  }
  if (flags & 4) {
    if (at + 100 > n) return false;
    v.toc.assign(frame + at, frame + at + 100);
    at += 100;
  }
  if (flags & 8) at += 4;  // quality
  // The encoder's extension: nine bytes of encoder name, then the delay and
  // padding as two 12-bit numbers 21 bytes in. Other encoders that write the
  // same layout put their own name there; a name of letters and digits is
  // the sign that the block is there at all.
  if (at + 24 <= n) {
    bool named = true;
    for (int i = 0; i < 4; ++i) {
      const uint8_t c = frame[at + i];
      named = named && ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'));
    }
    if (named) {
      const uint32_t delayPadding = BigEndian(frame + at + 21, 3);
      v.encoderTag = true;
      v.encoderDelay = static_cast<int32_t>(delayPadding >> 12);
      v.encoderPadding = static_cast<int32_t>(delayPadding & 0xFFF);
    }
  }
  *out = v;
  return true;
}

bool ParseVbri(const uint8_t* frame, size_t n, VbrHeader* out) {
  const size_t at = 36;
  if (at + 26 > n || std::memcmp(frame + at, "VBRI", 4) != 0) return false;
  VbrHeader v;
  v.kind = VbrHeader::Kind::kVbri;
  v.bytes = BigEndian(frame + at + 10, 4);
  v.frames = BigEndian(frame + at + 14, 4);
  const uint32_t entries = BigEndian(frame + at + 18, 2);
  const uint32_t scale = BigEndian(frame + at + 20, 2);
  const uint32_t entryBytes = BigEndian(frame + at + 22, 2);
  v.framesPerTocEntry = BigEndian(frame + at + 24, 2);
  const size_t toc = at + 26;
  // A table that does not fit the frame, or of unusual entry sizes, is
  // left out; the frame count still holds.
  if (entryBytes >= 1 && entryBytes <= 4 && v.framesPerTocEntry > 0 &&
      toc + static_cast<size_t>(entries) * entryBytes <= n) {
    for (uint32_t i = 0; i < entries; ++i) {
      v.toc.push_back(BigEndian(frame + toc + i * entryBytes, static_cast<int>(entryBytes)) * scale);
    }
  }
  *out = v;
  return true;
}

}  // namespace

bool ParseVbrHeader(const uint8_t* frame, size_t n, const FrameHeader& h, VbrHeader* out) {
  if (h.layerCode != 1) return false;
  return ParseXing(frame, n, h, out) || ParseVbri(frame, n, out);
}

int64_t VbrTocOffset(const VbrHeader& v, int64_t f) {
  if (v.toc.empty() || v.frames <= 0 || f < 0) return -1;
  if (v.kind == VbrHeader::Kind::kVbri) {
    // Entry i holds the bytes of frames [i * per, (i + 1) * per); the first
    // entry starts at the information frame.
    int64_t offset = 0;
    const int64_t group = f / v.framesPerTocEntry;
    for (int64_t i = 0; i < group && i < static_cast<int64_t>(v.toc.size()); ++i) offset += v.toc[i];
    if (group < static_cast<int64_t>(v.toc.size())) {
      offset += v.toc[group] * (f % v.framesPerTocEntry) / v.framesPerTocEntry;
    }
    return offset;
  }
  if (v.bytes <= 0) return -1;
  // Linear interpolation between the percent entries.
  const double percent =
      f >= v.frames ? 100.0 : 100.0 * static_cast<double>(f) / static_cast<double>(v.frames);
  const int i = percent >= 99.0 ? 99 : static_cast<int>(percent);
  const double a = v.toc[i];
  const double b = i < 99 ? v.toc[i + 1] : 256.0;
  const double fraction = a + (b - a) * (percent - i);
  return static_cast<int64_t>(fraction / 256.0 * static_cast<double>(v.bytes));
}

}  // namespace cx::mpeg
