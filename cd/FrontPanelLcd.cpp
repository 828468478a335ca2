#include "cd/FrontPanelLcd.h"

DriverLcd::DriverLcd()
    : device_(CreateFileA(kFrontPanelDevice, 0, 0, nullptr, 0, FILE_FLAG_DELETE_ON_CLOSE, nullptr)) {
  SetTrack(0);
}

DriverLcd::~DriverLcd() { SetTrack(0); }

void DriverLcd::Send(DWORD code, uint32_t value) {
  if (!device_.IsOpen()) return;
  DWORD returned = 0;
  DeviceIoControl(device_.get(), code, &value, sizeof value, nullptr, 0, &returned, nullptr);
}

void DriverLcd::SetTrack(uint32_t track) { Send(kLcdSetTrack, track); }

void DriverLcd::SetState(uint32_t status) { Send(kLcdSetState, status); }
