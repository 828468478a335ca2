// One device of the Media Control Interface: a CD audio track opened through
// its ".cda" track file, a CD drive opened by letter (to work its tray), or a
// MIDI file opened through the sequencer. The CD player and the MIDI player
// do all their playing through it. A CD track device plays exactly one track
// and then reports MM_MCINOTIFY to its notify window.
//
// The operations are virtual so the CD engine's timing-dependent states can
// be driven by a scripted device in tests.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <cstdint>

// TMSF (track, minutes, seconds, frames) and MSF values, one byte each from
// the lowest.
constexpr uint32_t TmsfTrack(uint32_t tmsf) { return tmsf & 0xFF; }
constexpr uint32_t TmsfMinutes(uint32_t tmsf) { return (tmsf >> 8) & 0xFF; }
constexpr uint32_t TmsfSeconds(uint32_t tmsf) { return (tmsf >> 16) & 0xFF; }
constexpr uint32_t MakeTmsf(uint32_t track, uint32_t minutes, uint32_t seconds) {
  return (track & 0xFF) | ((minutes & 0xFF) << 8) | ((seconds & 0xFF) << 16);
}
constexpr uint32_t MsfMinutes(uint32_t msf) { return msf & 0xFF; }
constexpr uint32_t MsfSeconds(uint32_t msf) { return (msf >> 8) & 0xFF; }

// The track a ".cda" file stands for: the one or two digits just before the
// extension, 1..99 ("Track05.cda" is 5); 0 when the name carries none.
int CdTrackNumberOfFile(const char* path);

constexpr char kCdDriveAlias[] = "cd";

class MciDevice {
 public:
  MciDevice() = default;
  // The notify window is taken only if it names an existing window.
  explicit MciDevice(HWND notify);
  // Closes the device whenever it holds an id, however it was opened.
  virtual ~MciDevice();
  MciDevice(const MciDevice&) = delete;
  MciDevice& operator=(const MciDevice&) = delete;

  // A track file or a MIDI file. Only a ".cda" file whose own open fails is
  // retried as the CD drive its name starts with; a ".cda" name without a
  // track number in 1..99 fails.
  virtual bool Open(const char* path);
  // Drive index 0 = A. Closes whatever the object held first.
  virtual bool OpenDrive(int drive);
  virtual bool Close();
  // A CD track plays to its own end (from the start, or on from a pause);
  // any other device plays from the start or on from a pause.
  virtual bool Play();
  virtual bool Pause();
  virtual bool Stop();
  // 0 is the start of the medium, 0xFFFFFFFF its end.
  virtual bool Seek(uint32_t to);
  virtual uint32_t Position();
  virtual uint32_t Mode();
  virtual bool IsPlaying();
  // A CD track's own length in MSF; milliseconds otherwise; 0 when unknown.
  virtual uint32_t Length();
  virtual bool OpenDoor();
  virtual bool CloseDoor();
  // Moves by whole seconds within the track (CD track only), clamped to the
  // track; a device that was playing plays on to the end of the track.
  // Nothing happens while the track's length is unknown.
  virtual bool SkipBy(int64_t seconds);
  // Steps of `step` seconds: SkipBy for a CD track; a seek in milliseconds
  // (the caller restarts play) for any other device.
  virtual bool Forward(uint32_t step);
  virtual bool Back(uint32_t step);

  bool SetTimeFormatTmsf();
  bool SetTimeFormatMs();
  // The sequencer's tempo (a MIDI file's); -1 when unknown.
  virtual bool SetTempo(uint32_t tempo);
  virtual long GetTempo();
  // A device that tells its end by other means than MM_MCINOTIFY (the
  // built-in synthesizer): whether the file has been played out.
  virtual bool PlayedToTheEnd() { return false; }
  void SetNotifyWindow(HWND window);

  virtual MCIDEVICEID id() const { return deviceId_; }
  bool isCdTrack() const { return cdTrack_; }
  virtual int track() const { return track_; }
  bool paused() const { return paused_; }
  bool isOpen() const { return open_; }
  // The result of the last MCI call that failed (0 when none did).
  MCIERROR lastError() const { return lastError_; }

 protected:
  MCIERROR Send(UINT command, DWORD_PTR flags, void* parameters);

 private:
  bool SetTimeFormat(DWORD format);
  bool SeekMilliseconds(int64_t to);

  bool cdTrack_ = false;
  MCIDEVICEID deviceId_ = 0;
  int track_ = 0;
  bool paused_ = false;
  HWND notify_ = nullptr;
  bool open_ = false;
  MCIERROR lastError_ = 0;
};
