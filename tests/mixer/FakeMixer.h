// A mixer behind the device layer's interface, for what Wine's mixer cannot
// show: several sources, a record destination with a source selector,
// stereo and odd ranges, and changes made by another program, which it
// announces to the opener as the system does (MM_MIXM_CONTROL_CHANGE).
// Like Wine's, a uniform control answers one value however many are asked.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <string>
#include <vector>

#include "mixer/MixerApi.h"

struct FakeControl {
  DWORD id = 0;
  DWORD type = 0;
  DWORD minimum = 0;
  DWORD maximum = 65535;
  bool uniform = false;
  DWORD values[2] = {};              // volume: left, right; mute: [0]
  std::vector<DWORD> itemLines;      // selector: the line id of each item
  std::vector<LONG> selected;        // selector: one boolean per item
};

struct FakeLine {
  DWORD id = 0;
  std::string name;
  DWORD type = 0;
  DWORD channels = 2;
  DWORD destination = 0;
  DWORD source = 0;
  bool isDestination = false;
  std::vector<FakeControl> controls;
};

class FakeMixer : public MixerApi {
 public:
  std::vector<FakeLine> lines;  // destinations and sources
  HWND notify = nullptr;
  int setCalls = 0;

  FakeLine& AddDestination(DWORD id, const char* name, DWORD type);
  FakeLine& AddSource(DWORD destination, DWORD id, const char* name, DWORD type, DWORD channels);
  FakeControl& AddControl(FakeLine& line, DWORD id, DWORD type);
  FakeControl* Control(DWORD id);
  // Another program changes a control: the opener hears of it.
  void ChangeFromOutside(DWORD controlId, DWORD first, DWORD second = 0);
  void SelectFromOutside(DWORD controlId, size_t item);

  UINT GetNumDevs() override { return 1; }
  MMRESULT GetDevCaps(UINT device, MIXERCAPSA* caps) override;
  MMRESULT Open(HMIXER* mixer, UINT device, HWND callback) override;
  MMRESULT Close(HMIXER mixer) override;
  MMRESULT GetLineInfo(HMIXER mixer, MIXERLINEA* line, DWORD flags) override;
  MMRESULT GetLineControls(HMIXER mixer, MIXERLINECONTROLSA* controls, DWORD flags) override;
  MMRESULT GetControlDetails(HMIXER mixer, MIXERCONTROLDETAILS* details, DWORD flags) override;
  MMRESULT SetControlDetails(HMIXER mixer, MIXERCONTROLDETAILS* details, DWORD flags) override;

  static HMIXER Handle() { return reinterpret_cast<HMIXER>(static_cast<INT_PTR>(0x4D58)); }
  bool open = false;

 private:
  FakeLine* LineById(DWORD id);
  MMRESULT Transfer(MIXERCONTROLDETAILS* details, DWORD flags, bool set);
};
