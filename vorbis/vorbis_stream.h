// The decoder's state: the file's page list split into chained links, the
// current link's headers, and the bookkeeping that maps decoded blocks to
// exact frame positions through the pages' granule positions.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "codec/audio_decoder.h"
#include "vorbis/block_decoder.h"
#include "vorbis/ogg.h"
#include "vorbis/setup.h"

namespace cx::vorbis {

class VorbisStream : public codec::AudioDecoder {
 public:
  bool Open(std::unique_ptr<codec::ByteSource> source) override;
  const codec::DecoderFormat& format() const override { return format_; }
  const codec::DecoderTags& tags() const override { return tags_; }
  size_t Read(int32_t* out, size_t maxFrames) override;
  bool Seek(int64_t frame) override;
  int64_t Position() const override { return position_; }
  codec::DecoderHealth health() const override;
  std::string Describe() const override;

 private:
  // One logical stream of the chain.
  struct Link {
    uint32_t serial = 0;
    Identification id;
    size_t firstPage = 0, endPage = 0;
    size_t audioPage = 0;          // first page after the headers
    int64_t startGranule = 0;      // granule of the first decoded frame
    int64_t begin = 0, end = 0;    // granules of the frames it delivers
    int64_t firstFrame = 0;        // where it starts in the whole
    std::vector<size_t> timed;     // its pages with a granule position
  };

  bool ScanLink(size_t firstPage, size_t endPage, uint32_t serial, Link& link, Identification& id,
                std::unique_ptr<Setup>* setupOut);
  bool StartLink(size_t index);
  void Restart(size_t page);
  bool DecodeNext();
  void Emit(const int32_t* frames, int64_t count, int64_t granule);
  void EmitSilence(int64_t count, int64_t granule);
  void Place(int64_t start);

  std::unique_ptr<codec::ByteSource> source_;
  std::vector<PageInfo> pages_;
  std::vector<Link> links_;
  codec::DecoderFormat format_;
  codec::DecoderTags tags_;
  std::string vendor_;
  Identification id_;
  std::unique_ptr<Setup> setup_;
  size_t setupLink_ = SIZE_MAX;
  BlockDecoder block_;
  PacketReader reader_;

  size_t link_ = 0;
  bool known_ = false;          // granule_ is the next decoded frame's granule
  int64_t granule_ = 0;
  int64_t discardBefore_ = 0;   // frames before this granule are not delivered
  bool resume_ = false;         // after a loss: output continues at expected_
  int64_t expected_ = 0;
  bool seeking_ = false;        // the seek may have started too late
  size_t seekTimed_ = 0;        // index into the link's timed pages it started at
  int retries_ = 0;
  std::vector<int32_t> pending_;  // decoded, position not known yet
  std::vector<int32_t> pcm_;
  std::vector<int32_t> ready_;
  size_t readyHead_ = 0;          // values
  int64_t position_ = 0;
  int64_t nextFrame_ = 0;         // global frame of the next value appended to ready_
  int64_t damagedPackets_ = 0;
  bool ended_ = false;
};

}  // namespace cx::vorbis
