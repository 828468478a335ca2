#include "audio/AudioOutput.h"

#include <new>

#include "audio/DirectSoundPlayer.h"
#include "audio/WaveOutDevice.h"

namespace {

// The wave output device. A closed device is not reused: every file gets a
// fresh one, so nothing of the last file's state carries over.
class WaveOutOutput final : public AudioOutput {
 public:
  bool Open(MediaSource* source, HWND window, UINT message) override {
    device_.reset(new (std::nothrow) WaveOutDevice);
    source_ = source;
    return device_ && device_->Open(source) && device_->SetNotify(window, message, 1);
  }
  void Close() override {
    if (device_) device_->Close();
    device_.reset();
    source_ = nullptr;
  }
  bool IsOpen() const override { return device_ && device_->IsOpen(); }
  bool IsPlaying() const override { return device_ && device_->IsPlaying(); }
  bool IsPaused() const override { return IsOpen() && !IsPlaying() && started_; }
  bool Start() override {
    if (!IsOpen()) return false;
    // Start also resumes a pause; it declines only when already playing.
    started_ = device_->Start() || device_->IsPlaying();
    return started_;
  }
  bool Pause() override { return IsPlaying() && device_->Pause(); }
  void Stop() override {
    if (device_) device_->Stop();
    started_ = false;
  }
  // Whatever the device holds is from the old position: stop it, move the
  // source, and start again if it was playing.
  void SeekTo(uint32_t ms) override {
    if (!IsOpen() || source_ == nullptr) return;
    const bool restart = device_->IsPlaying();
    device_->Stop();
    source_->Seek(ms);
    if (restart) device_->Start();
  }
  uint32_t HeardMs() override {
    return device_ && source_ ? device_->HeardMs() : source_ ? source_->PositionMs() : 0;
  }
  bool Handle3D(uint16_t, uint32_t) override { return false; }
  uint32_t EndGeneration() const override { return device_ ? device_->generation() : 0; }
  bool IsDirectSound() const override { return false; }

 private:
  std::unique_ptr<WaveOutDevice> device_;
  MediaSource* source_ = nullptr;
  bool started_ = false;
};

// A DirectSound stream per file on one device set up for the program's life.
class DirectSoundOutput final : public AudioOutput {
 public:
  bool Init(HWND window) { return device_.InitDevice(window); }
  ~DirectSoundOutput() override { Close(); }

  bool Open(MediaSource* source, HWND window, UINT message) override {
    Close();
    stream_ = device_.CreateStream(source);
    source_ = source;
    window_ = window;
    message_ = message;
    return stream_ != nullptr && stream_->SetStreamNotify(window, message);
  }
  void Close() override {
    if (stream_ != nullptr) device_.DestroyStream(stream_);
    stream_ = nullptr;
    source_ = nullptr;
  }
  bool IsOpen() const override { return stream_ != nullptr; }
  bool IsPlaying() const override { return stream_ != nullptr && stream_->IsStreamPlaying(); }
  bool IsPaused() const override { return stream_ != nullptr && stream_->State() == kStreamPaused; }
  bool Start() override {
    if (stream_ == nullptr) return false;
    switch (stream_->State()) {
      case kStreamPlaying: return true;
      case kStreamPaused: return stream_->ResumeStream();
      default: return stream_->StartStream();
    }
  }
  bool Pause() override { return IsPlaying() && stream_->PauseStream(); }
  void Stop() override {
    if (stream_ != nullptr) stream_->StopStream();
  }
  // The buffer holds up to two seconds from the old position: the stream
  // starts afresh from the new one, so that is what is heard next.
  void SeekTo(uint32_t ms) override {
    if (stream_ == nullptr || source_ == nullptr) return;
    const bool restart = stream_->IsStreamPlaying();
    stream_->StopStream();
    source_->Seek(ms);
    // A seek past the end leaves nothing to start with: the file has ended,
    // and is told so as a stream that played out would tell it.
    if (restart && !stream_->StartStream()) PostMessageA(window_, message_, stream_->EndWithoutStart(), 0);
  }
  uint32_t HeardMs() override {
    return stream_ != nullptr ? stream_->HeardMs() : source_ != nullptr ? source_->PositionMs() : 0;
  }
  bool Handle3D(uint16_t code, uint32_t groupMask) override {
    return Handle3DCommand(stream_, code, groupMask);
  }
  uint32_t EndGeneration() const override { return stream_ != nullptr ? stream_->generation() : 0; }
  bool IsDirectSound() const override { return true; }

 private:
  DirectSoundDevice device_;
  DirectSoundStream* stream_ = nullptr;  // owned by device_
  MediaSource* source_ = nullptr;
  HWND window_ = nullptr;  // told of the end
  UINT message_ = 0;
};

}  // namespace

void AudioOutput::SeekBy(int32_t deltaMs) {
  const int64_t target = static_cast<int64_t>(HeardMs()) + deltaMs;
  SeekTo(target < 0 ? 0 : target > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(target));
}

std::unique_ptr<AudioOutput> MakeAudioOutput(HWND window, bool tryDirectSound) {
  if (tryDirectSound) {
    std::unique_ptr<DirectSoundOutput> ds(new (std::nothrow) DirectSoundOutput);
    if (ds && ds->Init(window)) return ds;
  }
  return std::unique_ptr<AudioOutput>(new (std::nothrow) WaveOutOutput);
}
