// One logical stream's audio packets to PCM: mode, floors, residues,
// inverse coupling, inverse MDCT, windowing and overlap with the previous
// block. A packet yields the samples between the centres of the previous
// block and its own; the first after a reset only primes the overlap.
#pragma once

#include <memory>
#include <vector>

#include "vorbis/floor.h"
#include "vorbis/imdct.h"
#include "vorbis/setup.h"

namespace cx::vorbis {

class BlockDecoder {
 public:
  // setup must outlive the decoder's use of it.
  void Init(const Identification& id, const Setup* setup);
  void Reset() { havePrevious_ = false; }
  // Frames produced by the packet (0 for the priming one), or -1 when it is
  // not an audio packet this stream can decode.
  int Decode(const uint8_t* data, size_t size);
  // The frames of the last Decode, one array per channel.
  const float* Channel(int c) const { return output_[c].data(); }

  // The block size a packet codes (from its mode), or 0 when not audio.
  static int PacketBlockSize(const Identification& id, const Setup& setup, const uint8_t* data, size_t size);

 private:
  void Window(float* buf, int n, int leftN, int rightN) const;
  const std::vector<float>& Slope(int n) const { return n == id_.blocksize[0] ? slope_[0] : slope_[1]; }

  Identification id_;
  const Setup* setup_ = nullptr;
  std::unique_ptr<Imdct> imdct_[2];
  std::vector<float> slope_[2];  // rising half-windows, blocksize/2 long
  std::vector<std::vector<float>> spectrum_, saved_, output_;
  std::vector<float> block_;
  std::vector<FloorData> floors_;
  std::vector<int> classes_;
  std::vector<float> interleave_;
  bool havePrevious_ = false;
  int previousN_ = 0;
};

}  // namespace cx::vorbis
