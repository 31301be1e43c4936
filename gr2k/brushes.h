// Brushes and colours of the drawing hooks: the realized brush that DrvRealizeBrush builds from a
// GDI brush and GDI keeps with it, the brush descriptor every drawing hook reads, the ROP-to-mix
// table and the colour kind a mix gives.
#pragma once

#include <cstddef>

#include "gr2k/velm_records.h"
#include "win32.h"

struct RenderPdev;

// The head of a realized brush; the tile follows it directly (BrushTile).
struct RealizedBrush {
  WORD kind;            // 0 solid colour, 2 one-bit tile, 3 24-bit tile
  LONG originX;         // low 8 bits of the brush origin, set at each use
  LONG originY;
  DWORD color1;         // 0x00RRGGBB; a 1-bit tile paints its 1 bits with it
  DWORD color2;         // and its 0 bits with this one
  WORD bitsPerPixel;    // 1 or 24
  WORD tileSize;        // 32
  DWORD hostIcm;        // the brush's colour is host colour-managed
};
static_assert(sizeof(RealizedBrush) == 28, "the realized brush's head is 28 bytes");

constexpr WORD kBrushSolid = 0;
constexpr WORD kBrushOneBit = 2;
constexpr WORD kBrushRgb = 3;
constexpr DWORD kBrushTileEdge = 32;
constexpr DWORD kOneBitTileBytes = kBrushTileEdge * kBrushTileEdge / 8;   // 128
constexpr DWORD kRgbTileBytes = kBrushTileEdge * kBrushTileEdge * 3;       // 3072
// What DrvRealizeBrush asks of BRUSHOBJ_pvAllocRbrush.
constexpr ULONG kOneBitBrushBytes = sizeof(RealizedBrush) + kOneBitTileBytes;  // 156
constexpr ULONG kRgbBrushBytes = sizeof(RealizedBrush) + kRgbTileBytes;        // 3100
constexpr ULONG kHatchBrushBytes = 1052;

inline BYTE* BrushTile(RealizedBrush* brush) { return reinterpret_cast<BYTE*>(brush) + sizeof(RealizedBrush); }
inline const BYTE* BrushTile(const RealizedBrush* brush) {
  return reinterpret_cast<const BYTE*>(brush) + sizeof(RealizedBrush);
}

// The brush of a drawing call: null without a brush, the realized brush of a pattern or hatch
// (null when it cannot be realized), else the PDEV's solid descriptor for the brush's colour
// (valid until the next call). The origin fields take the low 8 bits of `origin`.
RealizedBrush* BrushDescribe(RenderPdev* pdev, SURFOBJ* surface, BRUSHOBJ* brush, const POINTL* origin);
// The PDEV's solid descriptor with colour 1 `color` and colour 2 white.
RealizedBrush* BrushSolid(RenderPdev* pdev, DWORD color);
// The pattern record's view of a brush.
PatternDescriptor BrushPattern(const RealizedBrush* brush);

// Entry i of a translation as 0x00RRGGBB (0 past a table's end); without a translation i itself.
DWORD ColorXlateEntry(XLATEOBJ* xlate, ULONG i);

// The mix of a ROP3 that uses no source (1 to 16), else 0.
BYTE RopToMix3(BYTE rop3);
// The mix of the ROP4's low byte in bits 0-7 and of its second byte in bits 8-15.
DWORD RopToMix(DWORD rop4);
// The mix's low byte as the first field; colour kind 1 when bits 8-15 are R2_NOP (11), else 2;
// a third colour when `third` is 1.
void ColorSetKindFromMix(ColorDescriptor* color, DWORD mix, DWORD third);

// Whether the 64 pixels of an 8 x 8 24-bit pattern hold at most two values; the first pixel's
// and the first that differs (0 when there is none), as 0x00RRGGBB.
BOOL BrushTwoColorTest(SURFOBJ* pattern, DWORD* first, DWORD* second);
// A pattern other than 8 x 8 stretched to an edge of 4, 8, 16 or 32 pixels (by its width) and
// repeated into the 24-bit tile, top row first. FALSE for an 8 x 8 pattern or when the engine
// cannot stretch it.
BOOL BrushScalePattern(RenderPdev* pdev, SURFOBJ* pattern, XLATEOBJ* xlate, BYTE* tile);

// A top-down bitmap of the PDEV's engine device, not cleared, locked: the locked surface and its
// handle in *handle, or null with nothing left made. Freed with PdevDeleteTempBitmap.
SURFOBJ* PdevCreateTempBitmap(RenderPdev* pdev, HSURF* handle, LONG width, LONG height, ULONG format);
void PdevDeleteTempBitmap(SURFOBJ* surface, HSURF handle);
