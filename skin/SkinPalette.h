// The skin palette and the one routine every skinned window paints with.
#pragma once

#include <windows.h>

// Builds a logical palette from the colour table of an 8-bit (or smaller)
// bitmap resource. Returns null when the bitmap is missing or deeper.
HPALETTE BuildSkinPalette(HINSTANCE instance, const char* bitmapName);

// The palette every skin bitmap of this program is drawn through.
void SetSkinPalette(HPALETTE palette);
HPALETTE SkinPalette();

// Draws the top-left width x height of a bitmap resource at (x, y) through
// the skin palette. The bitmap is loaded for this paint and freed again.
void PaintResourceBitmap(HDC dc, HINSTANCE instance, const char* bitmapName, int x, int y,
                         int width, int height);
