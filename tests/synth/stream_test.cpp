// The locked stream with a feeding thread rendering while this thread
// pauses, seeks and changes the tempo, as the player's window does.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "synth/stream.h"
#include "tests/synth/sf2_writer.h"
#include "tests/synth/smf_writer.h"

namespace cx::synth {
namespace {

using test::Gen;

std::unique_ptr<SynthStream> MakeStream() {
  test::Sf2Sample tone;
  tone.name = "tone";
  for (int i = 0; i < 4410; ++i) tone.pcm.push_back(static_cast<int16_t>(16000 * std::sin(i * 0.0628)));
  tone.loopEnd = 4410;
  const std::vector<uint8_t> bank = test::Sf2Writer::Build(
      {tone}, {{"i", 0, 0, {{Gen(kGenSampleModes, 1), Gen(kGenSampleId, 0)}}}},
      {{"p", 0, 0, {{Gen(kGenInstrument, 0)}}}});
  std::shared_ptr<const SoundFont> font = SoundFont::FromBytes(bank.data(), bank.size(), nullptr);
  test::TrackWriter t;
  t.Tempo(0, 1000000);
  for (int i = 0; i < 40; ++i) t.NoteOn(i ? 100 : 0, 0, 50 + i % 20, 100).NoteOff(100, 0, 50 + i % 20);
  t.End(0);  // the last note-off at 7.9 s
  const std::vector<uint8_t> smf = test::Smf(0, 1000, {t});
  std::shared_ptr<const MidiSong> song = MidiSong::Parse(smf.data(), smf.size(), nullptr);
  if (!font || !song) return nullptr;
  return std::make_unique<SynthStream>(std::make_unique<Sequencer>(font, song, 44100));
}

TEST(StreamTest, WindowCallsWhileTheFeedingThreadRenders) {
  std::unique_ptr<SynthStream> stream = MakeStream();
  ASSERT_TRUE(stream);
  ASSERT_EQ(stream->LengthMs(), 7900);
  std::atomic<bool> stop{false};
  std::atomic<int> fills{0};
  std::thread feeder([&] {
    std::vector<int16_t> buffer(2 * 1024);
    while (!stop) {
      stream->Fill(buffer.data(), 1024);
      ++fills;
    }
  });
  auto waitForFills = [&](int count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    const int target = fills + count;
    while (fills < target && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    return fills >= target;
  };
  for (int round = 0; round < 30; ++round) {
    const int64_t target = (round * 977) % 7000;
    stream->Seek(target);
    const int64_t at = stream->PositionMs();
    EXPECT_GE(at, target);
    stream->SetTempoPercent(10 + (round * 37) % 281);
    ASSERT_TRUE(waitForFills(2));
    EXPECT_GE(stream->PositionMs(), at);
    EXPECT_LE(stream->PositionMs(), stream->LengthMs());
  }
  // Paused, the feeding thread gets silence and the position stands.
  stream->Seek(1000);
  stream->SetPaused(true);
  ASSERT_TRUE(waitForFills(1));
  const int64_t held = stream->PositionMs();
  ASSERT_TRUE(waitForFills(3));
  EXPECT_EQ(stream->PositionMs(), held);
  stream->SetPaused(false);
  stream->SetTempoPercent(290);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!stream->AtEnd() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
  EXPECT_TRUE(stream->AtEnd());
  stop = true;
  feeder.join();

  std::vector<int16_t> buffer(2 * 256, 1);
  stream->SetPaused(true);
  EXPECT_FALSE(stream->Fill(buffer.data(), 256));
  for (int16_t v : buffer) ASSERT_EQ(v, 0);
}

}  // namespace
}  // namespace cx::synth
