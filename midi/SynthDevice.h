// The MIDI player's device when the built-in synthesizer plays: a MIDI file
// rendered with a SoundFont on the output's feeding thread, into the wave
// output device. It answers the engine as the MCI sequencer does (times in
// milliseconds, the tempo in the sequencer's terms, a device id in its end
// notice), so the engine and the window do not know which one plays.
#pragma once

#include <windows.h>

#include <memory>

#include "audio/AudioOutput.h"
#include "cd/MciDevice.h"
#include "synth/sound_font.h"
#include "synth/stream.h"

// Posted to the notify window when a file has played to its end.
constexpr UINT kMsgSynthEnded = WM_USER + 40;

// The tempo a file has at 100% in the sequencer's terms; FAST and SLOW move
// it in steps of 10 within 10..290 as they do the sequencer's.
constexpr long kSynthNominalTempo = 120;

class SynthSource;

class SynthDevice : public MciDevice {
 public:
  SynthDevice(HWND notify, std::shared_ptr<const cx::synth::SoundFont> font);
  ~SynthDevice() override;

  bool Open(const char* path) override;
  bool Close() override;
  bool Play() override;
  bool Pause() override;
  bool Stop() override;
  bool Seek(uint32_t to) override;
  uint32_t Position() override;
  uint32_t Mode() override;
  bool IsPlaying() override;
  uint32_t Length() override;
  bool Forward(uint32_t step) override;
  bool Back(uint32_t step) override;
  bool SetTempo(uint32_t tempo) override;
  long GetTempo() override;
  MCIDEVICEID id() const override { return id_; }
  bool PlayedToTheEnd() override;
  // Where rendering stands: ahead of Position (what is heard) by what the
  // output holds (for tests).
  uint32_t RenderedMs();

 private:
  bool SeekTo(int64_t ms);
  void DropOutput();

  HWND notify_;
  std::shared_ptr<const cx::synth::SoundFont> font_;
  std::unique_ptr<cx::synth::SynthStream> stream_;
  std::unique_ptr<SynthSource> source_;
  std::unique_ptr<AudioOutput> output_;
  MCIDEVICEID id_ = 0;
  bool playing_ = false;
  bool paused_ = false;
  long tempo_ = kSynthNominalTempo;
};
