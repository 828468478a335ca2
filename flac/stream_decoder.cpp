#include "flac/stream_decoder.h"

#include <algorithm>
#include <cstring>

#include "flac/flac_decoder.h"

namespace cx::flac {

namespace {

constexpr size_t kScanBytes = 64 * 1024;
constexpr size_t kReadChunk = 1 << 20;
// Eight channels of 65535 verbatim 33-bit samples take 2.2 MB; a longer
// "frame" is damage.
constexpr size_t kMaxFrameBytes = 4 << 20;
constexpr int64_t kSilenceChunk = 65536;
// Without a total, a header that claims more missing samples than this is
// taken for a false sync inside frame data.
constexpr int64_t kMaxUnknownGap = int64_t{64} * 65535;

// Samples interleaved little-endian in B bytes each, stereo unrolled.
template <int B>
void PackInterleaved(const int32_t* const* ch, int channels, size_t count, uint8_t* p) {
  auto put = [](uint8_t* q, int32_t value) {
    const uint32_t v = static_cast<uint32_t>(value);
    for (int b = 0; b < B; ++b) q[b] = static_cast<uint8_t>(v >> (8 * b));
  };
  if (channels == 2) {
    for (size_t i = 0; i < count; ++i, p += 2 * B) {
      put(p, ch[0][i]);
      put(p + B, ch[1][i]);
    }
    return;
  }
  for (size_t i = 0; i < count; ++i) {
    for (int c = 0; c < channels; ++c, p += B) put(p, ch[c][i]);
  }
}

}  // namespace

std::unique_ptr<codec::AudioDecoder> MakeFlacDecoder() { return std::make_unique<FlacStreamDecoder>(); }

bool FlacStreamDecoder::Open(std::unique_ptr<codec::ByteSource> source) {
  source_ = std::move(source);
  if (!source_) return false;
  size_ = source_->Size();
  windowLength_ = 0;
  meta_ = Metadata{};
  if (!ReadMetadata(*source_, &meta_)) return false;
  const StreamInfo& si = meta_.info;
  format_ = codec::DecoderFormat{};
  format_.channels = si.channels;
  format_.sampleRate = si.sampleRate;
  format_.bitsPerSample = si.bitsPerSample;
  format_.totalFrames = Known() ? static_cast<int64_t>(si.totalSamples) : -1;
  if (Known() && size_ > meta_.firstFrame) {
    const double bps = static_cast<double>(size_ - meta_.firstFrame) * 8.0 * si.sampleRate /
                       static_cast<double>(si.totalSamples);
    format_.bitrate = bps < 4e9 ? static_cast<uint32_t>(bps) : 0;
  }
  health_ = codec::DecoderHealth{};
  blocking_ = -1;
  nominalBlock_ = si.minBlockSize == si.maxBlockSize && si.maxBlockSize >= 16 ? si.maxBlockSize : 0;
  Found first;
  if (!FindFrame(meta_.firstFrame, size_, &first)) return false;
  blocking_ = first.header.variableBlocking ? 1 : 0;
  if (blocking_ == 0 && nominalBlock_ == 0) nominalBlock_ = first.header.blockSize;
  Restart();
  return true;
}

void FlacStreamDecoder::Restart() {
  searchFrom_ = meta_.firstFrame;
  nextSample_ = 0;
  silenceLeft_ = 0;
  blockStart_ = blockLength_ = blockUsed_ = 0;
  blockSilent_ = false;
  md5_.Reset();
  hashing_ = true;
  ended_ = false;
  health_.checksum = codec::DecoderHealth::Checksum::kNotChecked;
}

const uint8_t* FlacStreamDecoder::Window(int64_t offset, size_t need, size_t* got) {
  const int64_t windowEnd = windowStart_ + static_cast<int64_t>(windowLength_);
  const bool inside = offset >= windowStart_ && offset <= windowEnd;
  if (!inside || (windowEnd - offset < static_cast<int64_t>(need) && windowEnd < size_)) {
    // Never more than the source holds: a small source gets a small window.
    const size_t want = static_cast<size_t>(
        std::min<int64_t>(static_cast<int64_t>(std::max(need, readChunk_)), std::max<int64_t>(size_ - offset, 1)));
    if (window_.size() < want) window_.resize(want);
    // Keep what is already here of the new window; read only the rest.
    size_t kept = 0;
    if (inside) {
      kept = static_cast<size_t>(windowEnd - offset);
      std::memmove(window_.data(), window_.data() + (offset - windowStart_), kept);
    }
    windowStart_ = offset;
    windowLength_ = kept + source_->ReadAt(offset + static_cast<int64_t>(kept), window_.data() + kept, want - kept);
  }
  const size_t at = static_cast<size_t>(offset - windowStart_);
  *got = std::min(need, windowLength_ - at);
  return window_.data() + at;
}

bool FlacStreamDecoder::Plausible(const FrameHeader& h) const {
  const StreamInfo& si = meta_.info;
  if (h.channels != si.channels) return false;
  if (h.bitsPerSample != 0 && h.bitsPerSample != si.bitsPerSample) return false;
  if (h.sampleRate != 0 && h.sampleRate != si.sampleRate) return false;
  if (blocking_ >= 0 && (h.variableBlocking ? 1 : 0) != blocking_) return false;
  if (si.maxBlockSize >= 16 && si.maxBlockSize >= si.minBlockSize && h.blockSize > si.maxBlockSize) return false;
  return true;
}

int64_t FlacStreamDecoder::SampleOf(const FrameHeader& h) const {
  if (h.variableBlocking) return static_cast<int64_t>(h.number);
  return static_cast<int64_t>(h.number) * (nominalBlock_ ? nominalBlock_ : h.blockSize);
}

bool FlacStreamDecoder::FindFrame(int64_t from, int64_t limit, Found* f) {
  int64_t at = std::max(from, meta_.firstFrame);
  while (at + 1 < limit) {
    size_t got = 0;
    const uint8_t* w = Window(at, kScanBytes, &got);
    const size_t avail = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(got), limit - at));
    if (avail < 2) return false;
    size_t i = 0;
    bool moved = false;
    while (i + 1 < avail) {
      const void* hit = std::memchr(w + i, 0xFF, avail - 1 - i);
      if (!hit) {
        i = avail - 1;
        break;
      }
      i = static_cast<size_t>(static_cast<const uint8_t*>(hit) - w);
      if ((w[i + 1] & 0xFE) == 0xF8) {
        if (i + kMaxHeaderBytes > got && at + static_cast<int64_t>(got) < size_) {
          at += static_cast<int64_t>(i);  // the header straddles the window: look again from it
          moved = true;
          break;
        }
        FrameHeader h;
        if (ParseFrameHeader(w + i, got - i, &h) && Plausible(h)) {
          const int64_t sample = SampleOf(h);
          if (!Known() || sample < static_cast<int64_t>(meta_.info.totalSamples)) {
            f->header = h;
            f->offset = at + static_cast<int64_t>(i);
            f->sample = sample;
            return true;
          }
        }
      }
      ++i;
    }
    if (!moved) at += static_cast<int64_t>(i);
  }
  return false;
}

bool FlacStreamDecoder::FindChainedFrame(int64_t from, int64_t limit, Found* f) {
  const int64_t reach = meta_.info.maxFrameSize > 0 ? meta_.info.maxFrameSize + 64 : int64_t{1} << 20;
  int64_t at = from;
  while (FindFrame(at, limit, f)) {
    const int64_t next = f->sample + f->header.blockSize;
    if (Known() && next >= static_cast<int64_t>(meta_.info.totalSamples)) return true;
    // The successor is the first header after this one that carries the
    // number this block ends at; a false sync inside the frame data is
    // passed over.
    int64_t probe = f->offset + static_cast<int64_t>(f->header.bytes);
    Found g;
    bool chained = false, any = false;
    while (FindFrame(probe, std::min(size_, f->offset + reach), &g)) {
      any = true;
      if (g.sample == next) {
        chained = true;
        break;
      }
      probe = g.offset + 1;
    }
    if (chained || (!any && f->offset + reach >= size_)) return true;
    at = f->offset + 1;
  }
  return false;
}

bool FlacStreamDecoder::DecodeFrameAt(const Found& f, size_t* bytes) {
  size_t need = meta_.info.maxFrameSize > 0 ? meta_.info.maxFrameSize + 64 : kScanBytes;
  need = std::min(need, kMaxFrameBytes);
  for (;;) {
    size_t got = 0;
    const uint8_t* w = Window(f.offset, need, &got);
    if (got < f.header.bytes) return false;
    const bool atEnd = f.offset + static_cast<int64_t>(got) >= size_ || need >= kMaxFrameBytes;
    switch (frames_.Decode(w, got, atEnd, f.header, meta_.info.bitsPerSample, bytes)) {
      case FrameDecoder::Result::kOk:
        return true;
      case FrameDecoder::Result::kDamaged:
        return false;
      case FrameDecoder::Result::kNeedMoreBytes:
        need = std::min(need * 2, kMaxFrameBytes);
        break;
    }
  }
}

void FlacStreamDecoder::StartSilence(int64_t frames) {
  blockStart_ = nextSample_;
  blockLength_ = frames;
  blockUsed_ = 0;
  blockSilent_ = true;
  nextSample_ += frames;
}

bool FlacStreamDecoder::NextBlock() {
  const int64_t total = static_cast<int64_t>(meta_.info.totalSamples);
  blockUsed_ = blockLength_ = 0;
  blockSilent_ = false;
  for (;;) {
    if (silenceLeft_ > 0) {
      const int64_t n = std::min(silenceLeft_, kSilenceChunk);
      silenceLeft_ -= n;
      StartSilence(n);
      HashBlock();
      return true;
    }
    if (Known() && nextSample_ >= total) return false;
    Found f;
    if (!FindFrame(searchFrom_, size_, &f)) {
      searchFrom_ = size_;
      if (!Known()) return false;
      // The last frames are gone; their length is still known.
      ++health_.damagedBlocks;
      silenceLeft_ = total - nextSample_;
      continue;
    }
    if (f.sample < nextSample_) {  // a false sync, or a block already given
      searchFrom_ = f.offset + 1;
      continue;
    }
    if (f.sample > nextSample_) {  // frames lost before this one: silence up to it
      if (!Known() && f.sample - nextSample_ > kMaxUnknownGap) {
        searchFrom_ = f.offset + 1;
        continue;
      }
      ++health_.damagedBlocks;
      silenceLeft_ = f.sample - nextSample_;
      searchFrom_ = f.offset;
      continue;
    }
    int64_t length = f.header.blockSize;
    if (Known()) length = std::min(length, total - f.sample);
    size_t bytes = 0;
    if (DecodeFrameAt(f, &bytes)) {
      blockStart_ = f.sample;
      blockLength_ = length;
      nextSample_ = f.sample + length;
      searchFrom_ = f.offset + static_cast<int64_t>(bytes);
    } else {
      ++health_.damagedBlocks;
      searchFrom_ = f.offset + 1;
      StartSilence(length);
    }
    HashBlock();
    return true;
  }
}

void FlacStreamDecoder::HashBlock() {
  if (!hashing_) return;
  const int channels = format_.channels;
  const int bytes = (format_.bitsPerSample + 7) / 8;
  const size_t n = static_cast<size_t>(blockLength_) * static_cast<size_t>(channels) * static_cast<size_t>(bytes);
  if (hashBytes_.size() < n) hashBytes_.resize(n);
  uint8_t* p = hashBytes_.data();
  if (blockSilent_) {
    std::memset(p, 0, n);
  } else {
    // The stream's checksum covers the samples interleaved, little-endian,
    // in whole bytes.
    const int32_t* ch[8];
    for (int c = 0; c < channels; ++c) ch[c] = frames_.channel(c);
    const size_t count = static_cast<size_t>(blockLength_);
    switch (bytes) {
      case 1:
        PackInterleaved<1>(ch, channels, count, p);
        break;
      case 2:
        PackInterleaved<2>(ch, channels, count, p);
        break;
      case 3:
        PackInterleaved<3>(ch, channels, count, p);
        break;
      default:
        PackInterleaved<4>(ch, channels, count, p);
        break;
    }
    p = hashBytes_.data();
  }
  md5_.Update(p, n);
}

void FlacStreamDecoder::FinishStream() {
  if (!hashing_) return;
  hashing_ = false;
  static const uint8_t kNone[16] = {};
  if (std::memcmp(meta_.info.md5, kNone, 16) == 0) return;
  uint8_t digest[16];
  md5_.Finish(digest);
  health_.checksum = std::memcmp(digest, meta_.info.md5, 16) == 0 ? codec::DecoderHealth::Checksum::kMatch
                                                                  : codec::DecoderHealth::Checksum::kMismatch;
}

size_t FlacStreamDecoder::Read(int32_t* out, size_t maxFrames) {
  const int channels = format_.channels;
  size_t done = 0;
  while (done < maxFrames) {
    if (blockUsed_ == blockLength_) {
      if (ended_) break;
      if (!NextBlock()) {
        ended_ = true;
        FinishStream();
        blockStart_ = nextSample_;
        blockLength_ = blockUsed_ = 0;
        break;
      }
      continue;
    }
    const size_t take = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(maxFrames - done),
                                                              blockLength_ - blockUsed_));
    int32_t* o = out + done * static_cast<size_t>(channels);
    const size_t from = static_cast<size_t>(blockUsed_);
    if (blockSilent_) {
      std::fill(o, o + take * static_cast<size_t>(channels), 0);
    } else if (channels == 1) {
      std::memcpy(o, frames_.channel(0) + from, take * sizeof(int32_t));
    } else if (channels == 2) {
      const int32_t* a = frames_.channel(0) + from;
      const int32_t* b = frames_.channel(1) + from;
      for (size_t i = 0; i < take; ++i) {
        o[2 * i] = a[i];
        o[2 * i + 1] = b[i];
      }
    } else {
      for (int c = 0; c < channels; ++c) {
        const int32_t* s = frames_.channel(c) + from;
        for (size_t i = 0; i < take; ++i) o[i * static_cast<size_t>(channels) + static_cast<size_t>(c)] = s[i];
      }
    }
    blockUsed_ += static_cast<int64_t>(take);
    done += take;
  }
  return done;
}

bool FlacStreamDecoder::Seek(int64_t frame) {
  if (!source_) return false;
  const int64_t total = static_cast<int64_t>(meta_.info.totalSamples);
  int64_t target = std::max<int64_t>(frame, 0);
  if (Known()) target = std::min(target, total);
  Restart();
  if (target == 0) return true;
  hashing_ = false;

  // The search jumps about: small reads. Decoding goes back to large ones.
  readChunk_ = kScanBytes;
  struct Restore {
    size_t& chunk;
    ~Restore() { chunk = kReadChunk; }
  } restore{readChunk_};

  // The last frame known to start at or before the target.
  Found start;
  if (!FindFrame(meta_.firstFrame, size_, &start)) return false;
  // The seek table narrows the range to between two of its points; the
  // bisection over frame headers finishes within it (or does it all).
  int64_t hi = size_;
  for (const SeekPoint& sp : meta_.seekPoints) {
    if (sp.offset >= static_cast<uint64_t>(size_ - meta_.firstFrame)) continue;
    const int64_t at = meta_.firstFrame + static_cast<int64_t>(sp.offset);
    if (sp.sample > static_cast<uint64_t>(target)) {
      if (at > start.offset) hi = std::min(hi, at);
      continue;
    }
    Found g;
    if (at > start.offset && FindFrame(at, at + 2, &g) && g.sample == static_cast<int64_t>(sp.sample)) start = g;
  }
  int64_t lo = start.offset;
  const int64_t close = std::max<int64_t>(int64_t{meta_.info.maxFrameSize} * 2, kScanBytes);
  while (hi - lo > close) {
    const int64_t mid = lo + (hi - lo) / 2;
    Found g;
    if (FindChainedFrame(mid, hi, &g) && g.sample <= target) {
      start = g;
      lo = g.offset;
    } else {
      hi = mid;
    }
  }
  // Step from header to header up to the block that holds the target.
  while (start.sample + start.header.blockSize <= target) {
    Found g;
    if (!FindChainedFrame(start.offset + static_cast<int64_t>(start.header.bytes), size_, &g)) break;
    if (g.sample <= start.sample || g.sample > target) break;
    start = g;
  }
  searchFrom_ = start.offset;
  // Blocks follow each other from here; a first frame that starts late
  // (its predecessors lost) leaves silence before it, from the target on.
  nextSample_ = blockStart_ = std::min(start.sample, target);
  while (NextBlock()) {
    if (blockStart_ + blockLength_ > target) {
      blockUsed_ = target - blockStart_;
      return true;
    }
  }
  ended_ = true;
  blockStart_ = nextSample_;
  blockLength_ = blockUsed_ = 0;
  return true;
}

std::string FlacStreamDecoder::Describe() const {
  const StreamInfo& si = meta_.info;
  std::string s = "FLAC, " + std::to_string(si.bitsPerSample) + "-bit, " + std::to_string(si.channels) +
                  (si.channels == 1 ? " channel, " : " channels, ") + std::to_string(si.sampleRate) + " Hz, ";
  if (blocking_ == 1) {
    s += "variable blocks of " + std::to_string(si.minBlockSize) + " to " + std::to_string(si.maxBlockSize);
  } else {
    s += "fixed blocks of " + std::to_string(nominalBlock_);
  }
  s += " samples";
  if (!meta_.seekPoints.empty()) s += ", seek table of " + std::to_string(meta_.seekPoints.size());
  if (!meta_.vendor.empty()) s += "; encoder: " + meta_.vendor;
  return s;
}

}  // namespace cx::flac
