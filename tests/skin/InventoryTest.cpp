// Every image the generator lists for this program is among the program's
// resources, at its listed size, 8 bits per pixel, with the program's one
// palette.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/Win32Handles.h"
#include "skin/SkinPalette.h"

namespace {

struct Entry {
  std::string name;
  int width, height;
};

std::vector<Entry> ListedImages() {
  std::vector<Entry> out;
  const char* source = std::getenv("CX_SOURCE_DIR");
  if (source == nullptr) return out;
  std::ifstream list(std::string(source) + "/resources/skin-inventory.tsv");
  std::string line;
  while (std::getline(list, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string program, name, width, height;
    std::getline(fields, program, '\t');
    std::getline(fields, name, '\t');
    std::getline(fields, width, '\t');
    std::getline(fields, height, '\t');
    if (program == CX_PROGRAM) out.push_back(Entry{name, std::atoi(width.c_str()), std::atoi(height.c_str())});
  }
  return out;
}

const char* ResourceName(const std::string& name) {
  bool number = !name.empty() && name.find_first_not_of("0123456789") == std::string::npos;
  return number ? MAKEINTRESOURCEA(std::atoi(name.c_str())) : name.c_str();
}

std::vector<RGBQUAD> ColourTable(HBITMAP bitmap) {
  std::vector<RGBQUAD> table(256);
  MemoryDc memory(nullptr);
  Selection selected(memory.dc, bitmap);
  table.resize(GetDIBColorTable(memory.dc, 0, 256, table.data()));
  return table;
}

bool SameColours(const std::vector<RGBQUAD>& a, const std::vector<RGBQUAD>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].rgbRed != b[i].rgbRed || a[i].rgbGreen != b[i].rgbGreen || a[i].rgbBlue != b[i].rgbBlue) {
      return false;
    }
  }
  return true;
}

TEST(Inventory, EveryListedImageIsAResourceOfItsSizeAndPalette) {
  std::vector<Entry> entries = ListedImages();
  ASSERT_GT(entries.size(), 50u) << "the inventory was not found or is nearly empty";
  HINSTANCE instance = GetModuleHandleA(nullptr);
  GdiObject palette(LoadImageA(instance, MAKEINTRESOURCEA(CX_PALETTE), IMAGE_BITMAP, 0, 0,
                               LR_CREATEDIBSECTION));
  ASSERT_NE(palette.object, nullptr);
  std::vector<RGBQUAD> colours = ColourTable(static_cast<HBITMAP>(palette.object));
  ASSERT_EQ(colours.size(), 256u);
  for (const Entry& e : entries) {
    GdiObject bitmap(LoadImageA(instance, ResourceName(e.name), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(bitmap.object, nullptr) << e.name;
    DIBSECTION section = {};
    ASSERT_EQ(GetObjectA(bitmap.object, sizeof section, &section), static_cast<int>(sizeof section)) << e.name;
    EXPECT_EQ(section.dsBm.bmWidth, e.width) << e.name;
    EXPECT_EQ(section.dsBm.bmHeight, e.height) << e.name;
    EXPECT_EQ(section.dsBm.bmBitsPixel, 8) << e.name;
    EXPECT_TRUE(SameColours(ColourTable(static_cast<HBITMAP>(bitmap.object)), colours)) << e.name;
  }
  // The skin palette is built from the palette bitmap of the program.
  HPALETTE built = BuildSkinPalette(instance, MAKEINTRESOURCEA(CX_PALETTE));
  ASSERT_NE(built, nullptr);
  PALETTEENTRY first[256];
  EXPECT_EQ(GetPaletteEntries(built, 0, 256, first), 256u);
  EXPECT_EQ(first[192].peRed, colours[192].rgbRed);
  DeleteObject(built);
}

TEST(Inventory, ButtonImagesComeInSetsOfTheSameSize) {
  // Where a button has an up image it has a down image of the same size.
  std::vector<Entry> entries = ListedImages();
  for (const Entry& e : entries) {
    if (e.name.size() < 2 || e.name.back() != 'U') continue;
    std::string base = e.name.substr(0, e.name.size() - 1);
    if (base == "SLOW" || base == "FAST") continue;  // pictures, not buttons
    bool found = false;
    for (const Entry& d : entries) {
      if (d.name == base + "D") {
        found = true;
        EXPECT_EQ(d.width, e.width) << base;
        EXPECT_EQ(d.height, e.height) << base;
      }
    }
    EXPECT_TRUE(found) << base;
  }
}

}  // namespace
