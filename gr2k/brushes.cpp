#include "gr2k/brushes.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "gr2k/drawing_hooks.h"
#include "gr2k/pdev.h"

namespace {

// Rows of the 8 x 8 hatch patterns, bit 7 the leftmost pixel.
constexpr BYTE kHatchRows[6][8] = {
    {0x00, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00},  // horizontal
    {0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08},  // vertical
    {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01},  // forward diagonal
    {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80},  // backward diagonal
    {0x08, 0x08, 0x08, 0x08, 0xFF, 0x08, 0x08, 0x08},  // cross
    {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81},  // diagonal cross
};

// The ROP3s that use no source, in mix order (mix 1 first).
constexpr BYTE kMixRops[16] = {0x00, 0x05, 0x0A, 0x0F, 0x50, 0x55, 0x5A, 0x5F,
                               0xA0, 0xA5, 0xAA, 0xAF, 0xF0, 0xF5, 0xFA, 0xFF};

struct RopMixTable {
  BYTE mix[256] = {};
  constexpr RopMixTable() {
    for (BYTE i = 0; i < 16; ++i) mix[kMixRops[i]] = static_cast<BYTE>(i + 1);
  }
};
constexpr RopMixTable kRopToMix;

constexpr DWORD kWhite = 0xFFFFFF;
constexpr LONG kPatternSide = 8;

const BYTE* PatternRow(const SURFOBJ* pattern, LONG y) {
  return static_cast<const BYTE*>(pattern->pvScan0) + static_cast<ptrdiff_t>(y) * pattern->lDelta;
}

// The pattern's pixel (x, y), counted from its top row, as 0x00RRGGBB.
DWORD PatternRgb(const SURFOBJ* pattern, XLATEOBJ* xlate, LONG x, LONG y) {
  const BYTE* row = PatternRow(pattern, y);
  switch (pattern->iBitmapFormat) {
    case BMF_1BPP: return ColorXlateEntry(xlate, (row[x / 8] >> (7 - x % 8)) & 1);
    case BMF_4BPP: return ColorXlateEntry(xlate, (row[x / 2] >> (x % 2 ? 0 : 4)) & 0xF);
    case BMF_8BPP: return ColorXlateEntry(xlate, row[x]);
    case BMF_16BPP: {
      const DWORD v = row[2 * x] | (row[2 * x + 1] << 8);
      const DWORD b = (v & 0x1F) * 255 >> 5, g = ((v >> 5) & 0x1F) * 255 >> 5, r = ((v >> 10) & 0x1F) * 255 >> 5;
      return (r << 16) | (g << 8) | b;
    }
    case BMF_24BPP: return (row[3 * x + 2] << 16) | (row[3 * x + 1] << 8) | row[3 * x];
    case BMF_32BPP: return (row[4 * x + 2] << 16) | (row[4 * x + 1] << 8) | row[4 * x];
    default: return 0;
  }
}

bool Is8x8(const SURFOBJ* pattern) {
  return pattern->sizlBitmap.cx == kPatternSide && pattern->sizlBitmap.cy == kPatternSide;
}

void PutTileBit(BYTE* tile, DWORD x, DWORD y) { tile[y * (kBrushTileEdge / 8) + x / 8] |= 0x80 >> (x % 8); }

void PutTileRgb(BYTE* tile, DWORD x, DWORD y, DWORD rgb) {
  BYTE* at = tile + (y * kBrushTileEdge + x) * 3;
  at[0] = static_cast<BYTE>(rgb);
  at[1] = static_cast<BYTE>(rgb >> 8);
  at[2] = static_cast<BYTE>(rgb >> 16);
}

RealizedBrush* AllocBrush(BRUSHOBJ* brush, ULONG bytes, WORD kind, WORD bits) {
  auto* realized = static_cast<RealizedBrush*>(BRUSHOBJ_pvAllocRbrush(brush, bytes));
  if (!realized) return nullptr;
  std::memset(realized, 0, bytes);
  realized->kind = kind;
  realized->bitsPerPixel = bits;
  realized->tileSize = kBrushTileEdge;
  return realized;
}

// A 1-bit tile: a 1-bit pattern (its 0 bits painted with colour 1) or a two-colour 8 x 8
// 24-bit one (its first colour painted with colour 1). An 8 x 8 pattern is doubled each way.
RealizedBrush* RealizeOneBit(BRUSHOBJ* brush, SURFOBJ* pattern, XLATEOBJ* xlate, DWORD first, DWORD second) {
  RealizedBrush* realized = AllocBrush(brush, kOneBitBrushBytes, kBrushOneBit, 1);
  if (!realized) return nullptr;
  const bool oneBit = pattern->iBitmapFormat == BMF_1BPP;
  if (oneBit) {
    realized->color1 = xlate ? ColorXlateEntry(xlate, 0) : 0;
    realized->color2 = xlate ? ColorXlateEntry(xlate, 1) : kWhite;
  } else {
    realized->color1 = first;
    realized->color2 = second;
  }
  const bool doubled = Is8x8(pattern);
  const LONG w = pattern->sizlBitmap.cx, h = pattern->sizlBitmap.cy;
  BYTE* tile = BrushTile(realized);
  for (DWORD y = 0; y < kBrushTileEdge; ++y) {
    const LONG py = doubled ? (y / 2) % kPatternSide : static_cast<LONG>(y % h);
    const BYTE* row = PatternRow(pattern, py);
    for (DWORD x = 0; x < kBrushTileEdge; ++x) {
      const LONG px = doubled ? (x / 2) % kPatternSide : static_cast<LONG>(x % w);
      const bool set = oneBit ? !((row[px / 8] >> (7 - px % 8)) & 1)
                              : PatternRgb(pattern, nullptr, px, py) == first;
      if (set) PutTileBit(tile, x, y);
    }
  }
  return realized;
}

// A 24-bit tile. 4-, 16- and 32-bit patterns are read as 8 x 8; 8- and 24-bit ones are scaled
// when they are not 8 x 8, else repeated at their own size.
RealizedBrush* RealizeRgb(RenderPdev* pdev, BRUSHOBJ* brush, SURFOBJ* pattern, XLATEOBJ* xlate) {
  RealizedBrush* realized = AllocBrush(brush, kRgbBrushBytes, kBrushRgb, 24);
  if (!realized) return nullptr;
  realized->color1 = 0;
  realized->color2 = kWhite;
  BYTE* tile = BrushTile(realized);
  const ULONG format = pattern->iBitmapFormat;
  LONG w = pattern->sizlBitmap.cx, h = pattern->sizlBitmap.cy;
  switch (format) {
    case BMF_8BPP:
    case BMF_24BPP:
      if (BrushScalePattern(pdev, pattern, xlate, tile)) return realized;
      break;
    case BMF_4BPP:
    case BMF_16BPP:
    case BMF_32BPP:
      w = std::min(w, kPatternSide);
      h = std::min(h, kPatternSide);
      break;
    default: return realized;  // black
  }
  for (DWORD y = 0; y < kBrushTileEdge; ++y) {
    for (DWORD x = 0; x < kBrushTileEdge; ++x) {
      PutTileRgb(tile, x, y, PatternRgb(pattern, format == BMF_24BPP ? nullptr : xlate, x % w, y % h));
    }
  }
  return realized;
}

// A hatch: colour 1 (translation entry 1) on the lines, colour 2 (entry 0) between; every bit of
// the 8 x 8 hatch is 4 x 4 pixels.
RealizedBrush* RealizeHatch(BRUSHOBJ* brush, XLATEOBJ* xlate, ULONG hatch) {
  RealizedBrush* realized = AllocBrush(brush, kHatchBrushBytes, kBrushOneBit, 1);
  if (!realized) return nullptr;
  realized->color1 = ColorXlateEntry(xlate, 1);
  realized->color2 = ColorXlateEntry(xlate, 0);
  BYTE* tile = BrushTile(realized);
  for (DWORD y = 0; y < kBrushTileEdge; ++y) {
    const BYTE bits = kHatchRows[hatch][y / 4];
    for (DWORD x = 0; x < kBrushTileEdge; ++x) {
      if ((bits >> (7 - x / 4)) & 1) PutTileBit(tile, x, y);
    }
  }
  return realized;
}

}  // namespace

DWORD ColorXlateEntry(XLATEOBJ* xlate, ULONG i) {
  if (!xlate) return i;
  if (xlate->pulXlate) return i < xlate->cEntries ? xlate->pulXlate[i] & 0xFFFFFF : 0;
  return XLATEOBJ_iXlate(xlate, i) & 0xFFFFFF;
}

BYTE RopToMix3(BYTE rop3) { return kRopToMix.mix[rop3]; }

DWORD RopToMix(DWORD rop4) {
  return RopToMix3(static_cast<BYTE>(rop4)) | (DWORD{RopToMix3(static_cast<BYTE>(rop4 >> 8))} << 8);
}

void ColorSetKindFromMix(ColorDescriptor* color, DWORD mix, DWORD third) {
  color->mix = mix & 0xFF;
  color->kind = ((mix >> 8) & 0xFF) == R2_NOP ? 1 : 2;
  if (third == 1) color->hasThird = TRUE;
}

RealizedBrush* BrushSolid(RenderPdev* pdev, DWORD color) {
  RealizedBrush* solid = &pdev->solidBrush;
  *solid = RealizedBrush{};
  solid->kind = kBrushSolid;
  solid->color1 = color;
  solid->color2 = kWhite;
  return solid;
}

RealizedBrush* BrushDescribe(RenderPdev* pdev, SURFOBJ*, BRUSHOBJ* brush, const POINTL* origin) {
  if (!brush) return nullptr;
  RealizedBrush* described = nullptr;
  if (brush->iSolidColor == 0xFFFFFFFF) {
    described = static_cast<RealizedBrush*>(BRUSHOBJ_pvGetRbrush(brush));
    if (!described) return nullptr;
    described->originX = origin ? origin->x & 0xFF : 0;
    described->originY = origin ? origin->y & 0xFF : 0;
  } else {
    described = BrushSolid(pdev, brush->iSolidColor);
  }
  described->hostIcm = (brush->flColorType & BR_HOST_ICM) ? 1 : 0;
  return described;
}

PatternDescriptor BrushPattern(const RealizedBrush* brush) {
  PatternDescriptor pattern{};
  pattern.kind = brush->kind;
  pattern.bitsPerPixel = brush->bitsPerPixel;
  pattern.tileSize = brush->kind == kBrushSolid ? 0 : brush->tileSize;
  pattern.hostIcm = brush->hostIcm;
  pattern.tile = brush->kind == kBrushSolid ? nullptr : BrushTile(brush);
  return pattern;
}

BOOL BrushTwoColorTest(SURFOBJ* pattern, DWORD* first, DWORD* second) {
  if (!pattern || pattern->iBitmapFormat != BMF_24BPP || !Is8x8(pattern)) return FALSE;
  const DWORD one = PatternRgb(pattern, nullptr, 0, 0);
  DWORD two = 0;
  bool haveTwo = false;
  for (LONG y = 0; y < kPatternSide; ++y) {
    for (LONG x = 0; x < kPatternSide; ++x) {
      const DWORD rgb = PatternRgb(pattern, nullptr, x, y);
      if (rgb == one) continue;
      if (!haveTwo) {
        two = rgb;
        haveTwo = true;
      } else if (rgb != two) {
        return FALSE;
      }
    }
  }
  *first = one;
  *second = two;
  return TRUE;
}

BOOL BrushScalePattern(RenderPdev* pdev, SURFOBJ* pattern, XLATEOBJ* xlate, BYTE* tile) {
  if (Is8x8(pattern)) return FALSE;
  const LONG w = pattern->sizlBitmap.cx, h = pattern->sizlBitmap.cy;
  if (w <= 0 || h <= 0) return FALSE;
  const LONG edge = w <= 2 ? 4 : w <= 4 ? 8 : w <= 10 ? 16 : 32;
  HSURF handle = nullptr;
  SURFOBJ* scaled = PdevCreateTempBitmap(pdev, &handle, edge, edge, BMF_24BPP);
  if (!scaled) return FALSE;
  RECTL to{0, 0, edge, edge}, from{0, 0, w, h};
  const BOOL ok = EngStretchBlt(scaled, pattern, nullptr, nullptr, xlate, nullptr, nullptr, &to, &from, nullptr,
                                COLORONCOLOR);
  if (ok) {
    for (DWORD y = 0; y < kBrushTileEdge; ++y) {
      const BYTE* row = PatternRow(scaled, static_cast<LONG>(y % edge));
      for (DWORD x = 0; x < kBrushTileEdge; x += edge) std::memcpy(tile + (y * kBrushTileEdge + x) * 3, row, edge * 3);
    }
  }
  PdevDeleteTempBitmap(scaled, handle);
  return ok;
}

SURFOBJ* PdevCreateTempBitmap(RenderPdev* pdev, HSURF* handle, LONG width, LONG height, ULONG format) {
  *handle = nullptr;
  if (width <= 0 || height <= 0) return nullptr;
  ULONG bits = 0;
  switch (format) {
    case BMF_1BPP: bits = 1; break;
    case BMF_4BPP: bits = 4; break;
    case BMF_8BPP: bits = 8; break;
    case BMF_16BPP: bits = 16; break;
    case BMF_24BPP: bits = 24; break;
    case BMF_32BPP: bits = 32; break;
    default: return nullptr;
  }
  const uint64_t stride = ((uint64_t{static_cast<ULONG>(width)} * bits + 7) / 8 + 3) & ~uint64_t{3};
  if (stride > 0x7FFFFFFF) return nullptr;
  const HSURF surface = reinterpret_cast<HSURF>(EngCreateBitmap(SIZEL{width, height}, static_cast<LONG>(stride), format,
                                                               BMF_TOPDOWN | BMF_NOZEROINIT, nullptr));
  if (!surface) return nullptr;
  SURFOBJ* locked = EngAssociateSurface(surface, pdev->hdev, 0) ? EngLockSurface(surface) : nullptr;
  if (!locked) {
    EngDeleteSurface(surface);
    return nullptr;
  }
  *handle = surface;
  return locked;
}

void PdevDeleteTempBitmap(SURFOBJ* surface, HSURF handle) {
  if (surface) EngUnlockSurface(surface);
  if (handle) EngDeleteSurface(handle);
}

extern "C" BOOL DrvRealizeBrush(BRUSHOBJ* pbo, SURFOBJ* psoTarget, SURFOBJ* psoPattern, SURFOBJ*, XLATEOBJ* pxlo,
                                ULONG iHatch) {
  RenderPdev* pdev = PdevFromSurface(psoTarget);
  if (!pdev) return FALSE;
  RealizedBrush* realized = nullptr;
  if (iHatch < HS_DDI_MAX) {
    realized = RealizeHatch(pbo, pxlo, iHatch);
  } else {
    if (!psoPattern || !psoPattern->pvScan0 || psoPattern->sizlBitmap.cx <= 0 || psoPattern->sizlBitmap.cy <= 0) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    DWORD first = 0, second = 0;
    if (psoPattern->iBitmapFormat == BMF_1BPP || BrushTwoColorTest(psoPattern, &first, &second)) {
      realized = RealizeOneBit(pbo, psoPattern, pxlo, first, second);
    } else {
      realized = RealizeRgb(pdev, pbo, psoPattern, pxlo);
    }
  }
  if (!realized) return FALSE;
  pbo->pvRbrush = realized;
  return TRUE;
}
