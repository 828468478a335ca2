// One table of streams made at test time with sox and the reference
// encoder: every depth the encoder takes (and odd ones through
// WAVE_FORMAT_EXTENSIBLE), 1 to 8 channels, 8 kHz to 192 kHz with every
// kind of rate code, levels -0 to -8, block sizes from 192 to 16384 and a
// variable-blocking stream joined from two encodes. Each is decoded whole,
// in uneven reads, and must equal the reference decoder's samples; its MD5
// must match; seeks must land on the exact sample. Damaged variants check
// that a broken frame becomes silence of its length and is counted, and
// that an altered checksum is reported.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "codec/byte_source.h"
#include "flac/flac_decoder.h"
#include "tests/flac/corpus.h"
#include "tests/support/TempFolder.h"

namespace cx::flac::test {
namespace {

using Checksum = codec::DecoderHealth::Checksum;
using cx::test::TempFolder;

enum class Kind {
  kPlain,
  kOddDepth,       // `bits` not a whole number of bytes: via an extensible WAV
  kWastedBits,     // 16-bit signal in a 24-bit stream: every subframe has wasted bits
  kVariable,       // two encodes of different block sizes joined
  kDamaged,        // bytes flipped in the middle of the file
  kBadChecksum,    // one byte of STREAMINFO's MD5 changed
  kId3v2,          // an ID3v2 tag before "fLaC"
  kUnknownLength,  // STREAMINFO's total samples cleared
};

struct Case {
  const char* name;
  int channels;
  int rate;
  int bits;
  const char* length;  // sox: seconds, or samples with an "s"
  const char* synth;   // sox synth sources, one per channel (repeated when fewer)
  const char* options;
  Kind kind = Kind::kPlain;
};

const char* const kMusic = "sine 220 sine 330 pinknoise sine 1100-3300 square 110 sine 440 brownnoise sine 660";
const char* const kNoise = "whitenoise";

const Case kCases[] = {
    {"mono_8k_8bit_l0", 1, 8000, 8, "1.5", kMusic, "-0"},
    {"stereo_11k_8bit_l8", 2, 11025, 8, "1", kNoise, "-8"},
    {"stereo_44k_16bit_l0", 2, 44100, 16, "2", kMusic, "-0"},
    {"stereo_44k_16bit_l1", 2, 44100, 16, "1", kMusic, "-1"},
    {"stereo_44k_16bit_l3", 2, 44100, 16, "1", kMusic, "-3"},
    {"stereo_44k_16bit_l5", 2, 44100, 16, "2", kMusic, "-5"},
    {"stereo_44k_16bit_l6", 2, 44100, 16, "1", kMusic, "-6"},
    {"stereo_44k_16bit_l8", 2, 44100, 16, "2", kMusic, "-8"},
    {"stereo_44k_16bit_noise_l8", 2, 44100, 16, "1", kNoise, "-8"},
    {"stereo_48k_16bit_bisect", 2, 48000, 16, "3", kMusic, "-5 --no-seektable"},
    {"stereo_48k_16bit_seektable", 2, 48000, 16, "3", kMusic, "-5 -S 0.2s"},
    {"stereo_96k_24bit_l8", 2, 96000, 24, "1", kMusic, "-8"},
    {"mono_192k_24bit_l5", 1, 192000, 24, "0.5", kMusic, "-5"},
    {"stereo_192k_24bit_noise", 2, 192000, 24, "0.3", kNoise, "-5"},
    {"stereo_48k_32bit_l5", 2, 48000, 32, "0.5", kMusic, "-5"},
    {"stereo_44k_32bit_noise", 2, 44100, 32, "0.3", kNoise, "-8"},
    {"3ch_22k_16bit_l4", 3, 22050, 16, "1", kMusic, "-4"},
    {"4ch_32k_16bit_l2", 4, 32000, 16, "0.5", kMusic, "-2"},
    {"5ch_16k_24bit_l7", 5, 16000, 24, "0.5", kMusic, "-7"},
    {"6ch_48k_16bit_l5", 6, 48000, 16, "0.5", kMusic, "-5"},
    {"7ch_24k_8bit_l5", 7, 24000, 8, "0.5", kMusic, "-5"},
    {"8ch_44k_24bit_l6", 8, 44100, 24, "0.4", kMusic, "-6"},
    {"rate_12k_khz_code", 1, 12000, 16, "0.5", kMusic, "-5"},
    {"rate_37800_tens_code", 2, 37800, 16, "0.5", kMusic, "-5"},
    {"rate_64k_khz_code", 1, 64000, 16, "0.3", kMusic, "-5 --lax"},
    {"rate_88k", 2, 88200, 16, "0.3", kMusic, "-5"},
    {"rate_176k", 2, 176400, 24, "0.2", kMusic, "-5"},
    {"block_192", 2, 44100, 16, "0.5", kMusic, "-5 -b 192"},
    {"block_576", 1, 44100, 16, "0.5", kMusic, "-5 -b 576"},
    {"block_1152", 2, 44100, 16, "0.5", kMusic, "-5 -b 1152"},
    {"block_2304", 2, 44100, 16, "0.5", kMusic, "-5 -b 2304"},
    {"block_4608", 2, 44100, 16, "0.5", kMusic, "-5 -b 4608"},
    {"block_255_8bit_code", 1, 44100, 16, "0.5", kMusic, "-5 -b 255 --lax"},
    {"block_1000_16bit_code", 2, 44100, 16, "0.5", kMusic, "-5 -b 1000"},
    {"block_16384", 2, 44100, 16, "1", kMusic, "-5 -b 16384 --lax"},
    {"block_32768", 1, 96000, 24, "1", kMusic, "-8 -b 32768 --lax"},
    {"lpc_order_32", 2, 44100, 16, "0.5", kMusic, "-8 -l 32 --lax"},
    {"lpc_exhaustive", 1, 44100, 16, "0.3", kMusic, "-8 -e -p -l 16 --lax"},
    {"silence_constant", 2, 44100, 16, "0.5", "sine 0 vol 0", "-5"},
    {"shorter_than_a_block", 2, 44100, 16, "100s", kMusic, "-5"},
    {"one_sample", 1, 8000, 16, "1s", kMusic, "-5"},
    {"odd_depth_4bit", 1, 8000, 4, "0.5", kMusic, "-5 --lax", Kind::kOddDepth},
    {"odd_depth_12bit", 2, 16000, 12, "0.5", kMusic, "-5", Kind::kOddDepth},
    {"odd_depth_20bit", 2, 48000, 20, "0.5", kMusic, "-8", Kind::kOddDepth},
    {"wasted_bits_24bit", 2, 44100, 24, "0.5", kMusic, "-5", Kind::kWastedBits},
    {"variable_blocking", 2, 44100, 16, "1", kMusic, "-5", Kind::kVariable},
    {"damaged_frame", 2, 44100, 16, "2", kMusic, "-5 -b 4096", Kind::kDamaged},
    {"altered_md5", 2, 44100, 16, "0.5", kMusic, "-5", Kind::kBadChecksum},
    {"id3v2_before_marker", 2, 44100, 16, "0.5", kMusic, "-5", Kind::kId3v2},
    {"unknown_length", 2, 44100, 16, "1", kMusic, "-5 --no-seektable", Kind::kUnknownLength},
};

std::string Quote(const std::string& s) { return "'" + s + "'"; }

std::string Sox(const Case& c, int bits, const std::string& out, const char* synth) {
  // Rate and channels given to the null input too, so sox does not resample.
  return "sox -D -r " + std::to_string(c.rate) + " -c " + std::to_string(c.channels) + " -n -b " +
         std::to_string(bits) + " " + out + " synth " + c.length + " " + synth + " vol 0.7 2>/dev/null";
}

// Makes the case's stream; reference holds the expected samples.
bool MakeStream(const Case& c, const TempFolder& dir, std::string* flacPath, std::vector<int32_t>* reference) {
  const std::string wav = dir.Path("in.wav"), flac = dir.Path("out.flac");
  // sox leaves the channel mask of more than two channels empty.
  const std::string encode =
      std::string("flac -s -f ") + c.options + (c.channels > 2 ? " --channel-map=none " : " ");
  *flacPath = flac;
  switch (c.kind) {
    case Kind::kOddDepth:
      if (!Run(Sox(c, 24, "-t raw -e signed " + Quote(dir.Path("in.raw")), c.synth)) ||
          !WriteOddDepthWav(dir.Path("in.raw"), wav, c.channels, c.rate, c.bits)) {
        return false;
      }
      break;
    case Kind::kWastedBits:
      if (!Run(Sox(c, 16, Quote(dir.Path("in16.wav")), c.synth)) ||
          !Run("sox " + Quote(dir.Path("in16.wav")) + " -b 24 " + Quote(wav))) {
        return false;
      }
      break;
    case Kind::kVariable: {
      // Two encodes of one format at different block sizes, re-headed into
      // one variable-blocking stream; the reference decoder checks the
      // result decodes.
      const std::string a = dir.Path("a.flac"), b = dir.Path("b.flac");
      if (!Run(Sox(c, c.bits, Quote(wav), c.synth)) || !Run(Sox(c, c.bits, Quote(dir.Path("b.wav")), kNoise)) ||
          !Run(encode + "-b 1152 " + Quote(wav) + " -o " + Quote(a)) ||
          !Run(encode + "-b 4096 " + Quote(dir.Path("b.wav")) + " -o " + Quote(b))) {
        return false;
      }
      std::vector<uint8_t> joined;
      if (!JoinAsVariableBlocking(ReadBytes(a), ReadBytes(b), &joined) || !WriteBytes(flac, joined)) return false;
      return ReferenceDecode(flac, dir.Path("ref"), c.bits, reference);
    }
    default:
      if (!Run(Sox(c, c.bits, Quote(wav), c.synth))) return false;
      break;
  }
  if (!Run(encode + Quote(wav) + " -o " + Quote(flac))) return false;
  if (!ReferenceDecode(flac, dir.Path("ref"), c.bits, reference)) return false;
  std::vector<uint8_t> bytes = ReadBytes(flac);
  switch (c.kind) {
    case Kind::kDamaged:
      for (size_t i = bytes.size() / 2; i < bytes.size() / 2 + 6; ++i) bytes[i] ^= 0x5A;
      break;
    case Kind::kBadChecksum:
      bytes[8 + 18 + 5] ^= 0x01;
      break;
    case Kind::kId3v2: {
      std::vector<uint8_t> tag = {'I', 'D', '3', 3, 0, 0, 0, 0, 1, 0};  // 128 bytes of body
      tag.resize(10 + 128, 0);
      bytes.insert(bytes.begin(), tag.begin(), tag.end());
      break;
    }
    case Kind::kUnknownLength:
      bytes[8 + 13] &= 0xF0;
      std::fill(bytes.begin() + 8 + 14, bytes.begin() + 8 + 18, 0);
      break;
    default:
      return true;
  }
  *flacPath = dir.Path("altered.flac");
  return WriteBytes(*flacPath, bytes);
}

std::unique_ptr<codec::AudioDecoder> OpenFile(const std::string& path) {
  std::unique_ptr<codec::AudioDecoder> d = MakeFlacDecoder();
  if (!d->Open(codec::FileByteSource::Open(path))) return nullptr;
  return d;
}

// Everything, read in uneven pieces (a dropped or repeated piece shows).
std::vector<int32_t> DecodeAll(codec::AudioDecoder& d) {
  const size_t channels = static_cast<size_t>(d.format().channels);
  std::vector<int32_t> out, buffer(5000 * channels);
  for (size_t i = 0;; ++i) {
    const size_t want = 1 + (i * 7919) % 4999;
    const size_t got = d.Read(buffer.data(), want);
    if (got == 0) break;
    EXPECT_LE(got, want);
    out.insert(out.end(), buffer.begin(), buffer.begin() + static_cast<long>(got * channels));
  }
  return out;
}

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class FlacCorpusTest : public ::testing::TestWithParam<Case> {};

TEST_P(FlacCorpusTest, MatchesReferenceDecoder) {
  const Case& c = GetParam();
  TempFolder dir;
  std::string path;
  std::vector<int32_t> reference;
  ASSERT_TRUE(MakeStream(c, dir, &path, &reference)) << "could not make " << c.name;
  ASSERT_FALSE(reference.empty());
  std::unique_ptr<codec::AudioDecoder> d = OpenFile(path);
  ASSERT_TRUE(d) << "not opened";
  const int64_t frames = static_cast<int64_t>(reference.size()) / c.channels;
  EXPECT_EQ(d->format().channels, c.channels);
  EXPECT_EQ(d->format().sampleRate, static_cast<uint32_t>(c.rate));
  EXPECT_EQ(d->format().bitsPerSample, c.bits);
  EXPECT_EQ(d->format().totalFrames, c.kind == Kind::kUnknownLength ? -1 : frames);

  const std::vector<int32_t> decoded = DecodeAll(*d);
  ASSERT_EQ(decoded.size(), reference.size()) << "length";
  EXPECT_EQ(d->Position(), frames);
  const codec::DecoderHealth health = d->health();
  if (c.kind == Kind::kDamaged) {
    EXPECT_EQ(health.damagedBlocks, 1);
    EXPECT_EQ(health.checksum, Checksum::kMismatch);
    // One block of 4096 frames is silent; everything else is intact.
    auto first = std::mismatch(decoded.begin(), decoded.end(), reference.begin());
    ASSERT_NE(first.first, decoded.end()) << "the damage changed nothing";
    const size_t block = 4096 * static_cast<size_t>(c.channels);
    const size_t from = static_cast<size_t>(first.first - decoded.begin()) / block * block;
    const size_t to = std::min(from + block, decoded.size());
    for (size_t i = 0; i < decoded.size(); ++i) {
      if (i >= from && i < to) {
        ASSERT_EQ(decoded[i], 0) << "not silent at value " << i;
      } else {
        ASSERT_EQ(decoded[i], reference[i]) << "value " << i << " outside the damaged block";
      }
    }
  } else {
    for (size_t i = 0; i < decoded.size(); ++i) ASSERT_EQ(decoded[i], reference[i]) << "value " << i;
    EXPECT_EQ(health.damagedBlocks, 0);
    const Checksum expected = c.kind == Kind::kBadChecksum ? Checksum::kMismatch
                              : c.kind == Kind::kVariable  ? Checksum::kNotChecked
                                                           : Checksum::kMatch;
    EXPECT_EQ(health.checksum, expected);
  }
  EXPECT_EQ(d->Read(const_cast<int32_t*>(decoded.data()), 1), 0u) << "more after the end";

  // Seeks land on the exact frame: random targets, the edges, the end.
  std::mt19937 random(12345);
  std::vector<int64_t> targets = {frames - 1, 1, frames / 2, 0, frames};
  for (int i = 0; i < 14; ++i) targets.push_back(std::uniform_int_distribution<int64_t>(0, frames - 1)(random));
  std::vector<int32_t> piece(3000 * static_cast<size_t>(c.channels));
  for (int64_t target : targets) {
    ASSERT_TRUE(d->Seek(target)) << "seek to " << target;
    EXPECT_EQ(d->Position(), target);
    const size_t got = d->Read(piece.data(), 3000);
    ASSERT_EQ(static_cast<int64_t>(got), std::min<int64_t>(3000, frames - target)) << "after seek to " << target;
    for (size_t i = 0; i < got * static_cast<size_t>(c.channels); ++i) {
      ASSERT_EQ(piece[i], decoded[static_cast<size_t>(target) * static_cast<size_t>(c.channels) + i])
          << "seek to " << target << ", value " << i;
    }
  }
  // A seek back to the start and a whole decode check the MD5 again.
  if (c.kind == Kind::kPlain) {
    ASSERT_TRUE(d->Seek(0));
    EXPECT_EQ(DecodeAll(*d).size(), decoded.size());
    EXPECT_EQ(d->health().checksum, Checksum::kMatch);
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, FlacCorpusTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(FlacOpenTest, RefusesWhatIsNotFlac) {
  const std::vector<std::vector<uint8_t>> inputs = {
      {},
      {'f', 'L', 'a', 'C'},
      {'f', 'L', 'a', 'C', 0x80, 0, 0, 34},  // STREAMINFO cut short
      {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'},
      {'I', 'D', '3', 3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F, 'f', 'L', 'a', 'C'},  // tag longer than the file
  };
  for (const auto& bytes : inputs) {
    std::unique_ptr<codec::AudioDecoder> d = MakeFlacDecoder();
    EXPECT_FALSE(d->Open(std::make_unique<codec::MemoryByteSource>(bytes))) << bytes.size() << " bytes";
  }
}

}  // namespace
}  // namespace cx::flac::test
