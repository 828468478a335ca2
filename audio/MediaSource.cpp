#include "audio/MediaSource.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "audio/WavSamples.h"
#include "codec/pcm_pack.h"
#include "media/MediaKind.h"
#include "flac/flac_decoder.h"
#include "mpeg/mpeg_audio_decoder.h"
#include "vorbis/vorbis_decoder.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// WAV format tags of MPEG audio: Layer III, and Layers I and II.
constexpr uint16_t kWavMpegLayer3Tag = 0x0055;
constexpr uint16_t kWavMpegTag = 0x0050;

// Frames decoded at a time into the staging buffer.
constexpr size_t kStageFrames = 4096;

void CopyText(char* to, const char* from) {
  std::strncpy(to, from, kMediaTextSize - 1);
  to[kMediaTextSize - 1] = '\0';
}

// A tag text (UTF-8) in the process's code page, cut to the field at a
// character boundary.
void CopyUtf8Text(char* to, const std::string& utf8) {
  to[0] = '\0';
  if (utf8.empty()) return;
#ifdef _WIN32
  std::vector<wchar_t> wide(utf8.size() + 1);
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
  if (n <= 0) return;
  // Character by character, so that a text longer than the field keeps
  // what fits instead of losing it all.
  int used = 0;
  for (int i = 0; i < n - 1; ++i) {
    const int units = (wide[i] >= 0xD800 && wide[i] < 0xDC00 && i + 1 < n - 1) ? 2 : 1;
    char bytes[8];
    const int len = WideCharToMultiByte(CP_ACP, 0, &wide[i], units, bytes, sizeof bytes, nullptr, nullptr);
    i += units - 1;
    if (len <= 0 || used + len > kMediaTextSize - 1) break;
    std::memcpy(to + used, bytes, static_cast<size_t>(len));
    used += len;
  }
  to[used] = '\0';
#else
  // Elsewhere the code page is taken to be ISO-8859-1.
  int used = 0;
  for (const auto* p = reinterpret_cast<const unsigned char*>(utf8.c_str()); *p && used < kMediaTextSize - 1;) {
    uint32_t c = *p;
    const int len = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
    if (len == 2 && p[1]) c = ((c & 0x1F) << 6) | (p[1] & 0x3F);
    to[used++] = c < 0x100 && (len == 1 || len == 2) ? static_cast<char>(c) : '?';
    for (int i = 0; i < len && *p; ++i) ++p;
  }
  to[used] = '\0';
#endif
}

uint32_t Clamp32(int64_t v) {
  return static_cast<uint32_t>(std::clamp<int64_t>(v, 0, std::numeric_limits<uint32_t>::max()));
}

}  // namespace

uint32_t MediaKindOfPath(const char* path) {
  return FilterKind(kWavePlayerKinds | kKindMidi, path);
}

std::unique_ptr<cx::codec::AudioDecoder> MakeDecoderForKind(uint32_t kind) {
  switch (kind) {
    case kMediaMpeg: return std::unique_ptr<cx::codec::AudioDecoder>(new (std::nothrow) cx::mpeg::MpegAudioDecoder);
    case kKindFlac: return cx::flac::MakeFlacDecoder();
    case kKindVorbis: return cx::vorbis::MakeVorbisDecoder();
    default: return nullptr;
  }
}

MediaSource::MediaSource() { std::memset(&info_, 0, sizeof info_); }

MediaSource::~MediaSource() { CloseMedia(); }

bool MediaSource::OpenMedia(const char* path) {
  const uint32_t kind = MediaKindOfPath(path);
  if (kind == 0 || file_.IsOpen() || decoder_) return false;
  if (kind == kMediaWav) {
    if (!file_.OpenRead(path)) return false;
    std::memset(&info_, 0, sizeof info_);
    dataStart_ = 0;
    FileTitle(path, info_.title, sizeof info_.title);
    if (ParseWavHeader()) {
      readPos_ = dataStart_;
      info_.kind = kMediaWav;
      path_ = path;
      // Floating-point samples no output takes: they are converted.
      return wav_.sampleKind == WavSampleKind::kInteger || DecodeWavSamples(0);
    }
    // MPEG audio in a WAV file: the data chunk is the MPEG stream.
    uint16_t tag = 0;
    uint64_t start = 0, size = 0;
    const bool mpeg = FindWavData(file_, &tag, &start, &size) && (tag == kWavMpegLayer3Tag || tag == kWavMpegTag);
    file_.Close();
    std::memset(&info_, 0, sizeof info_);
    if (!mpeg) return false;
    auto bytes = std::make_unique<cx::codec::SliceByteSource>(cx::codec::FileByteSource::Open(path),
                                                              static_cast<int64_t>(start), static_cast<int64_t>(size));
    return OpenDecoded(kMediaMpeg, MakeDecoderForKind(kMediaMpeg), std::move(bytes), path);
  }
  auto decoder = MakeDecoderForKind(kind);
  if (!decoder) return false;
  return OpenDecoded(kind, std::move(decoder), cx::codec::FileByteSource::Open(path), path);
}

bool MediaSource::OpenStream(uint32_t kind, std::unique_ptr<cx::codec::ByteSource> bytes, const char* name) {
  if (file_.IsOpen() || decoder_) return false;
  auto decoder = MakeDecoderForKind(kind);
  return decoder && OpenDecoded(kind, std::move(decoder), std::move(bytes), name);
}

bool MediaSource::OpenDecoded(uint32_t kind, std::unique_ptr<cx::codec::AudioDecoder> decoder,
                              std::unique_ptr<cx::codec::ByteSource> bytes, const char* name) {
  std::memset(&info_, 0, sizeof info_);
  dataStart_ = 0;
  if (!decoder || !bytes || !decoder->Open(std::move(bytes))) return false;
  const cx::codec::DecoderFormat& f = decoder->format();
  if (f.channels <= 0 || f.channels > 8 || f.sampleRate == 0 || f.bitsPerSample < 4 || f.bitsPerSample > 32) {
    return false;
  }
  decoder_ = std::move(decoder);
  const int bits = f.bitsPerSample;
  deliveredBits_ = bits <= 8 ? 8 : bits <= 16 ? 16 : 24;
  atEnd_ = false;
  staged_.clear();
  stagedPos_ = 0;
  dither_ = 0;

  info_.kind = kind;
  const cx::codec::DecoderTags& tags = decoder_->tags();
  CopyUtf8Text(info_.title, tags.title);
  // Without a title in the file's tags the name of the file serves.
  if (info_.title[0] == '\0' && name) FileTitle(name, info_.title, sizeof info_.title);
  CopyUtf8Text(info_.artist, tags.artist);
  CopyUtf8Text(info_.comment, tags.comment);
  CopyText(info_.text3, "Unknown");
  CopyText(info_.text4, "Unknown");
  DescribeDecodedFormat();
  return true;
}

void MediaSource::DescribeDecodedFormat() {
  const cx::codec::DecoderFormat& f = decoder_->format();
  const auto channels = static_cast<uint16_t>(f.channels);
  const uint16_t align = static_cast<uint16_t>(channels * (deliveredBits_ / 8));
  info_.format.formatTag = kPcmFormatTag;
  info_.format.channels = channels;
  info_.format.samplesPerSec = f.sampleRate;
  info_.format.avgBytesPerSec = f.sampleRate * align;
  info_.format.blockAlign = align;
  info_.format.bitsPerSample = static_cast<uint16_t>(deliveredBits_);
  info_.format.extraSize = 18;
  // The block's fields are 32 bits: a stream of more than 4 GiB of PCM
  // (about 6 h 45 min at 44.1 kHz stereo) reports the largest size.
  const int64_t frames = std::max<int64_t>(f.totalFrames, 0);
  info_.duration = Clamp32(frames / f.sampleRate);
  info_.dataSize = frames > std::numeric_limits<uint32_t>::max() / align ? std::numeric_limits<uint32_t>::max()
                                                                         : Clamp32(frames * align);
  info_.spare = 0;
}

bool MediaSource::DecodeWavSamples(int64_t frame) {
  WavSampleLayout samples;
  samples.kind = wav_.sampleKind;
  samples.channels = wav_.format.channels;
  samples.sampleRate = wav_.format.samplesPerSec;
  samples.containerBytes = wav_.format.bitsPerSample / 8;
  const WavLayout layout = wav_;
  file_.Close();
  std::unique_ptr<cx::codec::ByteSource> file = cx::codec::FileByteSource::Open(path_);
  std::unique_ptr<cx::codec::ByteSource> bytes;
  if (file) bytes = std::make_unique<cx::codec::SliceByteSource>(std::move(file), layout.dataStart, layout.dataSize);
  if (!bytes || !OpenDecoded(kMediaWav, MakeWavSampleDecoder(samples), std::move(bytes), path_.c_str())) {
    CloseMedia();
    return false;
  }
  dataStart_ = layout.dataStart;
  return decoder_->Seek(frame);
}

bool MediaSource::ReduceTo16Bits() {
  SyncGuard guard(sync_);
  if (info_.kind == kMediaWav && file_.IsOpen()) {
    // Integer samples deeper than 16 bits, read as they are so far: from
    // here on they are converted, from the frame the next read was due at.
    if (wav_.format.bitsPerSample <= 16 || wav_.format.blockAlign == 0) return false;
    const int64_t frame = (readPos_ - wav_.dataStart) / wav_.format.blockAlign;
    if (!DecodeWavSamples(frame)) return false;
    deliveredBits_ = 16;
    DescribeDecodedFormat();
    return true;
  }
  if (!decoder_ || deliveredBits_ <= 16) return false;
  // What is staged was packed at the old depth: decode it again.
  const int64_t at = decoder_->Position() -
                     static_cast<int64_t>((staged_.size() - stagedPos_) / info_.format.blockAlign);
  deliveredBits_ = 16;
  DescribeDecodedFormat();
  staged_.clear();
  stagedPos_ = 0;
  decoder_->Seek(at);
  atEnd_ = false;
  return true;
}

void MediaSource::CloseMedia() {
  file_.Close();
  path_.clear();
  decoder_.reset();
  staged_.clear();
  stagedPos_ = 0;
  std::memset(&info_, 0, sizeof info_);
  dataStart_ = 0;
  readPos_ = 0;
}

bool MediaSource::Read(uint32_t, void* region1, uint32_t length1, void* region2,
                       uint32_t length2, uint32_t* count) {
  *count = 0;
  SyncGuard guard(sync_);
  readInProgress_ = 1;
  bool ok = false;
  if (info_.kind == kMediaWav && file_.IsOpen()) {
    ok = ReadData(region1, length1, region2, length2, count);
  } else if (decoder_) {
    ok = ReadDecoded(region1, length1, region2, length2, count);
  }
  readInProgress_ = 0;
  return ok;
}

bool MediaSource::Stage() {
  if (atEnd_) return false;
  const cx::codec::DecoderFormat& f = decoder_->format();
  frames_.resize(kStageFrames * static_cast<size_t>(f.channels));
  const size_t got = decoder_->Read(frames_.data(), kStageFrames);
  if (got == 0) {
    atEnd_ = true;
    return false;
  }
  const size_t values = got * static_cast<size_t>(f.channels);
  staged_.resize(values * static_cast<size_t>(deliveredBits_ / 8));
  stagedPos_ = 0;
  int bits = f.bitsPerSample;
  if (deliveredBits_ == 16 && bits > 16) {
    cx::codec::PackDithered16(frames_.data(), values, bits, staged_.data(), &dither_);
    return true;
  }
  if (bits > 24) {
    // A 32-bit stream plays in a 24-bit container.
    const int shift = bits - 24;
    for (size_t i = 0; i < values; ++i) frames_[i] >>= shift;
    bits = 24;
  }
  cx::codec::PackWav(frames_.data(), values, bits, staged_.data());
  return true;
}

uint32_t MediaSource::Serve(uint8_t* to, uint32_t length) {
  uint32_t filled = 0;
  while (filled < length) {
    if (stagedPos_ >= staged_.size() && !Stage()) break;
    const size_t n = std::min<size_t>(staged_.size() - stagedPos_, length - filled);
    std::memcpy(to + filled, staged_.data() + stagedPos_, n);
    stagedPos_ += n;
    filled += static_cast<uint32_t>(n);
  }
  return filled;
}

bool MediaSource::ReadDecoded(void* region1, uint32_t length1, void* region2, uint32_t length2,
                              uint32_t* count) {
  uint8_t* const regions[2] = {static_cast<uint8_t*>(region1), static_cast<uint8_t*>(region2)};
  const uint32_t lengths[2] = {region1 ? length1 : 0, region2 ? length2 : 0};
  const uint8_t silence = deliveredBits_ == 8 ? 0x80 : 0x00;
  for (int i = 0; i < 2; ++i) {
    if (!regions[i]) continue;
    const uint32_t got = Serve(regions[i], lengths[i]);
    std::memset(regions[i] + got, silence, lengths[i] - got);
    *count += got;
  }
  return *count != 0;
}

uint32_t MediaSource::Seek(uint32_t ms) {
  SyncGuard guard(sync_);
  if (info_.kind == kMediaWav && file_.IsOpen()) return SeekWavMs(file_, wav_, &readPos_, ms);
  if (!decoder_) return kSeekFailed;
  const cx::codec::DecoderFormat& f = decoder_->format();
  int64_t frame = static_cast<int64_t>(ms) * f.sampleRate / 1000;
  // A position beyond the end lands on the last sample.
  if (f.totalFrames > 0) frame = std::min(frame, f.totalFrames - 1);
  staged_.clear();
  stagedPos_ = 0;
  atEnd_ = false;
  if (!decoder_->Seek(frame)) return kSeekFailed;
  return PositionMs();
}

uint32_t MediaSource::PositionMs() {
  if (info_.kind == kMediaWav && file_.IsOpen()) return WavPositionMs(wav_, readPos_);
  if (!decoder_ || info_.format.blockAlign == 0) return 0;
  // From samples, not whole milliseconds per frame: a Layer I frame at
  // 44.1 kHz lasts 8.7 ms, and counting 8 would drift by 8%.
  const int64_t unserved = static_cast<int64_t>((staged_.size() - stagedPos_) / info_.format.blockAlign);
  const int64_t frame = std::max<int64_t>(decoder_->Position() - unserved, 0);
  return Clamp32(frame * 1000 / decoder_->format().sampleRate);
}

bool MediaSource::ReadData(void* region1, uint32_t length1, void* region2, uint32_t length2,
                           uint32_t* count) {
  return ReadWavData(file_, wav_, &readPos_, region1, length1, region2, length2, count);
}

bool MediaSource::ParseWavHeader() {
  WavLayout layout;
  if (!::ParseWavHeader(file_, &layout)) return false;
  wav_ = layout;
  dataStart_ = layout.dataStart;
  info_.format = layout.format;
  info_.dataSize = layout.dataSize;
  info_.duration = layout.duration;
  return true;
}
