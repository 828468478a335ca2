// Test files made at test time with sox and the reference encoder, the
// reference decoder's output for them, and the byte surgery some cases
// need (variable blocking, damage, altered STREAMINFO).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cx::flac::test {

std::vector<uint8_t> ReadBytes(const std::string& path);
bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
// Runs a shell command; false unless it exits with 0.
bool Run(const std::string& command);

// The reference decoder's samples of `flacPath`, interleaved: through
// --force-raw-format signed little-endian for 8/16/24/32 bits, through its
// WAV output (values left-aligned in their container) for other depths.
bool ReferenceDecode(const std::string& flacPath, const std::string& scratch, int bits,
                     std::vector<int32_t>* out);

// A WAVE_FORMAT_EXTENSIBLE file of `bits` valid bits (4..24) made from
// 24-bit signed raw PCM: how the reference encoder is given odd depths.
bool WriteOddDepthWav(const std::string& raw24, const std::string& wavPath, int channels, int rate, int bits);

// Joins two fixed-blocking streams of one format into one variable-blocking
// stream: the frame headers carry sample numbers instead of frame numbers
// (CRC-8 and CRC-16 made anew), STREAMINFO gets the joint block sizes and
// length, and no MD5 (unknown frame sizes, no seek table).
bool JoinAsVariableBlocking(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b,
                            std::vector<uint8_t>* out);

// Byte offset of the first frame (after "fLaC" and the metadata blocks).
size_t FirstFrameOffset(const std::vector<uint8_t>& file);

}  // namespace cx::flac::test
