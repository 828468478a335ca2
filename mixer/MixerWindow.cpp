#include "mixer/MixerWindow.h"

#include <initializer_list>
#include <memory>
#include <new>

#include "common/CommandCodes.h"
#include "common/Win32Handles.h"
#include "common/WindowClass.h"
#include "mixer/MixerDevice.h"
#include "mixer/MixerLayout.h"
#include "mixer/MixerScale.h"
#include "mixer/MixerSwitch.h"
#include "skin/DibButton.h"
#include "skin/SkinControls.h"
#include "skin/SkinPalette.h"
#include "skin/SkinScale.h"

using mixer::Side;

namespace {

// A column's volume: fader, balance (stereo lines only), two level bars.
struct ChannelStrip {
  HWND fader = nullptr;
  HWND balance = nullptr;
  HWND barLeft = nullptr;
  HWND barRight = nullptr;
  int faderId = 0;
  int balanceId = 0;
  std::unique_ptr<VolumeControl> volume;
};

struct MixerColumn {
  HWND button = nullptr;
  std::unique_ptr<MuteControl> mute;  // record side: none while the selector is used
  std::unique_ptr<ChannelStrip> strip;
};

struct MixerState {
  const PlayerHost* host = nullptr;
  MixerApi* api = nullptr;
  HINSTANCE instance = nullptr;
  std::unique_ptr<MixerDevice> device;
  MixerColumn columns[2][mixer::kSlotCount];
  std::unique_ptr<SourceSelector> selector;  // only while the record side uses it
  int page = kPagePlayback;
};

struct MixerCreation {
  const PlayerHost* host;
  MixerApi* api;
};

MixerState* StateOf(HWND window) {
  return reinterpret_cast<MixerState*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

MixerColumn* Columns(MixerState& state, Side side) { return state.columns[side == Side::kPlayback ? 0 : 1]; }

UINT CommandMessageOf(const MixerState& state) {
  return state.host != nullptr ? state.host->CommandMessage() : 0;
}

// ---- strips ----

void ShowLevels(const ChannelStrip& strip) {
  const VolumeControl& v = *strip.volume;
  SendMessageA(strip.barLeft, kMsgSetLevel, mixer::LevelToPercent(v.left(), v.span()), 0);
  SendMessageA(strip.barRight, kMsgSetLevel, mixer::LevelToPercent(v.right(), v.span()), 0);
}

void RefreshStrip(const ChannelStrip& strip) {
  VolumeControl& v = *strip.volume;
  if (!v.Read()) return;
  SendMessageA(strip.fader, kMsgSliderSetPosition, mixer::LevelToPosition(v.loudest(), v.span()), 0);
  if (strip.balance != nullptr) SendMessageA(strip.balance, kMsgSliderSetPosition, v.balance() / 2, 0);
  ShowLevels(strip);
}

void ApplyFader(const ChannelStrip& strip, int position) {
  VolumeControl& v = *strip.volume;
  if (!v.hasRange() || !v.Read()) return;
  const mixer::Levels levels =
      mixer::SpreadByBalance(mixer::PositionToLevel(position, v.span()), v.balance(), v.exactBalance());
  v.Write(levels.left, levels.right);
  ShowLevels(strip);
}

void ApplyBalance(const ChannelStrip& strip, int position) {
  VolumeControl& v = *strip.volume;
  if (!v.hasRange() || !v.Read()) return;
  const mixer::Levels levels = mixer::BalanceLevels(position, v.loudest());
  v.Write(levels.left, levels.right);
  ShowLevels(strip);
}

HWND MakeSlider(const MixerState& state, HWND window, int id, const MixerRect& r, int flags,
                const char* track, const char* thumb) {
  HWND slider = CreateSlider(state.instance, window, id, r.x, r.y, r.width, r.height, flags);
  SetIndicatorImages(slider, track, thumb);
  return slider;
}

// A strip for the line's volume, or none when the line has no volume.
std::unique_ptr<ChannelStrip> MakeStrip(const MixerState& state, HWND window, Side side, int slot,
                                        DWORD lineId, const char* balanceTrack) {
  std::unique_ptr<VolumeControl> volume(new (std::nothrow) VolumeControl(*state.device));
  std::unique_ptr<ChannelStrip> strip(new (std::nothrow) ChannelStrip);
  if (!volume || !strip || !volume->Attach(lineId)) return nullptr;
  const ColumnPlace& place = kColumnPlaces[slot];
  strip->faderId = FaderId(side, slot);
  strip->fader = MakeSlider(state, window, strip->faderId, place.fader, kSliderVertical, kFaderTrack, kFaderThumb);
  if (volume->stereo()) {
    strip->balanceId = BalanceId(side, slot);
    strip->balance = MakeSlider(state, window, strip->balanceId, place.balance, 0, balanceTrack, kBalanceThumb);
  }
  const MixerRect& l = place.barLeft;
  const MixerRect& r = place.barRight;
  strip->barLeft = CreateLevelBar(state.instance, window, BarLeftId(side, slot), l.x, l.y, l.width, l.height);
  strip->barRight = CreateLevelBar(state.instance, window, BarRightId(side, slot), r.x, r.y, r.width, r.height);
  // A control whose maximum is its minimum has nothing to set.
  if (!volume->hasRange()) {
    EnableWindow(strip->fader, FALSE);
    if (strip->balance != nullptr) EnableWindow(strip->balance, FALSE);
  }
  strip->volume = std::move(volume);
  RefreshStrip(*strip);
  return strip;
}

void DestroyStripWindows(const ChannelStrip& strip) {
  for (HWND w : {strip.fader, strip.balance, strip.barLeft, strip.barRight}) {
    if (w != nullptr) DestroyWindow(w);
  }
}

HWND MakeButton(const MixerState& state, HWND window, Side side, int slot) {
  const MixerRect& r = kColumnPlaces[slot].button;
  HWND button = CreatePicture(state.instance, window, ButtonId(side, slot), MAKEINTRESOURCEA(kMixerMuteOff),
                              r.x, r.y, r.width, r.height, slot == 0 ? kMasterText : "");
  if (button != nullptr) SetWindowLongPtrA(button, GWLP_USERDATA, kMixerMuteOff);
  return button;
}

std::unique_ptr<MuteControl> MakeMute(const MixerState& state, DWORD lineId) {
  std::unique_ptr<MuteControl> mute(new (std::nothrow) MuteControl(*state.device));
  if (!mute || !mute->Attach(lineId)) return nullptr;
  return mute;
}

// ---- building the columns ----

const char* BalanceTrack(int slot) { return slot == 0 ? kMasterBalanceTrack : kColumnPlaces[slot].balanceTrack; }

void BuildPlayback(HWND window, MixerState& state) {
  const MixerDestination& speakers = state.device->speakers();
  MixerColumn* columns = Columns(state, Side::kPlayback);
  if (!speakers.found) return;  // an empty page, never another line's controls
  columns[0].strip = MakeStrip(state, window, Side::kPlayback, 0, speakers.lineId, kMasterBalanceTrack);
  columns[0].mute = MakeMute(state, speakers.lineId);
  columns[0].button = MakeButton(state, window, Side::kPlayback, 0);
  bool destination = true;
  state.device->ForEachSpeakerLine([&](const MIXERLINEA& line) {
    if (destination) {
      destination = false;
      return true;
    }
    const int slot = mixer::SlotForLine(Side::kPlayback, line.szName, line.dwComponentType);
    if (slot == mixer::kNoSlot || columns[slot].button != nullptr) return true;
    columns[slot].mute = MakeMute(state, line.dwLineID);
    columns[slot].button = MakeButton(state, window, Side::kPlayback, slot);
    columns[slot].strip = MakeStrip(state, window, Side::kPlayback, slot, line.dwLineID, BalanceTrack(slot));
    return true;
  });
  for (MixerColumn* c = columns; c != columns + mixer::kSlotCount; ++c) {
    if (c->mute) ShowSwitchImage(c->button, c->mute->muted());
  }
}

void BuildRecord(HWND window, MixerState& state) {
  const MixerDestination& record = state.device->record();
  MixerColumn* columns = Columns(state, Side::kRecord);
  if (!record.found) return;
  columns[0].strip = MakeStrip(state, window, Side::kRecord, 0, record.lineId, kMasterBalanceTrack);
  columns[0].mute = MakeMute(state, record.lineId);
  if (columns[0].mute) {
    columns[0].button = MakeButton(state, window, Side::kRecord, 0);
    ShowSwitchImage(columns[0].button, columns[0].mute->muted());
  }
  state.selector.reset(new (std::nothrow) SourceSelector(*state.device));
  if (state.selector && !state.selector->Attach(record.lineId)) state.selector.reset();

  bool destination = true;
  state.device->ForEachRecordLine([&](const MIXERLINEA& line) {
    if (destination) {
      destination = false;
      return true;
    }
    const int slot = mixer::SlotForLine(Side::kRecord, line.szName, line.dwComponentType);
    if (slot == mixer::kNoSlot || columns[slot].button != nullptr) return true;
    MixerColumn& column = columns[slot];
    column.button = MakeButton(state, window, Side::kRecord, slot);
    if (state.selector) {
      state.selector->Bind(line.dwSource, slot, column.button, line.dwLineID);
    } else {
      column.mute = MakeMute(state, line.dwLineID);
      if (!column.mute) {
        DestroyWindow(column.button);
        column.button = nullptr;
        return true;
      }
    }
    column.strip = MakeStrip(state, window, Side::kRecord, slot, line.dwLineID, BalanceTrack(slot));
    return true;
  });
  if (state.selector) {
    state.selector->RefreshButtons();
    return;
  }
  for (int slot = 1; slot < mixer::kSlotCount; ++slot) {
    if (columns[slot].mute) ShowSwitchImage(columns[slot].button, columns[slot].mute->muted());
  }
}

// ---- pages ----

void ShowColumn(const MixerColumn& column, bool show) {
  const int mode = show ? SW_SHOWNA : SW_HIDE;
  if (column.button != nullptr) ShowWindow(column.button, mode);
  if (!column.strip) return;
  const ChannelStrip& s = *column.strip;
  for (HWND w : {s.fader, s.balance, s.barLeft, s.barRight}) {
    if (w != nullptr) ShowWindow(w, mode);
  }
}

void ShowPage(HWND window, MixerState& state, int page) {
  state.page = page;
  for (Side side : {Side::kPlayback, Side::kRecord}) {
    MixerColumn* columns = Columns(state, side);
    for (int slot = 0; slot < mixer::kSlotCount; ++slot) {
      ShowColumn(columns[slot], side == PageSide(page) && SlotOnPage(slot, page));
    }
  }
  const bool playback = PageSide(page) == Side::kPlayback;
  EnableWindow(GetDlgItem(window, kPlaybackPageKey), !playback);
  EnableWindow(GetDlgItem(window, kRecordPageKey), playback);
  HWND advance = GetDlgItem(window, kAdvancedPageKey);
  SetWindowTextA(advance, PageAdvanced(page) ? kNormalText : kAdvanceText);
  SkinDibButton(advance);
  InvalidateRect(window, nullptr, TRUE);
}

// ---- messages ----

LRESULT OnCreate(HWND window, const CREATESTRUCTA* cs) {
  const auto* creation = static_cast<const MixerCreation*>(cs->lpCreateParams);
  auto* state = new (std::nothrow) MixerState;
  if (state == nullptr || creation == nullptr) {
    delete state;
    return -1;
  }
  state->host = creation->host;
  state->api = creation->api;
  state->instance = cs->hInstance;
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
  HRGN shape = CreateSkinRegion(kMixerShape, kMixerShapePoints);
  if (shape != nullptr && SetWindowRgn(window, shape, FALSE) == 0) DeleteObject(shape);
  for (const PageKeyPlace& k : kPageKeys) {
    SkinDibButton(CreateDibButton(cs->hInstance, window, k.id, k.name, k.place.x, k.place.y, k.place.width,
                                  k.place.height));
  }
  return 0;
}

void OnDestroy(HWND window) {
  MixerState* state = StateOf(window);
  SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  if (state == nullptr) return;
  // Controls go before the device that closes the mixer under them. The
  // sliders and bars go now, not after this message as other children do,
  // so that their classes can go too.
  state->selector.reset();
  for (auto& side : state->columns) {
    for (MixerColumn& column : side) {
      if (column.strip) DestroyStripWindows(*column.strip);
      column.strip.reset();
      column.mute.reset();
    }
  }
  state->device.reset();
  HINSTANCE instance = state->instance;
  delete state;
  UnregisterLevelBar(instance);
  UnregisterSlider(instance);
}

void PaintFace(HWND window, HDC dc) {
  const MixerState* state = StateOf(window);
  auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
  const int page = state != nullptr ? state->page : kPagePlayback;
  PaintResourceBitmap(dc, instance, MAKEINTRESOURCEA(PageBackground(page)), 0, 0, kMixerWidth, kMixerHeight);
}

void OnPaint(HWND window) {
  SkinPaint paint(window);
  PaintFace(window, paint.dc);
}

void ToggleMute(MixerColumn& column) {
  if (!column.mute) return;
  column.mute->Write(!column.mute->muted());
  ShowSwitchImage(column.button, column.mute->muted());
}

void OnControlClick(HWND window, int id) {
  MixerState* state = StateOf(window);
  if (state == nullptr) return;
  if (id >= kPlaybackButton && id < kPlaybackButton + mixer::kSlotCount) {
    ToggleMute(Columns(*state, Side::kPlayback)[id - kPlaybackButton]);
    return;
  }
  if (id >= kRecordButton && id < kRecordButton + mixer::kSlotCount) {
    const int slot = id - kRecordButton;
    if (slot != 0 && state->selector) {
      state->selector->SelectSlot(slot);
    } else {
      ToggleMute(Columns(*state, Side::kRecord)[slot]);
    }
    return;
  }
  switch (id) {
    case kPlaybackPageKey: ShowPage(window, *state, kPagePlayback); return;
    case kRecordPageKey: ShowPage(window, *state, kPageRecord); return;
    case kAdvancedPageKey: ShowPage(window, *state, state->page ^ 2); return;
    default: return;
  }
}

ChannelStrip* StripOwning(MixerColumn* columns, DWORD controlId) {
  for (int slot = 0; slot < mixer::kSlotCount; ++slot) {
    ChannelStrip* strip = columns[slot].strip.get();
    if (strip != nullptr && strip->volume->Owns(controlId)) return strip;
  }
  return nullptr;
}

MixerColumn* ColumnWithMute(MixerColumn* columns, DWORD controlId, int firstSlot) {
  for (int slot = firstSlot; slot < mixer::kSlotCount; ++slot) {
    if (columns[slot].mute && columns[slot].mute->Owns(controlId)) return &columns[slot];
  }
  return nullptr;
}

bool RefreshMuteOwning(MixerColumn* columns, DWORD controlId, int firstSlot) {
  MixerColumn* column = ColumnWithMute(columns, controlId, firstSlot);
  if (column == nullptr) return false;
  if (column->mute->Read()) ShowSwitchImage(column->button, column->mute->muted());
  return true;
}

bool RefreshStripOwning(MixerColumn* columns, DWORD controlId) {
  ChannelStrip* strip = StripOwning(columns, controlId);
  if (strip != nullptr) RefreshStrip(*strip);
  return strip != nullptr;
}

// A control changed, by this window or by another program: show it.
void OnControlChange(HWND window, HMIXER mixer, DWORD controlId) {
  MixerState* state = StateOf(window);
  if (state == nullptr || !state->device || mixer != state->device->handle()) return;
  MixerColumn* playback = Columns(*state, Side::kPlayback);
  MixerColumn* record = Columns(*state, Side::kRecord);
  if (RefreshMuteOwning(playback, controlId, 0)) return;
  if (RefreshStripOwning(playback, controlId)) return;
  if (RefreshMuteOwning(record, controlId, 0)) return;
  if (state->selector && state->selector->OnControlChange(controlId)) return;
  RefreshStripOwning(record, controlId);
}

ChannelStrip* StripWithSlider(MixerState& state, int id) {
  for (Side side : {Side::kPlayback, Side::kRecord}) {
    MixerColumn* columns = Columns(state, side);
    for (int slot = 0; slot < mixer::kSlotCount; ++slot) {
      ChannelStrip* strip = columns[slot].strip.get();
      if (strip != nullptr && (strip->faderId == id || (strip->balanceId != 0 && strip->balanceId == id))) {
        return strip;
      }
    }
  }
  return nullptr;
}

int SliderPosition(HWND slider) { return static_cast<int>(SendMessageA(slider, kMsgSliderGetPosition, 0, 0)); }

void OnSliderMoved(HWND window, int id) {
  MixerState* state = StateOf(window);
  ChannelStrip* strip = state != nullptr ? StripWithSlider(*state, id) : nullptr;
  if (strip == nullptr) return;
  if (id == strip->faderId) {
    ApplyFader(*strip, SliderPosition(strip->fader));
  } else {
    ApplyBalance(*strip, SliderPosition(strip->balance));
  }
}

// The remote's master volume keys: two fader positions up or down, within
// the fader's range, applied as a move of the fader; and the keyboard's
// mute key, which switches the master line's mute.
void OnCommandMessage(HWND window, WPARAM wParam, LPARAM lParam) {
  MixerState* state = StateOf(window);
  if (state == nullptr || CommandRouteOf(wParam) != kRouteMixer || CommandCodeOf(wParam) != kCmdMixerStep) return;
  if (lParam == kMixerToggleMute) {
    ToggleMute(Columns(*state, Side::kPlayback)[0]);
    return;
  }
  if (lParam != kMixerStepUp && lParam != kMixerStepDown) return;
  ChannelStrip* master = Columns(*state, Side::kPlayback)[0].strip.get();
  if (master == nullptr || !master->volume->hasRange()) return;
  const int delta = lParam == kMixerStepUp ? mixer::kFaderStep : -mixer::kFaderStep;
  const int position = mixer::SteppedPosition(SliderPosition(master->fader), delta);
  SendMessageA(master->fader, kMsgSliderSetPosition, position, 0);
  ApplyFader(*master, position);
}

LRESULT CALLBACK MixerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  MixerState* state = StateOf(window);
  if (state != nullptr && message != 0 && message == CommandMessageOf(*state)) {
    OnCommandMessage(window, wParam, lParam);
    return 0;
  }
  switch (message) {
    case WM_CREATE: return OnCreate(window, reinterpret_cast<CREATESTRUCTA*>(lParam));
    case WM_DESTROY: OnDestroy(window); return 0;
    case WM_PAINT: OnPaint(window); return 0;
    case WM_ERASEBKGND: PaintFace(window, reinterpret_cast<HDC>(wParam)); return 1;
    case WM_COMMAND: OnControlClick(window, LOWORD(wParam)); return 0;
    case MM_MIXM_CONTROL_CHANGE:
      OnControlChange(window, reinterpret_cast<HMIXER>(wParam), static_cast<DWORD>(lParam));
      return 0;
    case kMsgSliderMoved: OnSliderMoved(window, static_cast<int>(wParam)); return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
  }
}

// Background brush value 6: the window colour's system brush index + 1.
WindowClass gMixerClass = {kMixerClass, MixerProc, 0, nullptr, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1)};

bool MixerExists() { return mixerGetNumDevs() > 0; }

HWND CreateSystemMixer(const PlayerHost& host, HWND panel) { return CreateMixerWindow(host, panel, SystemMixerApi()); }

const PlayerModule kMixerModule = {kMixerClass, kMixerHeight, kMixerShape, kMixerShapePoints, CreateSystemMixer,
                                   MixerExists};

}  // namespace

HWND CreateMixerWindow(const PlayerHost& host, HWND panel, MixerApi& api) {
  HINSTANCE instance = host.Instance();
  if (!IsWindowClassRegistered(gMixerClass) && !RegisterWindowClass(gMixerClass, instance)) return nullptr;
  // One use each for this window; WM_DESTROY lets go of them.
  if (!RegisterSlider(instance)) return nullptr;
  if (!RegisterLevelBar(instance)) {
    UnregisterSlider(instance);
    return nullptr;
  }
  MixerCreation creation = {&host, &api};
  HWND window = CreateWindowExA(0, kMixerClass, kMixerTitle, WS_CHILD, 0, 0, Scaled(kMixerWidth),
                                Scaled(kMixerHeight), panel, nullptr, instance, &creation);
  MixerState* state = window != nullptr ? StateOf(window) : nullptr;
  if (state == nullptr) {
    if (window == nullptr) {
      UnregisterLevelBar(instance);
      UnregisterSlider(instance);
    }
    return nullptr;
  }
  state->device.reset(new (std::nothrow) MixerDevice(api));
  // Without a mixer the pages stay empty; nothing is reported.
  if (state->device && state->device->Open(window)) {
    BuildPlayback(window, *state);
    BuildRecord(window, *state);
  }
  ShowPage(window, *state, kPagePlayback);
  return window;
}

const PlayerModule& MixerModule() { return kMixerModule; }

int MixerPageOf(HWND window) {
  if (!IsWindowOfClass(window, kMixerClass)) return -1;
  const MixerState* state = StateOf(window);
  return state != nullptr ? state->page : -1;
}
