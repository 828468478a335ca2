#include "skin/TextRuns.h"

#include <vector>

namespace {

// Faces with kana and CJK ideographs, in the order they are tried: the one
// Debian's fonts-wqy-zenhei installs, then faces a Windows system has.
const wchar_t* const kFallbackFaces[] = {
    L"WenQuanYi Zen Hei", L"Noto Sans CJK JP", L"Meiryo",  L"Yu Gothic",       L"MS UI Gothic",
    L"MS Gothic",         L"SimSun",           L"Gulim",   L"Microsoft YaHei", L"Arial Unicode MS"};

bool IsSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// Which characters the selected font has no glyph for; false when the font
// cannot tell (then everything is taken as present).
bool MissingGlyphs(HDC dc, const wchar_t* text, int length, std::vector<bool>* missing) {
  std::vector<WORD> glyphs(static_cast<size_t>(length));
  if (GetGlyphIndicesW(dc, text, length, glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS) == GDI_ERROR) return false;
  missing->assign(static_cast<size_t>(length), false);
  bool any = false;
  for (int i = 0; i < length; ++i) {
    if (glyphs[i] == 0xFFFF) (*missing)[i] = any = true;
  }
  return any;
}

// How many of the characters marked in `missing` the face has.
int Covered(HDC dc, HFONT font, const wchar_t* text, int length, const std::vector<bool>& missing) {
  Selection selected(dc, font);
  std::vector<bool> stillMissing;
  const bool lacks = MissingGlyphs(dc, text, length, &stillMissing);
  int covered = 0;
  for (int i = 0; i < length; ++i) {
    if (missing[i] && !IsSurrogate(text[i]) && (!lacks || !stillMissing[i])) ++covered;
  }
  return covered;
}

HFONT MakeFace(const wchar_t* face, int height) {
  return CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
}

// The face that has most of the missing characters, at the DC font's
// height; the one already chosen is kept while it has them all.
HFONT ChooseFallback(HDC dc, const wchar_t* text, int length, const std::vector<bool>& missing,
                     FallbackFont& fallback) {
  TEXTMETRICW metrics = {};
  if (!GetTextMetricsW(dc, &metrics)) return nullptr;
  int wanted = 0;
  for (int i = 0; i < length; ++i) {
    if (missing[i] && !IsSurrogate(text[i])) ++wanted;
  }
  auto* current = static_cast<HFONT>(fallback.font.object);
  if (current != nullptr && fallback.height == metrics.tmHeight &&
      Covered(dc, current, text, length, missing) == wanted) {
    return current;
  }
  GdiObject best;
  int bestCovered = 0;
  for (const wchar_t* face : kFallbackFaces) {
    GdiObject candidate(MakeFace(face, metrics.tmHeight));
    if (candidate.object == nullptr) continue;
    const int covered = Covered(dc, static_cast<HFONT>(candidate.object), text, length, missing);
    if (covered <= bestCovered) continue;
    if (best.object != nullptr) DeleteObject(best.Release());
    best.object = candidate.Release();
    bestCovered = covered;
    if (covered == wanted) break;
  }
  if (best.object == nullptr) return nullptr;
  if (fallback.font.object != nullptr) DeleteObject(fallback.font.Release());
  fallback.font.object = best.Release();
  fallback.height = metrics.tmHeight;
  return static_cast<HFONT>(fallback.font.object);
}

}  // namespace

void DrawTextRuns(HDC dc, const wchar_t* text, int length, FallbackFont& fallback) {
  if (length <= 0) return;
  std::vector<bool> missing;
  HFONT other = nullptr;
  if (MissingGlyphs(dc, text, length, &missing)) other = ChooseFallback(dc, text, length, missing, fallback);
  if (other == nullptr) {
    TextOutW(dc, 0, 0, text, length);
    return;
  }
  // Runs of the DC's font and of the fallback face share the DC font's
  // baseline, so the Latin letters stand where they stand without it.
  TEXTMETRICW metrics = {};
  GetTextMetricsW(dc, &metrics);
  const UINT align = SetTextAlign(dc, TA_BASELINE | TA_LEFT | TA_NOUPDATECP);
  int x = 0;
  for (int start = 0; start < length;) {
    const bool useOther = missing[start];
    int end = start + 1;
    while (end < length && missing[end] == useOther) ++end;
    Selection selected(dc, useOther ? other : nullptr);
    TextOutW(dc, x, metrics.tmAscent, text + start, end - start);
    SIZE size = {};
    GetTextExtentPoint32W(dc, text + start, end - start, &size);
    x += size.cx;
    start = end;
  }
  SetTextAlign(dc, align);
}
