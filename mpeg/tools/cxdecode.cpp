// cxdecode: decodes an MP1/MP2/MP3 or Ogg Vorbis file to a 16-bit PCM WAV
// file, or with --raw to headerless little-endian interleaved PCM. OUTPUT "-" is standard
// output. --info prints the stream information and the tags. The encoder's
// delay and padding are trimmed when the file gives them; --no-gapless keeps
// every decoded sample.
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
#include "mpeg/mpeg_stream.h"
#include "vorbis/vorbis_decoder.h"

namespace {

using cx::mpeg::MpegStream;
using cx::mpeg::StreamInfo;

void PutLe(std::vector<uint8_t>& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// The 44-byte header of a PCM WAV file; sizes are patched at the end when
// the output can seek.
std::vector<uint8_t> WavHeader(int channels, uint32_t rate, uint32_t dataBytes) {
  std::vector<uint8_t> h;
  const uint32_t blockAlign = static_cast<uint32_t>(channels) * 2;
  h.insert(h.end(), {'R', 'I', 'F', 'F'});
  PutLe(h, 36 + dataBytes, 4);
  h.insert(h.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  PutLe(h, 16, 4);
  PutLe(h, 1, 2);
  PutLe(h, static_cast<uint32_t>(channels), 2);
  PutLe(h, rate, 4);
  PutLe(h, rate * blockAlign, 4);
  PutLe(h, blockAlign, 2);
  PutLe(h, 16, 2);
  h.insert(h.end(), {'d', 'a', 't', 'a'});
  PutLe(h, dataBytes, 4);
  return h;
}

void PrintInfo(const StreamInfo& s) {
  static const char* const kModes[] = {"stereo", "joint stereo", "dual channel", "single channel"};
  std::printf("MPEG %s Layer %u, %u Hz, %u kbit/s, %s%s\n", s.id ? "1" : "2",
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

// The formats decoded through the common decoder interface, chosen by
// content, or by extension when the content does not say.
std::unique_ptr<cx::codec::AudioDecoder> InterfaceDecoderFor(const std::string& path) {
  uint8_t head[512];
  size_t got = 0;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    got = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
  }
  std::string ext = path.size() > 4 ? path.substr(path.size() - 4) : "";
  for (auto& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (cx::vorbis::LooksLikeVorbis(head, got) || ext == ".ogg" || ext == ".oga") {
    return cx::vorbis::MakeVorbisDecoder();
  }
  return nullptr;
}

bool WriteAll(std::FILE* out, const std::vector<uint8_t>& bytes) {
  return std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
}

int DecodeThroughInterface(cx::codec::AudioDecoder& decoder, const std::string& input, const std::string& output,
                           bool raw, bool info) {
  if (!decoder.Open(cx::codec::FileByteSource::Open(input))) {
    std::fprintf(stderr, "cxdecode: cannot decode %s\n", input.c_str());
    return 1;
  }
  const cx::codec::DecoderFormat& fmt = decoder.format();
  if (info) {
    std::printf("%s\n", decoder.Describe().c_str());
    std::printf("%d channels, %u Hz, %d bits, samples %lld, %u bit/s\n", fmt.channels, fmt.sampleRate,
                fmt.bitsPerSample, static_cast<long long>(fmt.totalFrames), fmt.bitrate);
    const cx::codec::DecoderTags& t = decoder.tags();
    std::printf("title: %s\nartist: %s\nalbum: %s\n", t.title.c_str(), t.artist.c_str(), t.album.c_str());
    return 0;
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
  bool ok = raw || WriteAll(out, WavHeader(fmt.channels, fmt.sampleRate, 0));
  const size_t kFrames = 4096;
  std::vector<int32_t> pcm(kFrames * static_cast<size_t>(fmt.channels));
  std::vector<uint8_t> bytes;
  uint64_t dataBytes = 0;
  while (ok) {
    const size_t frames = decoder.Read(pcm.data(), kFrames);
    if (frames == 0) break;
    bytes.resize(frames * fmt.channels * 2);
    for (size_t i = 0; i < bytes.size() / 2; ++i) {
      const uint16_t v = static_cast<uint16_t>(pcm[i]);
      bytes[2 * i] = static_cast<uint8_t>(v);
      bytes[2 * i + 1] = static_cast<uint8_t>(v >> 8);
    }
    ok = WriteAll(out, bytes);
    dataBytes += bytes.size();
  }
  if (ok && !raw && !toStdout) {
    ok = std::fseek(out, 0, SEEK_SET) == 0 &&
         WriteAll(out, WavHeader(fmt.channels, fmt.sampleRate, static_cast<uint32_t>(dataBytes)));
  }
  ok = (toStdout ? std::fflush(out) == 0 : std::fclose(out) == 0) && ok;
  if (!ok) {
    std::fprintf(stderr, "cxdecode: write error\n");
    return 1;
  }
  if (decoder.health().damagedBlocks > 0) {
    std::fprintf(stderr, "cxdecode: %lld damaged blocks in %s\n",
                 static_cast<long long>(decoder.health().damagedBlocks), input.c_str());
  }
  if (dataBytes == 0 && fmt.totalFrames != 0) {
    std::fprintf(stderr, "cxdecode: nothing in %s could be decoded\n", input.c_str());
    return 1;
  }
  return 0;
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
  if (auto decoder = InterfaceDecoderFor(files[0])) {
    return DecodeThroughInterface(*decoder, files[0], info ? std::string() : files[1], raw, info);
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
    std::vector<uint8_t> header = WavHeader(stream.info().channels, stream.info().samplingRate, 0);
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
    std::vector<uint8_t> header = WavHeader(stream.info().channels, stream.info().samplingRate, static_cast<uint32_t>(dataBytes));
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
