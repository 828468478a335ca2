// Plays one MidiSong through a Synthesizer: what the player's MIDI device
// needs per file.
//
//   std::string error;
//   auto font = std::shared_ptr<const SoundFont>(SoundFont::Load(source, &error));
//   auto song = std::shared_ptr<const MidiSong>(MidiSong::Parse(bytes, size, &error));
//   Sequencer player(font, song, 44100);
//   player.Render(buffer, frames);   // interleaved stereo int16
//   player.Seek(90000);              // channel state as if played to 1:30
//   player.SetTempoPercent(150);
//
// Times (Seek, PositionMs, LengthMs) are song time as written: at a tempo
// factor of 200% the position moves two milliseconds per millisecond of
// output, and LengthMs stays what the file says. A change of tempo keeps
// the position where it is. The font and the song are read-only and may be
// shared with other sequencers on other threads; a Sequencer itself is not
// thread-safe (see synth/stream.h for the form a feeding thread uses).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "synth/midi_song.h"
#include "synth/sound_font.h"
#include "synth/synthesizer.h"

namespace cx::synth {

class Sequencer {
 public:
  static constexpr int kMinTempo = 10, kMaxTempo = 290;
  static constexpr float kDefaultGain = 0.35f;

  Sequencer(std::shared_ptr<const SoundFont> font, std::shared_ptr<const MidiSong> song,
            int outputRate = 44100, int maxVoices = Synthesizer::kDefaultVoices);

  // Writes `frames` interleaved stereo frames (always all of them; after
  // the end the voices ring out, then silence).
  void Render(int16_t* out, size_t frames);
  // Same, float samples before gain and clipping (tests, mixing).
  void RenderFloat(float* left, float* right, size_t frames);

  // Every channel's program, bank, controllers, pitch wheel and RPN set as
  // if the song had played up to ms; no note sounds until the next note-on.
  void Seek(int64_t ms);
  int64_t PositionMs() const;
  int64_t LengthMs() const { return song_->LengthMs(); }
  // The last event has been played and the position reached the length.
  // The last notes may still be releasing (synthesizer().ActiveVoices());
  // a player that stops here cuts their tails.
  bool AtEnd() const;

  // 10..290 (clamped); 100 plays as written.
  void SetTempoPercent(int percent);
  int tempoPercent() const { return tempo_; }
  // Output level: full scale is gain times the synthesizer's sum.
  void SetGain(float gain) { gain_ = gain; }

  const Synthesizer& synthesizer() const { return synth_; }
  const MidiSong& song() const { return *song_; }

 private:
  size_t FramesUntilNextEvent(size_t limit) const;
  void DispatchDue();

  std::shared_ptr<const SoundFont> font_;
  std::shared_ptr<const MidiSong> song_;
  Synthesizer synth_;
  int outputRate_;
  int tempo_ = 100;
  double usPerFrame_;
  double songUs_ = 0;
  size_t next_ = 0;  // first event not yet played
  float gain_ = kDefaultGain;
  std::vector<float> left_, right_;
};

}  // namespace cx::synth
