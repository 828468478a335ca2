#include "mpeg/frame_header.h"

#include "mpeg/standard_tables.h"

namespace cx::mpeg {
namespace {

// Rows: ID 0 Layer I; ID 0 Layers II and III; ID 1 Layer I, II, III.
constexpr uint16_t kBitrates[5][15] = {
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
};

// Rows: lower sampling frequencies, MPEG-1, the quartered rates.
constexpr uint32_t kSamplingRates[3][4] = {
    {22050, 24000, 16000, 0}, {44100, 48000, 32000, 0}, {11025, 12000, 8000, 0}};

// Joint-stereo bound by mode extension: Layers I/II in subbands, Layer III
// unused (its bound comes from the intensity scale factors).
constexpr int kJointBoundLayer12[4] = {4, 8, 12, 16};

}  // namespace

uint32_t BitrateKbps(const FrameHeader& h) {
  if (h.bitrateIndex > 14 || h.layerCode == 0) return 0;
  int row = h.id ? 2 + (3 - static_cast<int>(h.layerCode)) : (h.layerCode == 3 ? 0 : 1);
  return kBitrates[row][h.bitrateIndex];
}

uint32_t SamplingRate(const FrameHeader& h) {
  return kSamplingRates[h.mpeg25 ? 2 : h.id & 1][h.samplingIndex & 3];
}

int SamplesPerFrame(const FrameHeader& h) {
  switch (h.layerCode) {
    case 3: return 384;
    case 2: return 1152;
    case 1: return h.id ? 1152 : 576;
    default: return 0;
  }
}

bool DecodeHeaderBits(uint32_t bits, FrameHeader* out) {
  return DecodeHeaderWord(0xFFF00000u | (bits & 0xFFFFF), out);
}

bool DecodeHeaderWord(uint32_t word, FrameHeader* out) {
  if ((word >> 21) != 0x7FF) return false;
  const uint32_t version = (word >> 19) & 3;
  if (version == 1) return false;
  const uint32_t bits = word & 0xFFFFF;
  FrameHeader h;
  h.id = version & 1;
  h.mpeg25 = version == 0;
  h.layerCode = (bits >> 17) & 3;
  h.protection = (bits >> 16) & 1;
  h.bitrateIndex = (bits >> 12) & 15;
  h.samplingIndex = (bits >> 10) & 3;
  h.padding = (bits >> 9) & 1;
  h.privateBit = (bits >> 8) & 1;
  h.mode = (bits >> 6) & 3;
  h.modeExtension = (bits >> 4) & 3;
  h.copyright = (bits >> 3) & 1;
  h.original = (bits >> 2) & 1;
  h.emphasis = bits & 3;
  if (h.layerCode == 0 || h.bitrateIndex == 15 || h.samplingIndex == 3) return false;
  // The quartered rates exist for Layer III alone.
  if (h.mpeg25 && h.layerCode != 1) return false;
  if (BitrateKbps(h) == 0) return false;
  h.channels = h.mode == 3 ? 1 : 2;
  h.subbandLimit = 32;
  h.jointBound = 32;
  if (h.layerCode == 2) {
    h.layer2Table = Layer2TableChoice(h);
    h.subbandLimit = kLayer2AllocTables[h.layer2Table].subbandLimit;
    h.jointBound = h.subbandLimit;
    if (h.mode == 1 && kJointBoundLayer12[h.modeExtension] < h.subbandLimit) {
      h.jointBound = kJointBoundLayer12[h.modeExtension];
    }
  } else if (h.layerCode == 3 && h.mode == 1) {
    h.jointBound = kJointBoundLayer12[h.modeExtension];
  }
  *out = h;
  return true;
}

bool HeaderMatches(const FrameHeader& first, const FrameHeader& next) {
  return first.id == next.id && first.mpeg25 == next.mpeg25 && first.layerCode == next.layerCode && first.samplingIndex == next.samplingIndex;
}

int FrameBytes(const FrameHeader& h) {
  uint32_t rate = SamplingRate(h);
  uint32_t kbps = BitrateKbps(h);
  if (rate == 0) return 0;
  if (h.layerCode == 3) return static_cast<int>((kbps * 12000 / rate + h.padding) * 4);
  uint32_t n = kbps * 144000 / rate;
  // Only Layer III halves the frame at the lower sampling frequencies: its
  // frames carry 576 samples there, Layer II frames keep all 1152.
  if (h.id == 0 && h.layerCode == 1) n /= 2;
  return static_cast<int>(n + h.padding);
}

int SideInfoBytes(const FrameHeader& h) {
  if (h.id) return h.channels == 1 ? 17 : 32;
  return h.channels == 1 ? 9 : 17;
}

int MainDataBytes(const FrameHeader& h) {
  int n = FrameBytes(h) - 4 - SideInfoBytes(h);
  if (h.protection == 0) n -= 2;
  return n < 0 ? 0 : n;
}

int Layer2TableChoice(const FrameHeader& h) {
  if (h.id == 0) return kLayer2LsfTable;
  uint32_t perChannel = BitrateKbps(h) / (h.mode == 3 ? 1 : 2);
  uint32_t rate = SamplingRate(h);
  if ((rate == 48000 && perChannel >= 56) || (perChannel >= 56 && perChannel <= 80)) return 0;
  if (rate != 48000 && perChannel >= 96) return 1;
  if (rate != 32000 && perChannel <= 48) return 2;
  return 3;
}

}  // namespace cx::mpeg
