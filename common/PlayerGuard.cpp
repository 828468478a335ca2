#include "common/PlayerGuard.h"

#include "common/CommandCodes.h"
#include "common/FileHandOff.h"

bool TakeCommand(UINT message, WPARAM wParam, LPARAM lParam, PlayerMessage* taken) {
  *taken = MakePlayerMessage(message, wParam, lParam);
  if (CommandCodeOf(wParam) != kCmdOpenFile) return true;
  char name[kAtomNameCapacity] = {};
  if (!ReadHandedFile(lParam, name, sizeof name)) return false;
  taken->file = name;
  return true;
}
