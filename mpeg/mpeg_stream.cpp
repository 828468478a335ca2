#include "mpeg/mpeg_stream.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace cx::mpeg {
namespace {

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

void MpegStream::ReadId3v1Tag(const std::string& path) {
  std::memset(&info_.tag, 0, sizeof info_.tag);
  info_.tagPresent = false;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return;
  uint8_t tag[128];
  if (std::fseek(f, -128, SEEK_END) == 0 && std::fread(tag, 1, 128, f) == 128 &&
      std::memcmp(tag, "TAG", 3) == 0) {
    info_.tagPresent = true;
    CopyTagField(info_.tag.title, tag + 3, 30);
    CopyTagField(info_.tag.artist, tag + 33, 30);
    CopyTagField(info_.tag.album, tag + 63, 30);
    CopyTagField(info_.tag.year, tag + 93, 4);
    CopyTagField(info_.tag.comment, tag + 97, 30);
    info_.tag.genre = tag[127];
  }
  std::fclose(f);
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
    at += 10 + size + ((h[5] & 0x10) ? 10 : 0);
    if (at >= reader_.FileLength()) break;
  }
  return at;
}

// ---------------------------------------------------------------- header

bool MpegStream::FindSync() {
  reader_.AlignToByte();
  uint32_t v = reader_.GetBits(12);
  while ((v & 0xFFF) != 0xFFF && !reader_.EndOfFile()) {
    v = (v << 8) | reader_.GetBits(8);
  }
  return !reader_.EndOfFile();
}

bool MpegStream::ParseHeader(bool compare) {
  uint32_t bits = reader_.GetBits(20);
  if (reader_.EndOfFile()) return false;
  FrameHeader h;
  if (!DecodeHeaderBits(bits, &h)) return false;
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
    if (ParseHeader(false)) {
      firstFrameOffset_ = sync;
      first_ = header_;
      return true;
    }
    // A false sync: look again from the next byte.
    at = sync + 1;
  }
}

void MpegStream::SkipInformationFrame() {
  // Encoders put a Layer III frame without audio in front of the stream
  // ("Xing"/"Info" behind the side information, or "VBRI" 32 bytes behind
  // the header) that describes it. It would play as a frame of silence.
  if (first_.layerCode != 1) return;
  const int64_t crc = first_.protection == 0 ? 2 : 0;
  uint8_t tag[4];
  reader_.SeekByte(firstFrameOffset_ + 4 + crc + SideInfoBytes(first_));
  reader_.GetBytes(tag, 4);
  bool info = std::memcmp(tag, "Xing", 4) == 0 || std::memcmp(tag, "Info", 4) == 0;
  reader_.SeekByte(firstFrameOffset_ + 4 + 32);
  reader_.GetBytes(tag, 4);
  info = info || std::memcmp(tag, "VBRI", 4) == 0;
  if (!info) return;
  // Only when a real frame follows; otherwise the file is kept as it is.
  const FrameHeader infoFrame = first_;
  const int64_t next = firstFrameOffset_ + FrameBytes(first_);
  reader_.SeekByte(next);
  if (FindSync() && (reader_.BitPosition() - 12) / 8 == next && ParseHeader(true)) {
    firstFrameOffset_ = next;
    first_ = header_;
  } else {
    first_ = infoFrame;
  }
}

// ---------------------------------------------------------------- open

bool MpegStream::OpenStream(const std::string& path) {
  if (!valid()) return false;
  open_ = false;
  frameIndex_ = 0;
  blockHoldsFrames_ = false;
  pcmValues_ = 0;
  frameOffsets_.clear();
  layer3_.Reset();
  ClearFilters();
  std::memset(&info_, 0, sizeof info_);

  ReadId3v1Tag(path);
  if (!reader_.Open(path)) return false;
  if (!FindFirstFrame(SkipId3v2Tag())) return false;
  SkipInformationFrame();

  const FrameHeader& h = first_;
  int64_t length = reader_.FileLength() - (info_.tagPresent ? 128 : 0);
  int frameBytes = FrameBytes(h);
  if (frameBytes <= 0) return false;
  int64_t count = (length - firstFrameOffset_) / frameBytes;
  if (count <= 0 || count > 0x7FFFFFF) return false;

  StreamInfo& s = info_;
  s.id = h.id;
  s.layerCode = h.layerCode;
  s.crcPresent = h.protection == 0;
  s.bitrate = BitrateKbps(h) * 1000;
  s.samplingRate = SamplingRate(h);
  s.padding = h.padding != 0;
  s.mode = h.mode;
  s.modeExtension = h.modeExtension;
  s.emphasis = h.emphasis;
  s.frameCount = static_cast<int32_t>(count);
  s.samplesPerFrame = SamplesPerFrame(h);
  s.totalSamples = s.samplesPerFrame * s.frameCount;
  s.channels = h.channels;
  s.bytesPerSample = 2;
  s.millisecondsPerFrame = static_cast<int32_t>(s.samplesPerFrame * 1000.0 / s.samplingRate);
  s.totalMilliseconds = s.millisecondsPerFrame * s.frameCount;
  s.totalPcmBytes = s.totalSamples * s.channels * 2;

  frameOffsets_.push_back(firstFrameOffset_);
  reader_.SeekByte(firstFrameOffset_);
  open_ = true;
  return true;
}

// ---------------------------------------------------------------- frames

FrameResult MpegStream::DecodeFrame() {
  if (!open_ || reader_.EndOfFile()) return FrameResult::kEndOfStream;
  if (!FindSync()) return FrameResult::kEndOfStream;
  const int64_t frameStart = (reader_.BitPosition() - 12) / 8;
  if (!ParseHeader(true)) return reader_.EndOfFile() ? FrameResult::kEndOfStream : FrameResult::kBadFrame;
  // Whatever the frame's data holds, the next frame starts behind it: skip
  // ancillary data (and the rest of a frame that fails), in which a false
  // sync word could otherwise be taken for the next header.
  const int64_t frameEnd = frameStart + FrameBytes(header_);
  struct SkipToFrameEnd {
    BitReader& reader;
    int64_t end;
    ~SkipToFrameEnd() {
      if (!reader.EndOfFile() && reader.BitPosition() < end * 8) reader.SkipBits(end * 8 - reader.BitPosition());
    }
  } skip{reader_, frameEnd};
  // The PCM format is fixed at open; a frame that would change the channel
  // count cannot be delivered in it.
  if (header_.channels != info_.channels) return FrameResult::kBadFrame;
  ReadCrcWord();

  const int values = SamplesPerFrame(header_) * header_.channels;
  if (pcm_.size() < static_cast<size_t>(pcmValues_ + values)) pcm_.resize(pcmValues_ + values);
  int16_t* out = pcm_.data() + pcmValues_;
  bool ok = true;
  switch (header_.layerCode) {
    case 3: layer12_.DecodeLayer1(reader_, header_, synthesis_, out); break;
    case 2: layer12_.DecodeLayer2(reader_, header_, synthesis_, out); break;
    default: ok = layer3_.DecodeFrame(reader_, header_, hybrid_, synthesis_, out); break;
  }
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
  int decoded = 0;
  for (int attempt = 0; attempt < kFramesPerBlock; ++attempt) {
    FrameResult r = DecodeFrame();
    if (r == FrameResult::kEndOfStream) break;
    if (r == FrameResult::kDecoded) ++decoded;
  }
  frameIndex_ += decoded;
  blockHoldsFrames_ = decoded > 0;
  return decoded > 0;
}

const int16_t* MpegStream::PcmBlock() const {
  return open_ && blockHoldsFrames_ ? pcm_.data() : nullptr;
}

int32_t MpegStream::PcmValues() const { return open_ && blockHoldsFrames_ ? pcmValues_ : 0; }

// ---------------------------------------------------------------- seeking

int64_t MpegStream::FrameOffset(int32_t f) {
  while (static_cast<int32_t>(frameOffsets_.size()) <= f) {
    int64_t at = frameOffsets_.back();
    reader_.SeekByte(at);
    if (!FindSync() || !ParseHeader(true)) return -1;
    int64_t next = at + FrameBytes(header_);
    // Expect the next header right behind this frame; after damage, search
    // for it (a bounded distance).
    int64_t from = next;
    bool found = false;
    while (!found) {
      reader_.SeekByte(from);
      if (!FindSync()) return -1;
      int64_t sync = (reader_.BitPosition() - 12) / 8;
      if (sync > next + kSyncSearchLimit) return -1;
      if (ParseHeader(true)) {
        frameOffsets_.push_back(sync);
        found = true;
      } else {
        from = sync + 1;
      }
    }
  }
  return frameOffsets_[static_cast<size_t>(f)];
}

bool MpegStream::SeekFrame(int32_t f) {
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
  const int32_t needed = 512 + (layer3 ? 576 : 0);
  const int32_t warmUp = std::min<int32_t>(f, (needed + info_.samplesPerFrame - 1) / info_.samplesPerFrame);
  if (layer3) {
    // Layer III frames point back into earlier frames' data: load the main
    // data of the three frames before the warm-up frame into the reservoir.
    for (int32_t k = f - warmUp - 3; k < f - warmUp; ++k) {
      int64_t at = FrameOffset(k);
      if (at < 0) return false;
      reader_.SeekByte(at);
      if (!FindSync() || !ParseHeader(true)) return false;
      ReadCrcWord();
      if (!layer3_.PreloadFrame(reader_, header_)) return false;
    }
  }
  int64_t at = FrameOffset(f - warmUp);
  if (at < 0) {
    // Past the last frame: the next decode ends the stream.
    reader_.SeekByte(reader_.FileLength());
  } else {
    reader_.SeekByte(at);
    for (int32_t k = 0; k < warmUp; ++k) DecodeFrame();
  }
  pcmValues_ = 0;
  frameIndex_ = f;
  return true;
}

}  // namespace cx::mpeg
