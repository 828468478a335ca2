// The system's mixer functions as the device layer calls them. The program
// uses the multimedia library's own (SystemMixerApi); tests put a mixer of
// their own behind the same calls, for what no real device here offers.
#pragma once

#include <windows.h>
#include <mmsystem.h>

class MixerApi {
 public:
  virtual ~MixerApi() = default;
  virtual UINT GetNumDevs() = 0;
  virtual MMRESULT GetDevCaps(UINT device, MIXERCAPSA* caps) = 0;
  // `callback` is the window that hears of control changes (CALLBACK_WINDOW).
  virtual MMRESULT Open(HMIXER* mixer, UINT device, HWND callback) = 0;
  virtual MMRESULT Close(HMIXER mixer) = 0;
  virtual MMRESULT GetLineInfo(HMIXER mixer, MIXERLINEA* line, DWORD flags) = 0;
  virtual MMRESULT GetLineControls(HMIXER mixer, MIXERLINECONTROLSA* controls, DWORD flags) = 0;
  virtual MMRESULT GetControlDetails(HMIXER mixer, MIXERCONTROLDETAILS* details, DWORD flags) = 0;
  virtual MMRESULT SetControlDetails(HMIXER mixer, MIXERCONTROLDETAILS* details, DWORD flags) = 0;
};

// The multimedia library's mixer.
MixerApi& SystemMixerApi();
