#include "vorbis/ogg.h"

#include <cstring>

#include "vorbis/bit_reader.h"

namespace cx::vorbis {

namespace {

// Four tables: t[k][b] is the CRC of byte b followed by k zero bytes, so
// four bytes are taken in one step.
struct CrcTable {
  uint32_t t[4][256];
  CrcTable() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t r = i << 24;
      for (int k = 0; k < 8; ++k) r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
      t[0][i] = r;
    }
    for (int k = 1; k < 4; ++k) {
      for (uint32_t i = 0; i < 256; ++i) t[k][i] = (t[k - 1][i] << 8) ^ t[0][t[k - 1][i] >> 24];
    }
  }
};
const CrcTable kCrc;

uint32_t Le32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Largest packet assembled; the setup header of a real stream is far smaller.
constexpr size_t kMaxPacket = size_t{16} << 20;

}  // namespace

uint32_t OggCrc(const uint8_t* data, size_t size) {
  uint32_t crc = 0;
  size_t i = 0;
  for (; i + 4 <= size; i += 4) {
    crc ^= (static_cast<uint32_t>(data[i]) << 24) | (data[i + 1] << 16) | (data[i + 2] << 8) | data[i + 3];
    crc = kCrc.t[3][crc >> 24] ^ kCrc.t[2][(crc >> 16) & 0xFF] ^ kCrc.t[1][(crc >> 8) & 0xFF] ^ kCrc.t[0][crc & 0xFF];
  }
  for (; i < size; ++i) crc = (crc << 8) ^ kCrc.t[0][((crc >> 24) ^ data[i]) & 0xFF];
  return crc;
}

std::vector<PageInfo> WalkPages(codec::ByteSource& source) {
  std::vector<PageInfo> pages;
  const int64_t size = source.Size();
  int64_t pos = 0;
  uint8_t h[27 + 255];
  std::vector<uint8_t> scan(65536);
  while (pos + 27 <= size) {
    bool ok = source.ReadAt(pos, h, 27) == 27 && std::memcmp(h, "OggS", 4) == 0 && h[4] == 0;
    if (ok) {
      const int segments = h[26];
      ok = source.ReadAt(pos + 27, h + 27, segments) == static_cast<size_t>(segments);
      if (ok) {
        uint32_t body = 0;
        for (int i = 0; i < segments; ++i) body += h[27 + i];
        PageInfo p;
        p.offset = pos;
        p.size = 27 + segments + body;
        uint64_t g = 0;
        for (int i = 0; i < 8; ++i) g |= static_cast<uint64_t>(h[6 + i]) << (8 * i);
        p.granule = static_cast<int64_t>(g);
        p.serial = Le32(h + 14);
        p.sequence = Le32(h + 18);
        p.flags = h[5];
        ok = pos + p.size <= size;
        if (ok) {
          pages.push_back(p);
          pos += p.size;
          continue;
        }
      }
    }
    // Not a page here: look for the next capture pattern.
    bool found = false;
    int64_t from = pos + 1;
    while (!found && from + 4 <= size) {
      size_t got = source.ReadAt(from, scan.data(), scan.size());
      if (got < 4) break;
      for (size_t i = 0; i + 4 <= got; ++i) {
        if (std::memcmp(scan.data() + i, "OggS", 4) == 0) {
          pos = from + static_cast<int64_t>(i);
          found = true;
          break;
        }
      }
      from += static_cast<int64_t>(got) - 3;
    }
    if (!found) break;
  }
  return pages;
}

bool ReadPage(codec::ByteSource& source, const PageInfo& info, std::vector<uint8_t>& page) {
  page.resize(info.size);
  if (source.ReadAt(info.offset, page.data(), info.size) != info.size) return false;
  uint8_t saved[4];
  std::memcpy(saved, &page[22], 4);
  std::memset(&page[22], 0, 4);
  const uint32_t crc = OggCrc(page.data(), page.size());
  std::memcpy(&page[22], saved, 4);
  return crc == Le32(saved);
}

void PacketReader::Start(codec::ByteSource* source, const std::vector<PageInfo>* pages, size_t first,
                         size_t end, uint32_t serial) {
  source_ = source;
  pages_ = pages;
  next_ = first;
  end_ = end;
  serial_ = serial;
  segments_ = segment_ = 0;
  packet_.clear();
  skipping_ = false;
  gap_ = false;
  delivered_ = false;
  haveSequence_ = false;
}

bool PacketReader::LoadPage() {
  while (next_ < end_) {
    const PageInfo& info = (*pages_)[next_];
    current_ = next_++;
    if (info.serial != serial_) continue;
    const bool lost = haveSequence_ && info.sequence != sequence_ + 1;
    haveSequence_ = true;
    sequence_ = info.sequence;
    if (!ReadPage(*source_, info, page_)) {
      ++damaged_;
      gap_ = true;
      packet_.clear();
      skipping_ = true;  // whatever continues onto the next page is incomplete
      continue;
    }
    if (lost) {
      gap_ = true;
      packet_.clear();
      skipping_ = true;
    }
    if (info.flags & kContinued) {
      if (packet_.empty()) skipping_ = true;  // its start is not in hand
    } else {
      if (!packet_.empty()) gap_ = true;  // the rest of that packet never came
      packet_.clear();
      skipping_ = false;
    }
    segments_ = page_[26];
    segment_ = 0;
    bodyPos_ = 27 + segments_;
    lastComplete_ = -1;
    for (size_t i = 0; i < segments_; ++i) {
      if (page_[27 + i] < 255) lastComplete_ = static_cast<int>(i);
    }
    return true;
  }
  return false;
}

bool PacketReader::Next(Packet& packet) {
  if (delivered_) {
    packet_.clear();
    delivered_ = false;
  }
  for (;;) {
    if (segment_ >= segments_) {
      if (!LoadPage()) return false;
      continue;
    }
    const uint8_t lace = page_[27 + segment_];
    const size_t i = segment_++;
    if (!skipping_) {
      if (packet_.size() + lace > kMaxPacket) {
        packet_.clear();
        skipping_ = true;
        gap_ = true;
      } else {
        packet_.insert(packet_.end(), page_.begin() + bodyPos_, page_.begin() + bodyPos_ + lace);
      }
    }
    bodyPos_ += lace;
    if (lace == 255) continue;
    if (skipping_) {
      skipping_ = false;
      packet_.clear();
      continue;
    }
    const PageInfo& info = (*pages_)[current_];
    packet.size = packet_.size();
    packet_.insert(packet_.end(), kPad, 0);
    packet.data = packet_.data();
    packet.granule = static_cast<int>(i) == lastComplete_ ? info.granule : -1;
    packet.eos = (info.flags & kLastPage) != 0;
    packet.gap = gap_;
    packet.page = current_;
    gap_ = false;
    delivered_ = true;  // cleared on the next call, with its padding
    return true;
  }
}

}  // namespace cx::vorbis
