// The map from a device's count of played bytes back to the stream: the
// outputs note every stretch they queue, and what is heard lags what was
// read by what is queued.
#include <gtest/gtest.h>

#include "audio/HeardPosition.h"

namespace {

constexpr uint32_t kSecond = 176400;  // 44.1 kHz, 16-bit stereo

TEST(HeardPosition, LagsTheReadPositionByWhatIsQueued) {
  HeardPosition heard;
  heard.Reset(5000);
  EXPECT_FALSE(heard.Started());
  EXPECT_EQ(heard.HeardMs(0), 5000u);  // nothing queued: where the source stands
  // Two buffers of a second each, read from 5 s on: the source stands at 7 s.
  heard.Queued(0, kSecond, 5000, 6000);
  heard.Queued(kSecond, kSecond, 6000, 7000);
  EXPECT_TRUE(heard.Started());
  EXPECT_EQ(heard.HeardMs(0), 5000u);
  EXPECT_EQ(heard.HeardMs(kSecond / 4), 5250u);
  EXPECT_EQ(heard.HeardMs(kSecond + kSecond / 2), 6500u);
  // Played beyond all that was queued (the device ran dry): the end of it.
  EXPECT_EQ(heard.HeardMs(5 * kSecond), 7000u);
}

TEST(HeardPosition, SeeksTempoAndShortReadsMapBack) {
  HeardPosition heard;
  heard.Reset(0);
  heard.Queued(0, kSecond, 0, 1000);
  // A seek to 30 s between two reads: the second stretch starts there.
  heard.Queued(kSecond, kSecond, 30000, 31000);
  EXPECT_EQ(heard.HeardMs(kSecond - 1764), 990u);
  EXPECT_EQ(heard.HeardMs(kSecond + 1764), 30010u);
  // Half tempo: a second of sound holds half a second of the song.
  heard.Queued(2 * kSecond, kSecond, 31000, 31500);
  EXPECT_EQ(heard.HeardMs(2 * kSecond + kSecond / 2), 31250u);
  // The last read is short; the silence behind it stays at its end.
  heard.Queued(3 * kSecond, kSecond / 10, 31500, 31600);
  EXPECT_EQ(heard.HeardMs(3 * kSecond + kSecond / 2), 31600u);
}

TEST(HeardPosition, AStretchWrittenOverReplacesTheOnesFromThereOn) {
  HeardPosition heard;
  heard.Reset(0);
  // DirectSound: the first half from the source, the second silent at first,
  // then filled before the cursor gets there.
  heard.Queued(0, kSecond, 0, 1000);
  heard.Queued(kSecond, 0, 1000, 1000);
  heard.Queued(kSecond, kSecond, 1000, 2000);
  EXPECT_EQ(heard.HeardMs(kSecond + kSecond / 2), 1500u);
  // Many more than an output ever holds: the old ones make room.
  for (uint32_t i = 2; i < 40; ++i) heard.Queued(i * kSecond, kSecond, i * 1000, (i + 1) * 1000);
  EXPECT_EQ(heard.HeardMs(39 * kSecond + kSecond / 2), 39500u);
  EXPECT_EQ(heard.HeardMs(36 * kSecond), 36000u);
  heard.Reset(2500);
  EXPECT_FALSE(heard.Started());
  EXPECT_EQ(heard.HeardMs(39 * kSecond), 2500u);
}

}  // namespace
