// The information frame encoders put in front of a Layer III stream: a
// "Xing" (variable bitrate) or "Info" (constant bitrate) header behind the
// side information, or a "VBRI" header 32 bytes behind the frame header.
// It gives the exact frame count and a table of contents for seeking; a
// LAME extension behind a Xing/Info header gives the encoder delay and the
// padding added at the end, which gapless playback trims.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "mpeg/frame_header.h"

namespace cx::mpeg {

struct VbrHeader {
  enum class Kind { kNone, kXing, kInfo, kVbri };
  Kind kind = Kind::kNone;
  int64_t frames = -1;  // audio frames behind the information frame; -1 unknown
  int64_t bytes = -1;   // stream bytes from the information frame on; -1 unknown
  // Xing: 100 entries, byte position of each percent of the duration in
  // 256ths of the stream bytes. VBRI: bytes of each group of frames.
  std::vector<uint32_t> toc;
  int64_t framesPerTocEntry = 0;  // VBRI only
  bool encoderTag = false;        // delay and padding are known
  int32_t encoderDelay = 0;       // samples added in front by the encoder
  int32_t encoderPadding = 0;     // samples added at the end
};

// Bytes of the frame that must be present for ParseVbrHeader to see every
// kind of header it knows (larger frames are fine).
constexpr size_t kVbrHeaderScanBytes = 2048;

// Reads the header from the first bytes of a Layer III frame (header
// included). False when the frame carries none; every size is checked
// against n.
bool ParseVbrHeader(const uint8_t* frame, size_t n, const FrameHeader& h, VbrHeader* out);

// Byte offset, from the start of the information frame, at which audio
// frame f begins according to the table of contents; -1 without a table.
int64_t VbrTocOffset(const VbrHeader& v, int64_t f);

}  // namespace cx::mpeg
