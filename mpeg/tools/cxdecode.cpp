// cxdecode: decodes an MP1/MP2/MP3 file to a 16-bit PCM WAV file, or with
// --raw to headerless little-endian interleaved PCM. OUTPUT "-" is standard
// output. --info prints the stream information and the tags. The encoder's
// delay and padding are trimmed when the file gives them; --no-gapless keeps
// every decoded sample.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "mpeg/mpeg_stream.h"

namespace {

using cx::mpeg::MpegStream;
using cx::mpeg::StreamInfo;

void PutLe(std::vector<uint8_t>& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// The 44-byte header of a PCM WAV file; sizes are patched at the end when
// the output can seek.
std::vector<uint8_t> WavHeader(const StreamInfo& s, uint32_t dataBytes) {
  std::vector<uint8_t> h;
  const uint32_t blockAlign = static_cast<uint32_t>(s.channels) * 2;
  h.insert(h.end(), {'R', 'I', 'F', 'F'});
  PutLe(h, 36 + dataBytes, 4);
  h.insert(h.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  PutLe(h, 16, 4);
  PutLe(h, 1, 2);
  PutLe(h, static_cast<uint32_t>(s.channels), 2);
  PutLe(h, s.samplingRate, 4);
  PutLe(h, s.samplingRate * blockAlign, 4);
  PutLe(h, blockAlign, 2);
  PutLe(h, 16, 2);
  h.insert(h.end(), {'d', 'a', 't', 'a'});
  PutLe(h, dataBytes, 4);
  return h;
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
    std::vector<uint8_t> header = WavHeader(stream.info(), 0);
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
    std::vector<uint8_t> header = WavHeader(stream.info(), static_cast<uint32_t>(dataBytes));
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
