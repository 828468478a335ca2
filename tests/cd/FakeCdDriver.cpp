// A stand-in CD audio MCI driver for tests only: the machine has no CD drive,
// and Wine's own driver cannot read a table of contents from the folder the
// test prefix presents as drive X:. This one reports a scripted disc and
// plays it against the clock (faster than real time), sending real
// MM_MCINOTIFY completions, so the player can run end to end.
//
// The disc comes from the environment variable CX_FAKE_CD or from
// FakeCdScript(): "speed:seconds,seconds,..." (one length per track), with
// flags appended: "!nolength" makes every length query fail, "!noroot"
// refuses to open on a drive's root ("X:\\", as opposed to "X:"), and
// "!nowaitdoor" refuses to close the door when asked with MCI_WAIT (as the
// command form is, and the plain string form is not). FakeCdLog() hands out
// (and clears) the commands seen, one line each.
//
// Built a second time with CX_FAKE_SEQUENCER as a stand-in MIDI sequencer
// (Wine's own opens MIDI files but never plays them): each device is one
// file, which must start like a MIDI file ("MThd") or fails to open with
// MCIERR_INVALID_FILE. Its script, from CX_FAKE_SEQ or FakeCdScript(), is
// "speed:seconds" (every file's length) with "name=seconds" entries for
// single files (the name without folder), and flags "!tempo=N" (the tempo
// files start with, 120 when not given), "!notempo" (tempo reads fail) and
// "!nosettempo" (tempo changes fail); "!noplay" makes every play fail
// (both drivers). Tempo changes are logged as "TEMPO n";
// they do not change the speed of play.
//
// It is registered only in a test prefix's system.ini, [mci] cdaudio=<path>
// or sequencer=<path>.
#include <windows.h>
#include <mmsystem.h>
#include <mmddk.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kFramesPerSecond = 75;

#ifdef CX_FAKE_SEQUENCER
constexpr bool kSequencer = true;
constexpr char kScriptVariable[] = "CX_FAKE_SEQ";
constexpr char kDefaultScript[] = "8:20";
#else
constexpr bool kSequencer = false;
constexpr char kScriptVariable[] = "CX_FAKE_CD";
constexpr char kDefaultScript[] = "8:20,15,25,12";
#endif

struct Disc {
  std::vector<uint32_t> trackFrames;
  uint32_t speed = 8;
  bool lengthFails = false;
  bool refuseRoot = false;
  bool refuseWaitDoor = false;
  bool playFails = false;
  // Sequencer only.
  std::vector<std::pair<std::string, uint32_t>> fileFrames;
  long tempo = 120;
  bool tempoFails = false;
  bool setTempoFails = false;
};

CRITICAL_SECTION gLock;
Disc gDisc;
std::string gLog;

void Parse(const char* script) {
  Disc disc;
  const char* colon = std::strchr(script, ':');
  if (colon != nullptr) {
    disc.speed = static_cast<uint32_t>(std::strtoul(script, nullptr, 10));
    script = colon + 1;
  }
  if (disc.speed == 0) disc.speed = 1;
  for (const char* p = script; *p != '\0' && *p != '!';) {
    const char* equals = std::strchr(p, '=');
    const char* comma = std::strchr(p, ',');
    if (equals != nullptr && (comma == nullptr || equals < comma)) {
      const uint32_t seconds = static_cast<uint32_t>(std::strtoul(equals + 1, nullptr, 10));
      disc.fileFrames.emplace_back(std::string(p, equals), seconds * kFramesPerSecond);
      p = comma != nullptr ? comma + 1 : equals + std::strlen(equals);
      continue;
    }
    char* end = nullptr;
    const unsigned long seconds = std::strtoul(p, &end, 10);
    if (end == p) break;
    disc.trackFrames.push_back(static_cast<uint32_t>(seconds) * kFramesPerSecond);
    p = *end == ',' ? end + 1 : end;
  }
  disc.lengthFails = std::strstr(script, "!nolength") != nullptr;
  disc.refuseRoot = std::strstr(script, "!noroot") != nullptr;
  disc.refuseWaitDoor = std::strstr(script, "!nowaitdoor") != nullptr;
  disc.playFails = std::strstr(script, "!noplay") != nullptr;
  const char* tempo = std::strstr(script, "!tempo=");
  if (tempo != nullptr) disc.tempo = std::strtol(tempo + 7, nullptr, 10);
  disc.tempoFails = std::strstr(script, "!notempo") != nullptr;
  disc.setTempoFails = std::strstr(script, "!nosettempo") != nullptr;
  gDisc = disc;
}

void Log(const char* format, ...) {
  char line[160];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  gLog += line;
  gLog += '\n';
}

struct Device {
  MCIDEVICEID id = 0;
  DWORD timeFormat = MCI_FORMAT_MSF;
  UINT mode = MCI_MODE_STOP;
  uint32_t frame = 0;       // where the head stands, from the start of the disc
  uint32_t playFrom = 0, playTo = 0;
  DWORD playStart = 0;      // tick count when the play began
  HWND callback = nullptr;  // waiting for the play's completion, or null
  HANDLE timer = nullptr;
  // A sequencer device's file, as one track of its own length.
  std::vector<uint32_t> file;
  long tempo = 120;
};

const std::vector<uint32_t>& Tracks(const Device& d) { return kSequencer ? d.file : gDisc.trackFrames; }

uint32_t TrackStart(const Device& d, uint32_t track) {
  const std::vector<uint32_t>& tracks = Tracks(d);
  uint32_t frame = 0;
  for (uint32_t t = 1; t < track && t <= tracks.size(); ++t) frame += tracks[t - 1];
  return frame;
}
uint32_t DiscFrames(const Device& d) { return TrackStart(d, static_cast<uint32_t>(Tracks(d).size()) + 1); }
uint32_t TrackOf(const Device& d, uint32_t frame) {
  uint32_t track = 1;
  while (track < Tracks(d).size() && frame >= TrackStart(d, track + 1)) ++track;
  return track;
}
uint32_t Msf(uint32_t frames) {
  return (frames / kFramesPerSecond / 60) | ((frames / kFramesPerSecond % 60) << 8) | ((frames % kFramesPerSecond) << 16);
}

uint32_t ToFrames(const Device& d, DWORD value) {
  switch (d.timeFormat) {
    case MCI_FORMAT_MILLISECONDS: return value * kFramesPerSecond / 1000;
    case MCI_FORMAT_TMSF:
      return TrackStart(d, value & 0xFF) + (((value >> 8) & 0xFF) * 60 + ((value >> 16) & 0xFF)) * kFramesPerSecond +
             ((value >> 24) & 0xFF);
    default: return ((value & 0xFF) * 60 + ((value >> 8) & 0xFF)) * kFramesPerSecond + ((value >> 16) & 0xFF);
  }
}
DWORD FromFrames(const Device& d, uint32_t frame) {
  switch (d.timeFormat) {
    case MCI_FORMAT_MILLISECONDS: return frame * 1000 / kFramesPerSecond;
    case MCI_FORMAT_TMSF: {
      const uint32_t track = TrackOf(d, frame);
      return track | (Msf(frame - TrackStart(d, track)) << 8);
    }
    default: return Msf(frame);
  }
}

// Where a play stands now; a finished one ends at its target.
void Advance(Device& d) {
  if (d.mode != MCI_MODE_PLAY) return;
  const uint64_t elapsed = GetTickCount() - d.playStart;
  const uint64_t frame = d.playFrom + elapsed * gDisc.speed * kFramesPerSecond / 1000;
  d.frame = frame >= d.playTo ? d.playTo : static_cast<uint32_t>(frame);
  if (d.frame == d.playTo) d.mode = MCI_MODE_STOP;
}

void CALLBACK PlayEnded(void* context, BOOLEAN) {
  Device& d = *static_cast<Device*>(context);
  EnterCriticalSection(&gLock);
  d.mode = MCI_MODE_STOP;
  d.frame = d.playTo;
  HWND callback = d.callback;
  d.callback = nullptr;
  Log("END %u", d.id);
  LeaveCriticalSection(&gLock);
  if (callback != nullptr) PostMessageA(callback, MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, d.id);
}

// Ends a running play without completion: the waiting window hears
// "aborted" (or "superseded" when a new play replaces it).
void Interrupt(Device& d, UINT why) {
  EnterCriticalSection(&gLock);
  Advance(d);
  if (d.mode == MCI_MODE_PLAY) d.mode = MCI_MODE_STOP;
  HANDLE timer = d.timer;
  HWND callback = d.callback;
  d.timer = nullptr;
  d.callback = nullptr;
  LeaveCriticalSection(&gLock);
  if (timer != nullptr) DeleteTimerQueueTimer(nullptr, timer, INVALID_HANDLE_VALUE);
  if (callback != nullptr) PostMessageA(callback, MM_MCINOTIFY, why, d.id);
}

void Notify(DWORD flags, DWORD_PTR callback, MCIDEVICEID id) {
  if ((flags & MCI_NOTIFY) != 0) PostMessageA(reinterpret_cast<HWND>(callback), MM_MCINOTIFY, MCI_NOTIFY_SUCCESSFUL, id);
}

LRESULT Play(Device& d, DWORD flags, const MCI_PLAY_PARMS* p) {
  Interrupt(d, MCI_NOTIFY_SUPERSEDED);
  EnterCriticalSection(&gLock);
  const uint32_t from = (flags & MCI_FROM) != 0 ? ToFrames(d, p->dwFrom) : d.frame;
  const uint32_t to = (flags & MCI_TO) != 0 ? ToFrames(d, p->dwTo) : DiscFrames(d);
  char from_[24] = "", to_[24] = "";
  if ((flags & MCI_FROM) != 0) std::snprintf(from_, sizeof from_, " from %lu", p->dwFrom);
  if ((flags & MCI_TO) != 0) std::snprintf(to_, sizeof to_, " to %lu", p->dwTo);
  Log("PLAY%s%s", from_, to_);
  if (gDisc.playFails) {
    LeaveCriticalSection(&gLock);
    return MCIERR_HARDWARE;
  }
  if (from > DiscFrames(d) || to > DiscFrames(d) || to < from) {
    LeaveCriticalSection(&gLock);
    return MCIERR_OUTOFRANGE;
  }
  d.playFrom = d.frame = from;
  d.playTo = to;
  d.playStart = GetTickCount();
  d.mode = MCI_MODE_PLAY;
  d.callback = (flags & MCI_NOTIFY) != 0 ? reinterpret_cast<HWND>(p->dwCallback) : nullptr;
  const DWORD due = static_cast<DWORD>(uint64_t(to - from) * 1000 / kFramesPerSecond / gDisc.speed);
  CreateTimerQueueTimer(&d.timer, nullptr, PlayEnded, &d, due, 0, WT_EXECUTEONLYONCE);
  LeaveCriticalSection(&gLock);
  return 0;
}

LRESULT Status(Device& d, DWORD flags, MCI_STATUS_PARMS* p) {
  if ((flags & MCI_STATUS_ITEM) == 0) return MCIERR_MISSING_PARAMETER;
  EnterCriticalSection(&gLock);
  Advance(d);
  LRESULT result = 0;
  switch (p->dwItem) {
    case MCI_STATUS_POSITION: p->dwReturn = FromFrames(d, d.frame); break;
    case MCI_STATUS_MODE:
      p->dwReturn = MAKEMCIRESOURCE(d.mode, d.mode);
      result = MCI_RESOURCE_RETURNED;
      break;
    case MCI_STATUS_LENGTH: {
      if (gDisc.lengthFails) {
        result = MCIERR_HARDWARE;
        break;
      }
      const uint32_t track = (flags & MCI_TRACK) != 0 ? p->dwTrack : 0;
      const uint32_t frames = track == 0 ? DiscFrames(d) : track <= Tracks(d).size() ? Tracks(d)[track - 1] : 0;
      if (track > Tracks(d).size()) result = MCIERR_OUTOFRANGE;
      p->dwReturn = d.timeFormat == MCI_FORMAT_MILLISECONDS ? frames * 1000 / kFramesPerSecond : Msf(frames);
      break;
    }
    case MCI_STATUS_NUMBER_OF_TRACKS: p->dwReturn = Tracks(d).size(); break;
    case MCI_STATUS_CURRENT_TRACK: p->dwReturn = TrackOf(d, d.frame); break;
    case MCI_SEQ_STATUS_TEMPO:
      if (!kSequencer || gDisc.tempoFails) {
        result = MCIERR_UNSUPPORTED_FUNCTION;
        break;
      }
      p->dwReturn = static_cast<DWORD_PTR>(d.tempo);
      break;
    case MCI_STATUS_MEDIA_PRESENT:
    case MCI_STATUS_READY:
      p->dwReturn = MAKEMCIRESOURCE(TRUE, MCI_TRUE);
      result = MCI_RESOURCE_RETURNED;
      break;
    case MCI_STATUS_TIME_FORMAT:
      p->dwReturn = MAKEMCIRESOURCE(d.timeFormat, d.timeFormat + MCI_FORMAT_RETURN_BASE);
      result = MCI_RESOURCE_RETURNED;
      break;
    default: result = MCIERR_UNSUPPORTED_FUNCTION; break;
  }
  LeaveCriticalSection(&gLock);
  return result;
}

UINT DeviceType() { return kSequencer ? MCI_DEVTYPE_SEQUENCER : MCI_DEVTYPE_CD_AUDIO; }

// A sequencer device opens on a MIDI file; its length comes from the script.
LRESULT OpenFile(Device& d, const wchar_t* element) {
  if (element == nullptr) return MCIERR_INVALID_FILE;
  HANDLE file = CreateFileW(element, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return MCIERR_FILE_NOT_FOUND;
  char head[4] = {};
  DWORD got = 0;
  const BOOL read = ReadFile(file, head, sizeof head, &got, nullptr);
  CloseHandle(file);
  if (!read || got != sizeof head || std::memcmp(head, "MThd", 4) != 0) return MCIERR_INVALID_FILE;
  char name[MAX_PATH] = {};
  WideCharToMultiByte(CP_ACP, 0, element, -1, name, sizeof name, nullptr, nullptr);
  const char* base = name;
  for (const char* p = name; *p != '\0'; ++p) {
    if (*p == '\\' || *p == '/') base = p + 1;
  }
  std::string stem(base);
  stem = stem.substr(0, stem.rfind('.'));
  EnterCriticalSection(&gLock);
  uint32_t frames = gDisc.trackFrames.empty() ? 20 * kFramesPerSecond : gDisc.trackFrames[0];
  for (const auto& entry : gDisc.fileFrames) {
    if (lstrcmpiA(entry.first.c_str(), stem.c_str()) == 0) frames = entry.second;
  }
  d.file.assign(1, frames);
  d.tempo = gDisc.tempo;
  d.timeFormat = MCI_FORMAT_MILLISECONDS;
  Log("FILE %s", base);
  LeaveCriticalSection(&gLock);
  return 0;
}

LRESULT Command(Device& d, UINT message, DWORD flags, DWORD_PTR parameters) {
  auto* generic = reinterpret_cast<MCI_GENERIC_PARMS*>(parameters);
  switch (message) {
    case MCI_OPEN_DRIVER: {
      auto* open = reinterpret_cast<MCI_OPEN_PARMSW*>(parameters);
      const wchar_t* element = (flags & MCI_OPEN_ELEMENT) != 0 && open != nullptr ? open->lpstrElementName : nullptr;
      const size_t length = element != nullptr ? wcslen(element) : 0;
      if (gDisc.refuseRoot && length > 0 && element[length - 1] == L'\\') return MCIERR_INVALID_FILE;
      return kSequencer ? OpenFile(d, element) : 0;
    }
    case MCI_CLOSE_DRIVER: Interrupt(d, MCI_NOTIFY_ABORTED); return 0;
    case MCI_PLAY: {
      const LRESULT r = Play(d, flags, reinterpret_cast<MCI_PLAY_PARMS*>(parameters));
      return r;
    }
    case MCI_STOP:
    case MCI_PAUSE:
      Interrupt(d, MCI_NOTIFY_ABORTED);
      EnterCriticalSection(&gLock);
      Log(message == MCI_STOP ? "STOP" : "PAUSE");
      if (message == MCI_PAUSE) d.mode = MCI_MODE_PAUSE;
      LeaveCriticalSection(&gLock);
      if (generic != nullptr) Notify(flags, generic->dwCallback, d.id);
      return 0;
    case MCI_SEEK: {
      Interrupt(d, MCI_NOTIFY_ABORTED);
      auto* p = reinterpret_cast<MCI_SEEK_PARMS*>(parameters);
      EnterCriticalSection(&gLock);
      uint32_t to = (flags & MCI_SEEK_TO_END) != 0 ? DiscFrames(d) : (flags & MCI_TO) != 0 ? ToFrames(d, p->dwTo) : 0;
      Log("SEEK %s%lu", (flags & MCI_SEEK_TO_START) ? "start " : (flags & MCI_SEEK_TO_END) ? "end " : "",
          (flags & MCI_TO) ? p->dwTo : 0ul);
      const bool inRange = to <= DiscFrames(d);
      if (inRange) {
        d.frame = to;
        d.mode = MCI_MODE_STOP;
      }
      LeaveCriticalSection(&gLock);
      return inRange ? 0 : MCIERR_OUTOFRANGE;
    }
    case MCI_SET: {
      auto* p = reinterpret_cast<MCI_SET_PARMS*>(parameters);
      EnterCriticalSection(&gLock);
      if ((flags & MCI_SET_TIME_FORMAT) != 0) d.timeFormat = p->dwTimeFormat;
      if (kSequencer && (flags & MCI_SEQ_SET_TEMPO) != 0) {
        if (gDisc.setTempoFails) {
          LeaveCriticalSection(&gLock);
          return MCIERR_HARDWARE;
        }
        d.tempo = static_cast<long>(reinterpret_cast<MCI_SEQ_SET_PARMS*>(parameters)->dwTempo);
        Log("TEMPO %ld", d.tempo);
      }
      if ((flags & MCI_SET_DOOR_OPEN) != 0) Log("DOOR open");
      if ((flags & MCI_SET_DOOR_CLOSED) != 0) {
        if (gDisc.refuseWaitDoor && (flags & MCI_WAIT) != 0) {
          LeaveCriticalSection(&gLock);
          return MCIERR_HARDWARE;
        }
        Log("DOOR closed");
      }
      LeaveCriticalSection(&gLock);
      return 0;
    }
    case MCI_STATUS: return Status(d, flags, reinterpret_cast<MCI_STATUS_PARMS*>(parameters));
    case MCI_GETDEVCAPS: {
      auto* p = reinterpret_cast<MCI_GETDEVCAPS_PARMS*>(parameters);
      p->dwReturn = p->dwItem == MCI_GETDEVCAPS_DEVICE_TYPE ? MAKEMCIRESOURCE(DeviceType(), DeviceType())
                                                             : MAKEMCIRESOURCE(TRUE, MCI_TRUE);
      return MCI_RESOURCE_RETURNED;
    }
    default: return MCIERR_UNRECOGNIZED_COMMAND;
  }
}

}  // namespace

extern "C" {

__declspec(dllexport) void FakeCdScript(const char* script) {
  EnterCriticalSection(&gLock);
  Parse(script);
  LeaveCriticalSection(&gLock);
}

__declspec(dllexport) int FakeCdLog(char* buffer, int size) {
  EnterCriticalSection(&gLock);
  const int length = static_cast<int>(gLog.size());
  if (buffer != nullptr && size > 0) lstrcpynA(buffer, gLog.c_str(), size);
  gLog.clear();
  LeaveCriticalSection(&gLock);
  return length;
}

__declspec(dllexport) LRESULT CALLBACK DriverProc(DWORD_PTR driverId, HDRVR driver, UINT message, LPARAM p1,
                                                  LPARAM p2) {
  switch (message) {
    case DRV_LOAD:
    case DRV_FREE:
    case DRV_ENABLE:
    case DRV_DISABLE: return 1;
    case DRV_OPEN: {
      auto* open = reinterpret_cast<MCI_OPEN_DRIVER_PARMS*>(p2);
      if (open == nullptr) return 1;
      auto* device = new Device;
      device->id = open->wDeviceID;
      open->wCustomCommandTable = MCI_NO_COMMAND_TABLE;
      open->wType = DeviceType();
      EnterCriticalSection(&gLock);
      Log("OPEN %u", device->id);
      LeaveCriticalSection(&gLock);
      return reinterpret_cast<LRESULT>(device);
    }
    case DRV_CLOSE:
      if (driverId > 1) {
        auto* device = reinterpret_cast<Device*>(driverId);
        Interrupt(*device, MCI_NOTIFY_ABORTED);
        EnterCriticalSection(&gLock);
        Log("CLOSE %u", device->id);
        LeaveCriticalSection(&gLock);
        delete device;
      }
      return 1;
    default:
      if (message >= DRV_MCI_FIRST && message <= DRV_MCI_LAST) {
        if (driverId <= 1) return MCIERR_INVALID_DEVICE_ID;
        return Command(*reinterpret_cast<Device*>(driverId), message, static_cast<DWORD>(p1),
                       static_cast<DWORD_PTR>(p2));
      }
      return DefDriverProc(driverId, driver, message, p1, p2);
  }
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*) {
  if (reason == DLL_PROCESS_ATTACH) {
    InitializeCriticalSection(&gLock);
    const char* script = std::getenv(kScriptVariable);
    Parse(script != nullptr ? script : kDefaultScript);
  } else if (reason == DLL_PROCESS_DETACH) {
    DeleteCriticalSection(&gLock);
  }
  return TRUE;
}

}  // extern "C"
