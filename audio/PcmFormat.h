// The PCM format descriptor shared by every audio engine. Its bytes are
// exactly those of the platform's WAVEFORMATEX, so it is handed to the wave
// devices and to DirectSound buffer descriptions as it is.
#pragma once

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)
struct PcmFormat {
  uint16_t formatTag;       // 1 = PCM, the only tag produced or accepted
  uint16_t channels;        // 1 mono, 2 stereo
  uint32_t samplesPerSec;
  uint32_t avgBytesPerSec;  // blockAlign * samplesPerSec
  uint16_t blockAlign;      // channels * bitsPerSample / 8
  uint16_t bitsPerSample;   // 8 or 16
  uint16_t extraSize;       // 0 when built here; the platform ignores it for PCM
};
#pragma pack(pop)

static_assert(sizeof(PcmFormat) == 18, "PcmFormat must have the 18 bytes of WAVEFORMATEX");
static_assert(offsetof(PcmFormat, samplesPerSec) == 4 && offsetof(PcmFormat, avgBytesPerSec) == 8 &&
                  offsetof(PcmFormat, blockAlign) == 12 && offsetof(PcmFormat, extraSize) == 16,
              "PcmFormat fields must sit where WAVEFORMATEX has them");

constexpr uint16_t kPcmFormatTag = 1;

// The one rule both recorders and the recording-format table use.
constexpr PcmFormat MakePcmFormat(uint32_t rate, uint16_t channels, uint16_t bits) {
  PcmFormat f{};
  f.formatTag = kPcmFormatTag;
  f.channels = channels;
  f.samplesPerSec = rate;
  f.blockAlign = static_cast<uint16_t>((channels * bits) >> 3);
  f.avgBytesPerSec = f.blockAlign * rate;
  f.bitsPerSample = bits;
  f.extraSize = 0;
  return f;
}
