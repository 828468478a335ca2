// The command message that travels between the windows of Cantorix and from
// Handset to Cantorix, with its routes, command codes and the private
// messages that go with it. Shared by both programs.
#pragma once

#include "common/PathLimits.h"

#include <windows.h>

#include <cstdint>

#include "common/CommandRoutes.h"

// Registered by both programs, so both get the same message number. The
// name is spelled with three m's, and other programs rely on that spelling.
constexpr char kCommandMessageName[] = "Vex Commmon Message";

// lParam of the mixer step command.
constexpr LPARAM kMixerStepUp = 1000;
constexpr LPARAM kMixerStepDown = 1001;
constexpr LPARAM kMixerToggleMute = 1002;  // the master line's mute, for the keyboard's mute key

constexpr WPARAM MakeCommand(uint32_t route, uint32_t code) {
  return static_cast<WPARAM>((route << 16) | (code & 0xFFFF));
}
constexpr uint16_t CommandRouteOf(WPARAM wParam) {
  return static_cast<uint16_t>((wParam >> 16) & 0xFFFF);
}
constexpr uint16_t CommandCodeOf(WPARAM wParam) {
  return static_cast<uint16_t>(wParam & 0xFFFF);
}

// Private messages exchanged beside the command message.
constexpr UINT kMsgStatusReply = WM_USER + 1;   // wParam: status bits
constexpr UINT kMsgDiscChange = WM_USER + 20;   // wParam: 1 arrived, 0 removed; lParam: drive
constexpr UINT kMsgPanelTick = WM_USER + 21;    // the main panel's 500 ms tick
constexpr UINT kMsgListEdited = WM_USER + 22;   // a playlist window's list is to be taken over
// Sent by the main panel to a player: which of its states it is in, so the
// keyboard's transport keys reach the player that plays.
constexpr UINT kMsgPlaybackState = WM_USER + 23;

enum PlaybackState : LRESULT { kPlaybackIdle = 0, kPlaybackPlaying = 1, kPlaybackPaused = 2 };

// Bits of the reply to the status query.
enum StatusBit : uint32_t {
  kStatusPlaylist = 0x1,
  kStatusEject = 0x2,
  kStatusTrackForward = 0x4,
  kStatusTrackBack = 0x8,
  kStatusRecPlay = 0x10,
  kStatusSkipForward = 0x20,
  kStatusSkipBack = 0x40,
  kStatusPlay = 0x80,
  kStatusStop = 0x100,
  kStatusPause = 0x200,
  kStatusCdShown = 0x10000000,
  kStatusWaveShown = 0x20000000,
  kStatusMidiShown = 0x40000000,
};

// The status reply goes to the window named in the query's lParam, which
// any program can name: only to a window that exists, and never to one of
// this program's own classes, where WM_USER + 1 means something else.
inline bool IsStatusReplyTarget(HWND target) {
  if (target == nullptr || !IsWindow(target)) return false;
  DWORD process = 0;
  GetWindowThreadProcessId(target, &process);
  if (process != GetCurrentProcessId()) return true;
  char name[32] = {};
  GetClassNameA(target, name, sizeof name);
  static const char* const kOwnClasses[] = {
      "CANTORIX",          "PlayListClass",      "DibButton",         "ColorTextClass",
      "IndicatorControlClass", "MidiTempoClass", "CXCDPlayerWindow",  "CXMidiPlayerWindow",
      "CXWavePlayerClass", "CXMixerWindow",      "CXConfigClass",     "CXGrowWindow"};
  for (const char* own : kOwnClasses) {
    if (lstrcmpA(name, own) == 0) return false;
  }
  return true;
}

inline void PostStatusReply(LPARAM replyTo, uint32_t bits) {
  HWND target = reinterpret_cast<HWND>(replyTo);
  if (IsStatusReplyTarget(target)) PostMessageA(target, kMsgStatusReply, bits, 0);
}

// A handed-over file name (common/FileHandOff.h) is read with a buffer this
// big: 255 UTF-16 units of an atom, or a longer path, in UTF-8.
constexpr int kAtomNameCapacity = static_cast<int>(kPathCapacity);
