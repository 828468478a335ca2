#include "midi/MidiEngine.h"

#include <new>

#include "common/CommandCodes.h"
#include "common/FileHandOff.h"
#include "common/ErrorBox.h"
#include "media/MediaKind.h"
#include "skin/SkinGeometry.h"

MidiEngine::MidiEngine(PlayList* list, HWND window, MidiDeviceFactory factory)
    : list_(list), window_(window), factory_(std::move(factory)) {}

MidiEngine::~MidiEngine() { device_.reset(); }

// A device on the file, or none: one that failed to open is not kept, so
// nothing later touches it.
std::unique_ptr<MciDevice> MidiEngine::OpenFile(const char* path) {
  std::unique_ptr<MciDevice> device =
      factory_ ? factory_(window_) : std::unique_ptr<MciDevice>(new (std::nothrow) MciDevice(window_));
  if (device && !device->Open(path)) device.reset();
  return device;
}

// The box's own message loop runs while it is up; the window's guard keeps
// commands, ticks and notices away from the engine meanwhile.
void MidiEngine::ReportUnsupported() { ShowErrorBox(window_, kUnsupportedFileText); }

void MidiEngine::SetButtons(bool play, bool stop, bool pause, bool skips, bool tracks) {
  buttons_ = {play, stop, pause, skips, skips, tracks, tracks};
}

// Past 99:59 the clock shows hours and minutes, as the wave player's does.
void MidiEngine::ShowTime(uint32_t milliseconds) {
  const ClockPairs clock = ClockPairsOf(milliseconds / 1000);
  shownFile_ = TwoDigitsOf(list_->CurrentEntryNumber());
  shownMinutes_ = TwoDigitsOf(clock.left);
  shownSeconds_ = TwoDigitsOf(clock.right);
  char title[kPlayListSlot] = {};
  list_->CurrentTitle(title, sizeof title);
  title_ = title;
}

// The bar follows the sequencer; a failed read leaves tempo and bar alone.
void MidiEngine::ShowTempo() {
  if (!device_) return;
  const long tempo = device_->GetTempo();
  if (tempo < 0) return;
  tempo_ = tempo;
  tempoMarker_ = TempoMarker(tempo);
}

// The bar moves only once the sequencer has taken the new tempo.
void MidiEngine::SetTempo(long tempo) {
  if (!device_->SetTempo(static_cast<uint32_t>(tempo))) return;
  tempo_ = tempo;
  tempoMarker_ = TempoMarker(tempo);
}

void MidiEngine::ResetDisplay() {
  marks_.SetDisplayActive(false);
  title_.clear();
  state_ = (state_ & ~(kMidiPlaying | kMidiPaused)) | kMidiStopped;
  shownFile_ = shownMinutes_ = shownSeconds_ = 0;
  if (list_->Count() > 0) {
    SetButtons(true, false, false, false, true);
  } else {
    SetButtons(false, false, false, false, true);
  }
  ShowTempo();
  tempoEnabled_ = false;
  marks_.Refresh(*list_);
}

void MidiEngine::CloseDevice() {
  ResetDisplay();
  tempoMarker_ = -1;
  if (!device_) return;
  device_->Close();
  device_.reset();
}

// The first file of the list that opens. Each one that does not is
// reported; the search ends after one round of the list, so a list of
// nothing but bad files stops even with loop on.
bool MidiEngine::LoadFirstFile() {
  CloseDevice();
  char path[kPlayListSlot] = {};
  if (!list_->Next(path, sizeof path)) return false;
  for (int tried = 1;; ++tried) {
    device_ = OpenFile(path);
    if (device_) {
      ResetDisplay();
      return true;
    }
    ReportUnsupported();
    if (abandoned_ || tried >= list_->Count()) break;
    path[0] = '\0';
    if (!list_->Next(path, sizeof path)) break;
  }
  // PLAY again starts from the top and tells again what would not open.
  list_->Rewind();
  ResetDisplay();
  return false;
}

// ---- operations ----

void MidiEngine::PlayMidi() {
  if (!device_ && !LoadFirstFile()) return;
  if (!device_->Play()) return;  // still loaded: the display says so
  SetButtons(false, true, true, true, true);
  const int n = list_->CurrentEntryNumber();
  marks_.ShowPageOf(n);
  state_ = (state_ & ~(kMidiStopped | kMidiPaused)) | kMidiPlaying;
  marks_.Set(n, kMarkCurrent);
  ShowTempo();
  tempoEnabled_ = true;
  marks_.Refresh(*list_);
  ShowTime(device_->Position());
}

void MidiEngine::PauseOrResume() {
  if (!device_) return;
  if (!device_->IsPlaying()) {
    PlayMidi();
    return;
  }
  if (!device_->Pause()) return;
  state_ = (state_ & ~(kMidiPlaying | kMidiStopped)) | kMidiPaused;
  SetButtons(true, true, true, true, true);
}

// Also without a device: after files that would not open, the list still
// goes back to its start.
void MidiEngine::StopMidi() {
  CloseDevice();
  list_->Rewind();
  ResetDisplay();
}

// TRACKF and TRACKB, and the end of a file: the device is replaced by one
// on the neighbour. Files that do not open are passed over without a word,
// at most once each.
void MidiEngine::ChangeFile(bool forward) {
  const uint32_t saved = state_;
  if (!device_ && !LoadFirstFile()) return;
  CloseDevice();
  const int tries = list_->Count() > 0 ? list_->Count() : 1;
  for (int i = 0; i < tries && !device_; ++i) {
    char path[kPlayListSlot] = {};
    const bool got = forward ? list_->Next(path, sizeof path) : list_->Previous(path, sizeof path);
    if (!got) break;
    device_ = OpenFile(path);
  }
  if (!device_) {
    StopMidi();
    return;
  }
  SetButtons(true, true, false, true, true);
  if ((saved & kMidiPlaying) != 0) PlayMidi();
  marks_.Refresh(*list_);
}

void MidiEngine::NextFile() { ChangeFile(true); }

// Past the first two seconds TRACKB goes back to the start of the file.
void MidiEngine::PreviousFile() {
  if (device_ && device_->Position() > 2000) {
    if ((state_ & kMidiPlaying) != 0) {
      device_->Seek(0);
      PlayMidi();
      return;
    }
    if ((state_ & kMidiPaused) != 0) {
      device_->Seek(0);
      return;
    }
  }
  ChangeFile(false);
}

void MidiEngine::PlayFile(int n) {
  if (n < 1 || n > list_->Count()) return;
  CloseDevice();
  RandomOff();
  char path[kPlayListSlot] = {};
  if (!list_->PlayEntry(n, path, sizeof path) || path[0] == '\0') {
    StopMidi();
    return;
  }
  device_ = OpenFile(path);
  if (!device_) {
    // The user asked for this very file: say why nothing plays.
    ReportUnsupported();
    StopMidi();
    return;
  }
  SetButtons(true, false, false, true, false);
  PlayMidi();
  marks_.Refresh(*list_);
}

void MidiEngine::AddFile(const char* name) {
  if (name == nullptr || name[0] == '\0') return;
  if (FilterKind(kMidiPlayerKinds, name) == 0) {
    list_->LoadListFile(name);
    StopMidi();
    PlayMidi();
  } else {
    list_->Append(name);
  }
  // A single file waits for PLAY; a list that just started keeps playing.
  if (list_->Count() < 2 && !device_) {
    ResetDisplay();
  } else {
    marks_.Refresh(*list_);
  }
}

void MidiEngine::RandomOn() { SetRandom(true); }

void MidiEngine::RandomOff() { SetRandom(false); }

bool MidiEngine::FileUnderWay() const {
  return device_ && (state_ & (kMidiPlaying | kMidiPaused)) != 0;
}

// A file that plays or is paused goes on; the new order starts after it.
// Otherwise the list starts again in the new order.
void MidiEngine::SetRandom(bool on) {
  if (FileUnderWay()) {
    if (list_->IsShuffled() != on) list_->SetShuffled(on);
  } else {
    StopMidi();
    if (on) {
      list_->Shuffle();
    } else {
      list_->Unshuffle();
    }
  }
  marks_.Refresh(*list_);
}

void MidiEngine::ToggleLoop() { list_->SetLoop(!list_->IsLoop()); }

// Ten seconds on or back. A playing file is paused for the seek and goes
// on from the new place; the time display holds still meanwhile.
void MidiEngine::Step(bool forward) {
  if (!device_) return;
  const bool playing = device_->IsPlaying();
  stepping_ = true;
  if (playing) PauseOrResume();
  if (forward) {
    device_->Forward(kMidiStepSeconds);
  } else {
    device_->Back(kMidiStepSeconds);
  }
  if (playing) PlayMidi();
  stepping_ = false;
}

void MidiEngine::Faster() {
  if (!device_) return;
  const long tempo = device_->GetTempo();
  if (tempo < 0 || tempo > kFastestTempo) return;
  SetTempo(tempo + kTempoStep < kFastestTempo ? tempo + kTempoStep : kFastestTempo);
}

void MidiEngine::Slower() {
  if (!device_) return;
  const long tempo = device_->GetTempo();
  if (tempo < kSlowestTempo || tempo > kFastestTempo + kTempoStep) return;
  SetTempo(tempo - kTempoStep > kSlowestTempo ? tempo - kTempoStep : kSlowestTempo);
}

bool MidiEngine::NextPage() {
  if (!marks_.NextPage(list_->Count())) return false;
  marks_.Refresh(*list_);
  return true;
}

bool MidiEngine::PreviousPage() {
  if (!marks_.PreviousPage()) return false;
  marks_.Refresh(*list_);
  return true;
}

// ---- messages ----

bool MidiEngine::Command(uint16_t code, LPARAM lParam, const char* file) {
  switch (code) {
    case kCmdStop: StopMidi(); return true;
    case kCmdNext: NextFile(); return true;
    case kCmdPrevious: PreviousFile(); return true;
    case kCmdSkipForward: Step(true); return true;
    case kCmdSkipBack: Step(false); return true;
    case kCmdPlay: PlayMidi(); return true;
    case kCmdPause: PauseOrResume(); return true;
    case kCmdOpenFile: {
      char name[kAtomNameCapacity] = {};
      if (file != nullptr && file[0] != '\0') {
        AddFile(file);
      } else if (ReadHandedFile(lParam, name, sizeof name)) {
        AddFile(name);
      }
      return true;
    }
    case kCmdClearList:
      CloseDevice();
      list_->Clear();
      ResetDisplay();
      return true;
    case kCmdRepeat: ToggleLoop(); return true;
    case kCmdRandom:
      if (list_->IsShuffled()) {
        RandomOff();
      } else {
        RandomOn();
      }
      return true;
    case kCmdPlayEntry: PlayFile(static_cast<int>(lParam)); return true;
    default: return false;
  }
}

// A success notice counts only when it comes from the current device and
// that device has really finished: one queued before TRACKF replaced the
// device must not skip another file.
void MidiEngine::OnNotify(WPARAM code, LPARAM deviceId) {
  if (code != MCI_NOTIFY_SUCCESSFUL || !device_) return;
  if (device_->id() != static_cast<MCIDEVICEID>(deviceId) || device_->IsPlaying()) return;
  marks_.Set(list_->CurrentEntryNumber(), kMarkPlayed);
  NextFile();
}

void MidiEngine::OnPlayedOut() {
  if (!device_ || !device_->PlayedToTheEnd()) return;
  device_->Stop();
  marks_.Set(list_->CurrentEntryNumber(), kMarkPlayed);
  NextFile();
}

void MidiEngine::OnListEdited() {
  // OK: the file that plays goes on when the new list still holds it.
  const std::string playing = list_->CurrentPath();
  if (FileUnderWay() && list_->EditsHold(playing.c_str()) && list_->CommitEditsKeeping(playing.c_str())) {
    list_->HideListWindow();
    marks_.ShowPageOf(list_->CurrentEntryNumber());
    marks_.Refresh(*list_);
    return;
  }
  CloseDevice();
  list_->CommitEdits();
  list_->HideListWindow();
  marks_.FirstPage();
  ResetDisplay();
}

void MidiEngine::Refresh() {
  if (!marks_.displayActive() || !device_ || stepping_) return;
  ShowTime(device_->Position());
}
