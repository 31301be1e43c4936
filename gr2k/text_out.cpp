#include "gr2k/text_out.h"

#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "gr2k/device_fonts.h"
#include "gr2k/glyph_compress.h"
#include "gr2k/pdev.h"
#include "settings/context/global_allocator.h"

namespace {

constexpr FLONG kFontTypeVerticalFace = 0x100;  // FONTOBJ type bit: pitch kind 3, drawn as outlines
constexpr FLONG kFontTypeOpenType = 0x8;        // drawn as outlines before major version 6
constexpr BYTE kFlagsGlyphIndices = 0x04, kFlagsCharacters = 0x08, kFlagsCached = 0x40;
constexpr WORD kStyleItalic = 0x0001, kStyleBold = 0x0002, kStyleFontType4 = 0x0020, kStyleVertical = 0x0040,
               kStyleMarked = 0x0080, kStylePitch3 = 0x0010;
constexpr WCHAR kEudcFace[] = WSTR("EUDC");

// Sine of 0 to 90 degrees in 1/16384.
const std::array<LONG, 91>& QuarterWave() {
  static const std::array<LONG, 91> table = [] {
    std::array<LONG, 91> t{};
    for (int d = 0; d <= 90; ++d) t[d] = std::lround(16384.0 * std::sin(d * 3.14159265358979323846 / 180.0));
    return t;
  }();
  return table;
}

LONG Sine(LONG degrees) {
  degrees = ((degrees % 360) + 360) % 360;
  const auto& q = QuarterWave();
  if (degrees <= 90) return q[degrees];
  if (degrees <= 180) return q[180 - degrees];
  if (degrees <= 270) return -q[degrees - 180];
  return -q[360 - degrees];
}
LONG Cosine(LONG degrees) { return Sine(degrees + 90); }

LONG IntLength(LONGLONG x, LONGLONG y) {
  return static_cast<LONG>(std::sqrt(static_cast<double>(x * x + y * y)));
}

// The length of (x, y) through the font transform, in 28.4.
LONG FixLength(XFORMOBJ* xform, LONG x, LONG y) {
  POINTL in{x, y};
  POINTFIX out{};
  if (!xform || !XFORMOBJ_bApplyXform(xform, XF_LTOFX, 1, &in, &out)) return 0;
  return IntLength(out.x, out.y);
}
LONG PixelLength(XFORMOBJ* xform, LONG x, LONG y) { return (FixLength(xform, x, y) + 8) >> 4; }

// Diagonal terms of opposite signs; a quarter turn leaves them 0, so a mirror turned by one is
// known by its negative determinant.
bool Mirrors(const XFORML& m) {
  const double a = m.eM11 * 5000.0, d = m.eM22 * 5000.0;
  if (a != 0 && d != 0) return (a < 0) != (d < 0);
  return static_cast<double>(m.eM11) * m.eM22 - static_cast<double>(m.eM12) * m.eM21 < 0;
}

bool StartsWith(const WCHAR* s, const WCHAR* prefix) {
  while (*prefix && *s == *prefix) ++s, ++prefix;
  return *prefix == 0;
}
bool Contains(const WCHAR* s, const WCHAR* part) {
  for (; *s; ++s) {
    if (StartsWith(s, part)) return true;
  }
  return !*part;
}
bool Equal(const WCHAR* a, const WCHAR* b) { return StartsWith(a, b) && StartsWith(b, a); }

// The glyphs of a string: handle, baseline position, the UTF-16 unit at the same place.
struct StringGlyph {
  HGLYPH hg;
  POINTL at;
  WORD code;
};

bool CollectGlyphs(STROBJ* pstro, CountedVector<StringGlyph>* out) {
  out->clear();
  try {
    out->reserve(pstro->cGlyphs);
    STROBJ_vEnumStart(pstro);
    BOOL more = TRUE;
    while (more) {
      ULONG count = 0;
      GLYPHPOS* positions = nullptr;
      more = STROBJ_bEnum(pstro, &count, &positions);
      if (!positions) break;
      for (ULONG i = 0; i < count; ++i) {
        const size_t index = out->size();
        const WORD code = pstro->pwszOrg && index < pstro->cGlyphs ? static_cast<WORD>(pstro->pwszOrg[index])
                                                                   : static_cast<WORD>(positions[i].hg);
        out->push_back(StringGlyph{positions[i].hg, positions[i].ptl, code});
      }
    }
  } catch (...) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  // With default placement the glyphs follow one another by the increment.
  if ((pstro->flAccel & SO_FLAG_DEFAULT_PLACEMENT) && pstro->ulCharInc && !out->empty()) {
    const LONG inc = static_cast<LONG>(pstro->ulCharInc) * ((pstro->flAccel & SO_REVERSED) ? -1 : 1);
    const POINTL first = out->front().at;
    for (size_t i = 1; i < out->size(); ++i) {
      const LONG d = inc * static_cast<LONG>(i);
      (*out)[i].at = (pstro->flAccel & SO_HORIZONTAL) ? POINTL{first.x + d, first.y} : POINTL{first.x, first.y + d};
    }
  }
  return true;
}

// The code page of the printer's resident fonts; the device fonts' handles are already in it.
constexpr UINT kResidentCodePage = 932;

// The character that `hg` stands for in the font's glyph set, or 0.
WCHAR GlyphCharacter(const FD_GLYPHSET* set, HGLYPH hg) {
  for (ULONG i = 0; set && i < set->cRuns; ++i) {
    const WCRUN& run = set->awcrun[i];
    if (!run.phg) {
      if (hg >= run.wcLow && hg - run.wcLow < run.cGlyphs) return static_cast<WCHAR>(hg);
      continue;
    }
    for (USHORT k = 0; k < run.cGlyphs; ++k) {
      if (run.phg[k] == hg) return static_cast<WCHAR>(run.wcLow + k);
    }
  }
  return 0;
}

// The resident code of each glyph: a device font's handle as it is; another font's character in
// the resident code page. False when a character has no code there.
bool ResidentCodes(FONTOBJ* pfo, const CountedVector<StringGlyph>& glyphs, WORD* codes) {
  const bool deviceFont = (pfo->flFontType & FO_TYPE_DEVICE) != 0;
  const FD_GLYPHSET* set = deviceFont ? nullptr : FONTOBJ_pfdg(pfo);
  for (size_t i = 0; i < glyphs.size(); ++i) {
    if (deviceFont) {
      codes[i] = static_cast<WORD>(glyphs[i].hg);
      continue;
    }
    const WCHAR c = GlyphCharacter(set, glyphs[i].hg);
    CHAR bytes[2] = {};
    BOOL lost = FALSE;
    const int n = c ? WideCharToMultiByte(kResidentCodePage, WC_NO_BEST_FIT_CHARS, &c, 1, bytes, 2, nullptr, &lost) : 0;
    if (n < 1 || lost) return false;
    codes[i] = n == 1 ? static_cast<BYTE>(bytes[0])
                      : static_cast<WORD>(static_cast<BYTE>(bytes[0]) << 8 | static_cast<BYTE>(bytes[1]));
  }
  return true;
}

// Whether every glyph of the string has a resident code.
bool ResidentCodesHeld(STROBJ* pstro, FONTOBJ* pfo) {
  CountedVector<StringGlyph> glyphs;
  CountedVector<WORD> codes;
  try {
    if (!CollectGlyphs(pstro, &glyphs)) return false;
    codes.resize(glyphs.size());
  } catch (...) {
    return false;
  }
  return ResidentCodes(pfo, glyphs, codes.data());
}

// What one text call selects and measures.
struct TextFont {
  FontSelect select{};
  BYTE kind = kFontKindResident;
  BYTE pitchKind = 2;
  WCHAR face[kFaceNameChars + 12]{};  // room for "_" and eight hex digits
  DWORD faceLength = 0;
  LONG rotation = 0;
  LONG ascent = 0;
  LONG height = 0;
  LONG cellWidth = 0;
  bool mirrors = false;
  bool eudcFace = false;
  bool resetSelectAfter = false;
};

void SetFace(TextFont& font, const WCHAR* face) {
  font.faceLength = 0;
  while (face[font.faceLength] && font.faceLength < kFaceNameChars - 1) {
    font.face[font.faceLength] = face[font.faceLength];
    ++font.faceLength;
  }
  font.face[font.faceLength] = 0;
}

void AppendUniq(TextFont& font, ULONG uniq) {
  static const char kHex[] = "0123456789ABCDEF";
  font.face[font.faceLength++] = WCH('_');
  bool started = false;
  for (int shift = 28; shift >= 0; shift -= 4) {
    const ULONG digit = (uniq >> shift) & 15;
    if (!digit && !started && shift) continue;
    started = true;
    font.face[font.faceLength++] = static_cast<WCHAR>(kHex[digit]);
  }
  font.face[font.faceLength] = 0;
}

bool HasPrivateUse(const STROBJ* pstro) {
  for (ULONG i = 0; pstro->pwszOrg && i < pstro->cGlyphs; ++i) {
    if (pstro->pwszOrg[i] >= 0xE000 && pstro->pwszOrg[i] <= 0xF8FF) return true;
  }
  return false;
}

// The metrics and the resident descriptor (kind 2 or 4) of a text call.
TextFont ResidentDescriptor(const RenderPdev* pdev, STROBJ* pstro, FONTOBJ* pfo, const IFIMETRICS* ifi) {
  TextFont font;
  XFORMOBJ* xform = FONTOBJ_pxoGetXform(pfo);
  XFORML m{1, 0, 0, 1, 0, 0};
  if (xform) XFORMOBJ_iGetXform(xform, &m);
  const LONG em = ifi->fwdUnitsPerEm;
  font.height = PixelLength(xform, 0, em);
  font.ascent = PixelLength(xform, 0, ifi->fwdWinAscender);
  const LONG descent = PixelLength(xform, 0, ifi->fwdWinDescender);
  font.cellWidth = PixelLength(xform, ifi->fwdAveCharWidth, 0);
  font.select.cellHeight = static_cast<WORD>(PixelLength(xform, 0, em * 10));
  const LONG leading = font.ascent + descent - font.height;
  font.select.leading = static_cast<WORD>(leading > 0 ? leading : 0);
  font.select.height = static_cast<WORD>(font.height);
  font.select.width = static_cast<WORD>(font.cellWidth);
  font.select.weight = ifi->usWinWeight;
  font.select.pitchFamily = ifi->jWinPitchAndFamily;
  font.select.charSet = ifi->jWinCharSet;

  const double angle = std::atan2(m.eM12, m.eM11) * 180.0 / 3.14159265358979323846;
  const LONG degrees = static_cast<LONG>(std::lround(angle));
  font.rotation = (-degrees + (degrees > 0 ? 360 : 0)) % 360;
  font.select.rotation = static_cast<WORD>(font.rotation);
  font.mirrors = Mirrors(m);

  const FLONG type = pfo->flFontType;
  BYTE kind = kFontKindResident;
  if ((type & FO_TYPE_TRUETYPE) || (pdev->osVersion.dwMajorVersion < 6 && (type & kFontTypeOpenType))) {
    kind = kFontKindOutline;
  }
  if (font.mirrors) kind = kFontKindOutline;
  const WCHAR* face = IfiFaceName(ifi);
  SetFace(font, face);
  font.eudcFace = Equal(face, kEudcFace);
  if (font.eudcFace) kind = pdev->settings.eudc ? kFontKindOutline : kFontKindResident;
  if (StartsWith(face, WSTR("\xFF24\xFF26\xFF27"))) kind = kFontKindOutline;  // ＤＦＧ
  if (pdev->settings.eudc && Contains(face, WSTR("\x5916\x5B57"))) kind = kFontKindOutline;  // 外字
  if (type & kFontTypeVerticalFace) {
    kind = kFontKindOutline;
    font.pitchKind = 3;
  }
  font.kind = kind;
  WORD style = 0;
  if (type & FO_SIM_ITALIC) style |= kStyleItalic;
  if (type & FO_SIM_BOLD) style |= kStyleBold;
  if (type & FO_TYPE_TRUETYPE) style |= kStyleFontType4;
  if (font.pitchKind == 3) style |= kStylePitch3;
  if (pstro->flAccel & SO_VERTICAL) style |= kStyleVertical;
  font.select.style = style;
  return font;
}

// EUDC text drawn as outlines names its font apart, and is selected afresh by the next call.
void ApplyEudc(const RenderPdev* pdev, STROBJ* pstro, FONTOBJ* pfo, TextFont& font) {
  if (!pdev->settings.eudc || font.kind != kFontKindOutline) return;
  if (!HasPrivateUse(pstro) && !font.eudcFace) return;
  AppendUniq(font, pfo->iUniq);
  font.resetSelectAfter = true;
}

// Writes 0x50 or 0x56 unless the last select was the same font and pitch kind.
BOOL SelectFont(RenderPdev* pdev, FONTOBJ* pfo, TextFont& font, bool hostIcm) {
  GraphicsStateCache& cache = pdev->cache;
  font.select.kind = font.kind;
  font.select.style |= TxtKindStyle(font.kind) | (hostIcm ? kStyleMarked : 0);
  if (cache.fontValid && cache.fontId == pfo->iUniq && cache.fontPitchKind == font.pitchKind) return TRUE;
  const BYTE* record = font.kind == kFontKindDownload
                           ? StrmEmitDownloadFontSelect(&pdev->stream, font.select, font.face, font.faceLength)
                           : StrmEmitFontSelect(&pdev->stream, font.select, font.face, font.faceLength);
  if (!record) return FALSE;
  cache.fontValid = !font.resetSelectAfter;
  cache.fontId = pfo->iUniq;
  cache.fontPitchKind = font.pitchKind;
  return TRUE;
}

// Resident glyphs: a fixed-pitch run, a run along the baseline or column, or one 0x51 each.
BOOL EmitResident(RenderPdev* pdev, STROBJ* pstro, FONTOBJ* pfo, const TextFont& font) {
  CountedVector<StringGlyph> glyphs;
  if (!CollectGlyphs(pstro, &glyphs)) return FALSE;
  if (glyphs.empty()) return TRUE;
  CommandStream* stream = &pdev->stream;
  CountedVector<WORD> codes, steps;
  try {
    codes.resize(glyphs.size());
    steps.resize(glyphs.size());
  } catch (...) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  if (!ResidentCodes(pfo, glyphs, codes.data())) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return FALSE;
  }
  const DWORD count = static_cast<DWORD>(glyphs.size());
  const RECTL& background = pstro->rclBkGround;
  const FLONG accel = pstro->flAccel;
  if ((accel & SO_FLAG_DEFAULT_PLACEMENT) && pstro->ulCharInc) {
    const LONG inc = static_cast<LONG>(pstro->ulCharInc ? pstro->ulCharInc : font.cellWidth);
    const WORD step = static_cast<WORD>((accel & SO_REVERSED) ? -inc : inc);
    return StrmEmitGlyphs(stream, background, background.left, background.top, &step, 1, codes.data(), count) !=
           nullptr;
  }
  const bool vertical = (accel & SO_VERTICAL) != 0;
  if (font.rotation == 0 && (accel & (SO_HORIZONTAL | SO_VERTICAL))) {
    bool inLine = true;
    for (size_t i = 0; i + 1 < glyphs.size() && inLine; ++i) {
      const LONG along = vertical ? glyphs[i + 1].at.y - glyphs[i].at.y : glyphs[i + 1].at.x - glyphs[i].at.x;
      const bool sameLine = vertical ? glyphs[i + 1].at.x == glyphs[i].at.x : glyphs[i + 1].at.y == glyphs[i].at.y;
      inLine = sameLine && along > -0x10000 && along < 0x10000;
      steps[i] = static_cast<WORD>(along);
    }
    steps[count - 1] = 0;
    if (inLine) {
      const POINTL first = glyphs.front().at;
      if (StrmEmitGlyphs(stream, background, first.x, first.y - font.ascent, steps.data(), count, codes.data(),
                         count)) {
        return TRUE;
      }
    }
  }
  const LONG dx = font.ascent * Sine(font.rotation) >> 14, dy = font.ascent * Cosine(font.rotation) >> 14;
  for (const StringGlyph& glyph : glyphs) {
    const LONG x = glyph.at.x - dx, y = glyph.at.y - dy;
    const RECTL cell{x, y, x + font.cellWidth, y + font.height};
    if (!StrmEmitTextPos(stream, cell, x, y, codes[&glyph - glyphs.data()])) return FALSE;
  }
  return TRUE;
}

// Outlines: one 0x51 kind 1 per glyph with its path relative to the glyph box.
BOOL EmitOutlines(RenderPdev* pdev, STROBJ* pstro, FONTOBJ* pfo) {
  CountedVector<StringGlyph> glyphs;
  if (!CollectGlyphs(pstro, &glyphs)) return FALSE;
  for (const StringGlyph& glyph : glyphs) {
    HGLYPH hg = glyph.hg;
    PVOID data = nullptr;
    if (FONTOBJ_cGetGlyphs(pfo, FO_PATHOBJ, 1, &hg, &data) != 1 || !data) return FALSE;
    PATHOBJ* path = static_cast<GLYPHDATA*>(data)->gdf.ppo;
    if (!path) return FALSE;
    EnginePath source(path);
    const RECTL fx = source.BoundsFix();
    const RECTL box{glyph.at.x + (fx.left >> 4), glyph.at.y + (fx.top >> 4),
                    glyph.at.x + (fx.left >> 4) + ((fx.right - fx.left) >> 4),
                    glyph.at.y + (fx.top >> 4) + ((fx.bottom - fx.top) >> 4)};
    const DWORD capacity = PathRecordBound(source.PointBound());
    if (!capacity) return FALSE;
    auto* body = static_cast<BYTE*>(PdevMemAlloc(pdev->allocations, capacity));
    if (!body) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return FALSE;
    }
    PathBodyInfo info{};
    BOOL ok = TRUE;
    if (PathWriteBody(&source, POINTFIX{fx.left, fx.top}, body, capacity, &info) && info.subpaths) {
      ok = StrmEmitTextRun(&pdev->stream, box, glyph.code, body, info.bytes) != nullptr;
    }
    PdevMemFree(pdev->allocations, body);
    if (!ok) return FALSE;
  }
  return TRUE;
}

// A glyph bitmap ready for a record: compressed when that is shorter, else copied.
struct CodedBitmap {
  const GLYPHBITS* bits = nullptr;
  BYTE* data = nullptr;
  DWORD bytes = 0;
  BYTE kind = 0;
};

DWORD BitmapBytes(const GLYPHBITS* gb) {
  return static_cast<DWORD>((gb->sizlBitmap.cx + 7) / 8) * static_cast<DWORD>(gb->sizlBitmap.cy);
}

// Codes a bitmap into a buffer of the PDEV's list (freed by FreeCoded).
bool CodeBitmap(RenderPdev* pdev, const GLYPHBITS* gb, CodedBitmap* out) {
  const DWORD raw = BitmapBytes(gb);
  out->bits = gb;
  out->data = static_cast<BYTE*>(PdevMemAlloc(pdev->allocations, (raw + 3) & ~3u));
  if (!out->data) return false;
  const DWORD coded = GlyphCompress(gb->aj, raw, out->data, (raw + 3) & ~3u);
  if (coded) {
    out->bytes = coded;
    out->kind = 2;
  } else {
    std::memcpy(out->data, gb->aj, raw);
    out->bytes = raw;
    out->kind = 0;
  }
  return true;
}

void FreeCoded(RenderPdev* pdev, CodedBitmap& coded) {
  PdevMemFree(pdev->allocations, coded.data);
  coded.data = nullptr;
}

const GLYPHBITS* GlyphBitmap(FONTOBJ* pfo, HGLYPH hg) {
  PVOID data = nullptr;
  if (FONTOBJ_cGetGlyphs(pfo, FO_GLYPHBITS, 1, &hg, &data) != 1 || !data) return nullptr;
  const GLYPHBITS* gb = static_cast<GLYPHDATA*>(data)->gdf.pgb;
  if (!gb || gb->sizlBitmap.cx <= 0 || gb->sizlBitmap.cy <= 0) return nullptr;
  return gb;
}

struct DownloadContext {
  RenderPdev* pdev;
  STROBJ* pstro;
  FONTOBJ* pfo;
  const TextFont* font;
  BYTE flags;
};

// 0x54 for every glyph of the string not yet on the device, then one 0x55 placing them all.
// FALSE from the download pass with *downloadFailed set; FALSE otherwise for a failed 0x55.
BOOL EmitPlaced(const DownloadContext& c, const CountedVector<StringGlyph>& glyphs, bool* downloadFailed) {
  RenderPdev* pdev = c.pdev;
  GlyphCache* cache = &pdev->glyphs;
  const ULONG fontId = c.pfo->iUniq;
  CountedVector<PositionedGlyph> placed;
  POINTL first{}, previous{};
  *downloadFailed = true;
  for (const StringGlyph& glyph : glyphs) {
    const GLYPHBITS* gb = GlyphBitmap(c.pfo, glyph.hg);
    if (!gb) continue;
    const WORD generation = static_cast<WORD>(cache->generation);
    if (!GlyphCacheFind(cache, fontId, generation, glyph.code, c.font->pitchKind)) {
      CodedBitmap coded;
      if (!CodeBitmap(pdev, gb, &coded)) return FALSE;
      const FontData data{c.flags, static_cast<DWORD>(gb->sizlBitmap.cx), static_cast<DWORD>(gb->sizlBitmap.cy),
                          glyph.code, coded.kind};
      const bool sent = StrmEmitFontData(&pdev->stream, data, coded.data, coded.bytes) != nullptr;
      FreeCoded(pdev, coded);
      if (!sent || !GlyphCacheAdd(cache, fontId, generation, glyph.code, c.font->pitchKind)) return FALSE;
    }
    const POINTL topLeft{glyph.at.x + gb->ptlOrigin.x, glyph.at.y + gb->ptlOrigin.y};
    try {
      if (placed.empty()) {
        first = topLeft;
        placed.push_back(PositionedGlyph{0, 0, glyph.code});
      } else {
        placed.push_back(PositionedGlyph{static_cast<SHORT>(topLeft.x - previous.x),
                                         static_cast<SHORT>(topLeft.y - previous.y), glyph.code});
      }
    } catch (...) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      *downloadFailed = false;
      return FALSE;
    }
    previous = topLeft;
  }
  *downloadFailed = false;
  if (placed.empty()) return TRUE;
  return StrmEmitPositionedGlyphs(&pdev->stream, c.flags, c.pstro->rclBkGround, first.x, first.y, placed.data(),
                                  static_cast<DWORD>(placed.size())) != nullptr;
}

// One 0x53 (cache in use) or 0x57 per glyph.
BOOL EmitEach(const DownloadContext& c, const CountedVector<StringGlyph>& glyphs, bool useCache) {
  RenderPdev* pdev = c.pdev;
  GlyphCache* cache = &pdev->glyphs;
  const ULONG fontId = c.pfo->iUniq;
  const LONG ascent = c.font->ascent;
  const LONG dx = ascent * Sine(c.font->rotation) >> 14, dy = ascent * Cosine(c.font->rotation) >> 14;
  for (const StringGlyph& glyph : glyphs) {
    const GLYPHBITS* gb = GlyphBitmap(c.pfo, glyph.hg);
    if (!gb) continue;
    GlyphDownload record{};
    record.flags = c.flags;
    record.originX = glyph.at.x + gb->ptlOrigin.x;
    record.originY = glyph.at.y + gb->ptlOrigin.y;
    record.box = RECTL{record.originX, record.originY, record.originX + gb->sizlBitmap.cx,
                       record.originY + gb->sizlBitmap.cy};
    record.x = glyph.at.x - dx;
    record.y = glyph.at.y - dy;
    record.width = static_cast<DWORD>(gb->sizlBitmap.cx);
    record.height = static_cast<DWORD>(gb->sizlBitmap.cy);
    record.code = glyph.code;
    const WORD generation = static_cast<WORD>(cache->generation);
    if (useCache && GlyphCacheFind(cache, fontId, generation, glyph.code, c.font->pitchKind)) {
      record.flags |= kFlagsCached;
      if (!StrmEmitGlyphDownload(&pdev->stream, TRUE, record, nullptr, 0)) return FALSE;
      continue;
    }
    CodedBitmap coded;
    if (!CodeBitmap(pdev, gb, &coded)) {
      GlyphCacheClear(cache);
      if (!CodeBitmap(pdev, gb, &coded)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
      }
    }
    record.bitmapKind = coded.kind;
    const bool sent = StrmEmitGlyphDownload(&pdev->stream, useCache, record, coded.data, coded.bytes) != nullptr;
    FreeCoded(pdev, coded);
    if (!sent) return FALSE;
    if (useCache && !GlyphCacheAdd(cache, fontId, static_cast<WORD>(cache->generation), glyph.code,
                                   c.font->pitchKind)) {
      GlyphCacheClear(cache);
    }
  }
  return TRUE;
}

BOOL EmitDownload(RenderPdev* pdev, STROBJ* pstro, FONTOBJ* pfo, const TextFont& font) {
  CountedVector<StringGlyph> glyphs;
  if (!CollectGlyphs(pstro, &glyphs)) return FALSE;
  const DownloadContext c{pdev, pstro, pfo, &font,
                          (pstro->flAccel & SO_GLYPHINDEX_TEXTOUT) ? kFlagsGlyphIndices : kFlagsCharacters};
  const bool useCache = !font.eudcFace && !font.mirrors;
  if (useCache && font.rotation == 0 && !(pstro->flAccel & SO_VERTICAL)) {
    bool downloadFailed = false;
    if (EmitPlaced(c, glyphs, &downloadFailed)) return TRUE;
    if (!downloadFailed) return FALSE;
    // The glyphs sent so far stay valid records; the cache forgets them and the string goes
    // glyph by glyph without it.
    GlyphCacheClear(&pdev->glyphs);
    return EmitEach(c, glyphs, false);
  }
  return EmitEach(c, glyphs, useCache);
}

ColorDescriptor BrushColor(BRUSHOBJ* brush) {
  ColorDescriptor color{};
  color.kind = 1;
  color.color2 = 0xFFFFFF;
  if (!brush) return color;
  const ULONG rgb = BRUSHOBJ_ulGetBrushColor(brush);
  if (rgb == 0xFFFFFFFF) {
    color.kind = 2;
    color.color1 = 0;
  } else {
    color.color1 = rgb & 0xFFFFFF;
  }
  color.hostIcm = (brush->flColorType & BR_HOST_ICM) != 0;
  return color;
}

// Colour, colour attribute and ROP of a brush under the mix.
BOOL SelectColor(RenderPdev* pdev, const ColorDescriptor& color, MIX mix) {
  const RecordSettings settings = PdevRecordSettings(pdev);
  return StrmEmitColorIfChanged(&pdev->stream, &pdev->cache, settings, color) &&
         StrmEmitColorAttrIfChanged(&pdev->stream, &pdev->cache, static_cast<BYTE>(color.kind)) &&
         StrmEmitRopIfChanged(&pdev->stream, &pdev->cache, MixToDeviceRop(mix & 0xFF));
}

bool EmptyRect(const RECTL& r) { return r.left >= r.right || r.top >= r.bottom; }

}  // namespace

WORD TxtKindStyle(BYTE kind) {
  switch (kind) {
    case kFontKindResident: return 0x0008;
    case kFontKindOutline: return 0x0200 | 0x2000;
    case kFontKindDownload: return 0x2000;
    default: return 0;
  }
}

BOOL TxtTextOut(RenderPdev* pdev, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra, RECTL* prclOpaque,
                BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque, MIX mix) {
  const IFIMETRICS* ifi = FONTOBJ_pifi(pfo);
  CommandStream* stream = &pdev->stream;
  EngineClip clip(pco);
  if (!ClipSelect(stream, &pdev->cache, &clip)) return FALSE;
  if (prclOpaque && !EmptyRect(*prclOpaque)) {
    if (!SelectColor(pdev, BrushColor(pboOpaque), mix) || !StrmEmitRect(stream, kRectFill, *prclOpaque)) {
      return FALSE;
    }
  }
  const PatternDescriptor solid{};
  const ColorDescriptor fore = BrushColor(pboFore);
  if (!StrmEmitPatternIfChanged(stream, &pdev->cache, &solid) || !SelectColor(pdev, fore, mix)) return FALSE;

  TextFont font = ResidentDescriptor(pdev, pstro, pfo, ifi);
  const PdevSettings& s = pdev->settings;
  BOOL ok = FALSE;
  if (s.deviceFontsUsable && s.printType != 5 && !s.apiUse) {
    const bool deviceFace = DevFontFaceIndex(font.face) >= 0;
    // Another font named as a device face is downloaded when the resident codes cannot hold it.
    font.kind = deviceFace && ResidentCodesHeld(pstro, pfo) ? kFontKindResident : kFontKindDownload;
    ok = SelectFont(pdev, pfo, font, fore.hostIcm) &&
         (font.kind == kFontKindDownload ? EmitDownload(pdev, pstro, pfo, font)
                                         : EmitResident(pdev, pstro, pfo, font));
  } else {
    // Text whose characters the resident code page cannot hold goes as outlines.
    if (font.kind == kFontKindResident && !ResidentCodesHeld(pstro, pfo)) font.kind = kFontKindOutline;
    ApplyEudc(pdev, pstro, pfo, font);
    ok = SelectFont(pdev, pfo, font, fore.hostIcm) &&
         (font.kind == kFontKindOutline ? EmitOutlines(pdev, pstro, pfo) : EmitResident(pdev, pstro, pfo, font));
  }
  if (!ok) return FALSE;
  for (int i = 0; prclExtra; ++i) {
    const RECTL& r = prclExtra[i];
    if (r.left == 0 && r.top == 0 && r.right == 0 && r.bottom == 0) break;
    if (!StrmEmitRect(stream, kRectFill, r)) return FALSE;
  }
  return TRUE;
}
