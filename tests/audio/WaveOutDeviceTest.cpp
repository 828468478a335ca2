#include <gtest/gtest.h>

#include <atomic>

#include "audio/WaveOutDevice.h"
#include "tests/audio/AudioTestFiles.h"
#include "tests/audio/EndListener.h"
#include "tests/audio/TestSources.h"
#include "tests/support/WinTestSupport.h"

namespace {

struct Fixture {
  TempFolder dir;
  std::string Wav(const char* name, uint32_t rate, uint16_t channels, uint16_t bits, uint32_t bytes) {
    return dir.Write(name, SimpleWav(rate, channels, bits, TestPcm(bytes)));
  }
};

TEST(WaveOutDeviceTest, PlaysInWritesOfOneSecondThenEndsOnce) {
  Fixture f;
  MediaSource source;
  ASSERT_TRUE(source.OpenMedia(f.Wav("a.wav", 8000, 1, 8, 20000).c_str()));  // 2.5 s
  EndListener listener;
  WaveOutDevice device;
  ASSERT_TRUE(device.Open(&source));
  EXPECT_TRUE(device.IsOpen());
  EXPECT_FALSE(device.IsPlaying());
  ASSERT_TRUE(device.SetNotify(listener.hwnd(), kEndOfStreamMessage, 1));
  ASSERT_TRUE(device.Start());
  EXPECT_TRUE(device.IsPlaying());
  EXPECT_FALSE(device.Start());  // not paused: nothing to resume
  ASSERT_TRUE(PumpUntil([&] { return listener.ends() > 0; }, 10000));
  PumpFor(500);
  EXPECT_EQ(listener.ends(), 1);
  // The notice names the run that ended; the close ends that run.
  EXPECT_NE(listener.lastGeneration(), 0u);
  EXPECT_EQ(listener.lastGeneration(), device.generation());
  EXPECT_EQ(device.buffersWritten(), 3u);
  EXPECT_EQ(source.PositionMs(), 2500u);
  device.Close();
  EXPECT_FALSE(device.IsOpen());
  PumpFor(200);
  EXPECT_EQ(listener.ends(), 1);
}

TEST(WaveOutDeviceTest, EmptySourceEndsAtOnce) {
  Fixture f;
  MediaSource source;
  ASSERT_TRUE(source.OpenMedia(f.Wav("empty.wav", 8000, 1, 8, 0).c_str()));
  EndListener listener;
  WaveOutDevice device;
  ASSERT_TRUE(device.Open(&source));
  ASSERT_TRUE(device.SetNotify(listener.hwnd(), kEndOfStreamMessage, 1));
  ASSERT_TRUE(device.Start());
  ASSERT_TRUE(PumpUntil([&] { return listener.ends() > 0; }, 3000));
  PumpFor(300);
  EXPECT_EQ(listener.ends(), 1);
  EXPECT_EQ(device.buffersWritten(), 0u);
}

TEST(WaveOutDeviceTest, PauseTwiceAndResume) {
  Fixture f;
  SlowSource source;
  ASSERT_TRUE(source.OpenMedia(f.Wav("p.wav", 8000, 1, 8, 8000 * 20).c_str()));
  EndListener listener;
  WaveOutDevice device;
  ASSERT_TRUE(device.Open(&source));
  ASSERT_TRUE(device.SetNotify(listener.hwnd(), kEndOfStreamMessage, 1));
  EXPECT_FALSE(device.Pause());  // no thread yet
  ASSERT_TRUE(device.Start());
  PumpFor(300);
  ASSERT_TRUE(device.Pause());
  EXPECT_FALSE(device.Pause());
  EXPECT_FALSE(device.IsPlaying());
  PumpFor(100);
  const int reads = source.reads;
  const uint32_t position = source.PositionMs();
  PumpFor(800);
  // Paused, nothing comes back from the device, so nothing is read.
  EXPECT_EQ(source.reads, reads);
  EXPECT_EQ(source.PositionMs(), position);
  EXPECT_EQ(listener.ends(), 0);
  ASSERT_TRUE(device.Start());
  EXPECT_TRUE(device.IsPlaying());
  ASSERT_TRUE(PumpUntil([&] { return source.reads > reads; }, 5000));
  device.Stop();
  EXPECT_FALSE(device.IsPlaying());
  PumpFor(300);
  EXPECT_EQ(listener.ends(), 0);
}

TEST(WaveOutDeviceTest, StopRightAfterStartPostsNothing) {
  Fixture f;
  for (int round = 0; round < 5; ++round) {
    MediaSource source;
    ASSERT_TRUE(source.OpenMedia(f.Wav("s.wav", 8000, 1, 8, 4000).c_str()));
    EndListener listener;
    WaveOutDevice device;
    ASSERT_TRUE(device.Open(&source));
    ASSERT_TRUE(device.SetNotify(listener.hwnd(), kEndOfStreamMessage, 1));
    ASSERT_TRUE(device.Start());
    const uint32_t run = device.generation();
    EXPECT_NE(run, 0u);
    if (round > 0) Sleep(round * 60);  // some stops land after the end
    device.Stop();
    EXPECT_FALSE(device.IsPlaying());
    EXPECT_EQ(device.generation(), 0u);
    PumpFor(300);
    // An end posted just before the stop may still come; it names the run
    // that is over, which the device no longer claims, so a player ignores it.
    EXPECT_LE(listener.ends(), 1) << "round " << round;
    if (listener.ends() == 1) {
      EXPECT_EQ(listener.lastGeneration(), run) << "round " << round;
    }
    // Open without a thread: it starts again from where the source stands.
    EXPECT_TRUE(device.IsOpen());
  }
}

TEST(WaveOutDeviceTest, StopWaitsForTheReadInProgress) {
  Fixture f;
  SlowSource source;
  ASSERT_TRUE(source.OpenMedia(f.Wav("r.wav", 8000, 1, 8, 8000 * 10).c_str()));
  source.delayMs = 400;
  EndListener listener;
  WaveOutDevice device;
  ASSERT_TRUE(device.Open(&source));
  ASSERT_TRUE(device.SetNotify(listener.hwnd(), kEndOfStreamMessage, 1));
  ASSERT_TRUE(device.Start());
  ASSERT_TRUE(PumpUntil([&] { return source.reading.load(); }, 2000));
  device.Stop();
  EXPECT_FALSE(source.reading);
  EXPECT_GE(source.reads, 1);
  const int reads = source.reads;
  PumpFor(600);
  EXPECT_EQ(source.reads, reads);  // the thread is gone
  EXPECT_EQ(listener.ends(), 0);
}

TEST(WaveOutDeviceTest, NotifySettings) {
  EndListener listener;
  WaveOutDevice device;
  EXPECT_TRUE(device.SetNotify(nullptr, kEndOfStreamMessage, 0));
  EXPECT_FALSE(device.SetNotify(listener.hwnd(), kEndOfStreamMessage, 2));
  EXPECT_TRUE(device.SetNotify(listener.hwnd(), kEndOfStreamMessage, 1));
  HWND gone = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  DestroyWindow(gone);
  EXPECT_FALSE(device.SetNotify(gone, kEndOfStreamMessage, 1));
}

TEST(WaveOutDeviceTest, RefusedFormatAndReopen) {
  OddFormatSource odd;
  WaveOutDevice device;
  EXPECT_FALSE(device.Open(&odd));
  EXPECT_FALSE(device.IsOpen());
  EXPECT_FALSE(device.Start());
  EXPECT_FALSE(device.Open(nullptr));

  Fixture f;
  MediaSource source;
  ASSERT_TRUE(source.OpenMedia(f.Wav("o.wav", 22050, 2, 16, 1000).c_str()));
  ASSERT_TRUE(device.Open(&source));
  EXPECT_FALSE(device.Open(&source));  // already open
  device.Close();
  ASSERT_TRUE(device.Open(&source));
  EXPECT_TRUE(device.IsOpen());
}

}  // namespace
