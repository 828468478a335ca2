// FLAC behind the common decoder interface.
#pragma once

#include <memory>

#include "codec/audio_decoder.h"

namespace cx::flac {

std::unique_ptr<codec::AudioDecoder> MakeFlacDecoder();

}  // namespace cx::flac
