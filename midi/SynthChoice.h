// Which device plays MIDI files: the system's MIDI output through the MCI
// sequencer, or the built-in synthesizer with a SoundFont. The synthesizer
// plays where the system has no MIDI output device, or where the setting
// "MidiOutput" (DWORD: 0 automatic, 1 the system's device, 2 the
// synthesizer) asks for it. The SoundFont is the file the string value
// "SoundFont" names, else the first ".sf2" file beside the program.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "midi/MidiEngine.h"
#include "synth/sound_font.h"

enum class MidiOutputChoice : DWORD { kAutomatic = 0, kSystemDevice = 1, kSynthesizer = 2 };

constexpr char kSoundFontFailedText[] =
    "The SoundFont for MIDI files could not be loaded. MIDI files cannot be played.";

MidiOutputChoice StoredMidiOutputChoice();
// The SoundFont's path; empty when none is set and none lies beside the program.
std::string SoundFontPath();
// Loaded once for the program's life and shared by every file; null when
// there is none or it is damaged (said once, in a box owned by `owner`).
std::shared_ptr<const cx::synth::SoundFont> SharedSoundFont(HWND owner);
bool SynthesizerChosen();
// The MIDI player's device test: a MIDI output device or a usable SoundFont.
bool MidiPlaybackAvailable();
// The engine's device factory: null for the MCI sequencer.
MidiDeviceFactory ChosenMidiDeviceFactory();
