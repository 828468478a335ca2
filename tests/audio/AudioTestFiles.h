// Portable helpers for the audio tests: a scratch folder, byte builders for
// RIFF files, and deterministic PCM test signals.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/TempFolder.h"

using Bytes = std::vector<uint8_t>;

using cx::test::TempFolder;

Bytes ReadWholeFile(const std::string& path);
bool FileExists(const std::string& path);

void PutU16(Bytes& b, uint16_t v);
void PutU32(Bytes& b, uint32_t v);
void PutText(Bytes& b, const char* fourOrMore);
// A chunk: id, stored size, body, and a pad byte when asked for one.
void PutChunk(Bytes& b, const char* id, const Bytes& body, bool pad = false);
// A format chunk body of `size` bytes (14 to 18 or more).
Bytes FormatBody(uint16_t tag, uint16_t channels, uint32_t rate, uint32_t avg, uint16_t align,
                 uint16_t bits, uint32_t size);
// An extensible format chunk body (40 bytes): container `bits`, `valid`
// bits of them, the channel mask and the subformat given by its format tag
// (1 PCM, 3 floating point).
Bytes ExtensibleBody(uint16_t subformat, uint16_t channels, uint32_t rate, uint16_t bits, uint16_t valid,
                     uint32_t mask);
// "RIFF", size, "WAVE", then the chunks given.
Bytes RiffWave(const Bytes& chunks);
// A plain PCM WAV with a 16-byte format chunk.
Bytes SimpleWav(uint32_t rate, uint16_t channels, uint16_t bits, const Bytes& pcm);

// Pseudo-random PCM with no zero bytes, so every byte is distinguishable
// from silence and a shifted copy never matches by accident.
Bytes TestPcm(uint32_t bytes, uint32_t seed = 1);
