// The optional front-panel LCD: a device driver outside this program that
// is told the current track number and the play state. Without the driver
// every call is skipped.
#pragma once

#include <cstdint>

#include "common/Win32Handles.h"

class FrontPanelLcd {
 public:
  virtual ~FrontPanelLcd() = default;
  virtual void SetTrack(uint32_t track) = 0;
  // The CD player's status bits: 1 playing, 2 stopped, 4 paused, 8 no disc.
  virtual void SetState(uint32_t status) = 0;
};

constexpr char kFrontPanelDevice[] = "\\\\.\\FRONTLCD.VXD";
constexpr DWORD kLcdSetTrack = 0x101;
constexpr DWORD kLcdSetState = 0x102;

// The real one: opens the driver's device when made, tells it track 0 and
// lets go of it when destroyed.
class DriverLcd final : public FrontPanelLcd {
 public:
  DriverLcd();
  ~DriverLcd() override;
  DriverLcd(const DriverLcd&) = delete;
  DriverLcd& operator=(const DriverLcd&) = delete;
  bool present() const { return device_.IsOpen(); }
  void SetTrack(uint32_t track) override;
  void SetState(uint32_t status) override;

 private:
  void Send(DWORD code, uint32_t value);
  UniqueHandle device_;
};
