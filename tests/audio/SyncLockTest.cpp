// Each source's read lock is its own: a lock held on one source, or by any
// other program under the name the lock once had, must not stall another
// source's reads.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <thread>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

#include "audio/MediaSource.h"
#include "tests/audio/AudioTestFiles.h"

namespace {

// Reads once from `source` on another thread; true when the read returned
// within the deadline. `unblock` runs before a late read is waited for, so
// a failing check does not hang.
bool ReadsWithin(MediaSource& source, std::chrono::milliseconds deadline, const std::function<void()>& unblock) {
  auto read = std::async(std::launch::async, [&] {
    uint8_t buf[64];
    uint32_t count = 0;
    return source.Read(0, buf, sizeof buf, nullptr, 0, &count) && count == sizeof buf;
  });
  const bool inTime = read.wait_for(deadline) == std::future_status::ready;
  if (!inTime) unblock();
  return read.get() && inTime;
}

TEST(SyncLockTest, ALockHeldOnOneSourceDoesNotStallAnother) {
  TempFolder dir;
  const std::string path = dir.Write("a.wav", SimpleWav(8000, 1, 8, TestPcm(16000)));
  MediaSource held, free;
  ASSERT_TRUE(held.OpenMedia(path.c_str()));
  ASSERT_TRUE(free.OpenMedia(path.c_str()));
  std::promise<void> release;
  std::promise<void> holding;
  std::thread holder([&] {
    SyncGuard hold(held.syncMutex());
    holding.set_value();
    release.get_future().wait();
  });
  holding.get_future().wait();
  bool released = false;
  auto unblock = [&] {
    if (!released) release.set_value();
    released = true;
  };
  EXPECT_TRUE(ReadsWithin(free, std::chrono::seconds(5), unblock));
  unblock();
  holder.join();
  EXPECT_TRUE(ReadsWithin(held, std::chrono::seconds(5), [] {}));
}

#ifdef _WIN32
// Any program of the session could open and hold the name the lock had.
TEST(SyncLockTest, AnotherProgramHoldingTheOldNameStallsNothing) {
  TempFolder dir;
  const std::string path = dir.Write("b.wav", SimpleWav(8000, 1, 8, TestPcm(16000)));
  MediaSource source;
  ASSERT_TRUE(source.OpenMedia(path.c_str()));
  // Opened after the source, so it is taken by the wait, not at creation.
  HANDLE squatter = CreateMutexA(nullptr, FALSE, "Local\\VexSyncMutexObject");
  ASSERT_NE(squatter, nullptr);
  ASSERT_EQ(WaitForSingleObject(squatter, 5000), WAIT_OBJECT_0);
  // Released from this thread, which owns it, once the verdict is in.
  auto read = std::async(std::launch::async, [&] {
    uint8_t buf[64];
    uint32_t count = 0;
    return source.Read(0, buf, sizeof buf, nullptr, 0, &count);
  });
  EXPECT_EQ(read.wait_for(std::chrono::seconds(5)), std::future_status::ready);
  ReleaseMutex(squatter);
  read.get();
  CloseHandle(squatter);
}
#endif

}  // namespace
