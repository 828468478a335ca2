#include "skin/SkinPalette.h"

#include <cstdlib>
#include <memory>

#include "common/Win32Handles.h"

namespace {

HPALETTE gSkinPalette = nullptr;

}  // namespace

HPALETTE BuildSkinPalette(HINSTANCE instance, const char* bitmapName) {
  HRSRC found = FindResourceA(instance, bitmapName, reinterpret_cast<LPCSTR>(RT_BITMAP));
  if (found == nullptr) return nullptr;
  DWORD size = SizeofResource(instance, found);
  HGLOBAL loaded = LoadResource(instance, found);
  const BYTE* bits = loaded != nullptr ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
  if (bits == nullptr || size < sizeof(BITMAPINFOHEADER)) return nullptr;

  BITMAPINFOHEADER header;
  memcpy(&header, bits, sizeof header);
  if (header.biBitCount > 8) return nullptr;
  DWORD entries = header.biClrUsed != 0 ? header.biClrUsed : (1u << header.biBitCount);
  if (entries > 256) entries = 256;
  // Only as many colours as the resource really holds.
  if (header.biSize > size) return nullptr;
  DWORD available = (size - header.biSize) / sizeof(RGBQUAD);
  if (entries > available) entries = available;

  size_t recordSize = sizeof(LOGPALETTE) + 256 * sizeof(PALETTEENTRY);
  std::unique_ptr<BYTE[]> record(new (std::nothrow) BYTE[recordSize]);
  if (!record) return nullptr;
  auto* palette = reinterpret_cast<LOGPALETTE*>(record.get());
  palette->palVersion = 0x300;
  palette->palNumEntries = static_cast<WORD>(entries);
  const BYTE* table = bits + header.biSize;
  for (DWORD i = 0; i < entries; ++i) {
    const BYTE* quad = table + i * 4;  // blue, green, red, reserved
    palette->palPalEntry[i].peRed = quad[2];
    palette->palPalEntry[i].peGreen = quad[1];
    palette->palPalEntry[i].peBlue = quad[0];
    palette->palPalEntry[i].peFlags = 0;
  }
  return CreatePalette(palette);
}

void SetSkinPalette(HPALETTE palette) { gSkinPalette = palette; }

HPALETTE SkinPalette() { return gSkinPalette; }

void PaintResourceBitmap(HDC dc, HINSTANCE instance, const char* bitmapName, int x, int y,
                         int width, int height) {
  HPALETTE oldPalette = nullptr;
  if (gSkinPalette != nullptr) {
    oldPalette = SelectPalette(dc, gSkinPalette, TRUE);
    RealizePalette(dc);
  }
  MemoryDc memory(dc);
  GdiObject bitmap(LoadImageA(instance, bitmapName, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (memory.dc != nullptr && bitmap.object != nullptr) {
    HPALETTE memoryOld = gSkinPalette != nullptr ? SelectPalette(memory.dc, gSkinPalette, TRUE) : nullptr;
    HGDIOBJ oldBitmap = SelectObject(memory.dc, bitmap.object);
    BitBlt(dc, x, y, width, height, memory.dc, 0, 0, SRCCOPY);
    SelectObject(memory.dc, oldBitmap);
    if (memoryOld != nullptr) SelectPalette(memory.dc, memoryOld, TRUE);
  }
  if (oldPalette != nullptr) SelectPalette(dc, oldPalette, TRUE);
}
