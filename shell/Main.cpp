#include "cd/CdPlayerWindow.h"
#include "media/PlayListWindow.h"
#include "midi/MidiPlayerWindow.h"
#include "mixer/MixerWindow.h"
#include "shell/App.h"
#include "shell/MainPanel.h"
#include "shell/Settings.h"
#include "waveplayer/WavePlayerWindow.h"

namespace {

// The list-file dialogs open in the program's folder.
bool ReadProgramFolder(char* folder, DWORD capacity) {
  return ReadSettingText("Application Path", folder, capacity);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showMode) {
  // The player modules plug into the main panel before it starts, and every
  // player's list gets its playlist window from the same creator.
  RegisterPlayerModule(kPlayerMixer, &MixerModule());
  RegisterPlayerModule(kPlayerCd, &CdPlayerModule());
  RegisterPlayerModule(kPlayerMidi, &MidiPlayerModule());
  RegisterPlayerModule(kPlayerWave, &WavePlayerModule());
  InstallPlayListWindow(instance, ReadProgramFolder);
  return RunCantorix(instance, commandLine, showMode);
}
