#include "midi/SynthDevice.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "codec/byte_source.h"
#include "synth/midi_song.h"
#include "synth/sequencer.h"

namespace {

constexpr int kOutputRate = 44100;
// Voices the player renders at most: enough for dense General MIDI files
// (stealing takes the oldest released notes first), and a saturated minute
// of sixteen channels renders in about 0.7 s of one core, against 1.4 s
// with 128.
constexpr int kPlayerVoices = 64;
// A MIDI file larger than this is not a song anyone wrote.
constexpr int64_t kLargestMidiFile = 64 << 20;

// Ids the engine tells devices apart by; far above what MCI hands out.
MCIDEVICEID NextSynthId() {
  static std::atomic<MCIDEVICEID> next{0x7F000000};
  return ++next;
}

}  // namespace

// What the output's feeding thread reads: the song rendered as 16-bit
// stereo. The stream has its own lock, so the window thread's seeks and
// tempo changes need none here.
class SynthSource : public MediaSource {
 public:
  explicit SynthSource(cx::synth::SynthStream* stream) : stream_(stream) {
    info_.kind = kMediaMidi;
    info_.format = MakePcmFormat(kOutputRate, 2, 16);
    const int64_t length = stream_->LengthMs();
    info_.duration = static_cast<uint32_t>(length / 1000);
    info_.dataSize = static_cast<uint32_t>(std::min<int64_t>(length * kOutputRate / 1000 * 4, UINT32_MAX));
  }

  bool Read(uint32_t, void* region1, uint32_t length1, void* region2, uint32_t length2,
            uint32_t* count) override {
    *count = 0;
    uint8_t* const regions[2] = {static_cast<uint8_t*>(region1), static_cast<uint8_t*>(region2)};
    const uint32_t lengths[2] = {region1 ? length1 : 0, region2 ? length2 : 0};
    for (int i = 0; i < 2; ++i) {
      if (!regions[i]) continue;
      const uint32_t frames = ended_ ? 0 : lengths[i] / 4;
      if (frames > 0 && !stream_->Fill(reinterpret_cast<int16_t*>(regions[i]), frames)) ended_ = true;
      std::memset(regions[i] + frames * 4, 0, lengths[i] - frames * 4);
      *count += frames * 4;
    }
    return *count != 0;
  }
  uint32_t Seek(uint32_t ms) override {
    stream_->Seek(ms);
    ended_ = false;
    return ms;
  }
  uint32_t PositionMs() override { return static_cast<uint32_t>(std::max<int64_t>(stream_->PositionMs(), 0)); }
  bool ended() const { return ended_; }

 private:
  cx::synth::SynthStream* stream_;
  std::atomic<bool> ended_{false};
};

SynthDevice::SynthDevice(HWND notify, std::shared_ptr<const cx::synth::SoundFont> font)
    : notify_(notify), font_(std::move(font)) {}

SynthDevice::~SynthDevice() { Close(); }

bool SynthDevice::Open(const char* path) {
  Close();
  if (!font_ || path == nullptr) return false;
  std::unique_ptr<cx::codec::ByteSource> file = cx::codec::FileByteSource::Open(path);
  if (!file || file->Size() <= 0 || file->Size() > kLargestMidiFile) return false;
  std::vector<uint8_t> bytes(static_cast<size_t>(file->Size()));
  if (file->ReadAt(0, bytes.data(), bytes.size()) != bytes.size()) return false;
  std::string error;
  std::shared_ptr<const cx::synth::MidiSong> song(cx::synth::MidiSong::Parse(bytes.data(), bytes.size(), &error));
  if (!song) return false;
  auto sequencer = std::make_unique<cx::synth::Sequencer>(font_, song, kOutputRate, kPlayerVoices);
  stream_ = std::make_unique<cx::synth::SynthStream>(std::move(sequencer));
  source_ = std::make_unique<SynthSource>(stream_.get());
  tempo_ = kSynthNominalTempo;
  id_ = NextSynthId();
  return true;
}

void SynthDevice::DropOutput() {
  if (output_) output_->Close();
  output_.reset();
  playing_ = paused_ = false;
}

bool SynthDevice::Close() {
  DropOutput();
  source_.reset();
  stream_.reset();
  id_ = 0;
  return true;
}

bool SynthDevice::Play() {
  if (!source_) return false;
  if (source_->ended()) SeekTo(0);  // played out: from the start, as the sequencer does
  if (!output_) {
    output_ = MakeAudioOutput(notify_, false);
    if (!output_ || !output_->Open(source_.get(), notify_, kMsgSynthEnded)) {
      output_.reset();
      return false;
    }
  }
  playing_ = output_->Start();
  paused_ = false;
  return playing_;
}

bool SynthDevice::Pause() {
  if (!output_ || !playing_) return false;
  if (!output_->Pause()) return false;
  playing_ = false;
  paused_ = true;
  return true;
}

bool SynthDevice::Stop() {
  if (!source_) return false;
  DropOutput();
  return true;
}

bool SynthDevice::SeekTo(int64_t ms) {
  if (!source_) return false;
  // What the device holds belongs to the old place: it goes, and the next
  // Play starts the output afresh, as a seek stops the sequencer.
  DropOutput();
  const int64_t length = stream_->LengthMs();
  source_->Seek(static_cast<uint32_t>(std::clamp<int64_t>(ms, 0, std::max<int64_t>(length, 0))));
  return true;
}

bool SynthDevice::Seek(uint32_t to) {
  return SeekTo(to == 0xFFFFFFFFu ? stream_ ? stream_->LengthMs() : 0 : static_cast<int64_t>(to));
}

// What is heard, not what has been rendered: the output holds up to two
// seconds rendered ahead of it.
uint32_t SynthDevice::Position() {
  if (!source_) return 0;
  return output_ ? output_->HeardMs() : source_->PositionMs();
}

uint32_t SynthDevice::RenderedMs() { return source_ ? source_->PositionMs() : 0; }

uint32_t SynthDevice::Mode() {
  if (!source_) return MCI_MODE_NOT_READY;
  return playing_ ? MCI_MODE_PLAY : paused_ ? MCI_MODE_PAUSE : MCI_MODE_STOP;
}

bool SynthDevice::IsPlaying() { return playing_; }

uint32_t SynthDevice::Length() {
  return stream_ ? static_cast<uint32_t>(std::clamp<int64_t>(stream_->LengthMs(), 0, UINT32_MAX)) : 0;
}

// Ten-second steps as the sequencer takes them: clamped to the file, nothing
// when its length is unknown; the caller restarts play.
bool SynthDevice::Forward(uint32_t step) {
  const uint32_t length = Length();
  if (!source_ || length == 0) return false;
  return SeekTo(std::min<int64_t>(int64_t{Position()} + int64_t{step} * 1000, int64_t{length} - 1));
}

bool SynthDevice::Back(uint32_t step) {
  if (!source_ || Length() == 0) return false;
  return SeekTo(std::max<int64_t>(int64_t{Position()} - int64_t{step} * 1000, 0));
}

bool SynthDevice::SetTempo(uint32_t tempo) {
  if (!stream_ || tempo == 0 || tempo > 1000) return false;
  tempo_ = static_cast<long>(tempo);
  stream_->SetTempoPercent(static_cast<int>(tempo * 100 / kSynthNominalTempo));
  return true;
}

long SynthDevice::GetTempo() { return stream_ ? tempo_ : -1; }

bool SynthDevice::PlayedToTheEnd() { return source_ && source_->ended(); }
