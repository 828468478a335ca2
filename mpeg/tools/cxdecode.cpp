// cxdecode: decodes an MP1/MP2/MP3 file to a 16-bit PCM WAV file, or with
// --raw to headerless little-endian interleaved PCM. OUTPUT "-" is standard
// output. --info prints the stream information and the tags. The encoder's
// delay and padding are trimmed when the file gives them; --no-gapless keeps
// every decoded sample. FLAC and Ogg Vorbis files go through
// codec::AudioDecoder and keep their own depth (8-bit unsigned, 16 to 32-bit
// signed, as WAV stores them); their --info decodes the whole file to check
// it (a FLAC file's MD5).
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "codec/audio_decoder.h"
#include "codec/byte_source.h"
#include "codec/pcm_pack.h"
#include "flac/flac_decoder.h"
#include "flac/metadata.h"
#include "mpeg/mpeg_stream.h"
#include "vorbis/vorbis_decoder.h"

namespace {

using cx::mpeg::MpegStream;
using cx::mpeg::StreamInfo;

void PutLe(std::vector<uint8_t>& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PrintInfo(const StreamInfo& s) {
  static const char* const kModes[] = {"stereo", "joint stereo", "dual channel", "single channel"};
  std::printf("MPEG %s Layer %u, %u Hz, %u kbit/s, %s%s\n", s.id ? "1" : s.mpeg25 ? "2.5" : "2",
              4 - s.layerCode, s.samplingRate, s.bitrate / 1000, kModes[s.mode & 3],
              s.crcPresent ? ", CRC" : "");
  static const char* const kCounts[] = {"estimated from the first frame", "every header walked",
                                       "Xing/Info header", "VBRI header"};
  std::printf("frames %lld (%s), samples per frame %d, duration %lld ms, PCM bytes %lld\n",
              static_cast<long long>(s.frameCount), kCounts[static_cast<int>(s.countSource) & 3],
              s.samplesPerFrame, static_cast<long long>(s.totalMilliseconds),
              static_cast<long long>(s.totalPcmBytes));
  if (s.otherFrames > 0) {
    std::printf("skipped: %lld frames of another sampling rate or layer\n", static_cast<long long>(s.otherFrames));
  }
  if (s.encoderTag) {
    std::printf("encoder delay %d, padding %d samples (%s)\n", s.encoderDelay, s.encoderPadding,
                s.gapless ? "trimmed" : "kept");
  }
  if (s.id3v2Title[0]) std::printf("ID3v2 title: %s\n", s.id3v2Title);
  if (s.tagPresent) {
    std::printf("title: %s\nartist: %s\nalbum: %s\nyear: %s\ncomment: %s\ngenre: %u\n",
                s.tag.title, s.tag.artist, s.tag.album, s.tag.year, s.tag.comment, s.tag.genre);
  } else {
    std::printf("no tag\n");
  }
}

// --- Formats behind codec::AudioDecoder ---------------------------------

bool HasExtension(const std::string& path, const char* ext) {
  const size_t n = std::strlen(ext);
  if (path.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    if (std::tolower(static_cast<unsigned char>(path[path.size() - n + i])) != ext[i]) return false;
  }
  return true;
}

// The "fLaC" marker, after any ID3v2 tags.
bool LooksLikeFlac(cx::codec::ByteSource& source) {
  int64_t at = 0;
  uint8_t head[10];
  while (source.ReadAt(at, head, sizeof head) == sizeof head) {
    const int64_t tag = cx::flac::Id3v2Length(head, sizeof head);
    if (tag == 0) return std::memcmp(head, "fLaC", 4) == 0;
    at += tag;
  }
  return false;
}

// The decoder for a file in one of these formats with its name for
// messages, or a null decoder when the file is left to the MPEG path.
std::unique_ptr<cx::codec::AudioDecoder> DecoderFor(const std::string& path, const char** name) {
  std::unique_ptr<cx::codec::ByteSource> source = cx::codec::FileByteSource::Open(path);
  if (!source) return nullptr;
  if (LooksLikeFlac(*source) || HasExtension(path, ".flac")) {
    *name = "FLAC";
    return cx::flac::MakeFlacDecoder();
  }
  uint8_t head[512];
  const size_t got = source->ReadAt(0, head, sizeof head);
  if (cx::vorbis::LooksLikeVorbis(head, got) || HasExtension(path, ".ogg") || HasExtension(path, ".oga")) {
    *name = "Ogg Vorbis";
    return cx::vorbis::MakeVorbisDecoder();
  }
  return nullptr;
}

// A WAV header for the decoder's depth: PCM for mono and stereo up to
// 16 bits, WAVE_FORMAT_EXTENSIBLE (with the valid bits) beyond.
std::vector<uint8_t> WavHeaderFor(const cx::codec::DecoderFormat& f, uint32_t dataBytes) {
  static const uint32_t kMasks[9] = {0, 0x4, 0x3, 0x7, 0x33, 0x37, 0x3F, 0x70F, 0x63F};
  const uint32_t bytes = static_cast<uint32_t>(cx::codec::WavBytesPerSample(f.bitsPerSample));
  const uint32_t channels = static_cast<uint32_t>(f.channels);
  const bool extensible = channels > 2 || f.bitsPerSample > 16 || f.bitsPerSample % 8 != 0;
  const uint32_t fmtSize = extensible ? 40 : 16;
  std::vector<uint8_t> h;
  h.insert(h.end(), {'R', 'I', 'F', 'F'});
  PutLe(h, 20 + fmtSize + dataBytes, 4);
  h.insert(h.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  PutLe(h, fmtSize, 4);
  PutLe(h, extensible ? 0xFFFE : 1, 2);
  PutLe(h, channels, 2);
  PutLe(h, f.sampleRate, 4);
  PutLe(h, f.sampleRate * channels * bytes, 4);
  PutLe(h, channels * bytes, 2);
  PutLe(h, bytes * 8, 2);
  if (extensible) {
    PutLe(h, 22, 2);
    PutLe(h, static_cast<uint32_t>(f.bitsPerSample), 2);
    PutLe(h, channels <= 8 ? kMasks[channels] : 0, 4);
    // KSDATAFORMAT_SUBTYPE_PCM
    h.insert(h.end(), {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71});
  }
  h.insert(h.end(), {'d', 'a', 't', 'a'});
  PutLe(h, dataBytes, 4);
  return h;
}

// What an MPEG stream decodes to, for its WAV header (44 bytes: PCM,
// sizes patched at the end when the output can seek).
cx::codec::DecoderFormat Pcm16Of(const StreamInfo& s) {
  cx::codec::DecoderFormat f;
  f.channels = s.channels;
  f.sampleRate = s.samplingRate;
  f.bitsPerSample = 16;
  return f;
}

void PrintDecoderInfo(cx::codec::AudioDecoder& d) {
  const cx::codec::DecoderFormat& f = d.format();
  std::printf("%s\n", d.Describe().c_str());
  std::printf("%d channels, %u Hz, %d bits, samples %lld, %u bit/s\n", f.channels, f.sampleRate, f.bitsPerSample,
              static_cast<long long>(f.totalFrames), f.bitrate);
  if (f.totalFrames >= 0) {
    std::printf("samples %lld, duration %lld ms\n", static_cast<long long>(f.totalFrames),
                static_cast<long long>(f.sampleRate ? f.totalFrames * 1000 / f.sampleRate : 0));
  } else {
    std::printf("samples unknown\n");
  }
  const cx::codec::DecoderTags& t = d.tags();
  std::printf("title: %s\nartist: %s\nalbum: %s\n", t.title.c_str(), t.artist.c_str(), t.album.c_str());
}

// Reports the decode's health; false when the stream's checksum failed.
bool ReportHealth(const cx::codec::AudioDecoder& d, const char* name, const std::string& path, bool print) {
  const cx::codec::DecoderHealth h = d.health();
  using Checksum = cx::codec::DecoderHealth::Checksum;
  if (print) {
    std::printf("decoded %lld samples, damaged blocks %lld\nMD5: %s\n", static_cast<long long>(d.Position()),
                static_cast<long long>(h.damagedBlocks),
                h.checksum == Checksum::kMatch      ? "match"
                : h.checksum == Checksum::kMismatch ? "MISMATCH"
                                                    : "not checked");
  }
  if (h.checksum == Checksum::kMismatch) {
    std::fprintf(stderr, "cxdecode: %s: decoded samples do not match the %s stream's MD5 (%lld damaged blocks)\n",
                 path.c_str(), name, static_cast<long long>(h.damagedBlocks));
    return false;
  }
  return true;
}

int DecodeThroughInterface(cx::codec::AudioDecoder& d, const char* name, const std::string& input, bool info,
                           bool raw, const std::string& output) {
  const cx::codec::DecoderFormat f = d.format();
  constexpr size_t kFrames = 4096;
  std::vector<int32_t> pcm(kFrames * static_cast<size_t>(f.channels));
  std::vector<uint8_t> bytes(pcm.size() * 4);
  if (info) {
    PrintDecoderInfo(d);
    while (d.Read(pcm.data(), kFrames) > 0) {
    }
    return ReportHealth(d, name, input, true) ? 0 : 1;
  }
  const bool toStdout = output == "-";
  std::FILE* out = toStdout ? stdout : std::fopen(output.c_str(), "wb");
  if (!out) {
    std::fprintf(stderr, "cxdecode: cannot write %s\n", output.c_str());
    return 1;
  }
#ifdef _WIN32
  if (toStdout) _setmode(_fileno(stdout), _O_BINARY);
#endif
  bool ok = true;
  if (!raw) {
    const std::vector<uint8_t> header = WavHeaderFor(f, 0);
    ok = std::fwrite(header.data(), 1, header.size(), out) == header.size();
  }
  uint64_t dataBytes = 0;
  for (size_t n; ok && (n = d.Read(pcm.data(), kFrames)) > 0;) {
    const size_t len = cx::codec::PackWav(pcm.data(), n * static_cast<size_t>(f.channels), f.bitsPerSample, bytes.data());
    ok = std::fwrite(bytes.data(), 1, len, out) == len;
    dataBytes += len;
  }
  if (ok && !raw && !toStdout) {
    const std::vector<uint8_t> header =
        WavHeaderFor(f, static_cast<uint32_t>(std::min<uint64_t>(dataBytes, 0xFFFFFFFFu - 80)));
    ok = std::fseek(out, 0, SEEK_SET) == 0 && std::fwrite(header.data(), 1, header.size(), out) == header.size();
  }
  ok = (toStdout ? std::fflush(out) == 0 : std::fclose(out) == 0) && ok;
  if (!ok) {
    std::fprintf(stderr, "cxdecode: write error\n");
    return 1;
  }
  if (dataBytes == 0 && f.totalFrames != 0) {
    std::fprintf(stderr, "cxdecode: no frame of %s could be decoded\n", input.c_str());
    return 1;
  }
  return ReportHealth(d, name, input, false) ? 0 : 1;
}

int Usage() {
  std::fprintf(stderr, "usage: cxdecode [--raw] [--no-gapless] INPUT OUTPUT | cxdecode --info INPUT\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  bool raw = false, info = false, gapless = true;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("cxdecode %s\n", CX_VERSION);
      return 0;
    } else if (std::strcmp(argv[i], "--raw") == 0) {
      raw = true;
    } else if (std::strcmp(argv[i], "--no-gapless") == 0) {
      gapless = false;
    } else if (std::strcmp(argv[i], "--info") == 0) {
      info = true;
    } else {
      files.emplace_back(argv[i]);
    }
  }
  if (files.size() != (info ? 1u : 2u)) return Usage();

  const char* name = "";
  if (std::unique_ptr<cx::codec::AudioDecoder> decoder = DecoderFor(files[0], &name)) {
    if (!decoder->Open(cx::codec::FileByteSource::Open(files[0]))) {
      std::fprintf(stderr, "cxdecode: cannot decode %s as %s\n", files[0].c_str(), name);
      return 1;
    }
    return DecodeThroughInterface(*decoder, name, files[0], info, raw, info ? std::string() : files[1]);
  }

  static MpegStream stream;  // large; kept off the stack
  stream.SetGapless(gapless);
  if (!stream.OpenStream(files[0])) {
    std::fprintf(stderr, "cxdecode: cannot open %s as MPEG audio\n", files[0].c_str());
    return 1;
  }
  if (info) {
    PrintInfo(stream.info());
    return 0;
  }

  const bool toStdout = files[1] == "-";
  std::FILE* out = toStdout ? stdout : std::fopen(files[1].c_str(), "wb");
  if (!out) {
    std::fprintf(stderr, "cxdecode: cannot write %s\n", files[1].c_str());
    return 1;
  }
#ifdef _WIN32
  if (toStdout) _setmode(_fileno(stdout), _O_BINARY);
#endif
  if (!raw) {
    std::vector<uint8_t> header = WavHeaderFor(Pcm16Of(stream.info()), 0);
    std::fwrite(header.data(), 1, header.size(), out);
  }
  uint64_t dataBytes = 0;
  std::vector<uint8_t> bytes;
  while (stream.DecodeBlock()) {
    const int16_t* pcm = stream.PcmBlock();
    const int32_t n = stream.PcmValues();
    bytes.resize(static_cast<size_t>(n) * 2);
    for (int32_t i = 0; i < n; ++i) {
      uint16_t v = static_cast<uint16_t>(pcm[i]);
      bytes[2 * i] = static_cast<uint8_t>(v);
      bytes[2 * i + 1] = static_cast<uint8_t>(v >> 8);
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size()) {
      std::fprintf(stderr, "cxdecode: write error\n");
      if (!toStdout) std::fclose(out);
      return 1;
    }
    dataBytes += bytes.size();
  }
  bool ok = true;
  if (!raw && !toStdout) {
    std::vector<uint8_t> header = WavHeaderFor(Pcm16Of(stream.info()), static_cast<uint32_t>(dataBytes));
    ok = std::fseek(out, 0, SEEK_SET) == 0 && std::fwrite(header.data(), 1, header.size(), out) == header.size();
  }
  if (toStdout) {
    ok = std::fflush(out) == 0 && ok;
  } else {
    ok = std::fclose(out) == 0 && ok;
  }
  if (!ok) {
    std::fprintf(stderr, "cxdecode: write error\n");
    return 1;
  }
  if (dataBytes == 0) {
    std::fprintf(stderr, "cxdecode: no frame of %s could be decoded\n", files[0].c_str());
    return 1;
  }
  return 0;
}
