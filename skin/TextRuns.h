// One line of text drawn with the DC's font, and where that font has no
// glyph for a character (Japanese in a Latin face), with a face installed
// on the system that has it. Text the DC's font covers is drawn exactly as
// one TextOutW would draw it.
#pragma once

#include <windows.h>

#include "common/Win32Handles.h"

// The face found for characters the DC's font lacks; owned by the control
// that draws, kept between paints.
struct FallbackFont {
  GdiObject font;
  int height = 0;
};

// Draws `text` at (0, 0) in the DC's colours and background mode.
void DrawTextRuns(HDC dc, const wchar_t* text, int length, FallbackFont& fallback);
