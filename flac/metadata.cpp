#include "flac/metadata.h"

#include <algorithm>
#include <cstring>

namespace cx::flac {

namespace {

uint32_t Be(const uint8_t* p, int bytes) {
  uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v = v << 8 | p[i];
  return v;
}

uint32_t Le32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

bool ReadExactly(codec::ByteSource& s, int64_t offset, uint8_t* out, size_t n) {
  return n == 0 || s.ReadAt(offset, out, n) == n;
}

bool ParseStreamInfo(const uint8_t* p, StreamInfo* si) {
  si->minBlockSize = Be(p, 2);
  si->maxBlockSize = Be(p + 2, 2);
  si->minFrameSize = Be(p + 4, 3);
  si->maxFrameSize = Be(p + 7, 3);
  si->sampleRate = Be(p + 10, 3) >> 4;
  si->channels = ((p[12] >> 1) & 7) + 1;
  si->bitsPerSample = (((p[12] & 1) << 4) | (p[13] >> 4)) + 1;
  si->totalSamples = (uint64_t{p[13] & 15u} << 32) | Be(p + 14, 4);
  std::memcpy(si->md5, p + 18, 16);
  return si->bitsPerSample >= 4 && si->sampleRate > 0;
}

// Tag names compare without regard to ASCII case.
bool NameIs(const uint8_t* p, size_t n, const char* name) {
  const size_t len = std::strlen(name);
  if (n != len) return false;
  for (size_t i = 0; i < n; ++i) {
    const uint8_t c = p[i] >= 'a' && p[i] <= 'z' ? p[i] - 32 : p[i];
    if (c != static_cast<uint8_t>(name[i])) return false;
  }
  return true;
}

}  // namespace

int64_t Id3v2Length(const uint8_t* h, size_t n) {
  if (n < 10 || h[0] != 'I' || h[1] != 'D' || h[2] != '3') return 0;
  if ((h[6] | h[7] | h[8] | h[9]) & 0x80) return 0;
  const int64_t body = int64_t{h[6]} << 21 | int64_t{h[7]} << 14 | int64_t{h[8]} << 7 | h[9];
  return 10 + body + ((h[5] & 0x10) ? 10 : 0);
}

void ParseVorbisComment(const uint8_t* p, size_t n, codec::DecoderTags* tags, std::string* vendor) {
  if (n < 4) return;
  size_t at = 4;
  const uint32_t vendorLen = Le32(p);
  if (vendorLen > n - at) return;
  vendor->assign(reinterpret_cast<const char*>(p + at), vendorLen);
  at += vendorLen;
  if (n - at < 4) return;
  const uint32_t count = Le32(p + at);
  at += 4;
  for (uint32_t i = 0; i < count && n - at >= 4; ++i) {
    const uint32_t len = Le32(p + at);
    at += 4;
    if (len > n - at) return;
    const uint8_t* field = p + at;
    at += len;
    const uint8_t* eq = static_cast<const uint8_t*>(std::memchr(field, '=', len));
    if (!eq) continue;
    const size_t nameLen = static_cast<size_t>(eq - field);
    std::string value(reinterpret_cast<const char*>(eq + 1), len - nameLen - 1);
    std::string* slot = NameIs(field, nameLen, "TITLE")    ? &tags->title
                        : NameIs(field, nameLen, "ARTIST") ? &tags->artist
                        : NameIs(field, nameLen, "ALBUM")  ? &tags->album
                                                           : nullptr;
    // The first of repeated fields is the one shown.
    if (slot && slot->empty()) *slot = std::move(value);
  }
}

bool ReadMetadata(codec::ByteSource& source, Metadata* out) {
  const int64_t size = source.Size();
  int64_t at = 0;
  uint8_t head[10];
  // Tags may be stacked; each is stepped over by its own length.
  while (ReadExactly(source, at, head, sizeof head)) {
    const int64_t skip = Id3v2Length(head, sizeof head);
    if (skip == 0 || skip > size - at) break;
    at += skip;
  }
  if (!ReadExactly(source, at, head, 4) || std::memcmp(head, "fLaC", 4) != 0) return false;
  at += 4;
  bool haveInfo = false;
  for (;;) {
    uint8_t bh[4];
    if (!ReadExactly(source, at, bh, 4)) return false;
    const bool last = bh[0] & 0x80;
    const int type = bh[0] & 0x7F;
    const uint32_t length = Be(bh + 1, 3);
    at += 4;
    if (length > size - at) return false;
    if (!haveInfo && type != 0) return false;  // STREAMINFO comes first
    if (type == 0 || type == 3 || type == 4) {
      std::vector<uint8_t> body(length);
      if (!ReadExactly(source, at, body.data(), length)) return false;
      if (type == 0) {
        if (haveInfo || length < 34 || !ParseStreamInfo(body.data(), &out->info)) return false;
        haveInfo = true;
      } else if (type == 3) {
        for (size_t i = 0; i + 18 <= length; i += 18) {
          const uint8_t* p = body.data() + i;
          SeekPoint sp;
          sp.sample = uint64_t{Be(p, 4)} << 32 | Be(p + 4, 4);
          sp.offset = uint64_t{Be(p + 8, 4)} << 32 | Be(p + 12, 4);
          if (sp.sample == ~uint64_t{0}) continue;
          out->seekPoints.push_back(sp);
        }
      } else {
        ParseVorbisComment(body.data(), length, &out->tags, &out->vendor);
      }
    } else if (type == 127) {
      return false;
    }
    at += length;
    if (last) break;
  }
  std::sort(out->seekPoints.begin(), out->seekPoints.end(),
            [](const SeekPoint& a, const SeekPoint& b) { return a.sample < b.sample; });
  out->firstFrame = at;
  return true;
}

}  // namespace cx::flac
