// A stream of one frame repeated, behind an optional first part, made up as
// it is read: hours of audio without hundreds of megabytes on disk or in
// memory.
#pragma once

#include <cstdint>
#include <vector>

#include "codec/byte_source.h"

namespace cx::mpeg::test {

class RepeatedFrameSource : public codec::ByteSource {
 public:
  RepeatedFrameSource(std::vector<uint8_t> head, std::vector<uint8_t> frame, int64_t count)
      : head_(std::move(head)), frame_(std::move(frame)), count_(count) {}
  int64_t Size() const override {
    return static_cast<int64_t>(head_.size()) + static_cast<int64_t>(frame_.size()) * count_;
  }
  size_t ReadAt(int64_t offset, uint8_t* out, size_t n) override {
    size_t done = 0;
    const int64_t head = static_cast<int64_t>(head_.size()), frame = static_cast<int64_t>(frame_.size());
    for (int64_t at = offset; done < n && at >= 0 && at < Size(); ++at, ++done) {
      out[done] =
          at < head ? head_[static_cast<size_t>(at)] : frame_[static_cast<size_t>((at - head) % frame)];
    }
    return done;
  }

 private:
  std::vector<uint8_t> head_, frame_;
  int64_t count_;
};

}  // namespace cx::mpeg::test
