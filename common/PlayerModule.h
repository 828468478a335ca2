// How a player module (mixer, CD, MIDI, wave) plugs into the main panel, and
// what the application offers it in return. The module describes its slot
// once (class, height, shape, window factory, device test); the panel reads
// those facts from the registration and keeps no copy of its own.
#pragma once

#include <windows.h>

#include <cstdint>

#include "common/CommandCodes.h"
#include "common/StartupOptions.h"

// Layout order: top to bottom under the panel.
enum PlayerIndex { kPlayerMixer, kPlayerCd, kPlayerMidi, kPlayerWave, kPlayerCount };

// What a player needs from the application, read when needed: the blink
// phase and the settings change while the program runs.
class PlayerHost {
 public:
  virtual ~PlayerHost() = default;
  virtual HINSTANCE Instance() const = 0;
  // Number of the registered command message.
  virtual UINT CommandMessage() const = 0;
  // Inverted at every tick of the main panel; blinking indicators follow it.
  virtual bool BlinkPhase() const = 0;
  virtual const StartupOptions& Options() const = 0;
  virtual bool IsPlayerShown(PlayerIndex player) const = 0;
  // The row of the recording format table chosen in the configuration
  // window; 0 until it is chosen, and at every start.
  virtual int RecordFormatIndex() const = 0;
};

struct PlayerModule {
  const char* className;
  int height;
  const POINT* shape;  // polygon in the player's own coordinates
  int shapePoints;
  // Creates the player's window as a hidden child of the panel; null on
  // failure. The host outlives every player window.
  HWND (*create)(const PlayerHost& host, HWND panel);
  // Whether the device the player needs exists on this machine.
  bool (*deviceExists)();
};

// The players' shown bits of the reply to the status query.
inline uint32_t ShownPlayerBits(const PlayerHost& host) {
  uint32_t bits = 0;
  if (host.IsPlayerShown(kPlayerCd)) bits |= kStatusCdShown;
  if (host.IsPlayerShown(kPlayerWave)) bits |= kStatusWaveShown;
  if (host.IsPlayerShown(kPlayerMidi)) bits |= kStatusMidiShown;
  return bits;
}
