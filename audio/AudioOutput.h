// The output a player streams one file at a time through, whichever device
// is behind it: the wave output device or a DirectSound stream. The player
// holds one of these and never asks which kind it is; where the two devices
// really behave differently (seeking while playing, 3D sound) the output
// itself takes care of it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "audio/MediaSource.h"

class AudioOutput {
 public:
  virtual ~AudioOutput() = default;

  // Readies the device for `source` (not started); its end is announced by
  // posting `message` to `window`, wParam = EndGeneration(). False leaves
  // the output closed.
  virtual bool Open(MediaSource* source, HWND window, UINT message) = 0;
  // Stops and lets the source go; no end notice follows. Safe when closed.
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  virtual bool IsPlaying() const = 0;
  virtual bool IsPaused() const = 0;
  // Starts playing, or resumes a pause; true when it plays afterwards.
  virtual bool Start() = 0;
  virtual bool Pause() = 0;
  // Ends playback at once, discarding what the device holds.
  virtual void Stop() = 0;
  // Moves the open source to `ms`; what the device holds from the old place
  // is dropped, so the next thing heard (and shown) comes from there. A
  // playing output plays on; a paused one stays silent until Start.
  virtual void SeekTo(uint32_t ms) = 0;
  // SeekTo `deltaMs` from what is heard now, not before the start.
  void SeekBy(int32_t deltaMs);
  // The stream position (ms) of what the device plays now. The source has
  // been read ahead of it by what the device holds (up to two seconds);
  // before a start, and after a stop, it is the source's own position.
  virtual uint32_t HeardMs() = 0;
  // Commands 5020 and 5021 on the 3D sound of what plays; false where the
  // device has no 3D sound.
  virtual bool Handle3D(uint16_t code, uint32_t groupMask) = 0;
  // The generation (wParam) that the end notice of what plays now will
  // carry; 0 when none is awaited. A notice with any other is stale.
  virtual uint32_t EndGeneration() const = 0;
  // True for DirectSound: the player's button sets differ for it.
  virtual bool IsDirectSound() const = 0;
};

// DirectSound for `window` when `tryDirectSound` and it can be set up, else
// the wave output device; null only when nothing could be made.
std::unique_ptr<AudioOutput> MakeAudioOutput(HWND window, bool tryDirectSound);
