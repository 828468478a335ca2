#include "cd/CdEngine.h"

#include <cstdio>
#include <new>
#include <string>

#include "common/CommandCodes.h"
#include "common/FileHandOff.h"
#include "media/MediaKind.h"
#include "skin/SkinGeometry.h"

CdEngine::CdEngine(PlayList* list, HWND window, FrontPanelLcd* lcd, CdDeviceFactory factory)
    : list_(list), window_(window), lcd_(lcd), factory_(std::move(factory)) {}

CdEngine::~CdEngine() {
  CancelSkip();
  device_.reset();
}

std::unique_ptr<MciDevice> CdEngine::MakeDevice() {
  if (factory_) return factory_(window_);
  return std::unique_ptr<MciDevice>(new (std::nothrow) MciDevice(window_));
}

void CdEngine::SetTrackLcd(uint32_t track) {
  if (lcd_ != nullptr) lcd_->SetTrack(track);
}

void CdEngine::SetStateLcd(uint32_t status) {
  if (lcd_ != nullptr) lcd_->SetState(status);
}

void CdEngine::SetButtons(bool play, bool stop, bool pause, bool skips, bool tracks) {
  buttons_ = {play, stop, pause, skips, skips, tracks, tracks};
}

// Past 99:59 the clock shows hours and minutes, as the wave player's does.
// A seconds field beyond 59 is no time: it counts as 59.
void CdEngine::Show(int track, int64_t minutes, int64_t seconds) {
  const int64_t total = (minutes < 0 ? 0 : minutes) * 60 + (seconds < 0 ? 0 : seconds > 59 ? 59 : seconds);
  const ClockPairs clock = ClockPairsOf(static_cast<uint32_t>(total > UINT32_MAX ? UINT32_MAX : total));
  shownTrack_ = TwoDigitsOf(track);
  shownMinutes_ = TwoDigitsOf(clock.left);
  shownSeconds_ = TwoDigitsOf(clock.right);
}

bool CdEngine::TrackUnderWay() const {
  return device_ && (status_ & (kCdPlaying | kCdPaused)) != 0;
}

// ---- steps ----

void CdEngine::RefreshMarks() { marks_.Refresh(*list_); }

void CdEngine::ResetDisplay() {
  marks_.SetDisplayActive(false);
  status_ = (status_ & ~(kCdPlaying | kCdPaused)) | kCdStopped;
  SetTrackLcd(0);
  Show(0, 0, 0);
  if (list_->Count() > 0) {
    SetButtons(true, false, false, false, true);
  } else {
    SetButtons(false, false, false, false, false);
  }
  RefreshMarks();
}

// A skip whose device goes away ends without moving anything.
void CdEngine::CancelSkip() {
  if (skipDirection_ == 0) return;
  if (window_ != nullptr) KillTimer(window_, kCdSkipTimer);
  skipDirection_ = 0;
}

void CdEngine::CloseDevice() {
  CancelSkip();
  ResetDisplay();
  if (!device_) return;
  device_->Close();
  playing_ = false;
  device_.reset();
}

bool CdEngine::LoadFirstTrack() {
  CloseDevice();
  char path[kPlayListSlot] = {};
  if (!list_->Next(path, sizeof path)) return false;
  device_ = MakeDevice();
  if (!device_ || !device_->Open(path)) {
    device_.reset();
    return false;
  }
  ResetDisplay();
  return true;
}

// ---- operations ----

void CdEngine::PlayCd() {
  if (!device_ && !LoadFirstTrack()) return;
  const bool played = device_->Play();
  if (played) {
    playing_ = true;
    SetButtons(false, true, true, true, true);
    status_ = (status_ & ~(kCdStopped | kCdPaused)) | kCdPlaying;
  }
  const int n = list_->CurrentEntryNumber();
  marks_.ShowPageOf(n);
  marks_.Set(n, kMarkCurrent);
  // The display learns what really happened, not what was hoped for.
  SetTrackLcd(static_cast<uint32_t>(n > 0 ? n : 0));
  SetStateLcd(status_);
  RefreshMarks();
}

void CdEngine::PauseOrResume() {
  if (!device_ || !device_->IsPlaying()) {
    PlayCd();
    return;
  }
  if (!device_->Pause()) return;
  status_ = (status_ & ~(kCdPlaying | kCdStopped)) | kCdPaused;
  SetStateLcd(status_);
  playing_ = false;
  SetButtons(true, true, true, true, true);
}

void CdEngine::StopCd() {
  // Also without a device: after tracks that would not open the list
  // still goes back to its start.
  CloseDevice();
  list_->Rewind();
  playing_ = false;
  ResetDisplay();
}

// NEXT and PREVIOUS: the track device is replaced by one on the neighbour.
// A track that does not open is passed over, at most once for each track in
// the list, so a disc that cannot be read stops instead of running round.
void CdEngine::ChangeTrack(bool forward) {
  savedStatus_ = status_;
  const bool wasPlaying = (savedStatus_ & kCdPlaying) != 0;
  CloseDevice();
  const int tries = list_->Count() > 0 ? list_->Count() : 1;
  for (int i = 0; i < tries && !device_; ++i) {
    char path[kPlayListSlot] = {};
    const bool got = forward ? list_->Next(path, sizeof path) : list_->Previous(path, sizeof path);
    if (!got) break;
    device_ = MakeDevice();
    if (device_ && !device_->Open(path)) device_.reset();
  }
  if (!device_) {
    StopCd();
    return;
  }
  SetButtons(true, true, false, true, true);
  if (wasPlaying) {
    PlayCd();
  } else {
    SetStateLcd(kCdStopped);
  }
  SetTrackLcd(static_cast<uint32_t>(list_->CurrentEntryNumber()));
  RefreshMarks();
}

void CdEngine::NextTrack() { ChangeTrack(true); }

namespace {

constexpr uint32_t kPreviousRestartsAfterMs = 2000;

// Minutes and seconds of a TMSF position, in milliseconds into its track.
uint32_t TimeIntoTrackMs(uint32_t tmsf) { return (TmsfMinutes(tmsf) * 60 + TmsfSeconds(tmsf)) * 1000; }

}  // namespace

void CdEngine::PreviousTrack() {
  if (!device_) playing_ = false;
  savedStatus_ = status_;
  // More than 2000 ms into the track, as in the other players, PREVIOUS
  // goes back to the track's own start: in TMSF that is the track number,
  // while 0 would be the start of the disc.
  if (device_ && TimeIntoTrackMs(device_->Position()) > kPreviousRestartsAfterMs) {
    const uint32_t trackStart = static_cast<uint32_t>(device_->track());
    if ((savedStatus_ & kCdPlaying) != 0) {
      device_->Seek(trackStart);
      PlayCd();
      return;
    }
    if ((savedStatus_ & kCdPaused) != 0) {
      device_->Seek(trackStart);
      return;
    }
  }
  ChangeTrack(false);
}

void CdEngine::PlayTrack(int n) {
  if (n < 1 || n > list_->Count()) return;
  CloseDevice();
  RandomOff();
  char path[kPlayListSlot] = {};
  if (!list_->PlayEntry(n, path, sizeof path) || path[0] == '\0') {
    StopCd();
    return;
  }
  device_ = MakeDevice();
  if (!device_ || !device_->Open(path)) {
    device_.reset();
    StopCd();
    return;
  }
  SetButtons(true, false, false, true, false);
  PlayCd();
  RefreshMarks();
}

void CdEngine::AddFile(const char* name) {
  if (name == nullptr || name[0] == '\0') return;
  if (FilterKind(kCdPlayerKinds, name) == 0) {
    list_->LoadListFile(name);
    StopCd();
    PlayCd();
  } else {
    list_->Append(name);
  }
  if (list_->Count() > 1) {
    RefreshMarks();
  } else {
    StopCd();
  }
}

void CdEngine::EjectOrClose() {
  CloseDevice();
  const int current = list_->CurrentDrive();
  if (current >= 0 && current < 26) {
    std::unique_ptr<MciDevice> drive = MakeDevice();
    if (drive && drive->OpenDrive(current)) drive->OpenDoor();
    return;  // the device closes as it goes
  }
  // No drive in use: toggle the tray of the first CD drive that answers.
  // Each drive's device is closed before the next is tried, and none is
  // kept as a track device.
  for (int d = 0; d < 26; ++d) {
    std::unique_ptr<MciDevice> drive = MakeDevice();
    if (!drive || !drive->OpenDrive(d)) continue;
    bool done;
    if (doors_[d]) {
      done = drive->OpenDoor();
      if (done) doors_[d] = false;
    } else {
      done = drive->CloseDoor();
      if (done) doors_[d] = true;
    }
    drive->Close();
    if (done) return;
  }
}

void CdEngine::RandomOn() { SetRandom(true); }

void CdEngine::RandomOff() { SetRandom(false); }

// A track that plays or is paused goes on; the new order starts after it.
// Otherwise the list starts again in the new order.
void CdEngine::SetRandom(bool on) {
  if (TrackUnderWay()) {
    if (list_->IsShuffled() != on) list_->SetShuffled(on);
  } else {
    StopCd();
    if (on) {
      list_->Shuffle();
    } else {
      list_->Unshuffle();
    }
  }
  RefreshMarks();
}

void CdEngine::ToggleLoop() { list_->SetLoop(!list_->IsLoop()); }

// ---- the held fast search ----

void CdEngine::StartSkip(int direction) {
  if (!device_ && !LoadFirstTrack()) return;
  skipSavedStatus_ = status_;
  skipDirection_ = direction > 0 ? 1 : -1;
  if (window_ != nullptr) SetTimer(window_, kCdSkipTimer, kCdSkipTickMs, nullptr);
  skipCountdown_ = kCdSkipTicks;
  device_->Pause();
  const uint32_t position = device_->Position();
  skipStart_ = skipSecond_ = TmsfMinutes(position) * 60 + TmsfSeconds(position);
}

void CdEngine::OnSkipTick() {
  if (skipDirection_ == 0 || !device_) {
    CancelSkip();
    if (window_ != nullptr) KillTimer(window_, kCdSkipTimer);
    return;
  }
  if (skipCountdown_-- == 0) {
    EndSkip();
    return;
  }
  const uint32_t length = device_->Length();
  const int64_t lengthSeconds = MsfMinutes(length) * 60 + MsfSeconds(length);
  if (skipDirection_ > 0) {
    if (skipSecond_ < lengthSeconds) ++skipSecond_;
  } else if (skipSecond_ > 0) {
    --skipSecond_;
  }
  Show(list_->CurrentEntryNumber(), skipSecond_ / 60, skipSecond_ % 60);
}

// The device lands one second past the shown one in the skip's direction,
// so releasing before the first tick still moves the way the key points.
void CdEngine::EndSkip() {
  if (skipDirection_ == 0) return;
  const int direction = skipDirection_;
  CancelSkip();
  if (!device_) return;
  device_->SkipBy(skipSecond_ - skipStart_ + direction);
  if ((skipSavedStatus_ & kCdPlaying) != 0) device_->Play();
}

// ---- messages ----

bool CdEngine::Command(uint16_t code, LPARAM lParam, const char* file) {
  if (skipDirection_ > 0 && code != kCmdFastForwardEnd && code != kCmdStatusQuery) EndSkip();
  if (skipDirection_ < 0 && code != kCmdRewindEnd && code != kCmdStatusQuery) EndSkip();
  switch (code) {
    case kCmdStop: StopCd(); return true;
    case kCmdFastForwardBegin: StartSkip(1); return true;
    case kCmdRewindBegin: StartSkip(-1); return true;
    case kCmdFastForwardEnd:
    case kCmdRewindEnd: EndSkip(); return true;
    case kCmdNext: NextTrack(); return true;
    case kCmdPrevious: PreviousTrack(); return true;
    case kCmdEject: EjectOrClose(); return true;
    case kCmdSkipForward:
      if (device_) device_->Forward(kCdStepSeconds);
      return true;
    case kCmdSkipBack:
      if (device_) device_->Back(kCdStepSeconds);
      return true;
    case kCmdPlay: PlayCd(); return true;
    case kCmdPause:
    case kCmdCdPause:
      if (device_) {
        PauseOrResume();
      } else {
        PlayCd();
      }
      return true;
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
    case kCmdPlayEntry: PlayTrack(static_cast<int>(lParam)); return true;
    case kCmdCdStopOrEject:
      if (!device_ || !device_->IsPlaying()) {
        EjectOrClose();
      } else {
        StopCd();
      }
      return true;
    default: return false;
  }
}

// A success notice counts only when it comes from the current device and
// that device has really finished: one queued before NEXT replaced the
// device must not skip another track.
void CdEngine::OnNotify(WPARAM code, LPARAM deviceId) {
  if (code != MCI_NOTIFY_SUCCESSFUL || !device_) return;
  if (device_->id() != static_cast<MCIDEVICEID>(deviceId) || device_->IsPlaying()) return;
  const int n = list_->CurrentEntryNumber();
  marks_.Set(n, kMarkPlayed);
  NextTrack();
}

void CdEngine::OnDiscChange(bool arrived, int drive, bool autoPlay) {
  if (drive < 0 || drive >= 26) return;
  if (!arrived) {
    doors_[drive] = false;
    if (list_->CurrentDrive() != drive || list_->FirstEntryExists()) return;
    // The disc is gone: its device goes before the list.
    CloseDevice();
    list_->Clear();
    marks_.SetDisplayActive(false);
    status_ |= kCdNoDisc;
    ResetDisplay();
    return;
  }
  if (list_->Count() != 0) return;
  doors_[drive] = true;
  if (list_->CurrentDrive() >= 0) return;
  char pattern[16];
  std::snprintf(pattern, sizeof pattern, "%c:\\*.cda", 'a' + drive);
  if (!list_->FillFromPattern(pattern) || list_->Count() == 0) return;
  if (!LoadFirstTrack()) return;
  status_ &= ~kCdNoDisc;
  if (autoPlay) {
    PlayCd();
  } else {
    StopCd();
  }
}

void CdEngine::OnListEdited() {
  EndSkip();
  // OK: the track that plays goes on when the new list still holds it.
  const std::string playing = list_->CurrentPath();
  if (TrackUnderWay() && list_->EditsHold(playing.c_str()) && list_->CommitEditsKeeping(playing.c_str())) {
    list_->HideListWindow();
    marks_.ShowPageOf(list_->CurrentEntryNumber());
    RefreshMarks();
    return;
  }
  CloseDevice();
  list_->CommitEdits();
  list_->HideListWindow();
  LoadFirstTrack();
  marks_.FirstPage();
  ResetDisplay();
  StopCd();
}

void CdEngine::OnSuspendQuery() { StopCd(); }

void CdEngine::OnShown(bool shown, bool autoPlay) {
  if (!shown) {
    StopCd();
    return;
  }
  if (!autoPlay || playing_) return;
  if (!device_ && !LoadFirstTrack()) return;
  PlayCd();
}

void CdEngine::StartUp(bool play) {
  for (int d = 0; d < 26; ++d) {
    doors_[d] = false;
    char root[] = "a:\\";
    root[0] = static_cast<char>('a' + d);
    if (GetDriveTypeA(root) != DRIVE_CDROM) continue;
    doors_[d] = true;
    std::unique_ptr<MciDevice> scratch = MakeDevice();
    if (scratch && scratch->OpenDrive(d)) {
      scratch->CloseDoor();
      scratch->Close();
    }
    char pattern[16];
    std::snprintf(pattern, sizeof pattern, "%c:\\*.cda", 'a' + d);
    if (list_->FillFromPattern(pattern) && list_->Count() > 0) break;
  }
  if (list_->Count() == 0) {
    ResetDisplay();
    return;
  }
  LoadFirstTrack();
  status_ &= ~kCdNoDisc;
  StopCd();
  if (play) PlayCd();
}

void CdEngine::Refresh() {
  if (!marks_.displayActive() || !device_ || skipDirection_ != 0) return;
  const uint32_t position = device_->Position();
  Show(list_->CurrentEntryNumber(), TmsfMinutes(position), TmsfSeconds(position));
}

bool CdEngine::NextPage() {
  if (!marks_.NextPage(list_->Count())) return false;
  RefreshMarks();
  return true;
}

bool CdEngine::PreviousPage() {
  if (!marks_.PreviousPage()) return false;
  RefreshMarks();
  return true;
}
