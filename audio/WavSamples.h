// The samples of a WAV file's data chunk as the decoder interface delivers
// them: signed values in int32_t, one per channel and frame. Serves the
// files whose stored samples no output takes as they are (floating point)
// and integer files brought to 16 bits for an output that takes no more.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "codec/audio_decoder.h"

// How a WAV file stores its samples.
enum class WavSampleKind : uint16_t { kInteger = 1, kFloat = 3 };

struct WavSampleLayout {
  WavSampleKind kind = WavSampleKind::kInteger;
  int channels = 0;
  uint32_t sampleRate = 0;
  int containerBytes = 0;  // integer 1..4, float 4 or 8
};

// Floating-point samples come out as 24-bit values, clipped to the range
// full scale allows; integer samples at their container's depth (8-bit ones
// made signed). The byte source is the data chunk alone.
std::unique_ptr<cx::codec::AudioDecoder> MakeWavSampleDecoder(const WavSampleLayout& layout);

// One stored float sample as a 24-bit value: full scale is 1.0, anything
// beyond is clipped, and what is not a number is silence.
int32_t FloatTo24Bits(double x);
