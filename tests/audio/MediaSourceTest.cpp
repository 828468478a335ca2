#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "audio/MediaSource.h"
#include "tests/audio/AudioTestFiles.h"

namespace {

TEST(MediaSourceTest, KindsByLastExtension) {
  struct Row {
    const char* path;
    uint32_t kind;
  } rows[] = {
      {"C:\\a\\SONG.Wav", kMediaWav}, {"x.MP3", kMediaMpeg},     {"x.mp1", kMediaMpeg},
      {"x.Mp2", kMediaMpeg},          {"x.mpa", kMediaMpeg},     {"x.mid", kMediaMidi},
      {"x.RMI", kMediaMidi},          {"song.mp3.txt", 0},       {"noextension", 0},
      {"x.wave", 0},                  {"x.wa", 0},               {"x.", 0},
      {"dir.wav\\file", 0},
  };
  for (const Row& r : rows) EXPECT_EQ(MediaKindOfPath(r.path), r.kind) << r.path;
}

TEST(MediaSourceTest, OpensWavWithTitleFormatAndReads) {
  TempFolder dir;
  const Bytes pcm = TestPcm(88200 * 2 + 300);
  const std::string path = dir.Write("Take.Five.Wav", SimpleWav(22050, 2, 16, pcm));
  MediaSource source;
  ASSERT_TRUE(source.OpenMedia(path.c_str()));
  const MediaInfo& info = source.info();
  EXPECT_EQ(info.kind, kMediaWav);
  EXPECT_STREQ(info.title, "Take.Five");  // after either kind of slash
  EXPECT_EQ(info.artist[0], '\0');
  EXPECT_EQ(info.duration, 2u);
  EXPECT_EQ(info.dataSize, pcm.size());
  EXPECT_EQ(info.format.avgBytesPerSec, 88200u);
  EXPECT_EQ(info.format.bitsPerSample, 16);
  EXPECT_EQ(source.dataStart(), 44u);

  // A second open on an open source fails and leaves the first file open.
  const std::string other = dir.Write("other.wav", SimpleWav(8000, 1, 8, TestPcm(100)));
  EXPECT_FALSE(source.OpenMedia(other.c_str()));
  EXPECT_EQ(source.info().format.avgBytesPerSec, 88200u);

  Bytes got, a(5000), b(3001);
  uint32_t count = 0;
  while (source.Read(0, a.data(), 5000, b.data(), 3001, &count) && count > 0) {
    const uint32_t first = count < 5000 ? count : 5000;
    got.insert(got.end(), a.begin(), a.begin() + first);
    got.insert(got.end(), b.begin(), b.begin() + (count - first));
    EXPECT_FALSE(source.ReadInProgress());
  }
  EXPECT_EQ(got, pcm);
  EXPECT_EQ(source.PositionMs(), static_cast<uint32_t>(pcm.size() * 1000.0 / 88200));

  EXPECT_EQ(source.Seek(1000), 1000u);
  EXPECT_EQ(source.PositionMs(), 1000u);
  ASSERT_TRUE(source.Read(0, a.data(), 100, nullptr, 0, &count));
  EXPECT_EQ(0, std::memcmp(a.data(), pcm.data() + 88200, 100));

  source.CloseMedia();
  EXPECT_EQ(source.info().kind, 0u);
  EXPECT_EQ(source.dataStart(), 0u);
  EXPECT_FALSE(source.Read(0, a.data(), 100, nullptr, 0, &count));
  EXPECT_EQ(source.Seek(0), kSeekFailed);
  // Closed, it opens again.
  EXPECT_TRUE(source.OpenMedia(other.c_str()));
}

#ifdef _WIN32
TEST(MediaSourceTest, LongNameIsCutToTheTitleField) {
  TempFolder dir;
  const std::string name(120, 'n');
  const std::string path = dir.Write(name + ".wav", SimpleWav(8000, 1, 8, TestPcm(100)));
  MediaSource source;
  ASSERT_TRUE(source.OpenMedia(path.c_str()));
  EXPECT_EQ(std::string(source.info().title), name.substr(0, 39));
  EXPECT_EQ(source.info().artist[0], '\0');
  EXPECT_EQ(source.info().format.avgBytesPerSec, 8000u);
}

TEST(MediaSourceTest, BareNameHasNoTitle) {
  TempFolder dir;
  dir.Write("take.wav", SimpleWav(8000, 1, 8, TestPcm(100)));
  const std::string cwd = std::filesystem::current_path().string();
  std::filesystem::current_path(std::filesystem::path(dir.Path("")).parent_path());
  MediaSource source;
  const bool opened = source.OpenMedia("take.wav");
  std::filesystem::current_path(cwd);
  ASSERT_TRUE(opened);
  EXPECT_STREQ(source.info().title, "");
}
#endif

TEST(MediaSourceTest, RefusesWhatItCannotPlay) {
  TempFolder dir;
  const Bytes good = SimpleWav(8000, 1, 8, TestPcm(100));
  Bytes damaged = good;
  damaged[20] = 3;  // float tag
  Bytes noData = good;
  noData[36] = 'x';
  std::vector<std::pair<std::string, Bytes>> files = {
      {"song.mid", good},        {"song.wav.txt", good}, {"noext", good},
      {"damaged.wav", damaged},  {"nodata.wav", noData}, {"empty.wav", Bytes{}},
      {"text.wav", Bytes(300, 'A')},
  };
  for (const auto& [name, bytes] : files) {
    SCOPED_TRACE(name);
    const std::string path = dir.Write(name, bytes);
    MediaSource source;
    EXPECT_FALSE(source.OpenMedia(path.c_str()));
    EXPECT_EQ(source.info().kind, 0u);
    uint8_t buf[8];
    uint32_t count = 5;
    EXPECT_FALSE(source.Read(0, buf, 8, nullptr, 0, &count));
    EXPECT_EQ(count, 0u);
  }
  MediaSource source;
  EXPECT_FALSE(source.OpenMedia(dir.Path("missing.wav").c_str()));
  EXPECT_FALSE(source.OpenMedia(nullptr));
}

// Every prefix of a valid file, and the file with each header byte flipped,
// must open or fail cleanly; whatever opens reads to its end.
TEST(MediaSourceTest, TruncatedAndCorruptedHeaders) {
  TempFolder dir;
  Bytes chunks;
  PutChunk(chunks, "LIST", Bytes(9, 'l'), true);
  PutChunk(chunks, "fmt ", FormatBody(1, 2, 8000, 32000, 4, 16, 18));
  PutChunk(chunks, "data", TestPcm(200));
  const Bytes good = RiffWave(chunks);
  std::vector<Bytes> variants;
  for (size_t n = 0; n < good.size(); n += 3) variants.emplace_back(good.begin(), good.begin() + n);
  for (size_t i = 0; i < 72; ++i) {
    for (uint8_t flip : {0x01, 0x80, 0xFF}) {
      Bytes v = good;
      v[i] ^= flip;
      variants.push_back(v);
    }
  }
  int opened = 0;
  for (const Bytes& v : variants) {
    const std::string path = dir.Write("v.wav", v);
    MediaSource source;
    if (!source.OpenMedia(path.c_str())) continue;
    ++opened;
    const uint32_t align = source.info().format.blockAlign;
    EXPECT_GT(source.info().format.avgBytesPerSec, 0u);
    Bytes a(1024), b(512);
    uint32_t count = 0, total = 0;
    for (int i = 0; i < 1000 && source.Read(0, a.data(), 1024, b.data(), 512, &count) && count; ++i) total += count;
    EXPECT_LE(total, v.size());
    source.Seek(12345);
    source.PositionMs();
    (void)align;
  }
  EXPECT_GT(opened, 10);
}

// A read that arrives while a seek holds the lock waits for it and then
// delivers from the new position.
TEST(MediaSourceTest, ReadWaitsForTheSyncLock) {
  TempFolder dir;
  const Bytes pcm = TestPcm(16000);
  const std::string path = dir.Write("lock.wav", SimpleWav(8000, 1, 8, pcm));
  MediaSource source;
  ASSERT_TRUE(source.OpenMedia(path.c_str()));
  std::atomic<bool> done{false};
  uint8_t buf[16];
  uint32_t count = 0;
  std::thread reader;
  {
    SyncGuard hold(source.syncMutex());
    reader = std::thread([&] {
      source.Read(0, buf, sizeof buf, nullptr, 0, &count);
      done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_FALSE(done);
    EXPECT_EQ(source.Seek(1000), 1000u);  // the lock is re-entrant for its owner
  }
  reader.join();
  EXPECT_TRUE(done);
  EXPECT_EQ(count, sizeof buf);
  EXPECT_EQ(0, std::memcmp(buf, pcm.data() + 8000, sizeof buf));
}

}  // namespace
