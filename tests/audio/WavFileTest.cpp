#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "audio/PcmFormat.h"
#include "audio/RecordFormats.h"
#include "audio/WavFile.h"
#include "tests/audio/AudioTestFiles.h"

namespace {

uint32_t U32(const Bytes& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

struct ParsedFile {
  bool ok = false;
  WavLayout layout;
};

ParsedFile Parse(const TempFolder& dir, const Bytes& bytes) {
  ParsedFile result;
  ByteFile file;
  const std::string path = dir.Write("parse.wav", bytes);
  if (!file.OpenRead(path.c_str())) return result;
  result.ok = ParseWavHeader(file, &result.layout);
  return result;
}

TEST(PcmFormatTest, BuiltFromRateChannelsBits) {
  const PcmFormat f = MakePcmFormat(44100, 2, 16);
  EXPECT_EQ(f.formatTag, 1);
  EXPECT_EQ(f.blockAlign, 4);
  EXPECT_EQ(f.avgBytesPerSec, 176400u);
  EXPECT_EQ(f.extraSize, 0);
  const PcmFormat m = MakePcmFormat(11025, 1, 8);
  EXPECT_EQ(m.blockAlign, 1);
  EXPECT_EQ(m.avgBytesPerSec, 11025u);
}

TEST(RecordFormatsTest, TableRowsAndTexts) {
  static const char* const kTexts[12] = {
      " 11025HZ,  8Bit ,Mono   11KB/S",     " 11025HZ,  8Bit ,Stereo   22KB/S",
      " 11025HZ,  16Bit ,Mono   22KB/S",    " 11025HZ,  16Bit ,Stereo   43KB/S",
      " 22050HZ,  8Bit ,Mono   22KB/S",     " 22050HZ,  8Bit ,Stereo   43KB/S",
      " 22050HZ,  16Bit ,Mono   43KB/S",    " 22050HZ,  16Bit ,Stereo   86KB/S",
      " 44100HZ,  8Bit ,Mono   43KB/S",     " 44100HZ,  8Bit ,Stereo   86KB/S",
      " 44100HZ,  16Bit ,Mono   86KB/S",    " 44100HZ,  16Bit ,Stereo   172KB/S"};
  static const uint32_t kRates[3] = {11025, 22050, 44100};
  for (int row = 0; row < kRecordFormatCount; ++row) {
    SCOPED_TRACE(row);
    const RecordFormat& r = RecordFormatAt(row);
    EXPECT_EQ(r.rate, kRates[row / 4]);
    EXPECT_EQ(r.bits, (row & 2) ? 16u : 8u);
    EXPECT_EQ(r.channels, (row & 1) ? 2u : 1u);
    EXPECT_STREQ(RecordFormatText(row), kTexts[row]);
    const PcmFormat f = RecordPcmFormat(row);
    EXPECT_EQ(f.avgBytesPerSec, r.rate * r.channels * r.bits / 8);
  }
  EXPECT_STREQ(RecordFormatText(12), "");
  EXPECT_STREQ(RecordFormatText(-1), "");
  // The three values of a row are stored rate, bits, channels.
  const RecordFormat& r1 = RecordFormatAt(1);
  uint32_t raw[3];
  std::memcpy(raw, &r1, sizeof raw);
  EXPECT_EQ(raw[0], 11025u);
  EXPECT_EQ(raw[1], 8u);
  EXPECT_EQ(raw[2], 2u);
}

TEST(WavWriterTest, HeaderAndFixUpByteForByte) {
  TempFolder dir;
  const std::string path = dir.Path("rec.wav");
  const PcmFormat format = MakePcmFormat(22050, 2, 16);
  const Bytes pcm = TestPcm(1001);
  {
    WavWriter writer;
    ASSERT_TRUE(writer.CreateWavFile(path.c_str(), format));
    const Bytes early = ReadWholeFile(path);
#ifdef _WIN32
    EXPECT_TRUE(early.empty());  // the recording is not shared while it is written
#else
    // Before the fix-up both lengths are still 0 on disk.
    ASSERT_EQ(early.size(), kWavHeaderBytes);
    EXPECT_EQ(U32(early, 4), 0u);
    EXPECT_EQ(U32(early, 42), 0u);
#endif
    ASSERT_TRUE(writer.AppendData(pcm.data(), 1000));
    ASSERT_TRUE(writer.AppendData(pcm.data() + 1000, 1));
    EXPECT_EQ(writer.RecordedMs(), 11u);  // 1001 * 1000 / 88200 = 11.3
    ASSERT_TRUE(writer.FinishWavFile());
    EXPECT_FALSE(writer.FinishWavFile());
    EXPECT_FALSE(writer.AppendData(pcm.data(), 1));
  }
  Bytes expected;
  PutText(expected, "RIFF");
  PutU32(expected, 38 + 1001);
  PutText(expected, "WAVEfmt ");
  PutU32(expected, 18);
  PutU16(expected, 1);
  PutU16(expected, 2);
  PutU32(expected, 22050);
  PutU32(expected, 88200);
  PutU16(expected, 4);
  PutU16(expected, 16);
  PutU16(expected, 0);
  PutText(expected, "data");
  PutU32(expected, 1001);
  expected.insert(expected.end(), pcm.begin(), pcm.end());
  EXPECT_EQ(ReadWholeFile(path), expected);  // odd size: no pad byte either
}

TEST(WavWriterTest, OneByteRecording) {
  TempFolder dir;
  const std::string path = dir.Path("one.wav");
  WavWriter writer;
  ASSERT_TRUE(writer.CreateWavFile(path.c_str(), MakePcmFormat(11025, 1, 8)));
  const uint8_t b = 0x55;
  ASSERT_TRUE(writer.AppendData(&b, 1));
  ASSERT_TRUE(writer.FinishWavFile());
  const Bytes file = ReadWholeFile(path);
  ASSERT_EQ(file.size(), 47u);
  EXPECT_EQ(U32(file, 4), 39u);
  EXPECT_EQ(U32(file, 42), 1u);
  EXPECT_EQ(file[46], 0x55);
}

TEST(WavWriterTest, EmptyRecordingLeavesNoFile) {
  TempFolder dir;
  const std::string path = dir.Path("empty.wav");
  dir.Write("empty.wav", Bytes(10, 1));  // an older file of that name is replaced
  WavWriter writer;
  ASSERT_TRUE(writer.CreateWavFile(path.c_str(), MakePcmFormat(44100, 2, 16)));
  EXPECT_TRUE(FileExists(path));
  EXPECT_EQ(writer.RecordedMs(), 0u);
  ASSERT_TRUE(writer.FinishWavFile());
  EXPECT_FALSE(FileExists(path));
}

TEST(WavWriterTest, RefusesWithoutFile) {
  TempFolder dir;
  WavWriter writer;
  EXPECT_FALSE(writer.AppendData("x", 1));
  EXPECT_FALSE(writer.FinishWavFile());
  EXPECT_FALSE(writer.CreateWavFile(dir.Path("no-such-folder/x.wav").c_str(), MakePcmFormat(11025, 1, 8)));
}

TEST(WavWriterTest, WrittenFileReadsBack) {
  TempFolder dir;
  const std::string path = dir.Path("back.wav");
  const Bytes pcm = TestPcm(4410 * 4);
  {
    WavWriter writer;
    ASSERT_TRUE(writer.CreateWavFile(path.c_str(), MakePcmFormat(44100, 2, 16)));
    ASSERT_TRUE(writer.AppendData(pcm.data(), static_cast<uint32_t>(pcm.size())));
    ASSERT_TRUE(writer.FinishWavFile());
  }
  ByteFile file;
  ASSERT_TRUE(file.OpenRead(path.c_str()));
  WavLayout layout;
  ASSERT_TRUE(ParseWavHeader(file, &layout));
  EXPECT_EQ(layout.dataStart, 46u);
  EXPECT_EQ(layout.dataSize, pcm.size());
  EXPECT_EQ(layout.format.bitsPerSample, 16);
  Bytes back(pcm.size());
  uint32_t pos = layout.dataStart, count = 0;
  ASSERT_TRUE(ReadWavData(file, layout, &pos, back.data(), static_cast<uint32_t>(back.size()),
                          nullptr, 0, &count));
  EXPECT_EQ(count, pcm.size());
  EXPECT_EQ(back, pcm);
}

// Header variants: each row is a file and whether it parses, with what it
// should yield when it does.
struct HeaderCase {
  const char* name;
  Bytes bytes;
  bool ok;
  uint32_t dataStart;
  uint32_t dataSize;
  uint16_t bits;
};

std::vector<HeaderCase> HeaderCases() {
  const Bytes pcm = TestPcm(400);
  std::vector<HeaderCase> cases;
  auto add = [&](const char* name, const Bytes& chunks, bool ok, uint32_t start = 0,
                 uint32_t size = 0, uint16_t bits = 0) {
    cases.push_back({name, RiffWave(chunks), ok, start, size, bits});
  };
  Bytes c;

  PutChunk(c, "fmt ", FormatBody(1, 2, 44100, 176400, 4, 99, 16));
  PutChunk(c, "data", pcm);
  add("16-byte fmt derives bits", c, true, 44, 400, 16);

  c.clear();
  PutChunk(c, "fmt ", FormatBody(1, 1, 11025, 11025, 1, 8, 18));
  PutChunk(c, "data", pcm);
  add("18-byte fmt", c, true, 46, 400, 8);

  c.clear();
  PutChunk(c, "fmt ", FormatBody(1, 2, 22050, 88200, 4, 16, 14));
  PutChunk(c, "data", pcm);
  add("14-byte fmt", c, true, 42, 400, 16);

  c.clear();
  PutChunk(c, "fmt ", FormatBody(1, 2, 22050, 88200, 4, 16, 40));
  PutChunk(c, "data", pcm);
  add("40-byte fmt", c, true, 68, 400, 16);

  c.clear();
  PutChunk(c, "JUNK", Bytes(28, 0));
  PutChunk(c, "bext", Bytes(10, 7));
  PutChunk(c, "fmt ", FormatBody(1, 2, 44100, 176400, 4, 16, 16));
  PutChunk(c, "data", pcm);
  add("chunks before fmt are skipped", c, true, 12 + 36 + 18 + 24 + 8, 400, 16);

  c.clear();
  PutChunk(c, "fmt ", FormatBody(1, 2, 44100, 176400, 4, 16, 16));
  PutChunk(c, "LIST", Bytes(26, 'a'));
  PutChunk(c, "fact", Bytes(4, 1));
  PutChunk(c, "data", pcm);
  add("list and fact between fmt and data", c, true, 36 + 34 + 12 + 8, 400, 16);

  c.clear();
  PutChunk(c, "fmt ", FormatBody(1, 2, 44100, 176400, 4, 16, 16));
  PutChunk(c, "note", Bytes(5, 'n'));
  PutChunk(c, "data", pcm);
  add("odd chunk without pad", c, true, 36 + 13 + 8, 400, 16);

  c.clear();
  PutChunk(c, "fmt ", FormatBody(1, 2, 44100, 176400, 4, 16, 16));
  PutChunk(c, "note", Bytes(5, 'n'), true);
  PutChunk(c, "data", pcm);
  add("odd chunk with pad byte", c, true, 36 + 14 + 8, 400, 16);

  c.clear();
  PutChunk(c, "JUNK", Bytes(3, 0), true);
  PutChunk(c, "fmt ", FormatBody(1, 1, 8000, 16000, 2, 16, 16));
  PutChunk(c, "data", pcm);
  add("padded odd chunk before fmt", c, true, 12 + 12 + 24 + 8, 400, 16);

  c.clear();
  PutChunk(c, "fmt ", FormatBody(1, 2, 44100, 176400, 4, 16, 16));
  PutChunk(c, "data", pcm);
  Bytes truncated = c;
  truncated.resize(c.size() - 150);
  // What the file holds, in whole frames: 250 bytes are left.
  add("data size beyond the file", truncated, true, 44, 248, 16);

  c.clear();
  PutChunk(c, "fmt ", FormatBody(3, 2, 44100, 352800, 8, 32, 16));
  PutChunk(c, "data", pcm);
  add("32-bit float", c, true, 44, 400, 32);

  c.clear();
  PutChunk(c, "fmt ", FormatBody(3, 1, 8000, 64000, 8, 64, 18));
  PutChunk(c, "data", pcm);
  add("64-bit float", c, true, 46, 400, 64);

  for (uint16_t bits : {8, 16, 24, 48}) {
    c.clear();
    PutChunk(c, "fmt ", FormatBody(3, 1, 8000, 8000 * (bits / 8), bits / 8, bits, 16));
    PutChunk(c, "data", pcm);
    add("float of a depth floats do not have", c, false);
  }

  c.clear();
  PutChunk(c, "fmt ", ExtensibleBody(1, 2, 48000, 24, 24, 3));
  PutChunk(c, "data", pcm);
  add("extensible 24-bit PCM", c, true, 68, 400, 24);

  c.clear();
  PutChunk(c, "fmt ", ExtensibleBody(1, 6, 48000, 16, 16, 0x3F));
  PutChunk(c, "data", pcm);
  add("extensible 5.1 PCM", c, true, 68, 400, 16);

  c.clear();
  PutChunk(c, "fmt ", ExtensibleBody(3, 2, 44100, 32, 32, 3));
  PutChunk(c, "data", pcm);
  add("extensible float", c, true, 68, 400, 32);

  c.clear();
  PutChunk(c, "fmt ", FormatBody(0xFFFE, 2, 44100, 176400, 4, 16, 40));
  PutChunk(c, "data", pcm);
  add("extensible without a subformat", c, false);

  c.clear();
  Bytes shortExtension = ExtensibleBody(1, 2, 44100, 16, 16, 3);
  shortExtension[16] = 20;
  PutChunk(c, "fmt ", shortExtension);
  PutChunk(c, "data", pcm);
  add("extensible whose extension is too short", c, false);

  c.clear();
  Bytes cut = ExtensibleBody(1, 2, 44100, 16, 16, 3);
  cut.resize(24);
  PutChunk(c, "fmt ", cut);
  PutChunk(c, "data", pcm);
  add("extensible chunk cut before its subformat", c, false);

  c.clear();
  PutChunk(c, "fmt ", ExtensibleBody(2, 2, 44100, 16, 16, 3));
  PutChunk(c, "data", pcm);
  add("extensible of ADPCM", c, false);

  c.clear();
  PutChunk(c, "fmt ", ExtensibleBody(1, 2, 44100, 16, 20, 3));
  PutChunk(c, "data", pcm);
  add("extensible claiming more valid bits than its container", c, false);

  c.clear();
  Bytes badAlign = ExtensibleBody(1, 2, 44100, 24, 24, 3);
  // 8 bytes a frame for two 3-byte samples, the byte rate to match.
  const Bytes wideFrame = FormatBody(0xFFFE, 2, 44100, 8 * 44100, 8, 24, 16);
  std::copy(wideFrame.begin(), wideFrame.end(), badAlign.begin());
  PutChunk(c, "fmt ", badAlign);
  PutChunk(c, "data", pcm);
  add("extensible whose frame does not hold its channels", c, false);

  c.clear();
  PutChunk(c, "fmt ", FormatBody(1, 2, 44100, 176000, 4, 16, 16));
  PutChunk(c, "data", pcm);
  add("byte rate not align times rate", c, false);

  c.clear();
  PutChunk(c, "fmt ", FormatBody(1, 2, 44100, 176400, 4, 16, 13));
  PutChunk(c, "data", pcm);
  add("fmt shorter than 14", c, false);

  c.clear();
  PutChunk(c, "fmt ", FormatBody(1, 0, 44100, 0, 0, 16, 16));
  PutChunk(c, "data", pcm);
  add("zero channels", c, false);

  c.clear();
  PutChunk(c, "fmt ", FormatBody(1, 2, 0, 0, 4, 16, 14));
  PutChunk(c, "data", pcm);
  add("zero rate in a 14-byte fmt", c, false);

  c.clear();
  PutChunk(c, "fmt ", FormatBody(1, 2, 44100, 176400, 4, 16, 16));
  add("no data chunk", c, false);

  c.clear();
  PutChunk(c, "fmt ", FormatBody(1, 2, 44100, 176400, 4, 16, 16));
  PutText(c, "LIST");
  PutU32(c, 0x7FFFFFF0);
  PutText(c, "data");
  add("chunk claiming more than the file", c, false);

  c.clear();
  PutChunk(c, "data", pcm);
  PutChunk(c, "fmt ", FormatBody(1, 2, 44100, 176400, 4, 16, 16));
  add("data before fmt", c, false);

  c.clear();
  PutChunk(c, "fmt ", FormatBody(1, 2, 44100, 176400, 4, 16, 16));
  c.resize(20);
  add("fmt cut short", c, false);

  cases.push_back({"not RIFF", Bytes{'R', 'I', 'F', 'X', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}, false, 0, 0, 0});
  cases.push_back({"not WAVE", Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'V', 'I', ' '}, false, 0, 0, 0});
  cases.push_back({"empty file", Bytes{}, false, 0, 0, 0});
  cases.push_back({"eight bytes", Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0}, false, 0, 0, 0});
  return cases;
}

TEST(WavParseTest, HeaderTable) {
  TempFolder dir;
  for (const HeaderCase& hc : HeaderCases()) {
    SCOPED_TRACE(hc.name);
    const ParsedFile p = Parse(dir, hc.bytes);
    ASSERT_EQ(p.ok, hc.ok);
    if (!hc.ok) continue;
    EXPECT_EQ(p.layout.dataStart, hc.dataStart);
    EXPECT_EQ(p.layout.dataSize, hc.dataSize);
    EXPECT_EQ(p.layout.format.bitsPerSample, hc.bits);
    EXPECT_EQ(p.layout.format.extraSize, 0);
    EXPECT_EQ(p.layout.duration, hc.dataSize / p.layout.format.avgBytesPerSec);
  }
}

TEST(WavParseTest, DurationInWholeSeconds) {
  TempFolder dir;
  const ParsedFile p = Parse(dir, SimpleWav(11025, 1, 8, TestPcm(11025 * 3 - 1)));
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.layout.duration, 2u);
}

// Reads the data whole, then in pieces of `piece` bytes through both
// regions, and checks the bytes and counts.
TEST(WavReadTest, WholeAndInSmallPieces) {
  TempFolder dir;
  const Bytes pcm = TestPcm(10007);
  const std::string path = dir.Write("read.wav", SimpleWav(8000, 1, 8, pcm));
  for (uint32_t piece : {10007u, 20000u, 1u, 7u, 64u, 1000u}) {
    SCOPED_TRACE(piece);
    ByteFile file;
    ASSERT_TRUE(file.OpenRead(path.c_str()));
    WavLayout layout;
    ASSERT_TRUE(ParseWavHeader(file, &layout));
    uint32_t pos = layout.dataStart;
    Bytes got;
    Bytes a(piece), b(piece / 2 + 1);
    uint32_t count = 0;
    while (ReadWavData(file, layout, &pos, a.data(), piece, b.data(),
                       static_cast<uint32_t>(b.size()), &count)) {
      ASSERT_LE(count, piece + b.size());
      const uint32_t first = count < piece ? count : piece;
      got.insert(got.end(), a.begin(), a.begin() + first);
      got.insert(got.end(), b.begin(), b.begin() + (count - first));
      if (count == 0) break;
    }
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(got, pcm);
    // Exhausted: the next read fails.
    EXPECT_FALSE(ReadWavData(file, layout, &pos, a.data(), piece, nullptr, 0, &count));
  }
}

TEST(WavReadTest, OneRegionShortReadAtTheEnd) {
  TempFolder dir;
  const Bytes pcm = TestPcm(2500);
  const std::string path = dir.Write("short.wav", SimpleWav(1000, 1, 8, pcm));
  ByteFile file;
  ASSERT_TRUE(file.OpenRead(path.c_str()));
  WavLayout layout;
  ASSERT_TRUE(ParseWavHeader(file, &layout));
  uint32_t pos = layout.dataStart, count = 0;
  Bytes buf(1000);
  for (uint32_t expected : {1000u, 1000u, 500u}) {
    ASSERT_TRUE(ReadWavData(file, layout, &pos, buf.data(), 1000, nullptr, 0, &count));
    EXPECT_EQ(count, expected);
  }
  EXPECT_FALSE(ReadWavData(file, layout, &pos, buf.data(), 1000, nullptr, 0, &count));
  EXPECT_EQ(count, 0u);
}

TEST(WavReadTest, DataSizeBeyondTheFileEndsWhereTheFileEnds) {
  TempFolder dir;
  const Bytes pcm = TestPcm(3000);
  Bytes file = SimpleWav(1000, 1, 8, pcm);
  file.resize(file.size() - 1000);
  const std::string path = dir.Write("cut.wav", file);
  ByteFile f;
  ASSERT_TRUE(f.OpenRead(path.c_str()));
  WavLayout layout;
  ASSERT_TRUE(ParseWavHeader(f, &layout));
  EXPECT_EQ(layout.dataSize, 2000u);
  EXPECT_EQ(layout.duration, 2u);
  uint32_t pos = layout.dataStart, count = 0;
  Bytes buf(4000);
  ASSERT_TRUE(ReadWavData(f, layout, &pos, buf.data(), 4000, nullptr, 0, &count));
  EXPECT_EQ(count, 2000u);
  EXPECT_TRUE(std::equal(buf.begin(), buf.begin() + 2000, pcm.begin()));
  // Nothing more arrives: the stream has ended.
  EXPECT_FALSE(ReadWavData(f, layout, &pos, buf.data(), 4000, nullptr, 0, &count));
  EXPECT_EQ(count, 0u);
}

TEST(WavSeekTest, Arithmetic) {
  TempFolder dir;
  const uint32_t dataBytes = 176400 * 2 + 10;
  const std::string path = dir.Write("seek.wav", SimpleWav(44100, 2, 16, TestPcm(dataBytes)));
  ByteFile file;
  ASSERT_TRUE(file.OpenRead(path.c_str()));
  WavLayout layout;
  ASSERT_TRUE(ParseWavHeader(file, &layout));
  uint32_t pos = layout.dataStart;

  EXPECT_EQ(SeekWavMs(file, layout, &pos, 500), 500u);
  EXPECT_EQ(pos - layout.dataStart, 88200u);
  EXPECT_EQ(WavPositionMs(layout, pos), 500u);

  // 176400 * 3 * 0.001f = 529.2000124..., truncated to 529, aligned to 528.
  EXPECT_EQ(SeekWavMs(file, layout, &pos, 3), 3u);
  EXPECT_EQ(pos - layout.dataStart, 528u);
  EXPECT_EQ(WavPositionMs(layout, pos), 2u);  // 528 / 176400 s = 2.99 ms

  // Beyond the end: at the end of the data, not aligned; the next read fails.
  EXPECT_EQ(SeekWavMs(file, layout, &pos, 60000), 60000u);
  EXPECT_EQ(pos - layout.dataStart, dataBytes);
  uint8_t buf[16];
  uint32_t count = 7;
  EXPECT_FALSE(ReadWavData(file, layout, &pos, buf, sizeof buf, nullptr, 0, &count));
  EXPECT_EQ(count, 0u);

  // A seek back reads from the new place.
  EXPECT_EQ(SeekWavMs(file, layout, &pos, 1000), 1000u);
  ASSERT_TRUE(ReadWavData(file, layout, &pos, buf, sizeof buf, nullptr, 0, &count));
  const Bytes pcm = TestPcm(dataBytes);
  EXPECT_EQ(0, std::memcmp(buf, pcm.data() + 176400, sizeof buf));
}

// A cut-off recording may claim nearly 4 GiB of data. Seeking past what it
// holds lands at the last position a 32-bit file offset can name, never
// wrapped round to before the data (found by wav_fuzz).
TEST(WavSeekTest, HugeClaimedDataEndsWithTheFile) {
  TempFolder dir;
  Bytes bytes = SimpleWav(8000, 1, 16, TestPcm(200));
  const size_t dataSizeAt = bytes.size() - 200 - 4;
  for (int i = 0; i < 4; ++i) bytes[dataSizeAt + i] = i == 0 ? 0xF0 : 0xFF;
  const std::string path = dir.Write("claims.wav", bytes);
  ByteFile file;
  ASSERT_TRUE(file.OpenRead(path.c_str()));
  WavLayout layout;
  ASSERT_TRUE(ParseWavHeader(file, &layout));
  ASSERT_EQ(layout.dataSize, 200u);
  uint32_t pos = layout.dataStart;
  for (uint32_t ms : {0xFFFFFFFEu, 268435454u}) {
    SCOPED_TRACE(ms);
    EXPECT_EQ(SeekWavMs(file, layout, &pos, ms), ms);
    EXPECT_EQ(pos, layout.dataStart + 200);
    EXPECT_EQ(WavPositionMs(layout, pos), 12u);  // 200 bytes at 16000 a second
    uint8_t buf[16];
    uint32_t count = 7;
    EXPECT_FALSE(ReadWavData(file, layout, &pos, buf, sizeof buf, nullptr, 0, &count));
    EXPECT_EQ(count, 0u);
  }
}

// At one byte a second, a few megabytes are more milliseconds than 32 bits
// hold: the position stops at the largest one instead of wrapping.
TEST(WavSeekTest, PositionSaturatesAtTheLargestMilliseconds) {
  TempFolder dir;
  const uint32_t bytes = 4300000;  // 4,300,000 s = 4.3e9 ms
  const std::string path = dir.Write("slow.wav", SimpleWav(1, 1, 8, Bytes(bytes, 0x80)));
  ByteFile file;
  ASSERT_TRUE(file.OpenRead(path.c_str()));
  WavLayout layout;
  ASSERT_TRUE(ParseWavHeader(file, &layout));
  EXPECT_EQ(WavPositionMs(layout, layout.dataStart + 4294967), 4294967000u);
  EXPECT_EQ(WavPositionMs(layout, layout.dataStart + bytes), 0xFFFFFFFFu);
}

TEST(WavSeekTest, BlockAlignRules) {
  TempFolder dir;
  struct Row {
    uint16_t channels, bits;
    uint32_t rate, ms, expectOffset;
    bool ok;
  } rows[] = {
      {1, 8, 11025, 1, 11, true},       // 11.025 -> 11, align 1 keeps it
      {1, 16, 11025, 1, 22, true},      // 22.05 -> 22
      {2, 8, 22050, 1, 44, true},       // 44.1 -> 44, bit 0 already clear
      {1, 16, 1001, 1, 2, true},        // 2.002 -> 2
      {1, 16, 1500, 1, 2, true},        // 3.0000000712 -> 3 -> 2
      {2, 16, 1000, 1, 4, true},        // 4.0000001 -> 4
      {3, 8, 1000, 1, 3, true},         // align 3: 3.0000001 -> 3
      {1, 24, 1500, 1, 3, true},        // 4.5 -> 4 -> one frame of 3
      {2, 24, 1500, 1, 6, true},        // 9.0000002 -> 9 -> one frame of 6
      {2, 24, 44100, 7, 1848, true},    // 1852.2 -> 1852 -> 308 frames of 6
      {6, 16, 1100, 1, 12, true},       // 13.2 -> 13 -> one frame of 12
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.channels << "ch " << r.bits << "bit " << r.rate);
    const std::string path =
        dir.Write("a.wav", SimpleWav(r.rate, r.channels, r.bits, TestPcm(r.rate * r.channels * r.bits / 8)));
    ByteFile file;
    ASSERT_TRUE(file.OpenRead(path.c_str()));
    WavLayout layout;
    ASSERT_TRUE(ParseWavHeader(file, &layout));
    uint32_t pos = layout.dataStart + 5;
    const uint32_t result = SeekWavMs(file, layout, &pos, r.ms);
    if (r.ok) {
      EXPECT_EQ(result, r.ms);
      EXPECT_EQ(pos - layout.dataStart, r.expectOffset);
    } else {
      EXPECT_EQ(result, kSeekFailed);
      EXPECT_EQ(pos, layout.dataStart + 5);
    }
  }
}

}  // namespace
