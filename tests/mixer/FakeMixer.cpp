#include "tests/mixer/FakeMixer.h"

#include <cstring>

FakeLine& FakeMixer::AddDestination(DWORD id, const char* name, DWORD type) {
  FakeLine line;
  line.id = id;
  line.name = name;
  line.type = type;
  line.isDestination = true;
  DWORD count = 0;
  for (const FakeLine& l : lines) count += l.isDestination ? 1 : 0;
  line.destination = count;
  lines.push_back(line);
  return lines.back();
}

FakeLine& FakeMixer::AddSource(DWORD destination, DWORD id, const char* name, DWORD type, DWORD channels) {
  FakeLine line;
  line.id = id;
  line.name = name;
  line.type = type;
  line.channels = channels;
  line.destination = destination;
  for (const FakeLine& l : lines) line.source += !l.isDestination && l.destination == destination ? 1 : 0;
  lines.push_back(line);
  return lines.back();
}

FakeControl& FakeMixer::AddControl(FakeLine& line, DWORD id, DWORD type) {
  FakeControl control;
  control.id = id;
  control.type = type;
  line.controls.push_back(control);
  return line.controls.back();
}

FakeControl* FakeMixer::Control(DWORD id) {
  for (FakeLine& line : lines) {
    for (FakeControl& c : line.controls) {
      if (c.id == id) return &c;
    }
  }
  return nullptr;
}

FakeLine* FakeMixer::LineById(DWORD id) {
  for (FakeLine& line : lines) {
    if (line.id == id) return &line;
  }
  return nullptr;
}

void FakeMixer::ChangeFromOutside(DWORD controlId, DWORD first, DWORD second) {
  FakeControl* c = Control(controlId);
  if (c == nullptr) return;
  c->values[0] = first;
  c->values[1] = second;
  if (notify != nullptr) SendMessageA(notify, MM_MIXM_CONTROL_CHANGE, reinterpret_cast<WPARAM>(Handle()), controlId);
}

void FakeMixer::SelectFromOutside(DWORD controlId, size_t item) {
  FakeControl* c = Control(controlId);
  if (c == nullptr) return;
  for (size_t i = 0; i < c->selected.size(); ++i) c->selected[i] = i == item ? 1 : 0;
  if (notify != nullptr) SendMessageA(notify, MM_MIXM_CONTROL_CHANGE, reinterpret_cast<WPARAM>(Handle()), controlId);
}

MMRESULT FakeMixer::GetDevCaps(UINT device, MIXERCAPSA* caps) {
  if (device != 0) return MMSYSERR_BADDEVICEID;
  *caps = MIXERCAPSA{};
  lstrcpynA(caps->szPname, "Fake Mixer", sizeof caps->szPname);
  for (const FakeLine& l : lines) caps->cDestinations += l.isDestination ? 1 : 0;
  return MMSYSERR_NOERROR;
}

MMRESULT FakeMixer::Open(HMIXER* mixer, UINT device, HWND callback) {
  if (device != 0) return MMSYSERR_BADDEVICEID;
  *mixer = Handle();
  notify = callback;
  open = true;
  return MMSYSERR_NOERROR;
}

MMRESULT FakeMixer::Close(HMIXER mixer) {
  if (mixer != Handle() || !open) return MMSYSERR_INVALHANDLE;
  open = false;
  notify = nullptr;
  return MMSYSERR_NOERROR;
}

MMRESULT FakeMixer::GetLineInfo(HMIXER mixer, MIXERLINEA* info, DWORD flags) {
  if (mixer != Handle() || info->cbStruct != sizeof *info) return MMSYSERR_INVALPARAM;
  const FakeLine* found = nullptr;
  for (const FakeLine& l : lines) {
    switch (flags & MIXER_GETLINEINFOF_QUERYMASK) {
      case MIXER_GETLINEINFOF_DESTINATION:
        if (l.isDestination && l.destination == info->dwDestination) found = &l;
        break;
      case MIXER_GETLINEINFOF_SOURCE:
        if (!l.isDestination && l.destination == info->dwDestination && l.source == info->dwSource) found = &l;
        break;
      case MIXER_GETLINEINFOF_LINEID:
        if (l.id == info->dwLineID) found = &l;
        break;
      default:
        return MMSYSERR_NOTSUPPORTED;
    }
    if (found != nullptr) break;
  }
  if (found == nullptr) return MIXERR_INVALLINE;
  info->dwLineID = found->id;
  info->dwDestination = found->destination;
  info->dwSource = found->isDestination ? 0 : found->source;
  info->dwComponentType = found->type;
  info->cChannels = found->channels;
  info->cControls = static_cast<DWORD>(found->controls.size());
  info->cConnections = 0;
  if (found->isDestination) {
    for (const FakeLine& l : lines) info->cConnections += !l.isDestination && l.destination == found->destination;
  }
  lstrcpynA(info->szName, found->name.c_str(), sizeof info->szName);
  lstrcpynA(info->szShortName, found->name.c_str(), sizeof info->szShortName);
  return MMSYSERR_NOERROR;
}

MMRESULT FakeMixer::GetLineControls(HMIXER mixer, MIXERLINECONTROLSA* query, DWORD flags) {
  if (mixer != Handle() || (flags & MIXER_GETLINECONTROLSF_QUERYMASK) != MIXER_GETLINECONTROLSF_ONEBYTYPE ||
      query->cbmxctrl != sizeof(MIXERCONTROLA) || query->pamxctrl == nullptr) {
    return MMSYSERR_INVALPARAM;
  }
  FakeLine* line = LineById(query->dwLineID);
  if (line == nullptr) return MIXERR_INVALLINE;
  for (const FakeControl& c : line->controls) {
    if (c.type != query->dwControlType) continue;
    MIXERCONTROLA& out = *query->pamxctrl;
    out = MIXERCONTROLA{};
    out.cbStruct = sizeof out;
    out.dwControlID = c.id;
    out.dwControlType = c.type;
    out.fdwControl = (c.uniform ? MIXERCONTROL_CONTROLF_UNIFORM : 0) |
                     (c.itemLines.empty() ? 0 : MIXERCONTROL_CONTROLF_MULTIPLE);
    out.cMultipleItems = static_cast<DWORD>(c.itemLines.size());
    out.Bounds.dwMinimum = c.minimum;
    out.Bounds.dwMaximum = c.maximum;
    out.Metrics.cSteps = 100;
    return MMSYSERR_NOERROR;
  }
  return MIXERR_INVALCONTROL;
}

MMRESULT FakeMixer::Transfer(MIXERCONTROLDETAILS* details, DWORD flags, bool set) {
  FakeControl* c = Control(details->dwControlID);
  if (c == nullptr) return MIXERR_INVALCONTROL;
  if (!c->itemLines.empty()) {
    if (details->cMultipleItems != c->itemLines.size()) return MMSYSERR_INVALPARAM;
    if ((flags & MIXER_GETCONTROLDETAILSF_QUERYMASK) == MIXER_GETCONTROLDETAILSF_LISTTEXT) {
      if (set || details->cbDetails != sizeof(MIXERCONTROLDETAILS_LISTTEXTA)) return MMSYSERR_INVALPARAM;
      auto* texts = static_cast<MIXERCONTROLDETAILS_LISTTEXTA*>(details->paDetails);
      for (size_t i = 0; i < c->itemLines.size(); ++i) {
        texts[i] = MIXERCONTROLDETAILS_LISTTEXTA{};
        texts[i].dwParam1 = c->itemLines[i];
        wsprintfA(texts[i].szName, "item %u", static_cast<unsigned>(i));
      }
      return MMSYSERR_NOERROR;
    }
    // The values are 4-byte booleans: a smaller element is refused here,
    // where a driver would write past it.
    if (details->cbDetails < sizeof(MIXERCONTROLDETAILS_BOOLEAN)) return MMSYSERR_INVALPARAM;
    auto* values = static_cast<MIXERCONTROLDETAILS_BOOLEAN*>(details->paDetails);
    for (size_t i = 0; i < c->selected.size(); ++i) {
      if (set) {
        c->selected[i] = values[i].fValue;
      } else {
        values[i].fValue = c->selected[i];
      }
    }
    return MMSYSERR_NOERROR;
  }
  if (details->cbDetails != sizeof(DWORD) || details->cChannels == 0 || details->cChannels > 2) {
    return MMSYSERR_INVALPARAM;
  }
  auto* values = static_cast<DWORD*>(details->paDetails);
  const DWORD count = c->uniform || c->type == MIXERCONTROL_CONTROLTYPE_MUTE ? 1 : details->cChannels;
  for (DWORD i = 0; i < count; ++i) {
    if (set) {
      c->values[i] = values[i];
    } else {
      values[i] = c->values[i];
    }
  }
  return MMSYSERR_NOERROR;
}

MMRESULT FakeMixer::GetControlDetails(HMIXER mixer, MIXERCONTROLDETAILS* details, DWORD flags) {
  if (mixer != Handle()) return MMSYSERR_INVALHANDLE;
  return Transfer(details, flags, false);
}

MMRESULT FakeMixer::SetControlDetails(HMIXER mixer, MIXERCONTROLDETAILS* details, DWORD flags) {
  if (mixer != Handle()) return MMSYSERR_INVALHANDLE;
  ++setCalls;
  return Transfer(details, flags, true);
}
