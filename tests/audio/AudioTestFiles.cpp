#include "tests/audio/AudioTestFiles.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>

Bytes ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

void PutU16(Bytes& b, uint16_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}

void PutU32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutText(Bytes& b, const char* text) { b.insert(b.end(), text, text + std::strlen(text)); }

void PutChunk(Bytes& b, const char* id, const Bytes& body, bool pad) {
  PutText(b, id);
  PutU32(b, static_cast<uint32_t>(body.size()));
  b.insert(b.end(), body.begin(), body.end());
  if (pad) b.push_back(0);
}

Bytes FormatBody(uint16_t tag, uint16_t channels, uint32_t rate, uint32_t avg, uint16_t align,
                 uint16_t bits, uint32_t size) {
  Bytes b;
  PutU16(b, tag);
  PutU16(b, channels);
  PutU32(b, rate);
  PutU32(b, avg);
  PutU16(b, align);
  PutU16(b, bits);
  PutU16(b, 0);
  b.resize(size, 0);
  return b;
}

Bytes ExtensibleBody(uint16_t subformat, uint16_t channels, uint32_t rate, uint16_t bits, uint16_t valid,
                     uint32_t mask) {
  const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
  Bytes b = FormatBody(0xFFFE, channels, rate, rate * align, align, bits, 16);
  PutU16(b, 22);
  PutU16(b, valid);
  PutU32(b, mask);
  // KSDATAFORMAT_SUBTYPE_PCM and _IEEE_FLOAT differ only in their first field.
  PutU32(b, subformat);
  for (uint8_t x : {0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}) b.push_back(x);
  return b;
}

Bytes RiffWave(const Bytes& chunks) {
  Bytes b;
  PutText(b, "RIFF");
  PutU32(b, static_cast<uint32_t>(chunks.size() + 4));
  PutText(b, "WAVE");
  b.insert(b.end(), chunks.begin(), chunks.end());
  return b;
}

Bytes SimpleWav(uint32_t rate, uint16_t channels, uint16_t bits, const Bytes& pcm) {
  const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
  Bytes chunks;
  PutChunk(chunks, "fmt ", FormatBody(1, channels, rate, rate * align, align, bits, 16));
  PutChunk(chunks, "data", pcm);
  return RiffWave(chunks);
}

Bytes TestPcm(uint32_t bytes, uint32_t seed) {
  Bytes b(bytes);
  uint32_t x = seed * 2654435761u + 12345u;
  for (uint32_t i = 0; i < bytes; ++i) {
    x = x * 1103515245u + 12345u;
    b[i] = static_cast<uint8_t>(1 + ((x >> 16) % 255));
  }
  return b;
}
