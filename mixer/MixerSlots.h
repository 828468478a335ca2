// Which column of the mixer window shows a source line: by the line's name
// first, then by its component type. Playback and record have their own
// name tables; the type fallback is shared.
#pragma once

#include <cstdint>

namespace mixer {

constexpr int kSlotCount = 10;  // slot 0 is the master of its side
constexpr int kNoSlot = -1;

enum class Side { kPlayback, kRecord };

// Source component types of the system's mixer lines.
enum SourceType : uint32_t {
  kSourceUndefined = 0x1000,
  kSourceLine = 0x1002,
  kSourceMicrophone = 0x1003,
  kSourceSynthesizer = 0x1004,
  kSourceCompactDisc = 0x1005,
  kSourceTelephone = 0x1006,
  kSourceWaveOut = 0x1008,
  kSourceAuxiliary = 0x1009,
  kSourceAnalog = 0x100A,
};

// 1..9, or kNoSlot for a line the window shows no column for. A null or
// empty name matches no name.
int SlotForLine(Side side, const char* name, uint32_t componentType);

}  // namespace mixer
