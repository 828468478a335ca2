// The CD player's engine: which drive and track, the play, pause and stop
// states, random and loop, the held fast search with its 200 ms timer, the
// end of a track and of the list, and the discs that come and go. Each
// track is played by its own MciDevice, opened on the track's ".cda" file.
// It draws nothing: the window renders what it holds after every call.
// Everything runs on the window's thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "cd/FrontPanelLcd.h"
#include "cd/MciDevice.h"
#include "cd/TrackMarks.h"
#include "media/PlayList.h"

// Status bits, as the front-panel display gets them.
enum CdStatus : uint32_t { kCdPlaying = 1, kCdStopped = 2, kCdPaused = 4, kCdNoDisc = 8 };

struct CdButtons {
  bool play, stop, pause, skipForward, skipBack, trackForward, trackBack;
};

constexpr UINT_PTR kCdSkipTimer = 1;
constexpr UINT kCdSkipTickMs = 200;
constexpr int kCdSkipTicks = 50;
constexpr uint32_t kCdStepSeconds = 10;

using CdDeviceFactory = std::function<std::unique_ptr<MciDevice>(HWND notify)>;

class CdEngine {
 public:
  // `window` gets the devices' notices and the skip timer; `lcd` may be null.
  // Without a factory the devices are real MCI devices.
  CdEngine(PlayList* list, HWND window, FrontPanelLcd* lcd, CdDeviceFactory factory = nullptr);
  ~CdEngine();
  CdEngine(const CdEngine&) = delete;
  CdEngine& operator=(const CdEngine&) = delete;

  // Closes every CD tray and loads the first disc with tracks.
  void StartUp(bool play);
  // A command of the command message. A held skip in progress ends first
  // (unless this is its own end, or a status query). False for the codes
  // the window answers itself (1080, 7030) and unknown ones. For 5000,
  // `file` is the handed-over name when the caller has read it already;
  // else lParam names it.
  bool Command(uint16_t code, LPARAM lParam, const char* file = nullptr);
  void OnNotify(WPARAM code, LPARAM deviceId);
  void OnDiscChange(bool arrived, int drive, bool autoPlay);
  void OnListEdited();
  void OnSuspendQuery();
  void OnShown(bool shown, bool autoPlay);
  void OnSkipTick();
  // The panel's 500 ms tick: the time display follows the device.
  void Refresh();

  void PlayCd();
  void PauseOrResume();
  void StopCd();
  void NextTrack();
  void PreviousTrack();
  void PlayTrack(int n);
  void AddFile(const char* name);
  void EjectOrClose();
  void RandomOn();
  void RandomOff();
  void ToggleLoop();
  void StartSkip(int direction);
  void EndSkip();
  bool NextPage();
  bool PreviousPage();

  // What the window renders.
  const CdButtons& buttons() const { return buttons_; }
  uint32_t status() const { return status_; }
  bool playing() const { return playing_; }
  int page() const { return marks_.page(); }
  int mark(int track) const { return marks_.mark(track); }
  const TrackMarks& marks() const { return marks_; }
  bool displayActive() const { return marks_.displayActive(); }
  int shownTrack() const { return shownTrack_; }
  int shownMinutes() const { return shownMinutes_; }
  int shownSeconds() const { return shownSeconds_; }
  bool skipRunning() const { return skipDirection_ != 0; }
  int skipSecond() const { return static_cast<int>(skipSecond_); }
  bool doorClosed(int drive) const { return drive >= 0 && drive < 26 && doors_[drive]; }
  MciDevice* device() const { return device_.get(); }
  PlayList* list() const { return list_; }

 private:
  std::unique_ptr<MciDevice> MakeDevice();
  bool LoadFirstTrack();
  void CloseDevice();
  void CancelSkip();
  void ResetDisplay();
  void ChangeTrack(bool forward);
  void SetRandom(bool on);
  // A track device that plays or is paused.
  bool TrackUnderWay() const;
  void RefreshMarks();
  void Show(int track, int64_t minutes, int64_t seconds);
  void SetButtons(bool play, bool stop, bool pause, bool skips, bool tracks);
  void SetTrackLcd(uint32_t track);
  void SetStateLcd(uint32_t status);

  PlayList* list_;
  HWND window_;
  FrontPanelLcd* lcd_;
  CdDeviceFactory factory_;
  std::unique_ptr<MciDevice> device_;
  bool doors_[26] = {};
  uint32_t status_ = kCdNoDisc;
  uint32_t savedStatus_ = 0;
  bool playing_ = false;
  int skipDirection_ = 0;
  int skipCountdown_ = 0;
  int64_t skipStart_ = 0;
  int64_t skipSecond_ = 0;
  uint32_t skipSavedStatus_ = 0;
  TrackMarks marks_;
  CdButtons buttons_ = {};
  int shownTrack_ = 0;
  int shownMinutes_ = 0;
  int shownSeconds_ = 0;
};
