// Palettes and colour translations between them.
#include <atomic>
#include <algorithm>
#include <bit>
#include <new>

#include "core/winerror.h"
#include "eng/eng_internal.h"

namespace velm::platform::eng {
namespace {

constexpr ULONG kMaxPaletteEntries = 4096;
std::atomic<ULONG> g_xlateUniq{1};

ULONG SwapRedBlue(ULONG value) { return ((value & 0xFF) << 16) | (value & 0xFF00) | ((value >> 16) & 0xFF); }

// A channel of `mask` as 8 bits, and back.
ULONG ChannelTo8(ULONG value, ULONG mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const ULONG max = mask >> shift;
  return ((value & mask) >> shift) * 255 / max;
}
ULONG ChannelFrom8(ULONG channel, ULONG mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const ULONG max = mask >> shift;
  return ((channel * max + 127) / 255) << shift;
}

Xlate* NewXlate() {
  auto* xlate = new (std::nothrow) Xlate;
  if (!xlate) return nullptr;
  xlate->xo.iUniq = g_xlateUniq++;
  Xlates().Add(xlate);
  return xlate;
}

}  // namespace

Registry<Palette>& Palettes() {
  static Registry<Palette> registry;
  return registry;
}
Registry<Xlate>& Xlates() {
  static Registry<Xlate> registry;
  return registry;
}

bool CopyPalette(HPALETTE hpal, Palette& out) {
  Palette* palette = hpal ? Palettes().Find(hpal) : nullptr;
  if (!palette) return false;
  out = *palette;
  return true;
}

ULONG RgbFromPaletteValue(const Palette& palette, ULONG value) {
  switch (palette.mode) {
    case PAL_INDEXED: return value < palette.rgb.size() ? palette.rgb[value] : 0;
    case PAL_RGB: return SwapRedBlue(value & 0xFFFFFF);
    case PAL_BGR: return value & 0xFFFFFF;
    case PAL_BITFIELDS:
      return (ChannelTo8(value, palette.masks[0]) << 16) | (ChannelTo8(value, palette.masks[1]) << 8) |
             ChannelTo8(value, palette.masks[2]);
    default: return value & 0xFFFFFF;
  }
}

ULONG PaletteValueFromRgb(const Palette& palette, ULONG rgb) {
  switch (palette.mode) {
    case PAL_INDEXED: {
      ULONG best = 0;
      int64_t bestDistance = INT64_MAX;
      for (size_t i = 0; i < palette.rgb.size(); ++i) {
        const ULONG entry = palette.rgb[i];
        const int64_t dr = static_cast<int64_t>((entry >> 16) & 0xFF) - ((rgb >> 16) & 0xFF);
        const int64_t dg = static_cast<int64_t>((entry >> 8) & 0xFF) - ((rgb >> 8) & 0xFF);
        const int64_t db = static_cast<int64_t>(entry & 0xFF) - (rgb & 0xFF);
        const int64_t distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
          bestDistance = distance;
          best = static_cast<ULONG>(i);
        }
      }
      return best;
    }
    case PAL_RGB: return SwapRedBlue(rgb & 0xFFFFFF);
    case PAL_BGR: return rgb & 0xFFFFFF;
    case PAL_BITFIELDS:
      return ChannelFrom8((rgb >> 16) & 0xFF, palette.masks[0]) | ChannelFrom8((rgb >> 8) & 0xFF, palette.masks[1]) |
             ChannelFrom8(rgb & 0xFF, palette.masks[2]);
    default: return rgb & 0xFFFFFF;
  }
}

Xlate* FindXlate(const XLATEOBJ* pxlo) { return pxlo ? Xlates().Find(pxlo) : nullptr; }

}  // namespace velm::platform::eng

namespace velm::platform {
using namespace eng;

bool QueryPalette(HPALETTE hpal, PaletteFacts& facts) {
  Palette palette;
  if (!CopyPalette(hpal, palette)) return false;
  facts.mode = palette.mode;
  facts.rgb = palette.rgb;
  for (int i = 0; i < 3; ++i) facts.masks[i] = palette.masks[i];
  return true;
}

ULONG PaletteValueFromRgb(HPALETTE hpal, ULONG rgb) {
  Palette palette;
  return CopyPalette(hpal, palette) ? eng::PaletteValueFromRgb(palette, rgb) : rgb;
}

ULONG PaletteRgbFromValue(HPALETTE hpal, ULONG value) {
  Palette palette;
  return CopyPalette(hpal, palette) ? RgbFromPaletteValue(palette, value) : value;
}

XLATEOBJ* CreateXlate(HPALETTE source, HPALETTE target, FLONG extraFlags) {
  Palette from, to;
  if (!CopyPalette(source, from) || !CopyPalette(target, to)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  Xlate* xlate = NewXlate();
  if (!xlate) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  xlate->knowsPalettes = true;
  xlate->source = from;
  xlate->target = to;
  XLATEOBJ& xo = xlate->xo;
  xo.iSrcType = static_cast<USHORT>(from.mode);
  xo.iDstType = static_cast<USHORT>(to.mode);
  if (from.mode == PAL_INDEXED) {
    for (ULONG rgb : from.rgb) xlate->table.push_back(eng::PaletteValueFromRgb(to, rgb));
    xo.flXlate = XO_TABLE;
    xo.cEntries = static_cast<ULONG>(xlate->table.size());
    xo.pulXlate = xlate->table.data();
  } else {
    const bool same = from.mode == to.mode &&
                      (from.mode != PAL_BITFIELDS || (from.masks[0] == to.masks[0] && from.masks[1] == to.masks[1] &&
                                                      from.masks[2] == to.masks[2]));
    xo.flXlate = same ? XO_TRIVIAL : 0;
  }
  xo.flXlate |= extraFlags;
  return &xo;
}

XLATEOBJ* CreateTableXlate(const ULONG* entries, ULONG count, FLONG extraFlags) {
  if ((!entries && count) || count > kMaxPaletteEntries) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  Xlate* xlate = NewXlate();
  if (!xlate) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  xlate->table.assign(entries, entries + count);
  xlate->xo.flXlate = XO_TABLE | extraFlags;
  xlate->xo.iSrcType = static_cast<USHORT>(PAL_INDEXED);
  xlate->xo.cEntries = count;
  xlate->xo.pulXlate = xlate->table.data();
  return &xlate->xo;
}

void DeleteXlate(XLATEOBJ* pxlo) {
  Xlate* xlate = FindXlate(pxlo);
  if (xlate && Xlates().Remove(xlate)) delete xlate;
}

}  // namespace velm::platform

using namespace velm::platform::eng;

extern "C" HPALETTE EngCreatePalette(ULONG iMode, ULONG cColors, ULONG* pulColors, FLONG flRed, FLONG flGreen,
                                     FLONG flBlue) {
  auto* palette = new (std::nothrow) Palette;
  if (!palette) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  palette->mode = iMode;
  bool valid = true;
  switch (iMode) {
    case PAL_INDEXED:
      valid = cColors > 0 && cColors <= kMaxPaletteEntries && pulColors;
      if (valid) {
        for (ULONG i = 0; i < cColors; ++i) palette->rgb.push_back(SwapRedBlue(pulColors[i] & 0xFFFFFF));
      }
      break;
    case PAL_BITFIELDS:
      valid = flRed && flGreen && flBlue;
      palette->masks[0] = flRed;
      palette->masks[1] = flGreen;
      palette->masks[2] = flBlue;
      break;
    case PAL_RGB:
    case PAL_BGR: break;
    default: valid = false;
  }
  if (!valid) {
    delete palette;
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  Palettes().Add(palette);
  return reinterpret_cast<HPALETTE>(palette);
}

extern "C" BOOL EngDeletePalette(HPALETTE hpal) {
  Palette* palette = hpal ? Palettes().Find(hpal) : nullptr;
  if (!palette || !Palettes().Remove(palette)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  delete palette;
  return TRUE;
}

extern "C" ULONG XLATEOBJ_iXlate(XLATEOBJ* pxlo, ULONG iColor) {
  if (!pxlo || (pxlo->flXlate & XO_TRIVIAL)) return iColor;
  if (pxlo->flXlate & XO_TABLE) return pxlo->pulXlate && iColor < pxlo->cEntries ? pxlo->pulXlate[iColor] : 0;
  Xlate* xlate = FindXlate(pxlo);
  if (xlate && xlate->knowsPalettes) {
    return PaletteValueFromRgb(xlate->target, RgbFromPaletteValue(xlate->source, iColor));
  }
  return iColor;
}

extern "C" ULONG XLATEOBJ_cGetPalette(XLATEOBJ* pxlo, ULONG iPal, ULONG cPal, ULONG* pPal) {
  Xlate* xlate = FindXlate(pxlo);
  if (!xlate || !xlate->knowsPalettes) return 0;
  const Palette* palette = nullptr;
  if (iPal == XO_SRCPALETTE) palette = &xlate->source;
  if (iPal == XO_DESTPALETTE || iPal == XO_DESTDCPALETTE) palette = &xlate->target;
  if (!palette || palette->mode != PAL_INDEXED) return 0;
  const ULONG count = static_cast<ULONG>(palette->rgb.size());
  if (!pPal) return count;
  const ULONG copied = std::min(count, cPal);
  for (ULONG i = 0; i < copied; ++i) pPal[i] = palette->rgb[i];
  return copied;
}
