// The small skinned controls: the LED time display, the coloured text strip
// ("ColorTextClass"), the level bar ("CXGrowWindow"), the slider
// ("IndicatorControlClass") and the marker strips ("MidiTempoClass" in
// Cantorix, "CXMTEMPO" in Handset).
#pragma once

#include <windows.h>

#include "resources/ResourceIds.h"

// LED digits: pictures 2032..2037 of `parent` show track, minutes, seconds
// as two digits each (bitmaps 193..202). Callers keep values within 0..99.
constexpr int kFirstTimeDigitId = 2032;
void ShowTrackTime(HWND parent, int track, int minutes, int seconds);

// Coloured text strip: a disabled child that shows its window text in
// yellow on black, padded with blanks so a longer earlier text is wiped.
constexpr char kColorTextClass[] = "ColorTextClass";
bool RegisterColorText(HINSTANCE instance);
HWND CreateColorText(HINSTANCE instance, HWND parent, int id, int x, int y, int width, int height);

// Level bar: WM_USER + 1 sets the level (0..100) and returns the previous.
constexpr char kLevelBarClass[] = "CXGrowWindow";
constexpr UINT kMsgSetLevel = WM_USER + 1;
constexpr int kLevelBarBitmap = kMixerLevelBar;
bool RegisterLevelBar(HINSTANCE instance);
void UnregisterLevelBar(HINSTANCE instance);
HWND CreateLevelBar(HINSTANCE instance, HWND parent, int id, int x, int y, int width, int height);
int LevelBarLevel(HWND bar);

// Slider. Positions run from minimum to maximum (0..50 at creation); the
// top (vertical) or left (horizontal) end is maximum or minimum respectively.
constexpr char kSliderClass[] = "IndicatorControlClass";
constexpr UINT kMsgSliderSetPosition = WM_USER + 5;  // wParam value, lParam notify
constexpr UINT kMsgSliderGetPosition = WM_USER + 6;
constexpr UINT kMsgSliderSetRange = WM_USER + 7;  // wParam maximum * 65536 + minimum
constexpr UINT kMsgSliderGetRange = WM_USER + 8;
constexpr UINT kMsgSliderMoved = WM_USER + 100;  // to the parent: wParam id, lParam value
constexpr int kSliderVertical = 1;
bool RegisterSlider(HINSTANCE instance);
void UnregisterSlider(HINSTANCE instance);
HWND CreateSlider(HINSTANCE instance, HWND parent, int id, int x, int y, int width, int height,
                  int flags);
void SetIndicatorImages(HWND slider, const char* trackName, const char* thumbName);
// The thumb rectangle as last painted (x, y, width, height).
RECT SliderThumbRect(HWND slider);

// Marker strips: WM_USER + 5 sets the marker position, WM_USER + 6 reads it.
constexpr char kMidiTempoClass[] = "MidiTempoClass";
constexpr char kHandsetTempoClass[] = "CXMTEMPO";
constexpr UINT kMsgSetMarker = WM_USER + 5;
constexpr UINT kMsgGetMarker = WM_USER + 6;
constexpr int kMidiTempoBitmap = kMidiTempoStrip;
constexpr char kHandsetTempoBitmap[] = "WAVETEMPO";
bool RegisterMidiTempo(HINSTANCE instance);
bool RegisterHandsetTempo(HINSTANCE instance);
void UnregisterMidiTempo(HINSTANCE instance);
void UnregisterHandsetTempo(HINSTANCE instance);
// Whether a marker strip of this class draws a marker at that position.
bool MarkerDrawn(HWND strip, int position);
