#include "cd/MciDevice.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char* FileNameOf(const char* path) {
  const char* name = path;
  for (const char* p = path; *p != '\0'; ++p) {
    if (*p == '\\' || *p == '/' || *p == ':') name = p + 1;
  }
  return name;
}

int64_t Clamp(int64_t value, int64_t low, int64_t high) { return value < low ? low : value > high ? high : value; }

}  // namespace

int CdTrackNumberOfFile(const char* path) {
  if (path == nullptr) return 0;
  const char* name = FileNameOf(path);
  const char* dot = std::strrchr(name, '.');
  if (dot == nullptr) return 0;
  int digits = 0;
  while (digits < 3 && dot - digits > name && dot[-digits - 1] >= '0' && dot[-digits - 1] <= '9') ++digits;
  if (digits < 1 || digits > 2) return 0;
  int track = 0;
  for (const char* p = dot - digits; p < dot; ++p) track = track * 10 + (*p - '0');
  return track >= 1 && track <= 99 ? track : 0;
}

MciDevice::MciDevice(HWND notify) { SetNotifyWindow(notify); }

MciDevice::~MciDevice() {
  if (deviceId_ != 0) Close();
}

MCIERROR MciDevice::Send(UINT command, DWORD_PTR flags, void* parameters) {
  const MCIERROR error = mciSendCommandA(deviceId_, command, flags, reinterpret_cast<DWORD_PTR>(parameters));
  if (error != 0) lastError_ = error;
  return error;
}

void MciDevice::SetNotifyWindow(HWND window) {
  if (window != nullptr && IsWindow(window)) notify_ = window;
}

bool MciDevice::Open(const char* path) {
  paused_ = false;
  if (path == nullptr || deviceId_ != 0) return false;
  const char* dot = std::strrchr(FileNameOf(path), '.');
  if (dot == nullptr || dot[1] == '\0') return false;
  const bool cd = lstrcmpiA(dot + 1, "cda") == 0;
  const int track = cd ? CdTrackNumberOfFile(path) : 0;
  if (cd && track == 0) return false;  // a track 0 would seek to the start of the disc

  MCI_OPEN_PARMSA open = {};
  open.lpstrElementName = path;
  MCIERROR error = mciSendCommandA(0, MCI_OPEN, MCI_OPEN_ELEMENT | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&open));
  if (error != 0 && cd) {
    // The system may know no device for the track file itself; its drive
    // then opens as a CD. Only for track files: anything else that fails
    // to open on a CD-ROM must not play the audio disc instead.
    char drive[3] = {path[0], path[0] != '\0' ? path[1] : '\0', '\0'};
    open = {};
    open.lpstrDeviceType = reinterpret_cast<LPCSTR>(static_cast<DWORD_PTR>(MCI_DEVTYPE_CD_AUDIO));
    open.lpstrElementName = drive;
    error = mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_TYPE_ID | MCI_OPEN_ELEMENT | MCI_WAIT,
                            reinterpret_cast<DWORD_PTR>(&open));
  }
  if (error != 0) {
    lastError_ = error;
    return false;
  }
  deviceId_ = open.wDeviceID;
  open_ = true;
  cdTrack_ = cd;
  track_ = track;
  if (!cd) {
    SetTimeFormatMs();
    return true;
  }
  SetTimeFormatTmsf();
  Seek(static_cast<uint32_t>(track));  // in TMSF, the start of that track
  return true;
}

bool MciDevice::OpenDrive(int drive) {
  if (drive < 0 || drive >= 26) return false;
  char root[] = "A:\\";
  root[0] = static_cast<char>('A' + drive);
  if (GetDriveTypeA(root) != DRIVE_CDROM) return false;
  // One object is used for drive after drive: an id still held would be
  // lost (and its alias kept busy) if it were overwritten.
  if (deviceId_ != 0) Close();
  MCI_OPEN_PARMSA open = {};
  open.lpstrDeviceType = reinterpret_cast<LPCSTR>(static_cast<DWORD_PTR>(MCI_DEVTYPE_CD_AUDIO));
  open.lpstrElementName = root;
  MCIERROR error = mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_TYPE_ID | MCI_OPEN_ELEMENT | MCI_WAIT,
                                   reinterpret_cast<DWORD_PTR>(&open));
  if (error == 0) {
    deviceId_ = open.wDeviceID;
    return true;
  }
  lastError_ = error;
  char command[64];
  std::snprintf(command, sizeof command, "open %c: type cdaudio alias %s", root[0], kCdDriveAlias);
  char reply[16] = {};
  error = mciSendStringA(command, reply, sizeof reply, nullptr);
  if (error != 0) {
    lastError_ = error;
    return false;
  }
  deviceId_ = static_cast<MCIDEVICEID>(std::strtoul(reply, nullptr, 10));
  if (deviceId_ == 0) deviceId_ = mciGetDeviceIDA(kCdDriveAlias);
  return deviceId_ != 0;
}

bool MciDevice::Close() {
  if (deviceId_ == 0) return false;
  Stop();
  MCI_GENERIC_PARMS close = {};
  const bool closed = Send(MCI_CLOSE, MCI_WAIT, &close) == 0;
  deviceId_ = 0;
  open_ = false;
  paused_ = false;
  return closed;
}

bool MciDevice::Play() {
  if (deviceId_ == 0) return false;
  const uint32_t length = Length();
  MCI_PLAY_PARMS play = {};
  play.dwCallback = reinterpret_cast<DWORD_PTR>(notify_);
  DWORD flags = MCI_NOTIFY;
  if (cdTrack_) {
    // The end of this track, so the device never runs on into the next.
    play.dwTo = (length << 8) | static_cast<uint32_t>(track_);
    flags |= MCI_TO;
  }
  if (!paused_) {
    play.dwFrom = cdTrack_ ? static_cast<uint32_t>(track_) : 0;
    flags |= MCI_FROM;
  }
  MCIERROR error = Send(MCI_PLAY, flags, &play);
  if (error != 0 && (flags & MCI_TO) != 0) error = Send(MCI_PLAY, flags & ~MCI_TO, &play);
  if (error != 0) return false;
  paused_ = false;
  return true;
}

bool MciDevice::Pause() {
  if (deviceId_ == 0) return false;
  MCI_GENERIC_PARMS pause = {};
  if (Send(MCI_PAUSE, MCI_WAIT, &pause) != 0) return false;
  paused_ = true;
  return true;
}

bool MciDevice::Stop() {
  if (deviceId_ == 0) return false;
  MCI_GENERIC_PARMS stop = {};
  return Send(MCI_STOP, MCI_WAIT, &stop) == 0;
}

bool MciDevice::Seek(uint32_t to) {
  if (deviceId_ == 0) return false;
  MCI_SEEK_PARMS seek = {};
  DWORD flags = MCI_WAIT;
  if (to == 0) {
    flags |= MCI_SEEK_TO_START;
  } else if (to == 0xFFFFFFFFu) {
    flags |= MCI_SEEK_TO_END;
  } else {
    flags |= MCI_TO;
    seek.dwTo = to;
  }
  return Send(MCI_SEEK, flags, &seek) == 0;
}

uint32_t MciDevice::Position() {
  if (deviceId_ == 0) return 0;
  MCI_STATUS_PARMS status = {};
  status.dwItem = MCI_STATUS_POSITION;
  return Send(MCI_STATUS, MCI_STATUS_ITEM, &status) == 0 ? static_cast<uint32_t>(status.dwReturn) : 0;
}

uint32_t MciDevice::Mode() {
  if (deviceId_ == 0) return 0;
  MCI_STATUS_PARMS status = {};
  status.dwItem = MCI_STATUS_MODE;
  return Send(MCI_STATUS, MCI_STATUS_ITEM, &status) == 0 ? static_cast<uint32_t>(status.dwReturn) : 0;
}

bool MciDevice::IsPlaying() { return Mode() == MCI_MODE_PLAY; }

uint32_t MciDevice::Length() {
  if (deviceId_ == 0) return 0;
  MCI_STATUS_PARMS status = {};
  status.dwItem = MCI_STATUS_LENGTH;
  DWORD flags = MCI_STATUS_ITEM | MCI_WAIT;
  if (cdTrack_) {
    status.dwTrack = static_cast<DWORD>(track_);
    flags |= MCI_TRACK;
  }
  return Send(MCI_STATUS, flags, &status) == 0 ? static_cast<uint32_t>(status.dwReturn) : 0;
}

bool MciDevice::SetTimeFormat(DWORD format) {
  if (deviceId_ == 0) return false;
  MCI_SET_PARMS set = {};
  set.dwTimeFormat = format;
  return Send(MCI_SET, MCI_SET_TIME_FORMAT | MCI_WAIT, &set) == 0;
}

bool MciDevice::SetTimeFormatTmsf() { return SetTimeFormat(MCI_FORMAT_TMSF); }

bool MciDevice::SetTimeFormatMs() { return SetTimeFormat(MCI_FORMAT_MILLISECONDS); }

bool MciDevice::OpenDoor() {
  if (deviceId_ == 0) return false;
  MCI_SET_PARMS set = {};
  return Send(MCI_SET, MCI_SET_DOOR_OPEN | MCI_WAIT, &set) == 0;
}

bool MciDevice::CloseDoor() {
  if (deviceId_ == 0) return false;
  MCI_SET_PARMS set = {};
  if (Send(MCI_SET, MCI_SET_DOOR_CLOSED | MCI_WAIT, &set) == 0) return true;
  // The string form reaches the device only through its alias; another
  // device that someone else opened under that alias is not ours to close.
  if (mciGetDeviceIDA(kCdDriveAlias) != deviceId_) return false;
  char command[32];
  std::snprintf(command, sizeof command, "set %s door closed", kCdDriveAlias);
  const MCIERROR error = mciSendStringA(command, nullptr, 0, nullptr);
  if (error != 0) lastError_ = error;
  return error == 0;
}

bool MciDevice::SkipBy(int64_t seconds) {
  if (deviceId_ == 0 || !cdTrack_) return false;
  const bool playing = IsPlaying();
  const uint32_t length = Length();
  const int64_t lengthSeconds = MsfMinutes(length) * 60 + MsfSeconds(length);
  // Without a length "one second before the end" would be before the start.
  if (lengthSeconds <= 0) return false;
  const uint32_t position = Position();
  const int64_t now = TmsfMinutes(position) * 60 + TmsfSeconds(position);
  const int64_t to = Clamp(now + seconds, 0, lengthSeconds - 1);
  const uint32_t track = TmsfTrack(position) != 0 ? TmsfTrack(position) : static_cast<uint32_t>(track_);
  const uint32_t target = MakeTmsf(track, static_cast<uint32_t>(to / 60), static_cast<uint32_t>(to % 60));
  if (!Seek(target)) return false;
  if (playing) {
    MCI_PLAY_PARMS play = {};
    play.dwCallback = reinterpret_cast<DWORD_PTR>(notify_);
    play.dwFrom = target;
    play.dwTo = (length << 8) | track;
    Send(MCI_PLAY, MCI_NOTIFY | MCI_FROM | MCI_TO, &play);
  }
  return true;
}

bool MciDevice::SeekMilliseconds(int64_t to) {
  const uint32_t length = Length();
  if (length == 0) return false;  // a clamp to "length - 1" would seek to the end
  const int64_t target = Clamp(to, 0, static_cast<int64_t>(length) - 1);
  return Seek(static_cast<uint32_t>(target));
}

bool MciDevice::Forward(uint32_t step) {
  if (deviceId_ == 0) return false;
  if (cdTrack_) return SkipBy(static_cast<int64_t>(step));
  return SeekMilliseconds(static_cast<int64_t>(Position()) + static_cast<int64_t>(step) * 1000);
}

bool MciDevice::Back(uint32_t step) {
  if (deviceId_ == 0) return false;
  if (cdTrack_) return SkipBy(-static_cast<int64_t>(step));
  return SeekMilliseconds(static_cast<int64_t>(Position()) - static_cast<int64_t>(step) * 1000);
}

bool MciDevice::SetTempo(uint32_t tempo) {
  if (deviceId_ == 0) return false;
  MCI_SEQ_SET_PARMS set = {};
  set.dwTempo = tempo;
  return Send(MCI_SET, MCI_SEQ_SET_TEMPO | MCI_WAIT, &set) == 0;
}

long MciDevice::GetTempo() {
  if (deviceId_ == 0) return -1;
  MCI_STATUS_PARMS status = {};
  status.dwItem = MCI_SEQ_STATUS_TEMPO;
  if (Send(MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT, &status) != 0) return -1;
  return static_cast<long>(status.dwReturn);
}
