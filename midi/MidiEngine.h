// The MIDI player's engine: one MIDI file at a time from its list, played by
// the MCI sequencer through an MciDevice opened on the file; play, pause and
// stop, file changes, the ten-second steps, the end of a file and of the
// list, and the tempo with FAST and SLOW. It draws nothing: the window
// renders what it holds after every call. Everything runs on the window's
// thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "cd/MciDevice.h"
#include "cd/TrackMarks.h"
#include "media/PlayList.h"

enum MidiState : uint32_t { kMidiPlaying = 1, kMidiStopped = 2, kMidiPaused = 4 };

struct MidiButtons {
  bool play, stop, pause, skipForward, skipBack, trackForward, trackBack;
};

constexpr uint32_t kMidiStepSeconds = 10;
// Tempo steps and the range FAST and SLOW reach; the bar shows tempo t at
// marker position t / 10 - 1.
constexpr long kTempoStep = 10;
constexpr long kSlowestTempo = 10;
constexpr long kFastestTempo = 290;
constexpr int TempoMarker(long tempo) { return static_cast<int>(tempo / kTempoStep - 1); }

constexpr char kUnsupportedFileText[] = "The media file has unsupported format.";

using MidiDeviceFactory = std::function<std::unique_ptr<MciDevice>(HWND notify)>;

class MidiEngine {
 public:
  // `window` gets the devices' notices and owns the error boxes. Without a
  // factory the devices are real MCI devices.
  MidiEngine(PlayList* list, HWND window, MidiDeviceFactory factory = nullptr);
  ~MidiEngine();
  MidiEngine(const MidiEngine&) = delete;
  MidiEngine& operator=(const MidiEngine&) = delete;

  // A command of the command message; false for the codes the window
  // answers itself (1080, 7030) and for those that do nothing here.
  // For 5000, `file` is the handed-over name when the caller has read it
  // already; else lParam names it.
  bool Command(uint16_t code, LPARAM lParam, const char* file = nullptr);
  void OnNotify(WPARAM code, LPARAM deviceId);
  // The built-in synthesizer's end notice: counts only when the current
  // device has really played out (one from a replaced device does not).
  void OnPlayedOut();
  void OnListEdited();
  // Shown, hidden or a suspend coming: play stops.
  void StopForWindow() { StopMidi(); }
  // The panel's 500 ms tick: the time display follows the device.
  void Refresh();

  void PlayMidi();
  void PauseOrResume();
  void StopMidi();
  void NextFile();
  void PreviousFile();
  void PlayFile(int n);
  void AddFile(const char* name);
  void RandomOn();
  void RandomOff();
  void ToggleLoop();
  void Step(bool forward);
  void Faster();
  void Slower();
  bool NextPage();
  bool PreviousPage();

  // An operation may show a message box, whose loop dispatches whatever
  // arrives meanwhile; the window's guard (common/PlayerGuard.h) keeps that
  // away from the engine. Abandon makes an operation in progress give up at
  // its next step (the window is going).
  void Abandon() { abandoned_ = true; }

  // What the window renders.
  const MidiButtons& buttons() const { return buttons_; }
  bool tempoEnabled() const { return tempoEnabled_; }
  int tempoMarker() const { return tempoMarker_; }
  long tempo() const { return tempo_; }
  uint32_t state() const { return state_; }
  const TrackMarks& marks() const { return marks_; }
  int page() const { return marks_.page(); }
  bool displayActive() const { return marks_.displayActive(); }
  int shownFile() const { return shownFile_; }
  int shownMinutes() const { return shownMinutes_; }
  int shownSeconds() const { return shownSeconds_; }
  const std::string& title() const { return title_; }
  MciDevice* device() const { return device_.get(); }
  PlayList* list() const { return list_; }

 private:
  std::unique_ptr<MciDevice> OpenFile(const char* path);
  bool LoadFirstFile();
  void CloseDevice();
  void ResetDisplay();
  void ChangeFile(bool forward);
  void SetRandom(bool on);
  // A device whose file plays or is paused.
  bool FileUnderWay() const;
  void ShowTempo();
  void SetTempo(long tempo);
  void ShowTime(uint32_t milliseconds);
  void SetButtons(bool play, bool stop, bool pause, bool skips, bool tracks);
  void ReportUnsupported();

  PlayList* list_;
  HWND window_;
  MidiDeviceFactory factory_;
  std::unique_ptr<MciDevice> device_;
  uint32_t state_ = kMidiStopped;
  bool stepping_ = false;
  long tempo_ = -1;
  int tempoMarker_ = -1;
  bool tempoEnabled_ = false;
  TrackMarks marks_;
  MidiButtons buttons_ = {};
  int shownFile_ = 0;
  int shownMinutes_ = 0;
  int shownSeconds_ = 0;
  std::string title_;
  bool abandoned_ = false;
};
