// Ogg framing: pages (capture pattern "OggS", version 0, flags, granule
// position, serial, sequence, CRC-32 over the page with the CRC field
// zeroed, lacing values) and the packets their segments make up. The page
// walk lists every page header in a source once, which is what chain
// boundaries, the length and seeking are found from; the packet reader
// then reads one logical stream's pages from that list, checking each.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/byte_source.h"

namespace cx::vorbis {

struct PageInfo {
  int64_t offset = 0;
  uint32_t size = 0;  // header, lacing table and body
  int64_t granule = -1;
  uint32_t serial = 0;
  uint32_t sequence = 0;
  uint8_t flags = 0;
};
constexpr uint8_t kContinued = 1, kFirstPage = 2, kLastPage = 4;

uint32_t OggCrc(const uint8_t* data, size_t size);

// Every well-formed page header in the source, in file order; bytes
// between pages are scanned over.
std::vector<PageInfo> WalkPages(codec::ByteSource& source);

// Reads one whole page and checks its CRC; false when it does not match
// (or the bytes cannot be read). page gets the bytes.
bool ReadPage(codec::ByteSource& source, const PageInfo& info, std::vector<uint8_t>& page);

struct Packet {
  const uint8_t* data = nullptr;  // kPad zero bytes follow
  size_t size = 0;
  int64_t granule = -1;  // the page's, on the last packet ending on it
  bool eos = false;      // ends on the stream's last page
  bool gap = false;      // something was lost just before it
  size_t page = 0;       // index of the page it ends on
};

class PacketReader {
 public:
  // Reads the pages of `serial` among pages[first, end).
  void Start(codec::ByteSource* source, const std::vector<PageInfo>* pages, size_t first, size_t end,
             uint32_t serial);
  // False at the end of the range.
  bool Next(Packet& packet);
  int64_t damagedPages() const { return damaged_; }

 private:
  bool LoadPage();

  codec::ByteSource* source_ = nullptr;
  const std::vector<PageInfo>* pages_ = nullptr;
  size_t next_ = 0, end_ = 0, current_ = 0;
  uint32_t serial_ = 0;
  std::vector<uint8_t> page_;
  std::vector<uint8_t> packet_;
  size_t segments_ = 0, segment_ = 0, bodyPos_ = 0;
  int lastComplete_ = -1;
  bool skipping_ = false;  // dropping a packet whose start was lost
  bool gap_ = false;
  bool delivered_ = false;
  bool haveSequence_ = false;
  uint32_t sequence_ = 0;
  int64_t damaged_ = 0;
};

}  // namespace cx::vorbis
