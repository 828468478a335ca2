// MPEG audio frame header: field decoding, validity rules and the frame
// length arithmetic shared by all three layers.
#pragma once

#include <cstdint>

namespace cx::mpeg {

struct FrameHeader {
  uint32_t id = 0;              // 1 MPEG-1, 0 lower sampling frequencies
  bool mpeg25 = false;          // with id 0: the quartered rates (version bits 00)
  uint32_t layerCode = 0;       // 3 Layer I, 2 Layer II, 1 Layer III
  uint32_t protection = 0;      // 1 = no CRC word
  uint32_t bitrateIndex = 0;
  uint32_t samplingIndex = 0;
  uint32_t padding = 0;
  uint32_t privateBit = 0;
  uint32_t mode = 0;            // 0 stereo, 1 joint, 2 dual, 3 single channel
  uint32_t modeExtension = 0;
  uint32_t copyright = 0;
  uint32_t original = 0;
  uint32_t emphasis = 0;

  // Derived when the header is accepted.
  int channels = 0;
  int subbandLimit = 32;
  int jointBound = 32;
  int layer2Table = -1;         // Layer II allocation table in use
  uint32_t crc = 0;

  int Layer() const { return 4 - static_cast<int>(layerCode); }
};

// kbit/s; 0 for the free format index and for invalid combinations.
uint32_t BitrateKbps(const FrameHeader& h);
uint32_t SamplingRate(const FrameHeader& h);
int SamplesPerFrame(const FrameHeader& h);

// Decodes a whole 32-bit header: 11 sync bits, the version (11 MPEG-1, 10
// lower sampling frequencies, 00 their halves, only with Layer III; 01 is
// reserved), then the fields. False for a layer code of 0, free format or
// bitrate index 15, sampling index 3. Fills the derived fields on success.
bool DecodeHeaderWord(uint32_t word, FrameHeader* out);
// The 20 bits behind a 12-bit sync word of ones (MPEG-1 and -2 only).
bool DecodeHeaderBits(uint32_t bits20, FrameHeader* out);

// True when 'next' belongs to the stream that 'first' opened: the same
// version, layer and sampling frequency. Everything else (CRC, bitrate, mode, the
// private, copyright and emphasis bits) may change from frame to frame.
bool HeaderMatches(const FrameHeader& first, const FrameHeader& next);

// Bytes of the whole frame, header included.
int FrameBytes(const FrameHeader& h);
// Layer III: bytes of main data in the frame (after header, CRC and side
// information).
int MainDataBytes(const FrameHeader& h);
int SideInfoBytes(const FrameHeader& h);

// Layer II allocation table for the header's rate and bitrate per channel
// (0..3 for B.2a..B.2d, 4 for the lower sampling frequencies).
int Layer2TableChoice(const FrameHeader& h);

}  // namespace cx::mpeg
