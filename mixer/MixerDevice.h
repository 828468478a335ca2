// The sound card's mixer as objects: the device with its speaker and record
// destinations, and the three kinds of control the mixer window uses (a
// line's mute, a line's volume with its balance, and the record
// destination's source selector). User-interface thread only; change
// notifications (MM_MIXM_CONTROL_CHANGE) go to the window given to Open.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "mixer/MixerApi.h"
#include "mixer/MixerSlots.h"

// One destination of the mixer. `found` tells whether the device has it at
// all: line id 0 is a real line, so the id alone cannot say.
struct MixerDestination {
  bool found = false;
  DWORD lineId = 0;
  DWORD sources = 0;
};

class MixerDevice {
 public:
  explicit MixerDevice(MixerApi& api) : api_(api) {}
  virtual ~MixerDevice();
  MixerDevice(const MixerDevice&) = delete;
  MixerDevice& operator=(const MixerDevice&) = delete;

  // Opens mixer 0 with change notices to `window` and finds its speaker and
  // record destinations. False when already open, without a window, or
  // without a mixer.
  bool Open(HWND window);
  bool IsOpen() const { return handle_ != nullptr; }

  // Calls `visit` with the destination line, then with each of its source
  // lines, until it returns false (which still counts as success). False
  // when the destination is missing or has no sources, or a line cannot be
  // read.
  using LineVisitor = std::function<bool(const MIXERLINEA& line)>;
  bool ForEachSpeakerLine(const LineVisitor& visit) const { return ForEachLine(speakers_, visit); }
  bool ForEachRecordLine(const LineVisitor& visit) const { return ForEachLine(record_, visit); }

  const MixerDestination& speakers() const { return speakers_; }
  const MixerDestination& record() const { return record_; }
  const MIXERCAPSA& caps() const { return caps_; }
  HMIXER handle() const { return handle_; }
  MixerApi& api() const { return api_; }

 private:
  bool ForEachLine(const MixerDestination& destination, const LineVisitor& visit) const;

  MixerApi& api_;
  MIXERCAPSA caps_ = {};
  HMIXER handle_ = nullptr;
  MixerDestination speakers_;
  MixerDestination record_;
  HWND window_ = nullptr;
};

// What the three controls share: the mixer they work on, their control and
// line ids, and the control's description.
class MixerControl {
 public:
  explicit MixerControl(const MixerDevice& device) : api_(device.api()), mixer_(device.handle()) {}
  virtual ~MixerControl() = default;
  MixerControl(const MixerControl&) = delete;
  MixerControl& operator=(const MixerControl&) = delete;

  bool Owns(DWORD controlId) const { return attached_ && control_.dwControlID == controlId; }
  bool attached() const { return attached_; }
  DWORD controlId() const { return control_.dwControlID; }
  DWORD lineId() const { return lineId_; }

 protected:
  // Finds the line's control of `type`.
  bool FindControl(DWORD lineId, DWORD type);
  // One get or set of `count` values of `size` bytes for `channels` channels.
  bool Details(bool set, DWORD channels, DWORD items, DWORD size, void* values, DWORD flags = 0);

  MixerApi& api_;
  HMIXER mixer_;
  MIXERCONTROLA control_ = {};
  DWORD lineId_ = 0;
  bool attached_ = false;
};

class MuteControl : public MixerControl {
 public:
  using MixerControl::MixerControl;
  bool Attach(DWORD lineId);
  // Reads the mixer's value into `muted`; false (and nothing changes) when
  // the mixer refuses.
  bool Read();
  bool Write(bool muted);
  bool muted() const { return muted_; }

 private:
  bool muted_ = false;
};

// A line's volume as two channels and a balance. Levels are kept relative
// to the control's minimum, 0..span. A uniform control (one value for all
// channels, as every control of Wine's mixer) and a mono line have one
// value, shown as both channels; they offer no balance.
class VolumeControl : public MixerControl {
 public:
  using MixerControl::MixerControl;
  bool Attach(DWORD lineId);
  bool Read();
  // Clamps to the span, stores, writes; false when the mixer refuses.
  bool Write(uint32_t left, uint32_t right);

  uint32_t span() const { return span_; }
  bool hasRange() const { return span_ != 0; }
  bool stereo() const { return valueCount_ == 2; }
  uint32_t left() const { return left_; }
  uint32_t right() const { return right_; }
  uint32_t loudest() const { return left_ > right_ ? left_ : right_; }
  int balance() const { return balance_; }
  double exactBalance() const { return exactBalance_; }
  DWORD steps() const { return steps_; }

 private:
  uint32_t minimum_ = 0;
  uint32_t span_ = 0;
  DWORD steps_ = 0;
  DWORD valueCount_ = 1;  // values read and written: 1 or 2
  uint32_t left_ = 0;
  uint32_t right_ = 0;
  int balance_ = 50;
  double exactBalance_ = 50;
};

// The record destination's multiplexer: which source records. Each item
// stands for a source line and is shown by one column's button.
class SourceSelector : public MixerControl {
 public:
  using MixerControl::MixerControl;
  bool Attach(DWORD recordLineId);
  // Ties the column `slot` and its `button` to the item for `lineId`, or to
  // item `sourceIndex` when no item names that line.
  bool Bind(DWORD sourceIndex, int slot, HWND button, DWORD lineId);
  bool ReadSelection();
  bool Select(DWORD item);
  // Selects what column `slot` shows and shows it on the buttons.
  bool SelectSlot(int slot);
  // Shows the mixer's selection on the buttons.
  bool RefreshButtons();
  // Refreshes the buttons when `controlId` is the selector's.
  bool OnControlChange(DWORD controlId);

  DWORD itemCount() const { return static_cast<DWORD>(items_.size()); }
  // The first selected item, or -1.
  int SelectedItem() const;

 private:
  struct Item {
    DWORD lineId = 0;
    bool lineKnown = false;
    int slot = mixer::kNoSlot;
    HWND button = nullptr;
  };
  void ShowButtons(int selected) const;

  std::vector<Item> items_;
  // The mixer's per-item values are 4-byte booleans; smaller elements would
  // let it write past the array.
  std::vector<MIXERCONTROLDETAILS_BOOLEAN> selected_;
  int slotItem_[mixer::kSlotCount] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
};
