// One rule for every player window about re-entry. An engine operation may
// show a message box or a dialog, whose own message loop dispatches whatever
// arrives meanwhile: commands, clicks, notices, hand-offs, a hide. None of
// them may run inside the half-done operation, and none may be lost: they
// wait, in the order they came, and are served once the operation has
// returned. The window keeps one guard and sends every engine operation
// through SubmitToPlayer; ticks and timers simply skip while it is busy.
#pragma once

#include <windows.h>

#include <deque>
#include <string>
#include <utility>

// A message kept for later. A handed-over file name is read on arrival,
// while it is still readable (the sender deletes its atom afterwards).
struct PlayerMessage {
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  std::string file;
};

struct PlayerGuard {
  int busy = 0;
  // The window was destroyed while an operation ran: its state is freed
  // once the outermost operation has returned, not under it.
  bool destroyed = false;
  std::deque<PlayerMessage> waiting;
};

inline bool PlayerBusy(const PlayerGuard& guard) { return guard.busy > 0; }

inline PlayerMessage MakePlayerMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  PlayerMessage m;
  m.message = message;
  m.wParam = wParam;
  m.lParam = lParam;
  return m;
}

// A command (the registered message `message`) as a player keeps it. A
// handed-over file's name is read now, while the sender still holds it;
// false when it cannot be read, and the command is dropped.
bool TakeCommand(UINT message, WPARAM wParam, LPARAM lParam, PlayerMessage* taken);

enum class Submitted { kServed, kDeferred, kWindowGone };

// Serves `message` now, and after it whatever arrived meanwhile, or keeps it
// when an operation is already running. `serve` takes a PlayerMessage and
// runs with the guard held. kWindowGone: the window was destroyed meanwhile
// and the caller frees its state now.
template <typename Serve>
Submitted SubmitToPlayer(PlayerGuard& guard, PlayerMessage message, Serve serve) {
  if (PlayerBusy(guard)) {
    guard.waiting.push_back(std::move(message));
    return Submitted::kDeferred;
  }
  ++guard.busy;
  serve(message);
  while (!guard.destroyed && !guard.waiting.empty()) {
    PlayerMessage next = std::move(guard.waiting.front());
    guard.waiting.pop_front();
    serve(next);
  }
  --guard.busy;
  if (guard.destroyed) return Submitted::kWindowGone;
  return Submitted::kServed;
}

// The window is being destroyed: true when that may free its state now;
// false when an operation runs, which then ends at its next step and the
// state is freed when it returns.
inline bool PlayerMayFree(PlayerGuard& guard) {
  if (!PlayerBusy(guard)) return true;
  guard.destroyed = true;
  guard.waiting.clear();
  return false;
}
