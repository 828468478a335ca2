// The bitmap push button of every skinned window ("DibButton"), and the
// plain bitmap pictures (static controls) shown beside it.
#pragma once

#include <windows.h>

constexpr char kDibButtonClass[] = "DibButton";
// Stores an image name for a slot: wParam slot (1 disabled, 2 up, 3 down),
// lParam the name. No repaint.
constexpr UINT kMsgSetButtonImage = WM_USER + 1;

enum ButtonImageSlot : int { kImageDisabled = 1, kImageUp = 2, kImageDown = 3 };

// The longest base name: base plus its one-letter suffix fills a 260-byte slot.
constexpr int kMaxButtonBaseName = 258;

// Registers the class on the first call (later calls only count). The class
// cursor is the program's own cursor resource.
bool RegisterDibButton(HINSTANCE instance, const char* cursorResource);

// A hidden child button whose window text is the base name of its images.
// Returns null when the class was never registered.
HWND CreateDibButton(HINSTANCE instance, HWND parent, int id, const char* baseName, int x, int y,
                     int width, int height);
// Gives the button the images base+"X", base+"U", base+"D" and shows it.
// Passes a null button through.
HWND SkinDibButton(HWND button);
void SetDibButtonImage(HWND button, int slot, const char* name);
// What a click does, for the keyboard (Enter or space on a focused
// button): WM_COMMAND posted to the parent. Nothing for a disabled button.
void PressDibButton(HWND button);

// Which image the button paints now (1 disabled, 2 up, 3 down) and its
// press state (3 while the left button is down on it); 0 for no button.
int DibButtonImageSlot(HWND button);
int DibButtonPressState(HWND button);
// The stored image name of a slot, or null.
const char* DibButtonImageName(HWND button, int slot);

// A static bitmap control that notifies its parent of clicks, showing the
// given bitmap (a name, or a number through MAKEINTRESOURCE). `text` is the
// control's window text, never shown.
HWND CreatePicture(HINSTANCE instance, HWND parent, int id, const char* image, int x, int y,
                   int width, int height, const char* text = "");
// Loads the bitmap at its own size, shows it and deletes the one shown before.
bool SetPictureImage(HWND picture, const char* image);
// Pictures showing numbered images keep the number in their user data: the
// bitmap is loaded only when it changes, and another process can read back
// what is shown. PictureImageNumber is 0 for a picture that never showed one.
void ShowPictureImage(HWND picture, int image);
void ShowItemImage(HWND parent, int id, int image);
int PictureImageNumber(HWND picture);
// Two LED digit pictures (ids firstId and firstId + 1) showing `value`,
// which they cannot show beyond 0..99.
void ShowTwoDigits(HWND parent, int firstId, long value);
// Enables or disables a child control, only when that changes something.
void SetItemEnabled(HWND parent, int id, bool enabled);
// Handset shows its own cursor over pictures; null keeps the arrow.
void SetPictureCursor(HCURSOR cursor);
