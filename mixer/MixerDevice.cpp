#include "mixer/MixerDevice.h"

#include <memory>
#include <new>

#include "mixer/MixerScale.h"
#include "mixer/MixerSwitch.h"

namespace {

constexpr DWORD kSpeakersType = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
constexpr DWORD kRecordType = MIXERLINE_COMPONENTTYPE_DST_WAVEIN;

MIXERLINEA EmptyLine() {
  MIXERLINEA line = {};
  line.cbStruct = sizeof line;
  return line;
}

}  // namespace

// ---- device ----

MixerDevice::~MixerDevice() {
  if (handle_ != nullptr) api_.Close(handle_);
}

bool MixerDevice::Open(HWND window) {
  if (handle_ != nullptr || window == nullptr || api_.GetNumDevs() == 0) return false;
  if (api_.GetDevCaps(0, &caps_) != MMSYSERR_NOERROR) return false;
  HMIXER handle = nullptr;
  if (api_.Open(&handle, 0, window) != MMSYSERR_NOERROR || handle == nullptr) return false;
  handle_ = handle;
  window_ = window;
  for (DWORD d = 0; d < caps_.cDestinations; ++d) {
    MIXERLINEA line = EmptyLine();
    line.dwDestination = d;
    if (api_.GetLineInfo(handle_, &line, MIXER_GETLINEINFOF_DESTINATION) != MMSYSERR_NOERROR) continue;
    MixerDestination* destination = line.dwComponentType == kSpeakersType ? &speakers_
                                    : line.dwComponentType == kRecordType  ? &record_
                                                                           : nullptr;
    if (destination == nullptr || destination->found) continue;
    *destination = MixerDestination{true, line.dwLineID, line.cConnections};
  }
  return true;
}

bool MixerDevice::ForEachLine(const MixerDestination& destination, const LineVisitor& visit) const {
  if (handle_ == nullptr || !destination.found || destination.sources == 0) return false;
  MIXERLINEA line = EmptyLine();
  line.dwLineID = destination.lineId;
  if (api_.GetLineInfo(handle_, &line, MIXER_GETLINEINFOF_LINEID) != MMSYSERR_NOERROR) return false;
  if (!visit(line)) return true;
  const DWORD index = line.dwDestination;
  for (DWORD s = 0; s < destination.sources; ++s) {
    MIXERLINEA source = EmptyLine();
    source.dwDestination = index;
    source.dwSource = s;
    if (api_.GetLineInfo(handle_, &source, MIXER_GETLINEINFOF_SOURCE) != MMSYSERR_NOERROR) return false;
    if (!visit(source)) return true;
  }
  return true;
}

// ---- controls ----

bool MixerControl::FindControl(DWORD lineId, DWORD type) {
  if (mixer_ == nullptr) return false;
  MIXERCONTROLA control = {};
  control.cbStruct = sizeof control;
  MIXERLINECONTROLSA query = {};
  query.cbStruct = sizeof query;
  query.dwLineID = lineId;
  query.dwControlType = type;
  query.cControls = 1;
  query.cbmxctrl = sizeof control;
  query.pamxctrl = &control;
  if (api_.GetLineControls(mixer_, &query, MIXER_GETLINECONTROLSF_ONEBYTYPE) != MMSYSERR_NOERROR) {
    return false;
  }
  control_ = control;
  lineId_ = lineId;
  attached_ = true;
  return true;
}

bool MixerControl::Details(bool set, DWORD channels, DWORD items, DWORD size, void* values, DWORD flags) {
  if (!attached_) return false;
  MIXERCONTROLDETAILS details = {};
  details.cbStruct = sizeof details;
  details.dwControlID = control_.dwControlID;
  details.cChannels = channels;
  details.cMultipleItems = items;
  details.cbDetails = size;
  details.paDetails = values;
  MMRESULT result = set ? api_.SetControlDetails(mixer_, &details, flags | MIXER_SETCONTROLDETAILSF_VALUE)
                        : api_.GetControlDetails(mixer_, &details, flags);
  return result == MMSYSERR_NOERROR;
}

bool MuteControl::Attach(DWORD lineId) {
  if (!FindControl(lineId, MIXERCONTROL_CONTROLTYPE_MUTE)) return false;
  Read();
  return true;
}

bool MuteControl::Read() {
  MIXERCONTROLDETAILS_BOOLEAN value = {};
  if (!Details(false, 1, 0, sizeof value, &value, MIXER_GETCONTROLDETAILSF_VALUE)) return false;
  muted_ = value.fValue != 0;
  return true;
}

bool MuteControl::Write(bool muted) {
  MIXERCONTROLDETAILS_BOOLEAN value = {muted ? 1 : 0};
  if (!Details(true, 1, 0, sizeof value, &value)) return false;
  muted_ = muted;
  return true;
}

bool VolumeControl::Attach(DWORD lineId) {
  if (mixer_ == nullptr) return false;
  MIXERLINEA line = EmptyLine();
  line.dwLineID = lineId;
  if (api_.GetLineInfo(mixer_, &line, MIXER_GETLINEINFOF_LINEID) != MMSYSERR_NOERROR) return false;
  if (!FindControl(lineId, MIXERCONTROL_CONTROLTYPE_VOLUME)) return false;
  minimum_ = control_.Bounds.dwMinimum;
  span_ = control_.Bounds.dwMaximum > minimum_ ? control_.Bounds.dwMaximum - minimum_ : 0;
  steps_ = control_.Metrics.cSteps;
  // A uniform control answers one value and leaves a second untouched.
  const bool uniform = (control_.fdwControl & MIXERCONTROL_CONTROLF_UNIFORM) != 0;
  valueCount_ = uniform || line.cChannels < 2 ? 1 : 2;
  return true;
}

bool VolumeControl::Read() {
  MIXERCONTROLDETAILS_UNSIGNED values[2] = {};
  if (!Details(false, valueCount_, 0, sizeof values[0], values, MIXER_GETCONTROLDETAILSF_VALUE)) return false;
  auto level = [this](DWORD raw) {
    const uint32_t above = raw > minimum_ ? raw - minimum_ : 0;
    return above > span_ ? span_ : above;
  };
  left_ = level(values[0].dwValue);
  right_ = valueCount_ == 2 ? level(values[1].dwValue) : left_;
  if (uint64_t{left_} + right_ != 0) {
    balance_ = mixer::BalanceOf(left_, right_, balance_);
    exactBalance_ = right_ * 100.0 / (static_cast<double>(left_) + right_);
  }
  return true;
}

bool VolumeControl::Write(uint32_t left, uint32_t right) {
  if (left > span_) left = span_;
  if (right > span_) right = span_;
  if (valueCount_ == 1) left = right = left > right ? left : right;
  MIXERCONTROLDETAILS_UNSIGNED values[2] = {{minimum_ + left}, {minimum_ + right}};
  if (!Details(true, valueCount_, 0, sizeof values[0], values)) return false;
  left_ = left;
  right_ = right;
  balance_ = mixer::BalanceOf(left_, right_, 50);
  return true;
}

// ---- source selector ----

bool SourceSelector::Attach(DWORD recordLineId) {
  if (!FindControl(recordLineId, MIXERCONTROL_CONTROLTYPE_MUX)) return false;
  const DWORD count = control_.cMultipleItems;
  items_.assign(count, Item{});
  selected_.assign(count, MIXERCONTROLDETAILS_BOOLEAN{});
  if (count == 0) return true;
  std::unique_ptr<MIXERCONTROLDETAILS_LISTTEXTA[]> texts(new (std::nothrow) MIXERCONTROLDETAILS_LISTTEXTA[count]);
  // Without the list the items are taken in source order.
  if (!texts) return true;
  if (Details(false, 1, count, sizeof texts[0], texts.get(), MIXER_GETCONTROLDETAILSF_LISTTEXT)) {
    for (DWORD i = 0; i < count; ++i) {
      items_[i].lineId = texts[i].dwParam1;
      items_[i].lineKnown = true;
    }
  }
  return true;
}

bool SourceSelector::Bind(DWORD sourceIndex, int slot, HWND button, DWORD lineId) {
  if (!attached_ || sourceIndex >= items_.size() || slot < 0 || slot >= mixer::kSlotCount) return false;
  DWORD item = sourceIndex;
  for (DWORD i = 0; i < items_.size(); ++i) {
    if (items_[i].lineKnown && items_[i].lineId == lineId) {
      item = i;
      break;
    }
  }
  items_[item].slot = slot;
  items_[item].button = button;
  slotItem_[slot] = static_cast<int>(item);
  return true;
}

bool SourceSelector::ReadSelection() {
  if (selected_.empty()) return false;
  return Details(false, 1, itemCount(), sizeof selected_[0], selected_.data(), MIXER_GETCONTROLDETAILSF_VALUE);
}

bool SourceSelector::Select(DWORD item) {
  if (item >= selected_.size()) return false;
  for (MIXERCONTROLDETAILS_BOOLEAN& value : selected_) value.fValue = 0;
  selected_[item].fValue = 1;
  return Details(true, 1, itemCount(), sizeof selected_[0], selected_.data());
}

int SourceSelector::SelectedItem() const {
  for (size_t i = 0; i < selected_.size(); ++i) {
    if (selected_[i].fValue != 0) return static_cast<int>(i);
  }
  return -1;
}

void SourceSelector::ShowButtons(int selected) const {
  for (size_t i = 0; i < items_.size(); ++i) ShowSwitchImage(items_[i].button, static_cast<int>(i) == selected);
}

bool SourceSelector::SelectSlot(int slot) {
  if (slot < 0 || slot >= mixer::kSlotCount || slotItem_[slot] < 0) return false;
  const int item = slotItem_[slot];
  if (!Select(static_cast<DWORD>(item))) return false;
  ShowButtons(item);
  return true;
}

bool SourceSelector::RefreshButtons() {
  if (!ReadSelection()) return false;
  const int item = SelectedItem();
  if (item >= 0) ShowButtons(item);
  return true;
}

bool SourceSelector::OnControlChange(DWORD controlId) {
  if (!Owns(controlId)) return false;
  RefreshButtons();
  return true;
}
