#include "tests/vorbis/corpus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <sstream>

#include "codec/byte_source.h"
#include "vorbis/vorbis_decoder.h"

namespace cx::vorbis::test {

static const char* const kCorpusDir = "vorbis-corpus/";

std::vector<CorpusFile> LoadCorpus() {
  std::vector<CorpusFile> out;
  std::ifstream manifest(std::string(kCorpusDir) + "manifest.txt");
  std::string line;
  while (std::getline(manifest, line)) {
    std::istringstream fields(line);
    CorpusFile f;
    std::string file, ref;
    if (fields >> f.name >> f.kind >> f.channels >> f.rate >> f.samples >> file >> ref) {
      f.path = kCorpusDir + file;
      f.reference = kCorpusDir + ref;
      out.push_back(f);
    }
  }
  return out;
}

CorpusFile CorpusNamed(const std::string& name) {
  for (const CorpusFile& f : LoadCorpus()) {
    if (f.name == name) return f;
  }
  ADD_FAILURE() << "corpus file " << name << " is missing; run the build to make it";
  return CorpusFile{};
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<int16_t> ReadPcm(const std::string& path) {
  std::vector<uint8_t> b = ReadBytes(path);
  std::vector<int16_t> pcm(b.size() / 2);
  for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<int16_t>(b[2 * i] | (b[2 * i + 1] << 8));
  return pcm;
}

std::unique_ptr<codec::AudioDecoder> OpenMemory(std::vector<uint8_t> bytes) {
  auto d = MakeVorbisDecoder();
  if (!d->Open(std::make_unique<codec::MemoryByteSource>(std::move(bytes)))) return nullptr;
  return d;
}

std::vector<int16_t> DecodeRest(codec::AudioDecoder& d, size_t piece, int64_t maxFrames) {
  const size_t ch = static_cast<size_t>(d.format().channels);
  std::vector<int32_t> buf(piece * ch);
  std::vector<int16_t> out;
  int64_t total = 0;
  while (total < maxFrames) {
    const size_t n = d.Read(buf.data(), piece);
    if (n == 0) break;
    for (size_t i = 0; i < n * ch; ++i) {
      EXPECT_TRUE(buf[i] >= -32768 && buf[i] <= 32767) << buf[i];
      out.push_back(static_cast<int16_t>(buf[i]));
    }
    total += static_cast<int64_t>(n);
  }
  return out;
}

Difference Compare(const std::vector<int16_t>& a, const std::vector<int16_t>& b, size_t from) {
  Difference d;
  const size_t n = std::min(a.size(), b.size());
  double se = 0;
  for (size_t i = from; i < n; ++i) {
    const int diff = a[i] - b[i];
    se += static_cast<double>(diff) * diff;
    d.maxDiff = std::max(d.maxDiff, std::abs(diff));
  }
  if (se > 0 && n > from) d.psnr = 10 * std::log10(32768.0 * 32768.0 / (se / static_cast<double>(n - from)));
  return d;
}

}  // namespace cx::vorbis::test
