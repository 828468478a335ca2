// Layer III: side information, the main-data reservoir, scale factors of
// both syntaxes, Huffman decoding, requantisation, M/S and intensity
// stereo, reorder and alias reduction, then the hybrid filterbank and the
// synthesis into PCM.
#pragma once

#include <cstdint>

#include "mpeg/bit_reader.h"
#include "mpeg/frame_header.h"
#include "mpeg/huffman.h"
#include "mpeg/synthesis.h"

namespace cx::mpeg {

struct GranuleInfo {
  uint32_t part2_3_length = 0;
  uint32_t big_values = 0;
  uint32_t global_gain = 0;
  uint32_t scalefac_compress = 0;
  uint32_t window_switching_flag = 0;
  uint32_t block_type = 0;
  uint32_t mixed_block_flag = 0;
  uint32_t table_select[3] = {};
  uint32_t subblock_gain[3] = {};
  uint32_t region0_count = 0;
  uint32_t region1_count = 0;
  uint32_t preflag = 0;
  uint32_t scalefac_scale = 0;
  uint32_t count1table_select = 0;

  bool IsShort() const { return window_switching_flag && block_type == 2; }
  bool IsMixed() const { return IsShort() && mixed_block_flag; }
};

struct SideInfo {
  uint32_t main_data_begin = 0;
  uint32_t private_bits = 0;
  uint32_t scfsi[2][4] = {};
  GranuleInfo granule[2][2];  // [granule][channel]
};

struct ScaleFactors {
  int longBands[23];
  int shortBands[3][13];   // [window][band]
  // Intensity positions from this value up mean "no intensity": 7 for
  // MPEG-1 (where 4-bit scale factors could carry more, which has no
  // meaning), the largest value of the band's width in the other syntax.
  int intensityLimitLong[23];
  int intensityLimitShort[13];
};

// What the decoded granules used, counted since construction; tests and
// tools read it to see which paths a stream exercised.
struct Layer3Stats {
  uint64_t granules = 0;        // granule-channels decoded
  uint64_t shortGranules = 0;   // block type 2, not mixed
  uint64_t mixedGranules = 0;
  uint64_t switchedGranules = 0;  // window switching with start/stop blocks
  uint64_t msGranules = 0;      // granules with M/S stereo
  uint64_t intensityGranules = 0;
  uint64_t bigValuesClamped = 0;  // big_values above 288 stopped at 576
};

class Layer3Decoder {
 public:
  Layer3Decoder();
  // Empties the reservoir; the next frame may not point back before it.
  void Reset();
  // Decodes the audio data of one frame behind its header and CRC word into
  // interleaved PCM (granules x 576 samples per channel). False when the
  // frame cannot be decoded: bad side information or main data that the
  // reservoir does not hold.
  bool DecodeFrame(BitReader& in, const FrameHeader& h, HybridFilterbank& hybrid,
                   SubbandSynthesis& synth, int16_t* pcm);
  // Reads the side information and stores the frame's main data without
  // decoding, so that the frame after a seek finds what it points back to.
  bool PreloadFrame(BitReader& in, const FrameHeader& h);

  const SideInfo& side() const { return side_; }
  const Layer3Stats& stats() const { return stats_; }

 private:
  bool ReadSideInfo(BitReader& in, const FrameHeader& h);
  bool FillReservoir(BitReader& in, const FrameHeader& h);
  void ReadScaleFactorsMpeg1(int gr, int ch);
  void ReadScaleFactorsLsf(int ch, const FrameHeader& h);
  void DecodeHuffman(const GranuleInfo& g, uint64_t part2Start);
  void Requantize(const GranuleInfo& g, int ch);
  void ProcessStereo(int gr, const FrameHeader& h);
  void ReorderAndAlias(const GranuleInfo& g, int ch, float* out);

  const HuffmanTable* huffman_;
  Layer3Stats stats_;
  BitReservoir reservoir_;
  uint64_t frameStart_ = 0;  // main-data bytes put before the current frame
  SideInfo side_;
  const uint16_t* longBounds_ = nullptr;
  const uint16_t* shortBounds_ = nullptr;
  ScaleFactors scale_[2];
  int quantized_[576];
  int nonzeroEnd_[2];  // lines at and above this index are zero
  int huffmanEnd_ = 576;  // lines the last granule's Huffman data reached
  alignas(16) float lines_[2][576];
};

}  // namespace cx::mpeg
