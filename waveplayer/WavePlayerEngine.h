// The wave player's playback engine: which output plays (DirectSound when it
// could be set up, else the wave output device), what every transport
// command does to the playlist, the media source and the output, the play
// state and the button set that goes with it, and the track indicator
// states. It draws nothing; the window renders what it holds after every
// command. Everything runs on the window's thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "audio/AudioOutput.h"
#include "audio/MediaSource.h"
#include "audio/WaveOutDevice.h"
#include "media/PlayList.h"

// Bits of the play state.
enum PlayStateBit : uint32_t { kPlayPlaying = 1, kPlayStopped = 2, kPlayPaused = 4 };

// The enable sets the operations apply to the transport buttons.
enum class ButtonSet {
  kStopped,
  kEmptyList,
  kLoaded,
  kLoadedDirectSound,  // loaded by LoadNextPlayable in DirectSound mode
  kPlaying,
  kPaused,
};

struct TransportEnables {
  bool play, stop, pause, skipForward, skipBack, trackForward, trackBack;
};
TransportEnables EnablesOf(ButtonSet set);

// What a track indicator shows for its list entry.
enum TrackState : int { kTrackHidden = 0, kTrackPlayed = 1, kTrackToCome = 2, kTrackCurrent = 3 };

constexpr int kTrackButtons = 20;
constexpr int kTrackEntries = 100;  // entries 1..100 have indicator images
constexpr uint32_t kSkipMs = 10000;
constexpr uint32_t kRestartThresholdMs = 2000;
constexpr char kUnsupportedFormatText[] = "The media file has unsupported format.";

class WavePlayerEngine {
 public:
  // `window` receives the end-of-stream message and owns the error boxes.
  WavePlayerEngine(PlayList* list, HWND window);
  virtual ~WavePlayerEngine();
  WavePlayerEngine(const WavePlayerEngine&) = delete;
  WavePlayerEngine& operator=(const WavePlayerEngine&) = delete;

  // Chooses the output once: DirectSound initialised with `mainPanel` when
  // `tryDirectSound`, else (or when that fails) a wave output device.
  // False only when there is no output at all.
  bool InitOutput(HWND mainPanel, bool tryDirectSound);

  // Transport operations (commands 4000, 4004, 1002, 1008, 1010, 1030,
  // 1031, 5012, 5000, 5001, 5011 and messages 953, 1046, 1044).
  void PlayOrResume();
  void PauseOrResume();
  void StopPlayback();
  void NextTrack();
  void PreviousTrack();
  void SkipForward();
  void SkipBack();
  void PlayEntryNumber(int n);
  void AddFile(const char* path);
  void ClearList();
  void ToggleRandom();
  // The lamps' direct paths: random on or off whatever it was.
  void SetRandom(bool on);
  void ToggleLoop();
  // Message 953: `generation` (its wParam) names the run that ended; a
  // notice of a run that is no longer the output's is ignored.
  void OnStreamEnd(uint32_t generation);
  void OnListEdited();
  void OnDiscChange(bool arrived, int drive, bool autoPlay);
  void OnSuspendQuery();
  // Commands 5020 and 5021; nothing without DirectSound or a stream.
  bool Handle3D(uint16_t code, uint32_t groupMask);
  // Page buttons: true when the page changed.
  bool NextPage();
  bool PreviousPage();
  // The 500 ms tick: updates the shown track and time while the current
  // track blinks.
  void Tick();

  // What the window renders.
  bool directSound() const { return rules_.directSound; }
  uint32_t playState() const { return playState_; }
  ButtonSet buttons() const { return buttons_; }
  int page() const { return page_; }
  bool currentBlink() const { return blink_; }
  int trackState(int entry) const;
  const char* title() const { return title_; }
  int shownTrack() const { return shownTrack_; }
  uint32_t shownSeconds() const { return shownSeconds_; }
  PlayList* list() const { return list_; }
  MediaSource* source() const { return source_.get(); }
  // The playing time: the position of what is heard, not of what has been
  // read ahead for the output.
  uint32_t HeardMs() const;
  bool outputOpen() const;
  bool outputPlaying() const;
  // The window is gone while an operation's message box was up: the
  // operation gives up at its next step instead of going on.
  void Abandon() { abandoned_ = true; }

 protected:
  // The error box; tests may watch it.
  virtual void ReportUnsupportedFile();

 private:
  bool LoadNextPlayable();
  void CloseAll();
  void ShowStopped();
  bool MakeOutput();
  void DestroyOutput();
  bool OpenSource(const char* path);
  void DropSource();
  void ChangeTrack(bool forward);
  void Skip(bool forward);
  bool SetPlaying();
  void ComposeTitle();
  void ApplyButtons(ButtonSet set) { buttons_ = set; }
  void RefreshTrackButtons();
  void SetTrackState(int entry, int state);

  // Where the player's behaviour differs with the output it plays through.
  // Set once with the output; the operations read these, never the kind.
  struct OutputRules {
    bool directSound = false;
    // Button set after a file is loaded and not yet started.
    ButtonSet loaded = ButtonSet::kLoaded;
    // A pause leaves the play state "playing", so a track change plays on.
    bool pauseKeepsPlaying = true;
    // PAUSE with nothing loaded starts the list, as PLAY would.
    bool pauseStartsIdleList = true;
    // TRACKB well into a file goes back to its start instead.
    bool trackBackRestarts = false;
  };

  PlayList* list_;
  HWND window_;
  OutputRules rules_;
  std::unique_ptr<AudioOutput> output_;  // reads source_, so it is closed first
  std::unique_ptr<MediaSource> source_;
  uint32_t playState_ = kPlayStopped;
  uint32_t savedPlayState_ = kPlayStopped;
  ButtonSet buttons_ = ButtonSet::kEmptyList;
  int page_ = 0;
  bool blink_ = false;
  int trackStates_[kTrackEntries + 1] = {};
  char title_[kPlayListSlot] = {};
  int shownTrack_ = 0;
  uint32_t shownSeconds_ = 0;
  bool abandoned_ = false;
};
