// The recorders' and the recording engine's edges that the end-to-end
// recordings do not reach: the ".wav" rule, refused capture buffers, the
// shared event of the written design, arming and stopping without a stretch.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "audio/DirectSoundCaptureRecorder.h"
#include "audio/WaveInRecorder.h"
#include "tests/support/WinTestSupport.h"
#include "waveplayer/WaveRecordingEngine.h"

namespace {

TEST(WavExtension, AppendsUnlessTheLastExtensionIsWav) {
  const struct {
    const char* chosen;
    const char* recorded;
  } kCases[] = {
      {"take1", "take1.wav"},           {"take1.WAV", "take1.WAV"},     {"take1.Wav", "take1.Wav"},
      {"take1.wav.mp3", "take1.wav.mp3.wav"}, {"C:\\a.b\\take", "C:\\a.b\\take.wav"}, {"x.", "x..wav"},
  };
  for (const auto& c : kCases) {
    char path[MAX_PATH] = {};
    std::strcpy(path, c.chosen);
    EXPECT_TRUE(WithWavExtension(path, sizeof path));
    EXPECT_STREQ(path, c.recorded);
  }
  char tight[8] = "take12";
  EXPECT_FALSE(WithWavExtension(tight, sizeof tight));
}

// Data size at offset 42 and RIFF size at offset 4 of a finished recording.
void ExpectFinished(const std::string& path) {
  const std::string bytes = ReadFileToString(path);
  ASSERT_GE(bytes.size(), 46u) << path;
  uint32_t riff = 0, data = 0;
  std::memcpy(&riff, bytes.data() + 4, 4);
  std::memcpy(&data, bytes.data() + 42, 4);
  EXPECT_EQ(riff, bytes.size() - 8);
  EXPECT_EQ(data, bytes.size() - 46);
}

TEST(DirectSoundCapture, ARefusedBufferIsReportedAndLeavesNoFile) {
  TempFolder folder;
  DirectSoundCaptureRecorder recorder;
  ASSERT_TRUE(recorder.CreateCaptureObject());
  MessageBoxWatcher boxes;
  recorder.SetFormat(0, 1, 16);  // no bytes per second: a buffer of no size
  const std::string path = folder.Path("refused.wav");
  EXPECT_FALSE(recorder.CreateCaptureFile(path.c_str()));
  ASSERT_TRUE(boxes.WaitFor(1, 5000));
  EXPECT_EQ(boxes.Texts()[0].rfind("Error in create capture buffer.\nError code = 8", 0), 0u) << boxes.Texts()[0];
  EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
  // The same recorder records again; armed and stopped, it leaves nothing.
  recorder.SetFormat(22050, 1, 16);
  const std::string second = folder.Path("empty.wav");
  ASSERT_TRUE(recorder.CreateCaptureFile(second.c_str()));
  ASSERT_TRUE(recorder.StartWriter());
  recorder.StopRecording();
  EXPECT_EQ(GetFileAttributesA(second.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(WaveIn, TwoRecordersShareNothingAndStopWithTheirFilesFinished) {
  TempFolder folder;
  WaveInRecorder first, second;
  EXPECT_FALSE(first.AllocBuffers(0));
  ASSERT_TRUE(first.AllocBuffers(kCaptureBufferBytes));
  ASSERT_TRUE(second.AllocBuffers(kCaptureBufferBytes));
  // The written design named its event: a second instance would share it.
  EXPECT_EQ(OpenEventA(SYNCHRONIZE, FALSE, "Local\\WaveInEvent"), nullptr);
  ASSERT_TRUE(first.SetFormat(11025, 1, 8));
  const std::string a = folder.Path("a.wav");
  ASSERT_TRUE(first.CreateAndOpen(a.c_str()));
  ASSERT_TRUE(first.StartThread());
  // A file that cannot be made fails the second recorder and leaves it idle.
  EXPECT_FALSE(second.CreateAndOpen(folder.Path("missing\\b.wav").c_str()));
  EXPECT_FALSE(second.StartThread());
  Sleep(400);
  first.StopRecording();  // returns with the thread gone
  if (first.RecordedBytes() > 0) {
    ExpectFinished(a);
  } else {
    EXPECT_EQ(GetFileAttributesA(a.c_str()), INVALID_FILE_ATTRIBUTES);
  }
}

// The engine with the save dialog answered by the test.
class ScriptedEngine : public WaveRecordingEngine {
 public:
  ScriptedEngine(bool directSound, std::string answer)
      : WaveRecordingEngine(nullptr, directSound), answer_(std::move(answer)) {}
  int dialogs = 0;

 protected:
  bool ChooseFile(char* path, size_t capacity) override {
    ++dialogs;
    if (answer_.empty()) return false;
    lstrcpynA(path, answer_.c_str(), static_cast<int>(capacity));
    return true;
  }

 private:
  std::string answer_;
};

TEST(RecordingEngine, CancelAndToggleWhenIdleChangeNothing) {
  for (bool directSound : {false, true}) {
    ScriptedEngine cancelled(directSound, "");
    ASSERT_TRUE(cancelled.Prepare());
    cancelled.RecordToggle();  // 1032 with nothing armed
    EXPECT_EQ(cancelled.state(), kRecordIdle);
    cancelled.StartRecording(0);
    EXPECT_EQ(cancelled.dialogs, 1);
    EXPECT_EQ(cancelled.state(), kRecordIdle);
    const RecordEnables idle = cancelled.enables();
    EXPECT_TRUE(idle.file && !idle.play && !idle.pause && !idle.stop);
  }
}

TEST(RecordingEngine, ArmsWithTheChosenNameAndStopsInEveryState) {
  TempFolder folder;
  for (bool directSound : {false, true}) {
    ScriptedEngine engine(directSound, folder.Path("take"));
    ASSERT_TRUE(engine.Prepare());
    engine.StartRecording(6);
    ASSERT_EQ(engine.state(), kRecordArmed) << directSound;
    EXPECT_NE(GetFileAttributesA(folder.Path("take.wav").c_str()), INVALID_FILE_ATTRIBUTES);
    engine.RecordToggle();  // RECPLAY is enabled: 1032 resumes
    EXPECT_EQ(engine.state(), kRecordRecording);
    EXPECT_TRUE(engine.timeShown());
    engine.RecordPause();
    EXPECT_EQ(engine.state(), kRecordPaused);
    engine.OnSuspendQuery();  // the recording ends before a suspend
    EXPECT_EQ(engine.state(), kRecordIdle);
    EXPECT_FALSE(engine.timeShown());
    EXPECT_EQ(engine.ShownSeconds(), 0u);
    DeleteFileA(folder.Path("take.wav").c_str());
  }
}

// A recorder whose file took no more data: the engine ends the recording at
// its next tick, finishes the file and says why. The writer's own stop is
// tested natively with a real full file system limit.
class FailingWriterEngine : public ScriptedEngine {
 public:
  using ScriptedEngine::ScriptedEngine;
  WavWriteStop stop = WavWriteStop::kNone;
  std::vector<std::string> errors;

 protected:
  WavWriteStop WriterStop() const override { return stop; }
  void ReportError(const char* text) override { errors.emplace_back(text); }
};

TEST(RecordingEngine, AFileThatTakesNoMoreDataEndsTheRecordingWithAMessage) {
  TempFolder folder;
  const struct {
    WavWriteStop stop;
    const char* text;
  } kCases[] = {{WavWriteStop::kWriteFailed, kRecordWriteErrorText}, {WavWriteStop::kSizeLimit, kRecordSizeLimitText}};
  for (bool directSound : {false, true}) {
    for (const auto& c : kCases) {
      SCOPED_TRACE(directSound);
      FailingWriterEngine engine(directSound, folder.Path("full"));
      ASSERT_TRUE(engine.Prepare());
      engine.StartRecording(0);
      ASSERT_EQ(engine.state(), kRecordArmed);
      engine.RecordResume();
      engine.CheckWriter();
      EXPECT_EQ(engine.state(), kRecordRecording);
      EXPECT_TRUE(engine.errors.empty());
      engine.stop = c.stop;
      engine.CheckWriter();
      EXPECT_EQ(engine.state(), kRecordIdle);
      ASSERT_EQ(engine.errors.size(), 1u);
      EXPECT_EQ(engine.errors[0], c.text);
      const std::string path = folder.Path("full.wav");
      if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) ExpectFinished(path);
      DeleteFileA(path.c_str());
      // Once stopped, nothing more is reported.
      engine.CheckWriter();
      EXPECT_EQ(engine.errors.size(), 1u);
    }
  }
}

// The suspend and the end of the session end an armed recording too: the
// wave input recorder captures from RECFILE on.
TEST(RecordingEngine, SystemEndsFinishEveryState) {
  TempFolder folder;
  for (bool directSound : {false, true}) {
    ScriptedEngine engine(directSound, folder.Path("system"));
    ASSERT_TRUE(engine.Prepare());
    engine.StartRecording(0);
    ASSERT_EQ(engine.state(), kRecordArmed);
    engine.EndForSystem();
    EXPECT_EQ(engine.state(), kRecordIdle);
    DeleteFileA(folder.Path("system.wav").c_str());
  }
}

}  // namespace
