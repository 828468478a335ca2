#include "mpeg/mpeg_stream.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "mpeg/id3v2.h"

namespace cx::mpeg {
namespace {

// How much of an ID3v2 tag is read for its title frame.
constexpr int64_t kTitleScanBytes = 65536;

// Copies a fixed-width tag field, cut at its first NUL and terminated.
void CopyTagField(char* out, const uint8_t* in, int width) {
  int n = 0;
  while (n < width && in[n] != 0) {
    out[n] = static_cast<char>(in[n]);
    ++n;
  }
  out[n] = '\0';
}

}  // namespace

MpegStream::MpegStream() { pcm_.reserve(2 * 1152 * kFramesPerBlock); }

void MpegStream::ClearFilters() {
  hybrid_.Reset();
  synthesis_.Reset();
}

// ---------------------------------------------------------------- tags

void MpegStream::ReadId3v1Tag() {
  std::memset(&info_.tag, 0, sizeof info_.tag);
  info_.tagPresent = false;
  uint8_t tag[128];
  ByteSource* source = reader_.source();
  const int64_t size = source->Size();
  if (size >= 128 && source->ReadAt(size - 128, tag, 128) == 128 && std::memcmp(tag, "TAG", 3) == 0) {
    info_.tagPresent = true;
    CopyTagField(info_.tag.title, tag + 3, 30);
    CopyTagField(info_.tag.artist, tag + 33, 30);
    CopyTagField(info_.tag.album, tag + 63, 30);
    CopyTagField(info_.tag.year, tag + 93, 4);
    CopyTagField(info_.tag.comment, tag + 97, 30);
    info_.tag.genre = tag[127];
  }
}

int64_t MpegStream::SkipId3v2Tag() {
  // An ID3v2 tag is skipped by its declared size: its contents may hold
  // byte patterns that look like sync words. Tags may follow each other.
  int64_t at = 0;
  for (int tags = 0; tags < 8; ++tags) {
    reader_.SeekByte(at);
    uint8_t h[10];
    reader_.GetBytes(h, 10);
    if (reader_.EndOfFile() || std::memcmp(h, "ID3", 3) != 0 || h[3] == 0xFF || h[4] == 0xFF ||
        (h[6] | h[7] | h[8] | h[9]) & 0x80) {
      break;
    }
    int64_t size = (int64_t{h[6]} << 21) | (h[7] << 14) | (h[8] << 7) | h[9];
    if (info_.id3v2Title[0] == '\0') {
      // The title frame sits near the front of a tag; a picture may follow.
      std::vector<uint8_t> tag(static_cast<size_t>(std::min<int64_t>(10 + size, kTitleScanBytes)));
      tag.resize(reader_.source()->ReadAt(at, tag.data(), tag.size()));
      ReadId3v2Title(tag.data(), tag.size(), info_.id3v2Title, sizeof info_.id3v2Title);
    }
    at += 10 + size + ((h[5] & 0x10) ? 10 : 0);
    if (at >= reader_.FileLength()) break;
  }
  return at;
}

// ---------------------------------------------------------------- header

bool MpegStream::FindSync() {
  // Eleven ones; the twelfth bit belongs to the version (0 for the
  // quartered rates).
  reader_.AlignToByte();
  uint32_t v = reader_.GetBits(12);
  while ((v & 0xFFE) != 0xFFE && !reader_.EndOfFile()) {
    v = (v << 8) | reader_.GetBits(8);
  }
  syncLowBit_ = v & 1;
  return !reader_.EndOfFile();
}

bool MpegStream::ParseHeader(bool compare) {
  uint32_t bits = reader_.GetBits(20);
  if (reader_.EndOfFile()) return false;
  FrameHeader h;
  if (!DecodeHeaderWord((0xFFEu | syncLowBit_) << 20 | bits, &h)) return false;
  if (compare && !HeaderMatches(first_, h)) return false;
  header_ = h;
  return true;
}

void MpegStream::ReadCrcWord() {
  if (header_.protection == 0) header_.crc = reader_.GetBits(16);
}

bool MpegStream::FindFirstFrame(int64_t from) {
  int64_t at = from;
  while (true) {
    reader_.SeekByte(at);
    if (!FindSync()) return false;
    int64_t sync = (reader_.BitPosition() - 12) / 8;
    if (sync > from + kSyncSearchLimit) return false;
    // Junk in front of the stream may hold a valid-looking header; it is
    // believed only when its frame ends the data or another header of the
    // same stream follows it.
    if (ParseHeader(false) && StreamGoesOnAt(sync + FrameBytes(header_), header_)) {
      firstFrameOffset_ = sync;
      first_ = header_;
      return true;
    }
    // A false sync: look again from the next byte.
    at = sync + 1;
  }
}

bool MpegStream::IsInformationFrame(int64_t at, const FrameHeader& h) {
  // The tag sits behind the side information (Xing/Info) or 32 bytes
  // behind the header (VBRI); both lie inside the frame's first 40 bytes.
  if (h.layerCode != 1) return false;
  const int64_t xing = at + 4 + (h.protection == 0 ? 2 : 0) + SideInfoBytes(h);
  uint8_t tag[4];
  if (reader_.PeekBytes(xing, tag, 4) &&
      (std::memcmp(tag, "Xing", 4) == 0 || std::memcmp(tag, "Info", 4) == 0)) {
    return true;
  }
  return reader_.PeekBytes(at + 36, tag, 4) && std::memcmp(tag, "VBRI", 4) == 0;
}

bool MpegStream::StreamGoesOnAt(int64_t at, const FrameHeader& h) {
  if (at > dataEnd_) return false;
  if (at + 4 > dataEnd_) return true;
  uint8_t b[4];
  FrameHeader next;
  return reader_.PeekBytes(at, b, 4) &&
         DecodeHeaderWord(uint32_t{b[0]} << 24 | b[1] << 16 | b[2] << 8 | b[3], &next) && HeaderMatches(h, next);
}

bool MpegStream::HeaderFollows(int64_t at) {
  if (at >= dataEnd_) return true;
  uint8_t b[2];
  return reader_.PeekBytes(at, b, 2) && b[0] == 0xFF && (b[1] & 0xE0) == 0xE0;
}

void MpegStream::ReadInformationFrame() {
  // Encoders put a Layer III frame without audio in front of the stream
  // that describes it. It would play as a frame of silence; its frame count,
  // table of contents and encoder delay are used instead.
  vbr_ = VbrHeader{};
  infoFrameOffset_ = -1;
  if (first_.layerCode != 1) return;
  std::vector<uint8_t> frame(static_cast<size_t>(std::max(FrameBytes(first_), 64)));
  frame.resize(reader_.source()->ReadAt(firstFrameOffset_, frame.data(), frame.size()));
  VbrHeader vbr;
  if (!ParseVbrHeader(frame.data(), frame.size(), first_, &vbr)) return;
  // Only when a real frame follows; otherwise the file is kept as it is.
  const FrameHeader infoFrame = first_;
  const int64_t next = firstFrameOffset_ + FrameBytes(first_);
  reader_.SeekByte(next);
  if (FindSync() && (reader_.BitPosition() - 12) / 8 == next && ParseHeader(true)) {
    infoFrameOffset_ = firstFrameOffset_;
    firstFrameOffset_ = next;
    first_ = header_;
    vbr_ = vbr;
  } else {
    first_ = infoFrame;
  }
}

void MpegStream::WalkFrameHeaders() {
  // Every frame from the first on, by its header's length: frames of the
  // stream's rate and layer are counted, others (a joined file of another
  // rate) counted apart, damage searched past. A frame cut off by the end
  // of the data is not counted: it does not play.
  frameOffsets_.clear();
  info_.otherFrames = 0;
  int64_t at = firstFrameOffset_;
  while (at + 4 <= dataEnd_) {
    reader_.SeekByte(at);
    const uint32_t bits = reader_.GetBits(32);
    FrameHeader h;
    if (DecodeHeaderWord(bits, &h)) {
      const int64_t end = at + FrameBytes(h);
      if (end > dataEnd_) break;
      if (!HeaderMatches(first_, h)) {
        ++info_.otherFrames;
      } else if (!IsInformationFrame(at, h)) {
        frameOffsets_.push_back(at);
      }
      at = end;
      continue;
    }
    reader_.SeekByte(at + 1);
    if (!FindSync()) break;
    at = (reader_.BitPosition() - 12) / 8;
  }
}

// ---------------------------------------------------------------- open

bool MpegStream::OpenStream(const std::string& path) {
  return OpenStream(FileByteSource::Open(path));
}

bool MpegStream::OpenStream(std::unique_ptr<ByteSource> source) {
  open_ = false;
  frameIndex_ = 0;
  blockHoldsFrames_ = false;
  pcmValues_ = 0;
  frameOffsets_.clear();
  layer3_.Reset();
  ClearFilters();
  std::memset(&info_, 0, sizeof info_);
  if (!valid() || !reader_.Open(std::move(source))) return false;

  ReadId3v1Tag();
  dataEnd_ = reader_.FileLength() - (info_.tagPresent ? 128 : 0);
  if (!FindFirstFrame(SkipId3v2Tag())) return false;
  ReadInformationFrame();

  const FrameHeader& h = first_;
  const int frameBytes = FrameBytes(h);
  if (frameBytes <= 0 || firstFrameOffset_ + frameBytes > dataEnd_) return false;

  StreamInfo& s = info_;
  s.id = h.id;
  s.mpeg25 = h.mpeg25;
  s.layerCode = h.layerCode;
  s.crcPresent = h.protection == 0;
  s.bitrate = BitrateKbps(h) * 1000;
  s.samplingRate = SamplingRate(h);
  s.padding = h.padding != 0;
  s.mode = h.mode;
  s.modeExtension = h.modeExtension;
  s.emphasis = h.emphasis;
  s.samplesPerFrame = SamplesPerFrame(h);
  s.channels = h.channels;
  s.bytesPerSample = 2;
  s.millisecondsPerFrame = static_cast<int32_t>(s.samplesPerFrame * 1000.0 / s.samplingRate);

  if (dataEnd_ - firstFrameOffset_ <= walkLimit_) {
    WalkFrameHeaders();
    s.frameCount = static_cast<int64_t>(frameOffsets_.size());
    s.countSource = FrameCount::kHeaderWalk;
  } else if (vbr_.frames > 0) {
    s.frameCount = vbr_.frames;
    s.countSource = vbr_.kind == VbrHeader::Kind::kVbri ? FrameCount::kVbri : FrameCount::kXing;
  } else {
    s.frameCount = (dataEnd_ - firstFrameOffset_) / frameBytes;
    s.countSource = FrameCount::kEstimate;
  }
  if (s.frameCount <= 0) return false;

  const int64_t samples = s.frameCount * s.samplesPerFrame;
  s.encoderTag = vbr_.encoderTag;
  s.encoderDelay = vbr_.encoderDelay;
  s.encoderPadding = vbr_.encoderPadding;
  s.gapless = gaplessWanted_ && vbr_.encoderTag && vbr_.encoderDelay + vbr_.encoderPadding < samples;
  trimStart_ = 0;
  trimEnd_ = INT64_MAX;
  s.totalSamples = samples;
  if (s.gapless) {
    // The first decoded sample of the original lies behind the encoder's
    // delay and the decoder's own; the original ends that far before the
    // encoder's padding does.
    s.totalSamples = samples - vbr_.encoderDelay - vbr_.encoderPadding;
    trimStart_ = vbr_.encoderDelay + kDecoderDelay;
    trimEnd_ = trimStart_ + s.totalSamples;
  }
  s.totalMilliseconds = s.totalSamples * 1000 / s.samplingRate;
  s.totalPcmBytes = s.totalSamples * s.channels * 2;

  reader_.SeekByte(firstFrameOffset_);
  open_ = true;
  return true;
}

// ---------------------------------------------------------------- frames

bool MpegStream::DecodeAudio(int16_t* out) {
  switch (header_.layerCode) {
    case 3: layer12_.DecodeLayer1(reader_, header_, synthesis_, out); return true;
    case 2: layer12_.DecodeLayer2(reader_, header_, synthesis_, out); return true;
    default: return layer3_.DecodeFrame(reader_, header_, hybrid_, synthesis_, out);
  }
}

bool MpegStream::DecodeOtherChannels(int16_t* out) {
  // The PCM format is fixed at open: a single-channel frame feeds both
  // channels, a two-channel frame is mixed down.
  const int samples = SamplesPerFrame(header_);
  otherChannels_.resize(static_cast<size_t>(samples) * 2);
  int16_t* pcm = otherChannels_.data();
  if (!DecodeAudio(pcm)) return false;
  for (int i = 0; i < samples; ++i) {
    if (info_.channels == 2) {
      out[2 * i] = out[2 * i + 1] = pcm[i];
    } else {
      out[i] = static_cast<int16_t>((pcm[2 * i] + pcm[2 * i + 1]) / 2);
    }
  }
  return true;
}

FrameResult MpegStream::DecodeFrame() {
  if (!open_) return FrameResult::kEndOfStream;
  int64_t frameStart, frameEnd;
  while (true) {
    if (reader_.EndOfFile() || !FindSync()) return FrameResult::kEndOfStream;
    frameStart = (reader_.BitPosition() - 12) / 8;
    if (!ParseHeader(false)) return reader_.EndOfFile() ? FrameResult::kEndOfStream : FrameResult::kBadFrame;
    frameEnd = frameStart + FrameBytes(header_);
    const bool other = !HeaderMatches(first_, header_);
    if (!other && !IsInformationFrame(frameStart, header_)) break;
    // A frame of another rate or layer (files joined together) or another
    // encoder's information frame: skipped whole when a header follows it,
    // else it was a false sync and does not count as a frame at all.
    if (!HeaderFollows(frameEnd)) return FrameResult::kBadFrame;
    reader_.SeekByte(frameEnd);
  }
  // Whatever the frame's data holds, the next frame starts behind it: skip
  // ancillary data (and the rest of a frame that fails), in which a false
  // sync word could otherwise be taken for the next header.
  struct SkipToFrameEnd {
    BitReader& reader;
    int64_t end;
    ~SkipToFrameEnd() {
      if (!reader.EndOfFile() && reader.BitPosition() < end * 8) reader.SkipBits(end * 8 - reader.BitPosition());
    }
  } skip{reader_, frameEnd};
  ReadCrcWord();

  const int values = SamplesPerFrame(header_) * info_.channels;
  if (pcm_.size() < static_cast<size_t>(pcmValues_ + values)) pcm_.resize(pcmValues_ + values);
  int16_t* out = pcm_.data() + pcmValues_;
  const bool ok = header_.channels == info_.channels ? DecodeAudio(out) : DecodeOtherChannels(out);
  // A frame cut off by the end of the file is not played.
  if (reader_.EndOfFile()) return FrameResult::kEndOfStream;
  if (!ok) return FrameResult::kBadFrame;
  pcmValues_ += values;
  return FrameResult::kDecoded;
}

bool MpegStream::DecodeBlock() {
  blockHoldsFrames_ = false;
  pcmValues_ = 0;
  if (!open_) return false;
  const size_t needed = static_cast<size_t>(info_.channels) * info_.samplesPerFrame * kFramesPerBlock;
  if (pcm_.size() < needed) pcm_.resize(needed);
  const int64_t perFrame = info_.samplesPerFrame;
  while (true) {
    pcmValues_ = 0;
    const int64_t blockStart = frameIndex_ * perFrame;
    int decoded = 0;
    for (int attempt = 0; attempt < kFramesPerBlock; ++attempt) {
      FrameResult r = DecodeFrame();
      if (r == FrameResult::kEndOfStream) break;
      if (r == FrameResult::kDecoded) ++decoded;
    }
    frameIndex_ += decoded;
    if (decoded == 0) return false;
    // Gapless trimming: keep only the samples in [trimStart_, trimEnd_).
    const int64_t from = std::max<int64_t>(0, trimStart_ - blockStart);
    const int64_t to = std::min<int64_t>(decoded * perFrame, trimEnd_ - blockStart);
    if (to <= 0 || blockStart >= trimEnd_) {
      pcmValues_ = 0;
      return false;
    }
    if (from >= to) continue;  // still inside the encoder's delay
    const int64_t channels = info_.channels;
    if (from > 0) {
      std::memmove(pcm_.data(), pcm_.data() + from * channels,
                   static_cast<size_t>((to - from) * channels) * sizeof(int16_t));
    }
    pcmValues_ = static_cast<int32_t>((to - from) * channels);
    blockHoldsFrames_ = true;
    return true;
  }
}

const int16_t* MpegStream::PcmBlock() const {
  return open_ && blockHoldsFrames_ ? pcm_.data() : nullptr;
}

int32_t MpegStream::PcmValues() const { return open_ && blockHoldsFrames_ ? pcmValues_ : 0; }

int64_t MpegStream::PositionSamples() const {
  if (!open_) return 0;
  const int64_t at = frameIndex_ * info_.samplesPerFrame;
  return std::clamp<int64_t>(at - trimStart_, 0, info_.totalSamples);
}

int64_t MpegStream::FrameOfSample(int64_t sample) const {
  if (!open_ || info_.samplesPerFrame <= 0) return 0;
  return (std::max<int64_t>(sample, 0) + trimStart_) / info_.samplesPerFrame;
}

// ---------------------------------------------------------------- seeking

int64_t MpegStream::ResyncFrom(int64_t from) {
  // Two headers in a row that match the stream, so that a sync pattern in
  // the audio data is not taken for a frame.
  int64_t at = std::max(from, firstFrameOffset_);
  while (at < dataEnd_) {
    reader_.SeekByte(at);
    if (!FindSync()) return -1;
    const int64_t sync = (reader_.BitPosition() - 12) / 8;
    if (sync > from + kSyncSearchLimit) return -1;
    if (ParseHeader(true)) {
      const int64_t next = sync + FrameBytes(header_);
      reader_.SeekByte(next);
      if (next >= dataEnd_ || (FindSync() && (reader_.BitPosition() - 12) / 8 == next && ParseHeader(true))) {
        return sync;
      }
    }
    at = sync + 1;
  }
  return -1;
}

bool MpegStream::SeekFrame(int64_t f) {
  if (!open_ || f < 0 || f > info_.frameCount) return false;
  frameIndex_ = 0;
  blockHoldsFrames_ = false;
  pcmValues_ = 0;
  layer3_.Reset();
  // Nothing of the old position may ring on into the new one.
  ClearFilters();
  const bool layer3 = info_.layerCode == 1;
  if (layer3 && f < 5) {
    // Too close to the start to preload: decode from the first frame.
    reader_.SeekByte(firstFrameOffset_);
    frameIndex_ = f;
    return true;
  }
  // The frames decoded before the target, without output, so that the
  // filters hold what they would after decoding from the start: the
  // synthesis window spans 512 samples, and in Layer III those samples
  // need the IMDCT overlap of one granule more.
  const int64_t needed = 512 + (layer3 ? 576 : 0);
  const int64_t warmUp = std::min<int64_t>(f, (needed + info_.samplesPerFrame - 1) / info_.samplesPerFrame);
  const bool walked = !frameOffsets_.empty();
  // Layer III frames point back into earlier frames' main data, by up to
  // 511 bytes (255 at the lower rates): the main data of as many frames as
  // that may take is loaded into the reservoir first. Small frames of a
  // VBR stream need more than a few.
  int64_t preload = 0;
  if (layer3) {
    const int64_t reach = info_.id ? 511 : 255;
    constexpr int64_t kMostPreloaded = 64;
    if (walked) {
      int64_t bytes = 0;
      for (int64_t k = f - warmUp - 1; k >= 0 && bytes < reach && preload < kMostPreloaded; --k, ++preload) {
        uint8_t b[4];
        FrameHeader h;
        if (!reader_.PeekBytes(frameOffsets_[static_cast<size_t>(k)], b, 4) ||
            !DecodeHeaderWord(uint32_t{b[0]} << 24 | b[1] << 16 | b[2] << 8 | b[3], &h)) {
          break;
        }
        bytes += MainDataBytes(h);
      }
    } else {
      // Half the average frame's main data, to allow for smaller frames.
      const int64_t average = (dataEnd_ - firstFrameOffset_) / info_.frameCount;
      const int64_t main = std::max<int64_t>(1, (average - 4 - SideInfoBytes(first_)) / 2);
      preload = std::min<int64_t>({f - warmUp, (reach + main - 1) / main + 1, kMostPreloaded});
    }
  }
  const int64_t start = f - warmUp - preload;
  int64_t at;
  if (!walked) {
    // No walked headers (a large file): the encoder's table of contents, or
    // the target's share of the stream's bytes, then the next real frame.
    int64_t estimate = infoFrameOffset_ >= 0 ? VbrTocOffset(vbr_, start) : -1;
    estimate = estimate >= 0 ? infoFrameOffset_ + estimate
                             : firstFrameOffset_ + (dataEnd_ - firstFrameOffset_) * start / info_.frameCount;
    at = ResyncFrom(estimate);
  } else {
    at = start < static_cast<int64_t>(frameOffsets_.size()) ? frameOffsets_[static_cast<size_t>(start)] : -1;
  }
  if (at < 0) {
    // Past the last frame: the next decode ends the stream.
    reader_.SeekByte(reader_.FileLength());
    frameIndex_ = f;
    return true;
  }
  // Walked offsets step over frames of another rate or layer; without them
  // the frames are taken as they follow each other.
  auto offsetOf = [&](int64_t k, int64_t sequential) {
    return walked && start + k < static_cast<int64_t>(frameOffsets_.size())
               ? frameOffsets_[static_cast<size_t>(start + k)]
               : sequential;
  };
  for (int64_t k = 0; k < preload; ++k) {
    reader_.SeekByte(offsetOf(k, at));
    if (!FindSync() || !ParseHeader(true)) return false;
    at = (reader_.BitPosition() - 32) / 8 + FrameBytes(header_);
    ReadCrcWord();
    if (!layer3_.PreloadFrame(reader_, header_)) return false;
  }
  reader_.SeekByte(offsetOf(preload, at));
  for (int64_t k = 0; k < warmUp; ++k) DecodeFrame();
  pcmValues_ = 0;
  frameIndex_ = f;
  return true;
}

}  // namespace cx::mpeg
