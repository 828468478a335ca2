#include "mixer/MixerSwitch.h"

#include "resources/ResourceIds.h"
#include "skin/DibButton.h"

void ShowSwitchImage(HWND button, bool on) {
  if (button == nullptr) return;
  const int image = on ? kMixerMuteOn : kMixerMuteOff;
  if (GetWindowLongPtrA(button, GWLP_USERDATA) == image) return;
  if (SetPictureImage(button, MAKEINTRESOURCEA(image))) SetWindowLongPtrA(button, GWLP_USERDATA, image);
}

bool SwitchShowsOn(HWND button) {
  return button != nullptr && GetWindowLongPtrA(button, GWLP_USERDATA) == kMixerMuteOn;
}
