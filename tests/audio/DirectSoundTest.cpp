#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>

#include "audio/DirectSoundPlayer.h"
#include "common/CommandCodes.h"
#include "tests/audio/AudioTestFiles.h"
#include "tests/audio/EndListener.h"
#include "tests/audio/TestSources.h"
#include "tests/support/WinTestSupport.h"

namespace {

// The block "3DShareName" created and written as Handset does it.
class HandsetBlock {
 public:
  HandsetBlock()
      : mapping_(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                    sizeof(Shared3DBlock), kShared3DName)) {}
  ~HandsetBlock() {
    if (mapping_) CloseHandle(mapping_);
  }
  bool ok() const { return mapping_ != nullptr; }
  void Write(const Shared3DBlock& b) {
    void* view = MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, sizeof b);
    ASSERT_NE(view, nullptr);
    std::memcpy(view, &b, sizeof b);
    UnmapViewOfFile(view);
  }
  Shared3DBlock Read() {
    Shared3DBlock b{};
    void* view = MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, sizeof b);
    if (view) {
      std::memcpy(&b, view, sizeof b);
      UnmapViewOfFile(view);
    }
    return b;
  }

 private:
  HANDLE mapping_;
};

// A stand-in for the wave player window: takes the command message and
// hands 5020/5021 to the stream.
struct CommandWindow {
  static DirectSoundStream* gStream;
  static UINT gCommandMessage;
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == gCommandMessage && CommandRouteOf(wp) == kRouteWave) {
      return Handle3DCommand(gStream, CommandCodeOf(wp), static_cast<uint32_t>(lp)) ? 1 : 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
  }
  CommandWindow() {
    gCommandMessage = RegisterWindowMessageA(kCommandMessageName);
    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "CXTest3DCommandWindow";
    RegisterClassA(&wc);
    hwnd = CreateWindowA(wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  }
  ~CommandWindow() { DestroyWindow(hwnd); }
  LRESULT Send(uint16_t code, uint32_t mask) {
    return SendMessageA(hwnd, gCommandMessage, MakeCommand(kRouteWave, code), mask);
  }
  HWND hwnd;
};
DirectSoundStream* CommandWindow::gStream = nullptr;
UINT CommandWindow::gCommandMessage = 0;

struct DirectSoundFixture : testing::Test {
  void SetUp() override { ASSERT_TRUE(device.InitDevice(listener.hwnd())); }
  std::string Wav(const char* name, uint32_t rate, uint16_t channels, uint16_t bits, uint32_t bytes) {
    return dir.Write(name, SimpleWav(rate, channels, bits, TestPcm(bytes)));
  }
  TempFolder dir;
  EndListener listener;
  DirectSoundDevice device;
};

TEST_F(DirectSoundFixture, ShortFileEndsOnceAfterItsLastHalf) {
  MediaSource source;
  ASSERT_TRUE(source.OpenMedia(Wav("a.wav", 22050, 2, 16, 88200 / 2 * 3).c_str()));  // 1.5 s
  DirectSoundStream* stream = device.CreateStream(&source);
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(stream->State(), kStreamStopped);
  ASSERT_TRUE(stream->SetStreamNotify(listener.hwnd(), 953));
  ASSERT_TRUE(stream->StartStream());
  EXPECT_TRUE(stream->IsStreamPlaying());
  ASSERT_TRUE(PumpUntil([&] { return listener.ends() > 0; }, 10000));
  PumpFor(600);
  EXPECT_EQ(listener.ends(), 1);
  EXPECT_NE(listener.lastGeneration(), 0u);
  EXPECT_EQ(listener.lastGeneration(), stream->generation());
  EXPECT_EQ(source.PositionMs(), 1500u);
  EXPECT_TRUE(device.DestroyStream(stream));
  EXPECT_FALSE(device.DestroyStream(stream));
  PumpFor(200);
  EXPECT_EQ(listener.ends(), 1);
}

TEST_F(DirectSoundFixture, PauseRefillsNothingAndResumeGoesOn) {
  MediaSource source;
  ASSERT_TRUE(source.OpenMedia(Wav("p.wav", 8000, 1, 8, 8000 * 30).c_str()));
  DirectSoundStream* stream = device.CreateStream(&source);
  ASSERT_NE(stream, nullptr);
  ASSERT_TRUE(stream->SetStreamNotify(listener.hwnd(), 953));
  ASSERT_TRUE(stream->StartStream());
  PumpFor(400);
  ASSERT_TRUE(stream->PauseStream());
  EXPECT_EQ(stream->State(), kStreamPaused);
  PumpFor(100);
  const uint32_t refills = stream->refills();
  const uint32_t position = source.PositionMs();
  PumpFor(900);
  EXPECT_EQ(stream->refills(), refills);
  EXPECT_EQ(source.PositionMs(), position);
  ASSERT_TRUE(stream->ResumeStream());
  EXPECT_TRUE(stream->IsStreamPlaying());
  ASSERT_TRUE(PumpUntil([&] { return stream->refills() > refills; }, 3000));
  EXPECT_GT(source.PositionMs(), position);
  stream->StopStream();
  EXPECT_EQ(stream->State(), kStreamStopped);
  PumpFor(400);
  EXPECT_EQ(listener.ends(), 0);
}

TEST_F(DirectSoundFixture, StopWaitsForTheReadInProgress) {
  SlowSource source;
  ASSERT_TRUE(source.OpenMedia(Wav("r.wav", 8000, 1, 8, 8000 * 10).c_str()));
  DirectSoundStream* stream = device.CreateStream(&source);
  ASSERT_NE(stream, nullptr);
  ASSERT_TRUE(stream->SetStreamNotify(listener.hwnd(), 953));
  ASSERT_TRUE(stream->StartStream());
  source.delayMs = 400;
  ASSERT_TRUE(PumpUntil([&] { return source.reading.load(); }, 4000));
  stream->StopStream();
  EXPECT_FALSE(source.reading);
  const int reads = source.reads;
  PumpFor(800);
  EXPECT_EQ(source.reads, reads);
  EXPECT_EQ(listener.ends(), 0);
  EXPECT_EQ(stream->State(), kStreamStopped);
}

TEST_F(DirectSoundFixture, RefusalsLeaveNothingBehind) {
  MediaSource empty;
  ASSERT_TRUE(empty.OpenMedia(Wav("e.wav", 8000, 1, 8, 0).c_str()));
  DirectSoundStream* stream = device.CreateStream(&empty);
  ASSERT_NE(stream, nullptr);
  EXPECT_FALSE(stream->StartStream());  // nothing to read at the start
  HWND gone = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  DestroyWindow(gone);
  EXPECT_FALSE(stream->SetStreamNotify(gone, 953));
  OddFormatSource odd;
  EXPECT_EQ(device.CreateStream(&odd), nullptr);
  DirectSoundDevice twice;
  ASSERT_TRUE(twice.InitDevice(listener.hwnd()));
  EXPECT_FALSE(twice.InitDevice(listener.hwnd()));
  EXPECT_NE(twice.captureCreate(), nullptr);
}

Shared3DBlock BlockA() { return {50.5f, 1.25f, 1.0f, -2.0f, 3.5f, 0.5f, 0.25f, -0.75f, 30, 60}; }
Shared3DBlock BlockB() { return {900.0f, 7.0f, -4.0f, 8.0f, -1.5f, 9.0f, -3.0f, 2.0f, 90, 270}; }

// The fields of `b` that belong to the groups in `mask`, from `from`.
Shared3DBlock Mix(Shared3DBlock b, const Shared3DBlock& from, uint32_t mask) {
  if (mask & k3DDistances) {
    b.maxDistance = from.maxDistance;
    b.minDistance = from.minDistance;
  }
  if (mask & k3DPosition) {
    b.positionX = from.positionX;
    b.positionY = from.positionY;
    b.positionZ = from.positionZ;
  }
  if (mask & k3DVelocity) {
    b.velocityX = from.velocityX;
    b.velocityY = from.velocityY;
    b.velocityZ = from.velocityZ;
  }
  if (mask & k3DConeAngles) {
    b.coneInsideAngle = from.coneInsideAngle;
    b.coneOutsideAngle = from.coneOutsideAngle;
  }
  return b;
}

TEST_F(DirectSoundFixture, CommandsApplyAndReadExactlyTheSelectedGroups) {
  MediaSource source;
  ASSERT_TRUE(source.OpenMedia(Wav("3d.wav", 22050, 2, 16, 88200 * 3).c_str()));
  DirectSoundStream* stream = device.CreateStream(&source);
  ASSERT_NE(stream, nullptr);
  ASSERT_TRUE(stream->StartStream());
  CommandWindow window;
  CommandWindow::gStream = stream;

  // No block yet: nothing is applied or read.
  EXPECT_EQ(window.Send(5020, k3DAllGroups), 0);
  HandsetBlock block;
  ASSERT_TRUE(block.ok());

  for (uint32_t mask : {1u, 2u, 4u, 8u, 5u, 10u, 15u}) {
    SCOPED_TRACE(mask);
    block.Write(BlockA());
    ASSERT_EQ(window.Send(5020, k3DAllGroups), 1);
    block.Write(BlockB());
    ASSERT_EQ(window.Send(5020, mask), 1);
    // Read everything back over a cleared block.
    block.Write(Shared3DBlock{});
    ASSERT_EQ(window.Send(5021, k3DAllGroups), 1);
    const Shared3DBlock got = block.Read();
    const Shared3DBlock want = Mix(BlockA(), BlockB(), mask);
    EXPECT_EQ(0, std::memcmp(&got, &want, sizeof got));
  }

  // The panel's block with every step at 0 comes back as it was written.
  const Shared3DBlock panelAtZero = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 30, 60};
  block.Write(panelAtZero);
  ASSERT_EQ(window.Send(5020, k3DAllGroups), 1);
  block.Write(BlockB());
  ASSERT_EQ(window.Send(5021, k3DAllGroups), 1);
  const Shared3DBlock atZero = block.Read();
  Shared3DBlock nearest = panelAtZero;  // distances must stay positive
  nearest.maxDistance = nearest.minDistance = k3DMinDistance;
  EXPECT_EQ(0, std::memcmp(&atZero, &nearest, sizeof atZero));

  // 5021 writes only the selected groups into the block.
  block.Write(BlockB());
  ASSERT_EQ(window.Send(5020, k3DAllGroups), 1);
  block.Write(BlockA());
  ASSERT_EQ(window.Send(5021, k3DConeAngles), 1);
  const Shared3DBlock got = block.Read();
  const Shared3DBlock want = Mix(BlockA(), BlockB(), k3DConeAngles);
  EXPECT_EQ(0, std::memcmp(&got, &want, sizeof got));

  // Without a stream the command changes nothing.
  CommandWindow::gStream = nullptr;
  EXPECT_EQ(window.Send(5020, k3DAllGroups), 0);
  stream->StopStream();
}

// Any program can write the block: whatever it holds, what the buffer gets
// is finite and in range, and a group with a value that is no number is
// left as it was.
TEST_F(DirectSoundFixture, HostileBlocksNeverReachTheBufferAsTheyAre) {
  MediaSource source;
  ASSERT_TRUE(source.OpenMedia(Wav("hostile.wav", 22050, 2, 16, 88200 * 3).c_str()));
  DirectSoundStream* stream = device.CreateStream(&source);
  ASSERT_NE(stream, nullptr);
  ASSERT_TRUE(stream->StartStream());
  CommandWindow window;
  CommandWindow::gStream = stream;
  HandsetBlock block;
  ASSERT_TRUE(block.ok());
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const struct {
    const char* name;
    Shared3DBlock b;
    bool applied;      // the command reports every group applied
    bool keepsGroups;  // the non-finite groups keep BlockA's values
  } kCases[] = {
      {"NaN everywhere", {nan, nan, nan, nan, nan, nan, nan, nan, 30, 60}, false, true},
      {"infinities", {inf, -inf, inf, -inf, inf, -inf, inf, -inf, 30, 60}, false, true},
      {"negative distances", {-5.0f, -1.0f, 0, 0, 0, 0, 0, 0, 30, 60}, true, false},
      {"huge values", {1e30f, 1e29f, 1e30f, -1e30f, 1e30f, 1e30f, -1e30f, 3e38f, 0xFFFFFFFFu, 0xFFFFFFFFu}, true, false},
      {"inside wider than outside", {10, 20, 0, 0, 0, 0, 0, 0, 300, 90}, true, false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    block.Write(BlockA());
    ASSERT_EQ(window.Send(5020, k3DAllGroups), 1);
    block.Write(c.b);
    EXPECT_EQ(window.Send(5020, k3DAllGroups), c.applied ? 1 : 0);
    block.Write(Shared3DBlock{});
    ASSERT_EQ(window.Send(5021, k3DAllGroups), 1);
    const Shared3DBlock got = block.Read();
    for (float v : {got.maxDistance, got.minDistance, got.positionX, got.positionY, got.positionZ,
                    got.velocityX, got.velocityY, got.velocityZ}) {
      EXPECT_TRUE(std::isfinite(v)) << v;
    }
    EXPECT_GT(got.minDistance, 0.0f);
    EXPECT_LE(got.minDistance, got.maxDistance);
    EXPECT_LE(got.maxDistance, k3DMaxDistance);
    for (float v : {got.positionX, got.positionY, got.positionZ}) EXPECT_LE(std::fabs(v), k3DMaxCoordinate);
    for (float v : {got.velocityX, got.velocityY, got.velocityZ}) EXPECT_LE(std::fabs(v), k3DMaxSpeed);
    EXPECT_LE(got.coneOutsideAngle, 360u);
    EXPECT_LE(got.coneInsideAngle, got.coneOutsideAngle);
    if (c.keepsGroups) {
      const Shared3DBlock a = BlockA();
      EXPECT_EQ(got.maxDistance, a.maxDistance);
      EXPECT_EQ(got.positionX, a.positionX);
      EXPECT_EQ(got.velocityZ, a.velocityZ);
    }
  }

  // A writer holding the block's lock (half-way through a write): nothing
  // is applied, and the player does not wait for it.
  block.Write(BlockA());
  ASSERT_EQ(window.Send(5020, k3DAllGroups), 1);
  HANDLE held = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::thread writer([&] {
    HANDLE lock = CreateMutexA(nullptr, FALSE, kShared3DLockName);
    WaitForSingleObject(lock, INFINITE);
    SetEvent(held);
    WaitForSingleObject(release, INFINITE);
    ReleaseMutex(lock);
    CloseHandle(lock);
  });
  ASSERT_EQ(WaitForSingleObject(held, 10000), WAIT_OBJECT_0);
  block.Write(BlockB());
  const DWORD before = GetTickCount();
  EXPECT_EQ(window.Send(5020, k3DAllGroups), 0);
  EXPECT_LT(GetTickCount() - before, 2000u);
  SetEvent(release);
  writer.join();
  CloseHandle(held);
  CloseHandle(release);
  block.Write(Shared3DBlock{});
  ASSERT_EQ(window.Send(5021, k3DAllGroups), 1);
  const Shared3DBlock got = block.Read();
  const Shared3DBlock a = BlockA();
  EXPECT_EQ(0, std::memcmp(&got, &a, sizeof got));

  CommandWindow::gStream = nullptr;
  stream->StopStream();
}

}  // namespace
