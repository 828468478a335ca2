#include "tests/mpeg/test_files.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "mpeg/frame_header.h"
#include "tests/support/TempFolder.h"

namespace cx::mpeg::test {

static const char* const kFixtureDir = "mpeg-fixtures/";

std::vector<Fixture> LoadFixtures() {
  std::vector<Fixture> out;
  std::ifstream manifest(std::string(kFixtureDir) + "manifest.txt");
  std::string line;
  while (std::getline(manifest, line)) {
    std::istringstream fields(line);
    Fixture f;
    std::string file, ref;
    if (fields >> f.name >> file >> ref) {
      f.path = kFixtureDir + file;
      f.reference = kFixtureDir + ref;
      out.push_back(f);
    }
  }
  return out;
}

Fixture FixtureNamed(const std::string& name) {
  for (const Fixture& f : LoadFixtures()) {
    if (f.name == name) return f;
  }
  ADD_FAILURE() << "fixture " << name << " is missing; run the build to make it";
  return Fixture{};
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::vector<uint8_t> bytes;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return bytes;
  uint8_t chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  std::fclose(f);
  return bytes;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

std::vector<int16_t> ReadPcm(const std::string& path) {
  std::vector<uint8_t> bytes = ReadFile(path);
  std::vector<int16_t> pcm(bytes.size() / 2);
  for (size_t i = 0; i < pcm.size(); ++i) {
    pcm[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }
  return pcm;
}

std::string TempPath(const std::string& name) {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string prefix = info ? std::string(info->test_suite_name()) + "-" + info->name() : "mpeg";
  return cx::test::ProcessTempPath(prefix + "-" + name);
}

std::vector<int16_t> DecodeAll(MpegStream& stream, int maxBlocks) {
  std::vector<int16_t> pcm;
  for (int i = 0; i < maxBlocks && stream.DecodeBlock(); ++i) {
    pcm.insert(pcm.end(), stream.PcmBlock(), stream.PcmBlock() + stream.PcmValues());
  }
  return pcm;
}

std::vector<size_t> FrameOffsets(const std::vector<uint8_t>& bytes) {
  std::vector<size_t> offsets;
  size_t at = 0;
  while (at + 4 <= bytes.size()) {
    uint32_t word = (uint32_t{bytes[at]} << 24) | (bytes[at + 1] << 16) | (bytes[at + 2] << 8) | bytes[at + 3];
    FrameHeader h;
    if (!DecodeHeaderWord(word, &h)) break;
    offsets.push_back(at);
    at += static_cast<size_t>(FrameBytes(h));
  }
  return offsets;
}

Difference Compare(const std::vector<int16_t>& a, size_t aFrom, const std::vector<int16_t>& b,
                   size_t bFrom) {
  Difference d;
  double squares = 0;
  for (size_t i = aFrom, j = bFrom; i < a.size() && j < b.size(); ++i, ++j) {
    int diff = std::abs(static_cast<int>(a[i]) - static_cast<int>(b[j]));
    if (diff > d.maxDiff) d.maxDiff = diff;
    squares += static_cast<double>(diff) * diff;
    ++d.compared;
  }
  double mse = d.compared ? squares / static_cast<double>(d.compared) : 0;
  d.psnr = mse > 0 ? 10 * std::log10(32767.0 * 32767.0 / mse) : 999;
  return d;
}

}  // namespace cx::mpeg::test
