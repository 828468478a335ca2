#include "mixer/MixerApi.h"

namespace {

HMIXEROBJ Object(HMIXER mixer) { return reinterpret_cast<HMIXEROBJ>(mixer); }

class SystemMixer : public MixerApi {
 public:
  UINT GetNumDevs() override { return mixerGetNumDevs(); }
  MMRESULT GetDevCaps(UINT device, MIXERCAPSA* caps) override {
    return mixerGetDevCapsA(device, caps, sizeof *caps);
  }
  MMRESULT Open(HMIXER* mixer, UINT device, HWND callback) override {
    return mixerOpen(mixer, device, reinterpret_cast<DWORD_PTR>(callback), 0, CALLBACK_WINDOW);
  }
  MMRESULT Close(HMIXER mixer) override { return mixerClose(mixer); }
  MMRESULT GetLineInfo(HMIXER mixer, MIXERLINEA* line, DWORD flags) override {
    return mixerGetLineInfoA(Object(mixer), line, flags | MIXER_OBJECTF_HMIXER);
  }
  MMRESULT GetLineControls(HMIXER mixer, MIXERLINECONTROLSA* controls, DWORD flags) override {
    return mixerGetLineControlsA(Object(mixer), controls, flags | MIXER_OBJECTF_HMIXER);
  }
  MMRESULT GetControlDetails(HMIXER mixer, MIXERCONTROLDETAILS* details, DWORD flags) override {
    return mixerGetControlDetailsA(Object(mixer), details, flags | MIXER_OBJECTF_HMIXER);
  }
  MMRESULT SetControlDetails(HMIXER mixer, MIXERCONTROLDETAILS* details, DWORD flags) override {
    return mixerSetControlDetails(Object(mixer), details, flags | MIXER_OBJECTF_HMIXER);
  }
};

}  // namespace

MixerApi& SystemMixerApi() {
  static SystemMixer mixer;
  return mixer;
}
