#include "waveplayer/WavePlayerEngine.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "media/DiscList.h"
#include "media/MediaKind.h"
#include "common/ErrorBox.h"

TransportEnables EnablesOf(ButtonSet set) {
  //                       play   stop   pause  skipF  skipB  trackF trackB
  switch (set) {
    case ButtonSet::kStopped: return {true, false, false, false, false, true, true};
    case ButtonSet::kEmptyList: return {false, false, false, false, false, false, false};
    case ButtonSet::kLoaded: return {true, false, false, true, true, false, false};
    case ButtonSet::kLoadedDirectSound: return {true, false, false, false, false, true, true};
    case ButtonSet::kPlaying: return {false, true, true, true, true, true, true};
    case ButtonSet::kPaused: return {true, true, true, true, true, true, true};
  }
  return {false, false, false, false, false, false, false};
}

WavePlayerEngine::WavePlayerEngine(PlayList* list, HWND window) : list_(list), window_(window) {}

WavePlayerEngine::~WavePlayerEngine() {
  // The output goes before the source it reads from.
  if (output_) output_->Close();
  output_.reset();
  source_.reset();
}

bool WavePlayerEngine::InitOutput(HWND mainPanel, bool tryDirectSound) {
  if (output_) return false;
  output_ = MakeAudioOutput(mainPanel, tryDirectSound);
  if (!output_) return false;
  rules_.directSound = output_->IsDirectSound();
  if (rules_.directSound) {
    rules_.loaded = ButtonSet::kLoadedDirectSound;
    rules_.pauseKeepsPlaying = false;
    rules_.pauseStartsIdleList = false;
    rules_.trackBackRestarts = true;
  }
  ShowStopped();
  return true;
}

int WavePlayerEngine::trackState(int entry) const {
  return entry >= 1 && entry <= kTrackEntries ? trackStates_[entry] : kTrackHidden;
}

bool WavePlayerEngine::outputOpen() const { return output_ && output_->IsOpen(); }

bool WavePlayerEngine::outputPlaying() const { return output_ && output_->IsPlaying(); }

void WavePlayerEngine::ReportUnsupportedFile() { ShowErrorBox(window_, kUnsupportedFormatText); }

// ---- steps ----

void WavePlayerEngine::ShowStopped() {
  blink_ = false;
  ApplyButtons(ButtonSet::kStopped);
  title_[0] = '\0';
  playState_ = (playState_ & ~(kPlayPlaying | kPlayPaused)) | kPlayStopped;
  shownTrack_ = 0;
  shownSeconds_ = 0;
  if (list_->Count() == 0) ApplyButtons(ButtonSet::kEmptyList);
  RefreshTrackButtons();
}

void WavePlayerEngine::DestroyOutput() {
  if (output_) output_->Close();
}

void WavePlayerEngine::DropSource() {
  if (!source_) return;
  source_->CloseMedia();
  source_.reset();
}

void WavePlayerEngine::CloseAll() {
  ShowStopped();
  // An end notice of this output that is still queued is told apart by its
  // generation when it arrives (OnStreamEnd); nothing is pumped here, so no
  // other message can run while the close is half done.
  DestroyOutput();
  title_[0] = '\0';
  DropSource();
  SetTrackState(list_->CurrentEntryNumber(), kTrackPlayed);
}

bool WavePlayerEngine::OpenSource(const char* path) {
  DropSource();
  source_.reset(new (std::nothrow) MediaSource);
  if (source_ && source_->OpenMedia(path)) return true;
  source_.reset();
  return false;
}

bool WavePlayerEngine::MakeOutput() {
  if (!source_ || !output_) return false;
  if (output_->Open(source_.get(), window_, kEndOfStreamMessage)) return true;
  // A stream deeper than 16 bits goes at 16 bits, with dither, to an output
  // that will not take more.
  output_->Close();
  if (source_->ReduceTo16Bits() && output_->Open(source_.get(), window_, kEndOfStreamMessage)) return true;
  // A device with fewer channels than the file: this machine cannot play it,
  // and the user is told so as for any other file it cannot play.
  if (source_->info().format.channels > 2) ReportUnsupportedFile();
  return false;
}

bool WavePlayerEngine::LoadNextPlayable() {
  CloseAll();
  char path[kPlayListSlot] = {};
  if (!list_->Next(path, sizeof path)) return false;
  // With loop on, Next never runs out: one round of the list is the limit,
  // so a list of nothing playable cannot keep the boxes coming for ever.
  int tries = 1;
  while (!OpenSource(path)) {
    ReportUnsupportedFile();
    if (abandoned_ || tries++ >= list_->Count() || !list_->Next(path, sizeof path)) return false;
  }
  if (!MakeOutput()) {
    CloseAll();
    return false;
  }
  ApplyButtons(rules_.loaded);
  RefreshTrackButtons();
  return true;
}

void WavePlayerEngine::RefreshTrackButtons() {
  for (int n = 1; n < kTrackEntries; ++n) {
    switch (list_->EntryState(n)) {
      case -1: SetTrackState(n, kTrackPlayed); break;
      case 0: SetTrackState(n, kTrackCurrent); break;
      case 1: SetTrackState(n, kTrackToCome); break;
      default: SetTrackState(n, kTrackHidden); break;
    }
  }
  trackStates_[kTrackEntries] = kTrackHidden;  // the list holds 99 entries
}

void WavePlayerEngine::SetTrackState(int entry, int state) {
  if (entry < 1 || entry > kTrackEntries) return;
  trackStates_[entry] = state;
  const bool onPage = page_ < entry && entry < page_ + kTrackButtons + 1;
  if (state == kTrackCurrent && onPage) blink_ = true;
}

// ---- operations ----

// Starts or resumes the output; false (with everything closed) when nothing
// plays afterwards.
bool WavePlayerEngine::SetPlaying() {
  if (!output_) return false;
  if (!output_->IsOpen()) {
    if (source_) {
      if (!MakeOutput()) {
        CloseAll();
        return false;
      }
    } else if (!LoadNextPlayable()) {
      return false;
    }
  }
  if (!output_->Start()) {
    CloseAll();  // nothing plays: do not claim otherwise
    return false;
  }
  return true;
}

void WavePlayerEngine::PlayOrResume() {
  if (outputPlaying()) return;  // a remote's PLAY while playing changes nothing
  if (!SetPlaying()) return;
  ApplyButtons(ButtonSet::kPlaying);
  const int current = list_->CurrentEntryNumber();
  page_ = current > 0 ? (current - 1) / kTrackButtons * kTrackButtons : 0;
  playState_ = (playState_ & ~(kPlayStopped | kPlayPaused)) | kPlayPlaying;
  SetTrackState(current, kTrackCurrent);
  ComposeTitle();
  RefreshTrackButtons();
}

// The title line: the list file's "#EXTINF" title when it gave one, else
// "Artist – Title" from the tags, the tag title alone, or the file's name.
// The source stands its (cut) file name in for a missing tag title, so a
// title equal to that is no tag.
void WavePlayerEngine::ComposeTitle() {
  list_->CurrentTitle(title_, sizeof title_);
  if (const char* listed = list_->ListTitleOf(list_->CurrentPath())) {
    std::snprintf(title_, sizeof title_, "%s", listed);
    return;
  }
  if (!source_) return;
  const MediaInfo& info = source_->info();
  char fileTitle[kMediaTextSize] = {};
  FileTitle(list_->CurrentPath(), fileTitle, sizeof fileTitle);
  const bool tagTitle = info.title[0] != '\0' && std::strcmp(info.title, fileTitle) != 0;
  const bool tagArtist = info.artist[0] != '\0';
  if (!tagTitle && !tagArtist) return;
  if (tagArtist) {
    const std::string name = title_;
    std::snprintf(title_, sizeof title_, "%s \xE2\x80\x93 %s", info.artist, tagTitle ? info.title : name.c_str());
  } else {
    std::snprintf(title_, sizeof title_, "%s", info.title);
  }
}

void WavePlayerEngine::PauseOrResume() {
  if (output_ && output_->IsPlaying()) {
    output_->Pause();
    if (!rules_.pauseKeepsPlaying) playState_ = (playState_ & ~(kPlayPlaying | kPlayStopped)) | kPlayPaused;
    ApplyButtons(ButtonSet::kPaused);
    return;
  }
  if (!outputOpen() && !rules_.pauseStartsIdleList) return;
  PlayOrResume();
}

void WavePlayerEngine::StopPlayback() {
  if (output_) output_->Stop();
  CloseAll();
  list_->Rewind();
  ShowStopped();
}

void WavePlayerEngine::NextTrack() { ChangeTrack(true); }

void WavePlayerEngine::PreviousTrack() { ChangeTrack(false); }

void WavePlayerEngine::ChangeTrack(bool forward) {
  savedPlayState_ = playState_;
  if (!forward && rules_.trackBackRestarts && outputOpen() && source_ &&
      output_->HeardMs() > kRestartThresholdMs) {
    // Well into a file, TRACKB goes back to its start instead.
    if (savedPlayState_ & kPlayPlaying) {
      output_->SeekTo(0);
      PlayOrResume();
      return;
    }
    if (savedPlayState_ & kPlayPaused) {
      output_->SeekTo(0);
      return;
    }
  }
  char path[kPlayListSlot] = {};
  auto step = [&] { return forward ? list_->Next(path, sizeof path) : list_->Previous(path, sizeof path); };
  bool got = step();
  // Unplayable files are reported and passed over, whatever the output; one
  // round of the list is the limit, since with loop on it never runs out.
  for (int tries = 1;; ++tries) {
    if (outputOpen()) CloseAll();
    if (!got || tries > list_->Count()) {
      StopPlayback();
      return;
    }
    if (OpenSource(path)) break;
    ReportUnsupportedFile();
    if (abandoned_) return;
    got = step();
  }
  if (!MakeOutput()) {
    CloseAll();
    return;
  }
  ApplyButtons(ButtonSet::kLoaded);
  if (savedPlayState_ & kPlayPlaying) PlayOrResume();
  RefreshTrackButtons();
}

void WavePlayerEngine::OnStreamEnd(uint32_t generation) {
  // A late notice of an output that was stopped, closed or replaced since.
  if (!source_ || !output_ || generation == 0 || output_->EndGeneration() != generation) return;
  SetTrackState(list_->CurrentEntryNumber(), kTrackPlayed);
  NextTrack();
}

void WavePlayerEngine::SkipForward() { Skip(true); }

void WavePlayerEngine::SkipBack() { Skip(false); }

void WavePlayerEngine::Skip(bool forward) {
  if (!source_ || !outputOpen()) return;
  output_->SeekBy(forward ? static_cast<int32_t>(kSkipMs) : -static_cast<int32_t>(kSkipMs));
}

void WavePlayerEngine::PlayEntryNumber(int n) {
  if (n < 1 || n > list_->Count()) return;
  // Random play ends, and so does whatever plays now.
  StopPlayback();
  if (list_->IsShuffled()) list_->Unshuffle();
  char path[kPlayListSlot] = {};
  list_->PlayEntry(n, path, sizeof path);
  if (!OpenSource(path)) return;
  if (!MakeOutput()) {
    CloseAll();
    return;
  }
  ApplyButtons(ButtonSet::kLoaded);
  PlayOrResume();
  RefreshTrackButtons();
}

void WavePlayerEngine::AddFile(const char* path) {
  if (path == nullptr || path[0] == '\0') return;
  if (FilterKind(list_->AllowedKinds(), path) == kKindNone) {
    list_->LoadListFile(path);
    StopPlayback();
    PlayOrResume();
  } else {
    list_->Append(path);
  }
  // A one-entry list that has just started playing keeps its playing face.
  if (list_->Count() < 2 && !(playState_ & (kPlayPlaying | kPlayPaused))) {
    ShowStopped();
  } else {
    RefreshTrackButtons();
  }
}

void WavePlayerEngine::ClearList() {
  CloseAll();
  list_->Clear();
  ShowStopped();  // an empty list: nothing to press
}

// A file that is loaded goes on playing; the new order starts after it.
void WavePlayerEngine::ToggleRandom() {
  if (!outputOpen()) StopPlayback();
  list_->SetShuffled(!list_->IsShuffled());
  RefreshTrackButtons();
}

void WavePlayerEngine::SetRandom(bool on) {
  if (list_->IsShuffled() != on) ToggleRandom();
}

void WavePlayerEngine::ToggleLoop() { list_->SetLoop(!list_->IsLoop()); }

// OK: the file that plays goes on when the new list still holds it.
void WavePlayerEngine::OnListEdited() {
  const std::string playing = list_->CurrentPath();
  if (outputOpen() && source_ && list_->EditsHold(playing.c_str()) &&
      list_->CommitEditsKeeping(playing.c_str())) {
    list_->HideListWindow();
    const int current = list_->CurrentEntryNumber();
    page_ = current > 0 ? (current - 1) / kTrackButtons * kTrackButtons : 0;
    RefreshTrackButtons();
    return;
  }
  CloseAll();
  list_->CommitEdits();
  list_->HideListWindow();
  page_ = 0;
  ShowStopped();
}

void WavePlayerEngine::OnDiscChange(bool arrived, int drive, bool autoPlay) {
  if (!arrived) {
    if (drive == list_->CurrentDrive()) StopPlayback();
    return;
  }
  if (list_->Count() != 0 || drive < 0 || drive > 25) return;
  char root[4];
  std::snprintf(root, sizeof root, "%c:\\", 'A' + drive);
  char listPath[kPlayListSlot] = {};
  if (!FindDiscList(VolumeSerial(root), kWavePlayerKinds, listPath, sizeof listPath)) return;
  list_->LoadListFile(listPath);
  ShowStopped();  // the loaded list can be played now
  if (autoPlay) PlayOrResume();
}

void WavePlayerEngine::OnSuspendQuery() { StopPlayback(); }

bool WavePlayerEngine::Handle3D(uint16_t code, uint32_t groupMask) {
  return outputOpen() && output_->Handle3D(code, groupMask);
}

bool WavePlayerEngine::NextPage() {
  if (page_ + kTrackButtons >= list_->Count()) return false;
  page_ += kTrackButtons;
  RefreshTrackButtons();
  return true;
}

bool WavePlayerEngine::PreviousPage() {
  if (page_ < kTrackButtons) return false;
  page_ -= kTrackButtons;
  RefreshTrackButtons();
  return true;
}

void WavePlayerEngine::Tick() {
  if (!blink_) return;
  shownTrack_ = list_->CurrentEntryNumber();
  shownSeconds_ = HeardMs() / 1000;
}

uint32_t WavePlayerEngine::HeardMs() const {
  if (!source_) return 0;
  return outputOpen() ? output_->HeardMs() : source_->PositionMs();
}
