// The Ogg Vorbis test corpus (made by make_corpus.py into the build
// folder) and helpers to decode through the common decoder interface.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "codec/audio_decoder.h"

namespace cx::vorbis::test {

struct CorpusFile {
  std::string name, kind;  // kind: plain, chained, damaged
  int channels = 0;
  uint32_t rate = 0;
  int64_t samples = 0;     // the encoder's input length
  std::string path, reference;
};

std::vector<CorpusFile> LoadCorpus();
CorpusFile CorpusNamed(const std::string& name);

std::vector<uint8_t> ReadBytes(const std::string& path);
std::vector<int16_t> ReadPcm(const std::string& path);

// An opened decoder over the bytes held in memory; null when Open fails.
std::unique_ptr<codec::AudioDecoder> OpenMemory(std::vector<uint8_t> bytes);
// Reads to the end in pieces of `piece` frames (at most maxFrames).
std::vector<int16_t> DecodeRest(codec::AudioDecoder& d, size_t piece = 4096, int64_t maxFrames = int64_t{1} << 26);

struct Difference {
  int maxDiff = 0;
  double psnr = 999;  // dB relative to full scale; 999 when identical
};
// Over the common length of a and b.
Difference Compare(const std::vector<int16_t>& a, const std::vector<int16_t>& b, size_t from = 0);

}  // namespace cx::vorbis::test
