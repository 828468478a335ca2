#include "tests/flac/corpus.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "flac/frame.h"

namespace cx::flac::test {

namespace {

void PutLe(std::vector<uint8_t>& v, uint32_t x, int bytes) {
  for (int i = 0; i < bytes; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}

uint32_t Le(const uint8_t* p, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
  return v;
}

// The frames of a fixed-blocking stream: [start, end) of each, found by
// header and confirmed by the CRC-16 at the end of each span.
std::vector<std::pair<size_t, size_t>> SplitFrames(const std::vector<uint8_t>& f) {
  std::vector<size_t> starts;
  uint64_t expect = 0;
  for (size_t i = FirstFrameOffset(f); i + 2 <= f.size(); ++i) {
    FrameHeader h;
    if (ParseFrameHeader(f.data() + i, f.size() - i, &h) && !h.variableBlocking && h.number == expect) {
      starts.push_back(i);
      ++expect;
      i += h.bytes;
    }
  }
  std::vector<std::pair<size_t, size_t>> frames;
  for (size_t k = 0; k < starts.size(); ++k) {
    const size_t end = k + 1 < starts.size() ? starts[k + 1] : f.size();
    const uint16_t crc = static_cast<uint16_t>(f[end - 2] << 8 | f[end - 1]);
    if (Crc16(f.data() + starts[k], end - starts[k] - 2) != crc) return {};
    frames.emplace_back(starts[k], end);
  }
  return frames;
}

void PutCodedNumber(std::vector<uint8_t>& v, uint64_t n) {
  if (n < 0x80) {
    v.push_back(static_cast<uint8_t>(n));
    return;
  }
  int extra = 1;
  while (extra < 6 && n >= (uint64_t{1} << (6 * extra + 6 - extra))) ++extra;
  const uint8_t lead = static_cast<uint8_t>(0xFF00 >> (extra + 1));
  v.push_back(static_cast<uint8_t>(lead | (n >> (6 * extra))));
  for (int i = extra - 1; i >= 0; --i) v.push_back(static_cast<uint8_t>(0x80 | ((n >> (6 * i)) & 0x3F)));
}

// One frame re-headed with the sample number it starts at.
void AppendAsVariable(const std::vector<uint8_t>& f, std::pair<size_t, size_t> span, uint64_t sample,
                      std::vector<uint8_t>* out) {
  FrameHeader h;
  ParseFrameHeader(f.data() + span.first, span.second - span.first, &h);
  // The number's length, to find the block-size and rate bytes after it.
  const uint8_t lead = f[span.first + 4];
  size_t numberBytes = 1;
  if (lead >= 0xC0) {
    numberBytes = 0;
    while (numberBytes < 7 && (lead & (0x80 >> numberBytes))) ++numberBytes;
  }
  const size_t start = out->size();
  out->push_back(0xFF);
  out->push_back(0xF9);
  out->push_back(f[span.first + 2]);
  out->push_back(f[span.first + 3]);
  PutCodedNumber(*out, sample);
  const size_t tailStart = span.first + 4 + numberBytes;
  const size_t headerEnd = span.first + h.bytes - 1;  // before the CRC-8
  out->insert(out->end(), f.begin() + static_cast<long>(tailStart), f.begin() + static_cast<long>(headerEnd));
  out->push_back(Crc8(out->data() + start, out->size() - start));
  out->insert(out->end(), f.begin() + static_cast<long>(span.first + h.bytes),
              f.begin() + static_cast<long>(span.second - 2));
  const uint16_t crc = Crc16(out->data() + start, out->size() - start);
  out->push_back(static_cast<uint8_t>(crc >> 8));
  out->push_back(static_cast<uint8_t>(crc));
}

uint32_t BlockSizeOf(const std::vector<uint8_t>& f) { return uint32_t{f[8]} << 8 | f[9]; }

uint64_t TotalOf(const std::vector<uint8_t>& f) {
  const uint8_t* p = f.data() + 8 + 13;
  return uint64_t{p[0] & 15u} << 32 | uint64_t{p[1]} << 24 | uint64_t{p[2]} << 16 | uint64_t{p[3]} << 8 | p[4];
}

}  // namespace

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

bool Run(const std::string& command) { return std::system(command.c_str()) == 0; }

bool ReferenceDecode(const std::string& flacPath, const std::string& scratch, int bits,
                     std::vector<int32_t>* out) {
  out->clear();
  const int bytes = (bits + 7) / 8;
  const bool raw = bits % 8 == 0;
  const std::string target = scratch + (raw ? ".raw" : ".wav");
  std::string command = "flac -s -f -d ";
  if (raw) command += "--force-raw-format --endian=little --sign=signed ";
  if (!Run(command + "'" + flacPath + "' -o '" + target + "'")) return false;
  std::vector<uint8_t> data = ReadBytes(target);
  std::remove(target.c_str());
  size_t at = 0;
  int shift = 0;
  if (!raw) {
    at = 12;  // the data chunk, after the others
    while (at + 8 <= data.size() && std::memcmp(data.data() + at, "data", 4) != 0) {
      at += 8 + Le(data.data() + at + 4, 4);
    }
    at += 8;
    if (at > data.size()) return false;
    shift = bytes * 8 - bits;
  }
  for (; at + bytes <= data.size(); at += bytes) {
    uint32_t v = Le(data.data() + at, bytes) << (32 - 8 * bytes);
    if (!raw && bytes == 1) v ^= 0x80000000u;  // WAV's 8-bit samples are unsigned
    out->push_back(static_cast<int32_t>(v) >> (32 - 8 * bytes + shift));
  }
  return true;
}

bool WriteOddDepthWav(const std::string& raw24, const std::string& wavPath, int channels, int rate, int bits) {
  const std::vector<uint8_t> in = ReadBytes(raw24);
  const int bytes = (bits + 7) / 8;
  std::vector<uint8_t> pcm;
  for (size_t i = 0; i + 3 <= in.size(); i += 3) {
    const int32_t v = static_cast<int32_t>(Le(in.data() + i, 3) << 8) >> 8;
    // Keep the top `bits` bits, left-aligned in the container.
    const uint32_t kept = static_cast<uint32_t>(v >> (24 - bits)) << (bytes * 8 - bits);
    PutLe(pcm, bytes == 1 ? (kept + 0x80) & 0xFF : kept, bytes);
  }
  static const uint8_t kPcm[16] = {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
  std::vector<uint8_t> w = {'R', 'I', 'F', 'F'};
  PutLe(w, static_cast<uint32_t>(60 + pcm.size()), 4);
  w.insert(w.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  PutLe(w, 40, 4);
  PutLe(w, 0xFFFE, 2);
  PutLe(w, static_cast<uint32_t>(channels), 2);
  PutLe(w, static_cast<uint32_t>(rate), 4);
  PutLe(w, static_cast<uint32_t>(rate * channels * bytes), 4);
  PutLe(w, static_cast<uint32_t>(channels * bytes), 2);
  PutLe(w, static_cast<uint32_t>(bytes * 8), 2);
  PutLe(w, 22, 2);
  PutLe(w, static_cast<uint32_t>(bits), 2);
  PutLe(w, channels == 1 ? 4 : 3, 4);
  w.insert(w.end(), kPcm, kPcm + 16);
  w.insert(w.end(), {'d', 'a', 't', 'a'});
  PutLe(w, static_cast<uint32_t>(pcm.size()), 4);
  w.insert(w.end(), pcm.begin(), pcm.end());
  return WriteBytes(wavPath, w);
}

size_t FirstFrameOffset(const std::vector<uint8_t>& f) {
  size_t at = 4;
  while (at + 4 <= f.size()) {
    const bool last = f[at] & 0x80;
    at += 4 + (size_t{f[at + 1]} << 16 | size_t{f[at + 2]} << 8 | f[at + 3]);
    if (last) break;
  }
  return at;
}

bool JoinAsVariableBlocking(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b,
                            std::vector<uint8_t>* out) {
  const auto framesA = SplitFrames(a), framesB = SplitFrames(b);
  if (framesA.empty() || framesB.empty() || a.size() < 42) return false;
  const uint32_t sizeA = BlockSizeOf(a), sizeB = BlockSizeOf(b);
  const uint64_t totalA = TotalOf(a), total = totalA + TotalOf(b);
  // fLaC and STREAMINFO alone, marked last.
  out->assign(a.begin(), a.begin() + 42);
  (*out)[4] = 0x80;
  uint8_t* si = out->data() + 8;
  const uint32_t lo = std::min(sizeA, sizeB), hi = std::max(sizeA, sizeB);
  si[0] = static_cast<uint8_t>(lo >> 8);
  si[1] = static_cast<uint8_t>(lo);
  si[2] = static_cast<uint8_t>(hi >> 8);
  si[3] = static_cast<uint8_t>(hi);
  std::memset(si + 4, 0, 6);  // frame sizes unknown
  si[13] = static_cast<uint8_t>((si[13] & 0xF0) | ((total >> 32) & 15));
  for (int i = 0; i < 4; ++i) si[14 + i] = static_cast<uint8_t>(total >> (24 - 8 * i));
  std::memset(si + 18, 0, 16);
  uint64_t sample = 0;
  for (const auto& span : framesA) {
    AppendAsVariable(a, span, sample, out);
    sample += sizeA;
  }
  sample = totalA;
  for (const auto& span : framesB) {
    AppendAsVariable(b, span, sample, out);
    sample += sizeB;
  }
  return true;
}

}  // namespace cx::flac::test
