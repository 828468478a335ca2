// Helpers shared by the decoder tests: fixture files, whole-file I/O and
// decoding a stream to the end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mpeg/mpeg_stream.h"

namespace cx::mpeg::test {

struct Fixture {
  std::string name;
  std::string path;       // the coded file
  std::string reference;  // the reference decoder's 16-bit PCM of it
};

// The fixtures listed in the build folder's manifest (made by
// make_fixtures.py); the tests run in the build folder.
std::vector<Fixture> LoadFixtures();
// The fixture of that name; fails the calling test when it is missing.
Fixture FixtureNamed(const std::string& name);

std::vector<uint8_t> ReadFile(const std::string& path);
bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<int16_t> ReadPcm(const std::string& path);
// A path for a scratch file of this test program.
std::string TempPath(const std::string& name);

// Decodes from the stream's position to its end, block by block; at most
// maxBlocks blocks (a guard against a decoder that never ends).
std::vector<int16_t> DecodeAll(MpegStream& stream, int maxBlocks = 1 << 20);

// Byte offsets of the frame headers of a clean file, found by walking the
// headers from the start.
std::vector<size_t> FrameOffsets(const std::vector<uint8_t>& bytes);

struct Difference {
  int maxDiff = 0;
  double psnr = 0;  // dB, relative to full scale; 999 when identical
  size_t compared = 0;
};
Difference Compare(const std::vector<int16_t>& a, size_t aFrom, const std::vector<int16_t>& b,
                   size_t bFrom);

}  // namespace cx::mpeg::test
