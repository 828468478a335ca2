// The only way Cantorix reports an error to the user: a message box with a
// fixed text, the program's caption and the stop icon.
#pragma once

#include <windows.h>

constexpr char kErrorCaption[] = "Cantorix Error Reporting";

inline void ShowErrorBox(HWND owner, const char* text) {
  MessageBoxA(owner, text, kErrorCaption, MB_OK | MB_ICONSTOP);
}
