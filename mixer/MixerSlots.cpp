#include "mixer/MixerSlots.h"

#include <cstring>
#include <initializer_list>

namespace mixer {
namespace {

// Row k names slot k + 1; the second table holds the names other drivers
// use for the same lines (null: none).
struct NameRow {
  const char* first;
  const char* second;
};

const NameRow kPlaybackNames[kSlotCount - 1] = {
    {"Wave", "StereoMix"},      {"Wavetable", "Music"}, {"CD Audio", "CD Player"},
    {"Microphone", "Microphone"}, {"Line Out", "LineInput"}, {"Aux", "AUX"},
    {"Video", nullptr},         {"Phone", "PHONE"},     {"PC Beep", nullptr},
};

const NameRow kRecordNames[kSlotCount - 1] = {
    {"StereoMix", "StereoMix"}, {"MonoMix", nullptr}, {"CD Audio", "CD Player"},
    {"Microphone", "Microphone"}, {"Line In", "LineInput"}, {"Aux", "AUX"},
    {"Video", nullptr},         {"Phone", "PHONE"},   {"I2S", "I2S"},
};

struct TypeSlot {
  uint32_t type;
  int slot;
};

const TypeSlot kTypeSlots[] = {
    {kSourceWaveOut, 1},    {kSourceAnalog, 7},      {kSourceAuxiliary, 6},
    {kSourceCompactDisc, 3}, {kSourceLine, 5},       {kSourceMicrophone, 4},
    {kSourceSynthesizer, 2}, {kSourceTelephone, 8},  {kSourceUndefined, 9},
};

int SlotByName(const NameRow (&rows)[kSlotCount - 1], const char* name, bool second) {
  for (int k = 0; k < kSlotCount - 1; ++k) {
    const char* candidate = second ? rows[k].second : rows[k].first;
    if (candidate != nullptr && std::strcmp(candidate, name) == 0) return k + 1;
  }
  return kNoSlot;
}

}  // namespace

int SlotForLine(Side side, const char* name, uint32_t componentType) {
  if (name != nullptr && name[0] != '\0') {
    const auto& rows = side == Side::kPlayback ? kPlaybackNames : kRecordNames;
    for (bool second : {false, true}) {
      const int slot = SlotByName(rows, name, second);
      if (slot != kNoSlot) return slot;
    }
  }
  for (const TypeSlot& t : kTypeSlots) {
    if (t.type == componentType) return t.slot;
  }
  return kNoSlot;
}

}  // namespace mixer
