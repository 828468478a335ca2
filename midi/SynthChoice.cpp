#include "midi/SynthChoice.h"

#include <mmsystem.h>

#include <cstring>

#include "codec/byte_source.h"
#include "common/ErrorBox.h"
#include "common/SettingsKey.h"
#include "common/Win32Handles.h"
#include "midi/SynthDevice.h"
#include "common/PathLimits.h"

namespace {

bool ReadSetting(const char* name, DWORD type, void* data, DWORD size) {
  return ReadProgramSetting(name, type, data, &size);
}

std::string ProgramFolder() {
  char path[kPathCapacity] = {};  // UTF-8
  const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  if (n == 0 || n >= sizeof path) return std::string();
  char* slash = std::strrchr(path, '\\');
  if (slash == nullptr) return std::string();
  slash[1] = '\0';
  return path;
}

}  // namespace

MidiOutputChoice StoredMidiOutputChoice() {
  DWORD value = 0;
  if (!ReadSetting("MidiOutput", REG_DWORD, &value, sizeof value) || value > 2) return MidiOutputChoice::kAutomatic;
  return static_cast<MidiOutputChoice>(value);
}

std::string SoundFontPath() {
  char path[kPathCapacity + 1] = {};
  if (ReadSetting("SoundFont", REG_SZ, path, kPathCapacity) && path[0] != '\0') {
    path[kPathCapacity] = '\0';
    return path;
  }
  const std::string folder = ProgramFolder();
  if (folder.empty()) return std::string();
  WIN32_FIND_DATAA found = {};
  ScopedFind find(FindFirstFileA((folder + "*.sf2").c_str(), &found));
  if (!find.IsOpen()) return std::string();
  return folder + found.cFileName;
}

std::shared_ptr<const cx::synth::SoundFont> SharedSoundFont(HWND owner) {
  static bool tried = false;
  static std::shared_ptr<const cx::synth::SoundFont> font;
  if (tried) return font;
  tried = true;
  const std::string path = SoundFontPath();
  if (path.empty()) return nullptr;  // none at all: as without a device, nothing to say
  std::string error;
  std::unique_ptr<cx::codec::ByteSource> bytes = cx::codec::FileByteSource::Open(path);
  if (bytes) font = cx::synth::SoundFont::Load(*bytes, &error);
  if (!font) ShowErrorBox(owner, kSoundFontFailedText);
  return font;
}

bool SynthesizerChosen() {
  switch (StoredMidiOutputChoice()) {
    case MidiOutputChoice::kSystemDevice: return false;
    case MidiOutputChoice::kSynthesizer: return true;
    default: return midiOutGetNumDevs() == 0;
  }
}

bool MidiPlaybackAvailable() {
  if (!SynthesizerChosen()) return midiOutGetNumDevs() > 0;
  return SharedSoundFont(nullptr) != nullptr;
}

MidiDeviceFactory ChosenMidiDeviceFactory() {
  if (!SynthesizerChosen()) return nullptr;
  return [](HWND notify) -> std::unique_ptr<MciDevice> {
    std::shared_ptr<const cx::synth::SoundFont> font = SharedSoundFont(notify);
    if (!font) return nullptr;
    return std::unique_ptr<MciDevice>(new (std::nothrow) SynthDevice(notify, font));
  };
}
