// The three Vorbis header packets: identification (channels, rate, block
// sizes), comment (tags) and setup (codebooks, floors, residues, mappings,
// modes), read into the configuration the audio packets are decoded with.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "codec/audio_decoder.h"
#include "vorbis/codebook.h"

namespace cx::vorbis {

struct Identification {
  int channels = 0;
  uint32_t sampleRate = 0;
  int32_t bitrateNominal = 0;
  int blocksize[2] = {0, 0};
};

struct Floor0 {
  int order = 0;
  int rate = 0;
  int barkMapSize = 0;
  int amplitudeBits = 0;
  int amplitudeOffset = 0;
  std::vector<int> books;
};

struct Floor1 {
  std::vector<int> partitionClass;
  struct Class {
    int dimensions = 0;
    int subclassBits = 0;
    int masterbook = -1;
    int subBooks[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
  };
  std::vector<Class> classes;
  int multiplier = 1;
  std::vector<int> x;            // in coded order
  std::vector<int> lowNeighbor;  // per value from 2 on
  std::vector<int> highNeighbor;
  std::vector<int> sorted;       // value indices by rising x
};

struct Floor {
  int type = 1;
  Floor0 f0;
  Floor1 f1;
};

struct Residue {
  int type = 0;
  uint32_t begin = 0;
  uint32_t end = 0;
  uint32_t partitionSize = 1;
  int classifications = 1;
  int classbook = 0;
  std::vector<int> books;  // classifications x 8, -1 none
};

struct Mapping {
  std::vector<int> magnitude, angle;  // coupling steps
  std::vector<int> mux;               // submap per channel
  std::vector<int> submapFloor, submapResidue;
};

struct Mode {
  bool blockflag = false;
  int mapping = 0;
};

struct Setup {
  std::vector<Codebook> books;
  std::vector<Floor> floors;
  std::vector<Residue> residues;
  std::vector<Mapping> mappings;
  std::vector<Mode> modes;
};

bool ParseIdentification(const uint8_t* data, size_t size, Identification& id);
// Vendor is kept for Describe; TITLE, ARTIST, ALBUM go into the tags.
bool ParseComment(const uint8_t* data, size_t size, codec::DecoderTags& tags, std::string& vendor);
// data must have kPad readable bytes behind it.
bool ParseSetup(const uint8_t* data, size_t size, int channels, Setup& setup);

}  // namespace cx::vorbis
