#include "vorbis/vorbis_stream.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "vorbis/vorbis_decoder.h"

namespace cx::vorbis {

namespace {

// Decoded frames held while no granule position has placed them yet; a
// stream that gives none for this long is placed where it should be.
constexpr size_t kMaxPendingFrames = 1 << 18;
// Silence written in one go when a link ends short of its length.
constexpr int64_t kSilenceChunk = 1 << 14;

bool IsVorbisId(const uint8_t* body, size_t size) {
  return size >= 7 && body[0] == 1 && std::memcmp(body + 1, "vorbis", 6) == 0;
}

}  // namespace

bool LooksLikeVorbis(const uint8_t* data, size_t size) {
  if (size < 28 || std::memcmp(data, "OggS", 4) != 0 || data[4] != 0) return false;
  const size_t segments = data[26];
  if (size < 27 + segments + 7) return false;
  return IsVorbisId(data + 27 + segments, size - 27 - segments);
}

bool VorbisStream::ScanLink(size_t firstPage, size_t endPage, uint32_t serial, Link& link, Identification& id,
                            std::unique_ptr<Setup>* setupOut) {
  PacketReader reader;
  reader.Start(source_.get(), &pages_, firstPage, endPage, serial);
  Packet p;
  codec::DecoderTags tags;
  std::string vendor;
  if (!reader.Next(p) || !ParseIdentification(p.data, p.size, id)) return false;
  if (!reader.Next(p) || !ParseComment(p.data, p.size, tags, vendor)) return false;
  auto setup = std::make_unique<Setup>();
  if (!reader.Next(p) || !ParseSetup(p.data, p.size, id.channels, *setup)) return false;
  link.serial = serial;
  link.firstPage = firstPage;
  link.endPage = endPage;
  link.audioPage = p.page + 1;
  // The first timed page says where its packets end; the frames they make
  // place the first one (before zero: trimmed at the start; on a stream's
  // only page the shortfall is trimmed at the end instead).
  int64_t total = 0;
  int previous = 0;
  bool timed = false;
  while (reader.Next(p)) {
    const int n = BlockDecoder::PacketBlockSize(id, *setup, p.data, p.size);
    if (n == 0) continue;
    if (previous) total += previous / 4 + n / 4;
    previous = n;
    if (p.granule >= 0) {
      link.startGranule = p.granule - total;
      if (p.eos && link.startGranule < 0) link.startGranule = 0;
      timed = true;
      break;
    }
  }
  if (!timed) return false;
  link.begin = std::max<int64_t>(0, link.startGranule);
  // The end: the last page with a granule position that checks out.
  std::vector<uint8_t> page;
  link.end = -1;
  int tries = 0;
  for (size_t i = endPage; i-- > link.audioPage && tries < 8;) {
    const PageInfo& info = pages_[i];
    if (info.serial != serial || info.granule < 0) continue;
    ++tries;
    if (ReadPage(*source_, info, page)) {
      link.end = info.granule;
      break;
    }
  }
  const int64_t bytes = pages_[endPage - 1].offset + pages_[endPage - 1].size - pages_[firstPage].offset;
  if (link.end < link.begin || (link.end - link.begin) / 4096 > bytes + 2) return false;
  int64_t last = -1;
  for (size_t i = link.audioPage; i < endPage; ++i) {
    const PageInfo& info = pages_[i];
    if (info.serial != serial || info.granule < 0 || info.granule <= last || info.granule > link.end) continue;
    link.timed.push_back(i);
    last = info.granule;
  }
  if (setupOut) {
    *setupOut = std::move(setup);
    tags_ = tags;
    vendor_ = vendor;
  }
  return true;
}

bool VorbisStream::Open(std::unique_ptr<codec::ByteSource> source) {
  source_ = std::move(source);
  if (!source_) return false;
  pages_ = WalkPages(*source_);
  links_.clear();
  std::vector<uint8_t> page;
  size_t i = 0;
  while (i < pages_.size()) {
    // A group of streams opens with first pages back to back; it runs to
    // the next such group.
    if (!(pages_[i].flags & kFirstPage)) {
      if (links_.empty()) return false;
      ++i;
      continue;
    }
    size_t groupEnd = i;
    while (groupEnd < pages_.size() && (pages_[groupEnd].flags & kFirstPage)) ++groupEnd;
    const size_t heads = groupEnd;
    while (groupEnd < pages_.size() && !(pages_[groupEnd].flags & kFirstPage)) ++groupEnd;
    bool found = false;
    for (size_t h = i; h < heads && !found; ++h) {
      if (!ReadPage(*source_, pages_[h], page) || page.size() < 27 + size_t{page[26]}) continue;
      if (!IsVorbisId(page.data() + 27 + page[26], page.size() - 27 - page[26])) continue;
      Link link;
      Identification id;
      if (!ScanLink(i, groupEnd, pages_[h].serial, link, id, links_.empty() ? &setup_ : nullptr)) continue;
      if (links_.empty()) {
        id_ = id;
      } else if (id.channels != id_.channels || id.sampleRate != id_.sampleRate) {
        groupEnd = pages_.size();  // a different format: the file ends here
        break;
      }
      link.id = id;
      link.firstFrame = links_.empty() ? 0 : links_.back().firstFrame + (links_.back().end - links_.back().begin);
      links_.push_back(std::move(link));
      found = true;
    }
    if (links_.empty()) return false;
    i = groupEnd;
  }
  if (links_.empty()) return false;
  setupLink_ = 0;
  format_ = {};
  format_.channels = id_.channels;
  format_.sampleRate = id_.sampleRate;
  format_.bitsPerSample = 16;
  format_.totalFrames = links_.back().firstFrame + (links_.back().end - links_.back().begin);
  if (id_.bitrateNominal > 0) {
    format_.bitrate = static_cast<uint32_t>(id_.bitrateNominal);
  } else if (format_.totalFrames > 0) {
    // From the file's size; a length that lies could make it any value.
    const double bits = static_cast<double>(source_->Size()) * 8 * id_.sampleRate /
                        static_cast<double>(format_.totalFrames);
    format_.bitrate = static_cast<uint32_t>(std::min(bits, 4.0e9));
  }
  block_.Init(id_, setup_.get());
  position_ = 0;
  return StartLink(0);
}

bool VorbisStream::StartLink(size_t index) {
  const Link& link = links_[index];
  link_ = index;
  reader_.Start(source_.get(), &pages_, link.firstPage, link.endPage, link.serial);
  Packet p;
  for (int k = 0; k < 3; ++k) {
    if (!reader_.Next(p)) return false;
  }
  if (setupLink_ != index) {
    // Entering another link: its own setup (read once at open, kept only
    // for the first).
    auto setup = std::make_unique<Setup>();
    if (!ParseSetup(p.data, p.size, link.id.channels, *setup)) return false;
    setup_ = std::move(setup);
    setupLink_ = index;
    block_.Init(link.id, setup_.get());
  }
  block_.Reset();
  known_ = true;
  granule_ = link.startGranule;
  discardBefore_ = link.begin;
  resume_ = seeking_ = false;
  pending_.clear();
  nextFrame_ = link.firstFrame;
  return true;
}

void VorbisStream::Restart(size_t page) {
  const Link& link = links_[link_];
  reader_.Start(source_.get(), &pages_, page, link.endPage, link.serial);
  block_.Reset();
  known_ = false;
  resume_ = false;
  pending_.clear();
}

bool VorbisStream::Seek(int64_t frame) {
  const int64_t total = format_.totalFrames;
  frame = std::clamp<int64_t>(frame, 0, total);
  position_ = frame;
  ready_.clear();
  readyHead_ = 0;
  ended_ = false;
  size_t l = 0;
  while (l + 1 < links_.size() && links_[l + 1].firstFrame <= frame) ++l;
  if (frame == total || !StartLink(l)) {
    ended_ = true;
    return frame == total;
  }
  const Link& link = links_[l];
  const int64_t target = link.begin + (frame - link.firstFrame);
  // The last timed page that ends before the target: decoding from there
  // primes the overlap before the target frame comes.
  auto it = std::lower_bound(link.timed.begin(), link.timed.end(), target,
                             [&](size_t page, int64_t t) { return pages_[page].granule < t; });
  discardBefore_ = target;
  nextFrame_ = frame;
  if (it == link.timed.begin()) return true;  // decoded from the link's start
  seekTimed_ = static_cast<size_t>(it - link.timed.begin()) - 1;
  retries_ = 0;
  Restart(link.timed[seekTimed_]);
  seeking_ = true;
  return true;
}

void VorbisStream::Place(int64_t start) {
  if (seeking_) {
    seeking_ = false;
    if (start > discardBefore_) {
      // Started too late for the target: one timed page earlier.
      const int64_t target = discardBefore_, frame = nextFrame_;
      if (seekTimed_ > 0 && retries_ < 64) {
        --seekTimed_;
        ++retries_;
        Restart(links_[link_].timed[seekTimed_]);
        seeking_ = true;
      } else {
        StartLink(link_);
      }
      discardBefore_ = target;
      nextFrame_ = frame;
      return;
    }
  }
  if (resume_) {
    resume_ = false;
    if (start > expected_) {
      EmitSilence(start - expected_, expected_);
      ++damagedPackets_;
    }
    discardBefore_ = std::max(discardBefore_, expected_);
  }
  const int64_t frames = static_cast<int64_t>(pending_.size() / id_.channels);
  Emit(pending_.data(), frames, start);
  pending_.clear();
  known_ = true;
  granule_ = start + frames;
}

void VorbisStream::Emit(const int32_t* frames, int64_t count, int64_t granule) {
  const Link& link = links_[link_];
  const int64_t lo = std::max(link.begin, discardBefore_), hi = link.end;
  int64_t from = std::max<int64_t>(0, lo - granule), to = std::min<int64_t>(count, hi - granule);
  if (to <= from) return;
  const size_t ch = static_cast<size_t>(id_.channels);
  if (frames) {
    ready_.insert(ready_.end(), frames + from * ch, frames + to * ch);
  } else {
    ready_.insert(ready_.end(), static_cast<size_t>(to - from) * ch, 0);
  }
  nextFrame_ += to - from;
}

void VorbisStream::EmitSilence(int64_t count, int64_t granule) {
  // Bounded by the link's own length through Emit's clipping.
  const Link& link = links_[link_];
  const int64_t lo = std::max(link.begin, discardBefore_);
  if (granule < lo) {
    count -= lo - granule;
    granule = lo;
  }
  count = std::min(count, link.end - granule);
  while (count > 0) {
    const int64_t n = std::min(count, kSilenceChunk);
    Emit(nullptr, n, granule);
    granule += n;
    count -= n;
  }
}

bool VorbisStream::DecodeNext() {
  if (ended_) return false;
  Packet p;
  if (!reader_.Next(p)) {
    const Link& link = links_[link_];
    const int64_t linkEnd = link.firstFrame + (link.end - link.begin);
    if (nextFrame_ < linkEnd) {
      // Lost at the end: the rest of its length is silence.
      if (known_ || resume_) ++damagedPackets_;
      const int64_t n = std::min(linkEnd - nextFrame_, kSilenceChunk);
      ready_.insert(ready_.end(), static_cast<size_t>(n * id_.channels), 0);
      nextFrame_ += n;
      known_ = resume_ = false;
      return true;
    }
    if (link_ + 1 < links_.size() && StartLink(link_ + 1)) return true;
    ended_ = true;
    return false;
  }
  if (p.gap) {
    block_.Reset();
    if (known_) {
      resume_ = true;
      expected_ = granule_;
    }
    known_ = false;
    pending_.clear();
  }
  const int frames = block_.Decode(p.data, p.size);
  if (frames < 0) {
    ++damagedPackets_;
    block_.Reset();
    if (known_) {
      resume_ = true;
      expected_ = granule_;
    }
    known_ = false;
    pending_.clear();
    return true;
  }
  const int ch = id_.channels;
  pcm_.resize(static_cast<size_t>(frames) * ch);
  for (int c = 0; c < ch && frames > 0; ++c) {
    const float* in = block_.Channel(c);
    int32_t* out = pcm_.data() + c;
    for (int t = 0; t < frames; ++t) {
      float v = in[t] * 32768.0f;
      v = std::min(32767.0f, std::max(-32768.0f, v));
      // Adding and taking away 1.5 * 2^23 rounds to nearest (ties to even)
      // without a library call.
      v = (v + 12582912.0f) - 12582912.0f;
      out[static_cast<size_t>(t) * ch] = static_cast<int32_t>(v);
    }
  }
  if (known_) {
    Emit(pcm_.data(), frames, granule_);
    granule_ += frames;
    return true;
  }
  pending_.insert(pending_.end(), pcm_.begin(), pcm_.end());
  if (p.granule >= 0) {
    Place(p.granule - static_cast<int64_t>(pending_.size() / ch));
  } else if (pending_.size() / ch > kMaxPendingFrames) {
    Place(resume_ ? expected_ : discardBefore_);
  }
  return true;
}

size_t VorbisStream::Read(int32_t* out, size_t maxFrames) {
  const size_t ch = static_cast<size_t>(id_.channels);
  size_t done = 0;
  while (done < maxFrames) {
    const size_t avail = (ready_.size() - readyHead_) / ch;
    if (avail == 0) {
      ready_.clear();
      readyHead_ = 0;
      if (!DecodeNext()) break;
      continue;
    }
    const size_t n = std::min(avail, maxFrames - done);
    std::memcpy(out + done * ch, ready_.data() + readyHead_, n * ch * sizeof(int32_t));
    readyHead_ += n * ch;
    done += n;
    position_ += static_cast<int64_t>(n);
  }
  return done;
}

codec::DecoderHealth VorbisStream::health() const {
  codec::DecoderHealth h;
  h.damagedBlocks = damagedPackets_ + reader_.damagedPages();
  return h;
}

std::string VorbisStream::Describe() const {
  std::string s = "Ogg Vorbis, " + std::to_string(id_.channels) + " channels, " + std::to_string(id_.sampleRate) +
                  " Hz";
  if (id_.bitrateNominal > 0) s += ", nominal " + std::to_string(id_.bitrateNominal / 1000) + " kbit/s";
  s += ", blocks " + std::to_string(id_.blocksize[0]) + "/" + std::to_string(id_.blocksize[1]);
  if (links_.size() > 1) s += ", " + std::to_string(links_.size()) + " chained streams";
  if (!vendor_.empty()) s += ", encoder " + vendor_;
  return s;
}

std::unique_ptr<codec::AudioDecoder> MakeVorbisDecoder() { return std::make_unique<VorbisStream>(); }

}  // namespace cx::vorbis
