// Recordings that end badly: a writer killed mid-recording, a disk that
// fills up, the 4 GiB limit, and files whose data size was never fixed up.
// Each file must still read back as what reached it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "audio/PcmFormat.h"
#include "audio/WavFile.h"
#include "tests/audio/AudioTestFiles.h"

namespace {

uint32_t U32(const Bytes& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

void SetU32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// Everything the reader delivers from `path`, read in pieces as a player does.
bool ReadAll(const std::string& path, WavLayout* layout, Bytes* pcm) {
  ByteFile file;
  if (!file.OpenRead(path.c_str()) || !ParseWavHeader(file, layout)) return false;
  uint32_t pos = layout->dataStart, count = 0;
  Bytes piece(8192);
  pcm->clear();
  while (ReadWavData(file, *layout, &pos, piece.data(), 8192, nullptr, 0, &count) && count > 0) {
    pcm->insert(pcm->end(), piece.begin(), piece.begin() + count);
  }
  return true;
}

bool IsPrefix(const Bytes& part, const Bytes& whole) {
  return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

// While recording, what is on disk is a readable file whose header never
// lags more than a second of sound behind the data. (On Windows the file is
// not shared while it is written; the recording test under Wine kills the
// recorder and reads it then.)
#ifndef _WIN32
TEST(WavSurvivalTest, HeaderFollowsTheDataWhileRecording) {
  TempFolder dir;
  const std::string path = dir.Path("live.wav");
  const PcmFormat format = MakePcmFormat(11025, 1, 16);
  const Bytes pcm = TestPcm(format.avgBytesPerSec * 4);
  WavWriter writer;
  ASSERT_TRUE(writer.CreateWavFile(path.c_str(), format));
  for (size_t at = 0; at < pcm.size(); at += 4096) {
    const uint32_t n = static_cast<uint32_t>(std::min<size_t>(4096, pcm.size() - at));
    ASSERT_TRUE(writer.AppendData(pcm.data() + at, n));
    const Bytes disk = ReadWholeFile(path);
    ASSERT_EQ(disk.size(), kWavHeaderBytes + at + n);
    const uint32_t stored = U32(disk, 42);
    if (stored > 0) {
      EXPECT_EQ(U32(disk, 4), stored + 38);
    }
    EXPECT_LE(stored, at + n);
    EXPECT_LT(at + n - stored, format.avgBytesPerSec) << "at " << at;
  }
  ASSERT_TRUE(writer.FinishWavFile());
}
#endif

// A header never fixed up (data size 0) or claiming more than the file
// holds: the reader delivers the whole frames that are there.
TEST(WavSurvivalTest, UnfinishedDataSizesReadWhatIsThere) {
  TempFolder dir;
  const Bytes pcm = TestPcm(6001 * 4);
  constexpr uint32_t kEndsWithData = 1;  // the RIFF chunk ends where the data does
  struct Case {
    const char* name;
    uint32_t riffSize, dataSize;
    size_t keep;  // PCM bytes left in the file
    size_t expected;
  } cases[] = {
      {"never fixed up", 0, 0, pcm.size(), pcm.size()},
      {"never fixed up, half a frame at the end", 0, 0, pcm.size() - 2, pcm.size() - 4},
      {"claims more than the file", kEndsWithData, 90000, pcm.size(), pcm.size()},
      {"claims nearly 4 GiB", 0xFFFFFFFFu, 0xFFFFFFF0u, pcm.size(), pcm.size()},
      {"fixed up a second ago, more behind", kEndsWithData, 16000, pcm.size(), pcm.size()},
      {"as finished", kEndsWithData, 24004, pcm.size(), pcm.size()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes file = SimpleWav(6001, 2, 16, pcm);
    const size_t dataSizeAt = file.size() - pcm.size() - 4;
    SetU32(file, 4, c.riffSize == kEndsWithData ? static_cast<uint32_t>(dataSizeAt - 4) + c.dataSize : c.riffSize);
    SetU32(file, dataSizeAt, c.dataSize);
    file.resize(file.size() - (pcm.size() - c.keep));
    const std::string path = dir.Write("unfinished.wav", file);
    WavLayout layout;
    Bytes got;
    ASSERT_TRUE(ReadAll(path, &layout, &got));
    EXPECT_EQ(layout.dataSize, c.expected);
    EXPECT_EQ(layout.duration, c.expected / layout.format.avgBytesPerSec);
    EXPECT_EQ(got.size(), c.expected);
    EXPECT_TRUE(IsPrefix(got, pcm));
  }
}

// A data chunk followed by another chunk keeps its stored size.
TEST(WavSurvivalTest, ChunkBehindTheDataIsNotSound) {
  TempFolder dir;
  const Bytes pcm = TestPcm(4000);
  Bytes chunks;
  PutChunk(chunks, "fmt ", FormatBody(1, 1, 8000, 8000, 1, 8, 16));
  PutChunk(chunks, "data", pcm);
  PutChunk(chunks, "LIST", Bytes(100, 'x'));
  WavLayout layout;
  Bytes got;
  ASSERT_TRUE(ReadAll(dir.Write("list.wav", RiffWave(chunks)), &layout, &got));
  EXPECT_EQ(got, pcm);
}

TEST(WavSurvivalTest, SizeLimitEndsOnAWholeFrame) {
  TempFolder dir;
  const std::string path = dir.Path("limit.wav");
  const Bytes pcm = TestPcm(3000);
  WavWriter writer(1002);
  ASSERT_TRUE(writer.CreateWavFile(path.c_str(), MakePcmFormat(44100, 2, 16)));
  ASSERT_TRUE(writer.AppendData(pcm.data(), 600));
  EXPECT_FALSE(writer.AppendData(pcm.data() + 600, 600));
  EXPECT_EQ(writer.stopped(), WavWriteStop::kSizeLimit);
  EXPECT_EQ(writer.DataBytes(), 1000u);
  // Nothing more is taken once stopped.
  EXPECT_FALSE(writer.AppendData(pcm.data() + 1000, 4));
  EXPECT_EQ(writer.DataBytes(), 1000u);
  Bytes disk;
#ifndef _WIN32
  // Before the finish the header already covers everything written.
  disk = ReadWholeFile(path);
  ASSERT_EQ(disk.size(), kWavHeaderBytes + 1000);
  EXPECT_EQ(U32(disk, 42), 1000u);
  EXPECT_EQ(U32(disk, 4), 1038u);
#endif
  ASSERT_TRUE(writer.FinishWavFile());
  disk = ReadWholeFile(path);
  EXPECT_EQ(U32(disk, 42), 1000u);
  EXPECT_EQ(U32(disk, 4), 1038u);
  WavLayout layout;
  Bytes got;
  ASSERT_TRUE(ReadAll(path, &layout, &got));
  EXPECT_EQ(got, Bytes(pcm.begin(), pcm.begin() + 1000));
}

#ifndef _WIN32

// Runs `body` in a child process and returns how it ended (waitpid status).
template <typename Body>
int InChild(Body body) {
  fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    body();
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return status;
}

// The recording process dies without a word (a crash, a kill, the power):
// the file opens and plays everything up to the last second.
TEST(WavSurvivalTest, KilledWriterLeavesAPlayableFile) {
  TempFolder dir;
  const std::string path = dir.Path("killed.wav");
  const PcmFormat format = MakePcmFormat(22050, 2, 16);
  const Bytes pcm = TestPcm(format.avgBytesPerSec * 5 + 8192 * 3);
  const uint32_t written = static_cast<uint32_t>(pcm.size());
  const int status = InChild([&] {
    WavWriter writer;
    if (!writer.CreateWavFile(path.c_str(), format)) _exit(3);
    for (uint32_t at = 0; at < written; at += 8192) {
      if (!writer.AppendData(pcm.data() + at, std::min(8192u, written - at))) _exit(4);
    }
    raise(SIGKILL);
  });
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
  ASSERT_EQ(ReadWholeFile(path).size(), kWavHeaderBytes + written);
  WavLayout layout;
  Bytes got;
  ASSERT_TRUE(ReadAll(path, &layout, &got));
  EXPECT_EQ(got, pcm);
}

// The disk fills up mid-recording (a file size limit stands in for it): the
// writer stops taking data, and the file holds what reached it under a
// correct header.
TEST(WavSurvivalTest, FullDiskKeepsWhatWasWritten) {
  TempFolder dir;
  const std::string path = dir.Path("full.wav");
  const PcmFormat format = MakePcmFormat(11025, 1, 8);
  const Bytes pcm = TestPcm(40000);
  const uint32_t fits = 30000;
  const int status = InChild([&] {
    signal(SIGXFSZ, SIG_IGN);
    WavWriter writer;
    if (!writer.CreateWavFile(path.c_str(), format)) _exit(3);
    rlimit limit{kWavHeaderBytes + fits, kWavHeaderBytes + fits};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(4);
    bool failed = false;
    for (uint32_t at = 0; at < pcm.size() && !failed; at += 4096) {
      failed = !writer.AppendData(pcm.data() + at, std::min<uint32_t>(4096, pcm.size() - at));
    }
    if (!failed || writer.stopped() != WavWriteStop::kWriteFailed) _exit(5);
    if (writer.DataBytes() != fits) _exit(6);
    if (writer.AppendData(pcm.data(), 1)) _exit(7);
    if (!writer.FinishWavFile()) _exit(8);
  });
  ASSERT_TRUE(WIFEXITED(status)) << status;
  ASSERT_EQ(WEXITSTATUS(status), 0);
  const Bytes disk = ReadWholeFile(path);
  ASSERT_EQ(disk.size(), kWavHeaderBytes + fits);
  EXPECT_EQ(U32(disk, 42), fits);
  EXPECT_EQ(U32(disk, 4), fits + 38);
  WavLayout layout;
  Bytes got;
  ASSERT_TRUE(ReadAll(path, &layout, &got));
  EXPECT_EQ(got, Bytes(pcm.begin(), pcm.begin() + fits));
}

#endif

}  // namespace
