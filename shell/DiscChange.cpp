#include "shell/DiscChange.h"

#include <dbt.h>

#include "media/DiscList.h"
#include "media/MediaKind.h"
#include "shell/App.h"
#include "common/CommandCodes.h"
#include "shell/MainPanel.h"
#include "common/PathLimits.h"

namespace {

bool DriveIsCdRom(int drive) {
  char root[] = "A:\\";
  root[0] = static_cast<char>('A' + drive);
  return GetDriveTypeA(root) == DRIVE_CDROM;
}

// Whether the disc now in the drive has a list stored for the wave player.
bool DiscHasStoredList(int drive) {
  char root[] = "A:\\";
  root[0] = static_cast<char>('A' + drive);
  char list[kPathCapacity];
  return FindDiscList(VolumeSerial(root), kWavePlayerKinds, list, sizeof list);
}

CdDriveTest gCdDriveTest = DriveIsCdRom;
DiscListLookup gDiscListLookup = DiscHasStoredList;

int LowestDrive(DWORD unitMask) {
  for (int drive = 0; drive < 26; ++drive) {
    if (unitMask & (1u << drive)) return drive;
  }
  return -1;
}

HWND ShownWindow(PlayerIndex player) {
  const PlayerSlot& slot = PlayerSlotOf(player);
  return slot.shown ? slot.window : nullptr;
}

void OnDiscRemoved(int drive) {
  if (HWND cd = ShownWindow(kPlayerCd)) PostMessageA(cd, kMsgDiscChange, 0, drive);
  if (HWND wave = ShownWindow(kPlayerWave)) SendMessageA(wave, kMsgDiscChange, 0, drive);
}

void OnDiscArrived(HWND panel, int drive) {
  if (gApp.options.canAutoPlayCd != 0) OpenPlayer(panel, kPlayerCd);
  if (HWND cd = ShownWindow(kPlayerCd)) PostMessageA(cd, kMsgDiscChange, 1, drive);
  if (gApp.options.canAutoPlayMp3List != 0 && gDiscListLookup(drive)) {
    OpenPlayer(panel, kPlayerWave);
    if (HWND wave = ShownWindow(kPlayerWave)) PostMessageA(wave, kMsgDiscChange, 1, drive);
  }
}

}  // namespace

void SetCdDriveTest(CdDriveTest test) { gCdDriveTest = test != nullptr ? test : DriveIsCdRom; }

void SetDiscListLookup(DiscListLookup lookup) {
  gDiscListLookup = lookup != nullptr ? lookup : DiscHasStoredList;
}

LRESULT HandleDeviceChange(HWND panel, WPARAM event, LPARAM data) {
  if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) return 1;
  const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
  if (header == nullptr || header->dbch_devicetype != DBT_DEVTYP_VOLUME) return 1;
  const auto* volume = reinterpret_cast<const DEV_BROADCAST_VOLUME*>(data);
  if ((volume->dbcv_flags & DBTF_MEDIA) == 0) return 1;
  int drive = LowestDrive(volume->dbcv_unitmask);
  if (drive < 0 || !gCdDriveTest(drive)) return 1;
  if (event == DBT_DEVICEREMOVECOMPLETE) {
    OnDiscRemoved(drive);
  } else {
    OnDiscArrived(panel, drive);
  }
  return 1;
}
