// Fonts, strings and text: the engine's bitmap font with its metrics, glyph bitmaps and
// outlines, device fonts by number, glyph-position enumeration, and drawing glyphs.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <new>
#include <optional>

#include "core/codepage.h"
#include "core/winerror.h"
#include "eng/eng_internal.h"
#include "eng/engine_font.h"

namespace velm::platform::eng {
namespace {

// The engine font's design (eng/engine_font.h): a cell of 8 units with the baseline 7 units
// down, half-width characters 6 units wide and full-width ones 12.
constexpr LONG kCell = kEngineFontCell, kAscent = kEngineFontAscent, kAdvance = kEngineFontAdvance;
constexpr LONG kWideAdvance = 2 * kAdvance;
constexpr WCHAR kDefaultChar = u'?';
constexpr char16_t kFaceName[] = u"Engine Mono";
constexpr size_t kMaxText = 4096;
constexpr LONG kMaxGlyphSide = 4096;

std::atomic<ULONG> g_fontUniq{1};

Font* NewFont() {
  auto* font = new (std::nothrow) Font;
  if (!font) return nullptr;
  font->fo.iUniq = g_fontUniq++;
  Fonts().Add(font);
  return font;
}

void FillEngineMetrics(Font& font, std::u16string_view face = kFaceName) {
  const size_t nameBytes = (face.size() + 1) * sizeof(char16_t);
  font.ownIfi.assign(sizeof(IFIMETRICS) + nameBytes, 0);
  IFIMETRICS ifi{};
  ifi.cjThis = static_cast<ULONG>(font.ownIfi.size());
  ifi.dpwszFamilyName = ifi.dpwszStyleName = ifi.dpwszFaceName = ifi.dpwszUniqueName = sizeof(IFIMETRICS);
  ifi.jWinCharSet = ANSI_CHARSET;
  ifi.jWinPitchAndFamily = FIXED_PITCH | FF_MODERN;
  ifi.usWinWeight = FW_NORMAL;
  // Full-width glyphs are twice as wide as half-width ones.
  ifi.flInfo = FM_INFO_TECH_BITMAP | FM_INFO_1BPP | FM_INFO_INTEGER_WIDTH | FM_INFO_DBCS_FIXED_PITCH |
               FM_INFO_RETURNS_BITMAPS | FM_INFO_RETURNS_OUTLINES | FM_INFO_RIGHT_HANDED;
  ifi.fwdUnitsPerEm = kCell;
  ifi.fwdLowestPPEm = kCell;
  ifi.fwdWinAscender = ifi.fwdMacAscender = ifi.fwdTypoAscender = kAscent;
  ifi.fwdWinDescender = kCell - kAscent;
  ifi.fwdMacDescender = ifi.fwdTypoDescender = -(kCell - kAscent);
  ifi.fwdAveCharWidth = kAdvance;
  ifi.fwdMaxCharInc = kWideAdvance;
  ifi.fwdCapHeight = kAscent;
  ifi.fwdXHeight = 5;
  ifi.fwdUnderscoreSize = 1;
  ifi.fwdUnderscorePosition = -1;
  ifi.fwdStrikeoutSize = 1;
  ifi.fwdStrikeoutPosition = 3;
  ifi.chFirstChar = 0x20;
  ifi.chLastChar = 0x7E;
  ifi.chDefaultChar = static_cast<BYTE>(kDefaultChar);
  ifi.chBreakChar = 0x20;
  ifi.wcFirstChar = 0x20;
  ifi.wcLastChar = 0xFFFF;
  ifi.wcDefaultChar = kDefaultChar;
  ifi.wcBreakChar = 0x20;
  ifi.ptlBaseline = POINTL{1, 0};
  ifi.ptlAspect = POINTL{1, 1};
  ifi.ptlCaret = POINTL{0, 1};
  ifi.rclFontBox = RECTL{0, kAscent, kWideAdvance, -(kCell - kAscent)};
  std::memcpy(font.ownIfi.data(), &ifi, sizeof ifi);
  std::memcpy(font.ownIfi.data() + sizeof ifi, face.data(), nameBytes - sizeof(char16_t));
  font.ifi = reinterpret_cast<IFIMETRICS*>(font.ownIfi.data());
}

bool Turned(const Font& font) { return font.turn[0] != 1 || font.turn[1] || font.turn[2] || font.turn[3] != 1; }

// Turns an upright GLYPHBITS in place: each pixel of the turned box takes the upright pixel
// under its centre. A quarter turn or a mirror moves every pixel whole.
void TurnBitmap(const Font& font, std::vector<BYTE>& bits) {
  const auto* upright = reinterpret_cast<const GLYPHBITS*>(bits.data());
  const LONG w = upright->sizlBitmap.cx, h = upright->sizlBitmap.cy;
  const POINTL origin = upright->ptlOrigin;
  const size_t stride = (static_cast<size_t>(w) + 7) / 8;
  const double* t = font.turn;
  const double det = t[0] * t[3] - t[2] * t[1];
  double left = 1e9, top = 1e9, right = -1e9, bottom = -1e9;
  for (const double v : {double(origin.y), double(origin.y + h)}) {
    for (const double u : {double(origin.x), double(origin.x + w)}) {
      const double x = u * t[0] + v * t[2], y = u * t[1] + v * t[3];
      left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
    }
  }
  // Rounded before flooring, so that a quarter turn's exact corners stay whole.
  const LONG boxLeft = static_cast<LONG>(std::floor(left + 1e-9)), boxTop = static_cast<LONG>(std::floor(top + 1e-9));
  const LONG tw = static_cast<LONG>(std::ceil(right - 1e-9)) - boxLeft;
  const LONG th = static_cast<LONG>(std::ceil(bottom - 1e-9)) - boxTop;
  const size_t turnedStride = (static_cast<size_t>(tw) + 7) / 8;
  std::vector<BYTE> out(offsetof(GLYPHBITS, aj) + turnedStride * th, 0);
  auto* turned = reinterpret_cast<GLYPHBITS*>(out.data());
  turned->ptlOrigin = POINTL{boxLeft, boxTop};
  turned->sizlBitmap = SIZEL{tw, th};
  for (LONG y = 0; y < th; ++y) {
    for (LONG x = 0; x < tw; ++x) {
      const double cx = boxLeft + x + 0.5, cy = boxTop + y + 0.5;
      const LONG u = static_cast<LONG>(std::floor((t[3] * cx - t[2] * cy) / det)) - origin.x;
      const LONG v = static_cast<LONG>(std::floor((-t[1] * cx + t[0] * cy) / det)) - origin.y;
      if (u < 0 || v < 0 || u >= w || v >= h || !((upright->aj[v * stride + u / 8] >> (7 - u % 8)) & 1)) continue;
      turned->aj[y * turnedStride + x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
    }
  }
  bits.swap(out);
}

// A glyph's outline: one closed rectangle per run of ink in each pixel row, relative to the
// glyph's baseline origin.
PATHOBJ* GlyphOutline(const EngineGlyphBitmap& glyph, const double* turn) {
  const auto at = [turn](LONG u, LONG v) {
    return POINTFIX{static_cast<FIX>(std::lround(16 * (u * turn[0] + v * turn[2]))),
                    static_cast<FIX>(std::lround(16 * (u * turn[1] + v * turn[3])))};
  };
  PATHOBJ* ppo = EngCreatePath();
  if (!ppo) return nullptr;
  const LONG w = glyph.width, h = glyph.height;
  const size_t stride = (static_cast<size_t>(w) + 7) / 8;
  const auto inked = [&](LONG x, LONG y) { return (glyph.bits[y * stride + x / 8] >> (7 - x % 8)) & 1; };
  for (LONG y = 0; y < h; ++y) {
    for (LONG x = 0; x < w;) {
      if (!inked(x, y)) {
        ++x;
        continue;
      }
      LONG end = x;
      while (end < w && inked(end, y)) ++end;
      const LONG top = y + glyph.top, bottom = top + 1;
      POINTFIX corners[3] = {at(end, top), at(end, bottom), at(x, bottom)};
      if (!PATHOBJ_bMoveTo(ppo, at(x, top)) || !PATHOBJ_bPolyLineTo(ppo, corners, 3) ||
          !PATHOBJ_bCloseFigure(ppo)) {
        EngDeletePath(ppo);
        return nullptr;
      }
      x = end;
    }
  }
  return ppo;
}

LONG RoundLong(double value) { return static_cast<LONG>(std::lround(std::clamp(value, -1e9, 1e9))); }

}  // namespace

Registry<Font>& Fonts() {
  static Registry<Font> registry;
  return registry;
}
Registry<Str>& Strs() {
  static Registry<Str> registry;
  return registry;
}
Font* FindFont(const FONTOBJ* pfo) { return pfo ? Fonts().Find(pfo) : nullptr; }
Str* FindStr(const STROBJ* pstro) { return pstro ? Strs().Find(pstro) : nullptr; }

GlyphEntry* EngineGlyph(Font& font, HGLYPH hg, bool outline) {
  if (font.device || hg > 0xFFFF) return nullptr;
  EngineGlyphBitmap upright;
  if (!EngineFontStates(static_cast<char16_t>(hg))) return nullptr;
  if (!EngineFontCovers(static_cast<char16_t>(hg))) hg = kDefaultChar;
  std::lock_guard<std::mutex> lock(font.mutex);
  std::unique_ptr<GlyphEntry>& slot = font.glyphs[hg];
  if (!slot || (outline && !slot->outline)) {
    if (!DrawEngineGlyph(static_cast<char16_t>(hg), font.height, &upright)) return nullptr;
  }
  if (!slot) {
    auto entry = std::unique_ptr<GlyphEntry>(new (std::nothrow) GlyphEntry);
    if (!entry) return nullptr;
    const LONG w = upright.width, h = upright.height;
    entry->bits.assign(offsetof(GLYPHBITS, aj), 0);
    entry->bits.insert(entry->bits.end(), upright.bits.begin(), upright.bits.end());
    auto* gb = reinterpret_cast<GLYPHBITS*>(entry->bits.data());
    gb->ptlOrigin = POINTL{0, upright.top};
    gb->sizlBitmap = SIZEL{w, h};
    if (Turned(font)) TurnBitmap(font, entry->bits);
    gb = reinterpret_cast<GLYPHBITS*>(entry->bits.data());
    GLYPHDATA data{};
    data.hg = hg;
    data.fxD = LTOFX(upright.advance);
    data.fxA = 0;
    data.fxAB = LTOFX(w);
    data.fxInkTop = LTOFX(-upright.top);
    data.fxInkBottom = 0;
    data.rclInk = RECTL{0, upright.top, w, h + upright.top};
    data.ptqD.x.u.HighPart = data.fxD;
    entry->bitsData = data;
    entry->bitsData.gdf.pgb = gb;
    entry->pathData = data;
    slot = std::move(entry);
  }
  if (outline && !slot->outline) {
    slot->outline = GlyphOutline(upright, font.turn);
    if (!slot->outline) return nullptr;
    slot->pathData.gdf.ppo = slot->outline;
  }
  return slot.get();
}

}  // namespace velm::platform::eng

namespace velm::platform {
using namespace eng;

FONTOBJ* CreateEngineFontObj(LONG cellHeight, LONG resolution) {
  Font* font = NewFont();
  if (!font) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  font->height = std::clamp(cellHeight, kEngineFontMinHeight, kEngineFontMaxHeight);
  const auto scale = static_cast<FLOATL>(font->height) / kCell;
  FillEngineMetrics(*font);
  font->xform = NewXform(XFORML{scale, 0, 0, scale, 0, 0});
  if (!font->xform) {
    DeleteFontObj(&font->fo);
    return nullptr;
  }
  FONTOBJ& fo = font->fo;
  fo.iFace = 0;
  fo.cxMax = static_cast<ULONG>(EngineFontPixels(kWideAdvance, font->height));
  fo.flFontType = FO_TYPE_RASTER;
  fo.sizLogResPpi = SIZEL{resolution, resolution};
  fo.ulStyleSize = resolution > 0 ? static_cast<ULONG>(font->height * 72 / resolution) : 0;
  fo.pvProducer = font;
  return &fo;
}

FONTOBJ* CreateDeviceFontObj(ULONG iFace, IFIMETRICS* pifi, const XFORML& xform, LONG resolution) {
  Font* font = NewFont();
  if (!font) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  font->device = true;
  font->ifi = pifi;
  font->xform = NewXform(xform);
  if (!font->xform) {
    DeleteFontObj(&font->fo);
    return nullptr;
  }
  FONTOBJ& fo = font->fo;
  fo.iFace = iFace;
  fo.flFontType = FO_TYPE_DEVICE;
  fo.cxMax = pifi ? static_cast<ULONG>(std::max<LONG>(0, RoundLong(pifi->fwdMaxCharInc * xform.eM11))) : 0;
  fo.sizLogResPpi = SIZEL{resolution, resolution};
  fo.pvProducer = font;
  return &fo;
}

BOOL SetEngineFontFace(FONTOBJ* pfo, std::u16string_view face) {
  Font* font = FindFont(pfo);
  if (!font || font->device || face.empty() || face.size() > 31) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  FillEngineMetrics(*font, face);
  return TRUE;
}

BOOL SetEngineFontTransform(FONTOBJ* pfo, LONG degrees, bool mirror) {
  Font* font = FindFont(pfo);
  if (!font || font->device || !font->glyphs.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // Counter-clockwise on a page whose y runs down: the baseline (1, 0) goes to (cos, -sin).
  // Quarter turns take exact values.
  degrees = (degrees % 360 + 360) % 360;
  static constexpr double kCos[4] = {1, 0, -1, 0}, kSin[4] = {0, 1, 0, -1};
  const double radians = degrees * 3.14159265358979323846 / 180;
  const double c = degrees % 90 ? std::cos(radians) : kCos[degrees / 90];
  const double sn = degrees % 90 ? std::sin(radians) : kSin[degrees / 90];
  const double m = mirror ? -1 : 1;
  const double turn[4] = {c * m, -sn * m, sn, c};
  const double scale = static_cast<double>(font->height) / kCell;
  XFORMOBJ* xform = NewXform(XFORML{static_cast<FLOATL>(turn[0] * scale), static_cast<FLOATL>(turn[1] * scale),
                                    static_cast<FLOATL>(turn[2] * scale), static_cast<FLOATL>(turn[3] * scale), 0, 0});
  if (!xform) return FALSE;
  DeleteXformObj(font->xform);
  font->xform = xform;
  std::copy(std::begin(turn), std::end(turn), font->turn);
  return TRUE;
}

void SetDeviceFontGlyphSet(FONTOBJ* pfo, const FD_GLYPHSET* glyphs) {
  if (Font* font = FindFont(pfo)) font->glyphSet = font->device ? glyphs : nullptr;
}

namespace {

// The handle of `c` in a glyph set, or nothing.
std::optional<HGLYPH> GlyphSetHandle(const FD_GLYPHSET& set, WCHAR c) {
  for (ULONG i = 0; i < set.cRuns; ++i) {
    const WCRUN& run = set.awcrun[i];
    if (c < run.wcLow || c - run.wcLow >= run.cGlyphs) continue;
    return run.phg ? run.phg[c - run.wcLow] : HGLYPH{c};
  }
  return std::nullopt;
}

// Whether a device font steps c two cells on: a double-byte character of its character set's
// code page in a font whose double-byte glyphs are twice as wide.
bool DoubleWidth(const Font& font, WCHAR c) {
  if (!font.ifi || !(font.ifi->flInfo & FM_INFO_DBCS_FIXED_PITCH) || font.ifi->jWinCharSet != SHIFTJIS_CHARSET) {
    return false;
  }
  return WideCharToMultiByte(932, 0, &c, 1, nullptr, 0, nullptr, nullptr) == 2;
}

HGLYPH DeviceHandle(const Font& font, WCHAR c) {
  if (!font.glyphSet) return c;
  if (const auto hg = GlyphSetHandle(*font.glyphSet, c)) return *hg;
  const auto fallback = font.ifi ? GlyphSetHandle(*font.glyphSet, font.ifi->wcDefaultChar) : std::nullopt;
  return fallback ? *fallback : 0;
}

}  // namespace

void DeleteFontObj(FONTOBJ* pfo) {
  Font* font = FindFont(pfo);
  if (!font || !Fonts().Remove(font)) return;
  for (auto& glyph : font->glyphs) {
    if (glyph.second && glyph.second->outline) EngDeletePath(glyph.second->outline);
  }
  DeleteXformObj(font->xform);
  delete font;
}

LONG FontAdvance(FONTOBJ* pfo, HGLYPH hg) {
  Font* font = FindFont(pfo);
  if (!font) return 0;
  if (font->device) {
    if (!font->ifi) return 0;
    XFORML m{};
    XFORMOBJ_iGetXform(font->xform, &m);
    return std::max<LONG>(0, RoundLong(font->ifi->fwdAveCharWidth * m.eM11));
  }
  return hg <= 0xFFFF ? EngineGlyphAdvance(static_cast<char16_t>(hg), font->height) : 0;
}

void FontExtent(FONTOBJ* pfo, LONG& ascent, LONG& descent) {
  ascent = descent = 0;
  Font* font = FindFont(pfo);
  if (!font) return;
  if (!font->device) {
    ascent = EngineFontPixels(kAscent, font->height);
    descent = font->height - ascent;
    return;
  }
  if (!font->ifi) return;
  XFORML m{};
  XFORMOBJ_iGetXform(font->xform, &m);
  ascent = RoundLong(font->ifi->fwdWinAscender * std::fabs(m.eM22));
  descent = RoundLong(font->ifi->fwdWinDescender * std::fabs(m.eM22));
}

STROBJ* CreateStrObj(FONTOBJ* pfo, std::u16string_view text, POINTL origin, ULONG batch) {
  return CreateStrObj(pfo, text, origin, StrLayout{}, batch);
}

STROBJ* CreateStrObj(FONTOBJ* pfo, std::u16string_view text, POINTL origin, const StrLayout& layout, ULONG batch) {
  Font* font = FindFont(pfo);
  if (!font || text.size() > kMaxText) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto* str = new (std::nothrow) Str;
  if (!str) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  str->font = font;
  str->text.assign(text);
  str->batch = batch;
  str->positions.resize(text.size());
  str->defs.resize(text.size());
  LONG ascent, descent;
  FontExtent(pfo, ascent, descent);
  LONG x = origin.x, y = origin.y, advance = 0, along = 0, widest = 0;
  bool evenPitch = true;
  const LONG cellStep = ascent + descent;
  for (size_t i = 0; i < text.size(); ++i) {
    HGLYPH hg = font->device ? DeviceHandle(*font, text[i]) : text[i];
    if (!font->device && !EngineFontCovers(text[i])) hg = kDefaultChar;
    GLYPHPOS& position = str->positions[i];
    position.hg = hg;
    position.ptl = POINTL{x, y};
    position.pgdf = nullptr;
    if (GlyphEntry* glyph = EngineGlyph(*font, hg, false)) {
      str->defs[i].pgb = glyph->bitsData.gdf.pgb;
      position.pgdf = &str->defs[i];
    }
    const LONG step = FontAdvance(pfo, hg) * (font->device && DoubleWidth(*font, text[i]) ? 2 : 1);
    evenPitch = evenPitch && (i == 0 || step == advance);
    advance = step;
    widest = std::max(widest, step);
    along += step;
    if (layout.vertical) y += cellStep;
    else {
      // Along the turned baseline from the origin, so that rounding does not pile up.
      x = origin.x + RoundLong(along * font->turn[0]);
      y = origin.y + RoundLong(along * font->turn[1]);
    }
  }
  STROBJ& so = str->so;
  so.cGlyphs = static_cast<ULONG>(text.size());
  so.flAccel = SO_FLAG_DEFAULT_PLACEMENT | (layout.vertical ? SO_VERTICAL : SO_HORIZONTAL) |
               (layout.glyphIndex ? SO_GLYPHINDEX_TEXTOUT : 0);
  so.ulCharInc = static_cast<ULONG>(layout.vertical ? cellStep : evenPitch ? advance : 0);
  so.rclBkGround = layout.vertical ? RECTL{origin.x, origin.y - ascent, origin.x + widest, y - ascent}
                                   : RECTL{origin.x, origin.y - ascent, x, origin.y + descent};
  if (Turned(*font) && !layout.vertical) {
    // The cells' box: the turned corners of the run from the baseline origin.
    const LONG run = along;
    constexpr LONG kBig = std::numeric_limits<LONG>::max();
    RECTL box{kBig, kBig, -kBig, -kBig};
    for (LONG u : {LONG{0}, run}) {
      for (LONG v : {-ascent, descent}) {
        const LONG px = origin.x + u * font->turn[0] + v * font->turn[2], py = origin.y + u * font->turn[1] + v * font->turn[3];
        box = RECTL{std::min(box.left, px), std::min(box.top, py), std::max(box.right, px), std::max(box.bottom, py)};
      }
    }
    so.rclBkGround = box;
    so.flAccel &= ~(SO_HORIZONTAL | SO_FLAG_DEFAULT_PLACEMENT);
    so.ulCharInc = 0;
  }
  so.pwszOrg = str->text.data();
  so.pgp = batch == 0 || batch >= text.size() ? str->positions.data() : nullptr;
  Strs().Add(str);
  return &so;
}

void DeleteStrObj(STROBJ* pstro) {
  Str* str = FindStr(pstro);
  if (str && Strs().Remove(str)) delete str;
}

}  // namespace velm::platform

using namespace velm::platform::eng;

extern "C" ULONG FONTOBJ_cGetGlyphs(FONTOBJ* pfo, ULONG iMode, ULONG cGlyph, HGLYPH* phg, PVOID* ppvGlyph) {
  Font* font = FindFont(pfo);
  if (!font || !phg || !ppvGlyph || cGlyph != 1 || (iMode != FO_GLYPHBITS && iMode != FO_PATHOBJ)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  GlyphEntry* glyph = EngineGlyph(*font, *phg, iMode == FO_PATHOBJ);
  if (!glyph) return 0;
  *ppvGlyph = iMode == FO_PATHOBJ ? &glyph->pathData : &glyph->bitsData;
  return 1;
}

extern "C" IFIMETRICS* FONTOBJ_pifi(FONTOBJ* pfo) {
  Font* font = FindFont(pfo);
  return font ? font->ifi : nullptr;
}

extern "C" XFORMOBJ* FONTOBJ_pxoGetXform(FONTOBJ* pfo) {
  Font* font = FindFont(pfo);
  return font ? font->xform : nullptr;
}

extern "C" ULONG FONTOBJ_cGetAllGlyphHandles(FONTOBJ* pfo, HGLYPH* phg) {
  Font* font = FindFont(pfo);
  if (!font || font->device) return 0;
  ULONG count = 0;
  for (ULONG c = 0; c <= 0xFFFF; ++c) {
    if (!EngineFontStates(static_cast<char16_t>(c))) continue;
    if (phg) phg[count] = c;
    ++count;
  }
  return count;
}

namespace {

// The engine font's glyph set: one run per stretch of stated characters, handles null.
const FD_GLYPHSET* EngineGlyphSet() {
  static const std::vector<BYTE> storage = [] {
    std::vector<WCRUN> runs;
    ULONG glyphs = 0;
    for (ULONG c = 0; c <= 0xFFFF; ++c) {
      if (!EngineFontStates(static_cast<char16_t>(c))) continue;
      ++glyphs;
      if (!runs.empty() && runs.back().wcLow + runs.back().cGlyphs == c && runs.back().cGlyphs < 0xFFFF) {
        ++runs.back().cGlyphs;
      } else {
        runs.push_back(WCRUN{static_cast<WCHAR>(c), 1, nullptr});
      }
    }
    const size_t bytes = offsetof(FD_GLYPHSET, awcrun) + std::max<size_t>(runs.size(), 1) * sizeof(WCRUN);
    std::vector<BYTE> out(bytes, 0);
    FD_GLYPHSET set{};
    set.cjThis = static_cast<ULONG>(bytes);
    set.cGlyphsSupported = glyphs;
    set.cRuns = static_cast<ULONG>(runs.size());
    std::memcpy(out.data(), &set, offsetof(FD_GLYPHSET, awcrun));
    if (!runs.empty()) std::memcpy(out.data() + offsetof(FD_GLYPHSET, awcrun), runs.data(), runs.size() * sizeof(WCRUN));
    return out;
  }();
  return reinterpret_cast<const FD_GLYPHSET*>(storage.data());
}

}  // namespace

extern "C" FD_GLYPHSET* FONTOBJ_pfdg(FONTOBJ* pfo) {
  Font* font = FindFont(pfo);
  if (!font) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return const_cast<FD_GLYPHSET*>(font->device ? font->glyphSet : EngineGlyphSet());
}

extern "C" void STROBJ_vEnumStart(STROBJ* pstro) {
  if (Str* str = FindStr(pstro)) str->next = 0;
}

extern "C" BOOL STROBJ_bEnum(STROBJ* pstro, ULONG* pc, PGLYPHPOS* ppgpos) {
  if (!pstro || !pc || !ppgpos) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Str* str = FindStr(pstro);
  if (!str) {
    *pc = pstro->pgp ? pstro->cGlyphs : 0;
    *ppgpos = pstro->pgp;
    return FALSE;
  }
  const size_t remaining = str->positions.size() - str->next;
  const size_t taken = str->batch ? std::min<size_t>(str->batch, remaining) : remaining;
  *pc = static_cast<ULONG>(taken);
  *ppgpos = taken ? str->positions.data() + str->next : nullptr;
  str->next += taken;
  return str->next < str->positions.size() ? TRUE : FALSE;
}

extern "C" DWORD STROBJ_dwGetCodePage(STROBJ*) { return GetACP(); }

extern "C" BOOL EngTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra,
                           RECTL* prclOpaque, BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque, POINTL* pptlOrg, MIX mix) {
  if (!pso || !pstro) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Pixels pixels;
  if (!SurfacePixels(pso, pixels)) {
    if (pso->iType != STYPE_DEVICE) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    LogEngineCall("EngTextOut device glyphs=" + std::to_string(pstro->cGlyphs) + " " + RectText(&pstro->rclBkGround));
    return TRUE;
  }
  const std::vector<RECTL> clip = velm::platform::ClipRectangles(pco, RECTL{0, 0, pixels.cx, pixels.cy});
  if (prclOpaque && pboOpaque) {
    BrushSampler opaque;
    if (!opaque.Init(pboOpaque, pptlOrg, pixels.mask)) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    const Painter painter(pixels, clip, opaque, 0xF0);
    const RECTL r = Ordered(*prclOpaque);
    for (LONG y = std::max<LONG>(r.top, 0); y < std::min(r.bottom, pixels.cy); ++y) painter.Span(y, r.left, r.right);
  }
  BrushSampler fore;
  if (!fore.Init(pboFore, pptlOrg, pixels.mask)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const Painter painter(pixels, clip, fore, MixRop3((mix & 0xFF) ? (mix & 0xFF) : R2_COPYPEN));

  // Read the positions without disturbing a driver's own enumeration of the string.
  const GLYPHPOS* positions = pstro->pgp;
  size_t count = pstro->pgp ? pstro->cGlyphs : 0;
  if (Str* str = FindStr(pstro)) {
    positions = str->positions.data();
    count = str->positions.size();
  }
  for (size_t i = 0; i < count; ++i) {
    const GLYPHPOS& position = positions[i];
    const GLYPHBITS* gb = position.pgdf ? position.pgdf->pgb : nullptr;
    if (!gb && pfo) {
      HGLYPH hg = position.hg;
      PVOID data = nullptr;
      if (FONTOBJ_cGetGlyphs(pfo, FO_GLYPHBITS, 1, &hg, &data) == 1) gb = static_cast<GLYPHDATA*>(data)->gdf.pgb;
    }
    if (!gb || gb->sizlBitmap.cx <= 0 || gb->sizlBitmap.cy <= 0 || gb->sizlBitmap.cx > kMaxGlyphSide ||
        gb->sizlBitmap.cy > kMaxGlyphSide) {
      continue;
    }
    const LONG stride = (gb->sizlBitmap.cx + 7) / 8;
    const LONG left = position.ptl.x + gb->ptlOrigin.x, top = position.ptl.y + gb->ptlOrigin.y;
    for (LONG y = 0; y < gb->sizlBitmap.cy; ++y) {
      for (LONG x = 0; x < gb->sizlBitmap.cx; ++x) {
        if ((gb->aj[y * stride + x / 8] >> (7 - x % 8)) & 1) painter.Pixel(left + x, top + y);
      }
    }
  }
  // Underlines and strike-outs: rectangles up to an all-zero one.
  for (int i = 0; prclExtra && i < 64; ++i) {
    const RECTL& r = prclExtra[i];
    if (r.left == 0 && r.top == 0 && r.right == 0 && r.bottom == 0) break;
    const RECTL o = Ordered(r);
    for (LONG y = std::max<LONG>(o.top, 0); y < std::min(o.bottom, pixels.cy); ++y) painter.Span(y, o.left, o.right);
  }
  return TRUE;
}
