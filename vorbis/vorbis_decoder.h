// Ogg Vorbis behind the common decoder interface: 16-bit output (the float
// signal times 32768, rounded and clipped), channels in the stream's order.
// Chained streams play one after another while their channel count and
// rate stay those of the first; at a change the file ends there.
#pragma once

#include <memory>

#include "codec/audio_decoder.h"

namespace cx::vorbis {

std::unique_ptr<codec::AudioDecoder> MakeVorbisDecoder();

// True when the bytes begin an Ogg page whose first packet is a Vorbis
// identification header (for choosing a decoder by content).
bool LooksLikeVorbis(const uint8_t* data, size_t size);

}  // namespace cx::vorbis
