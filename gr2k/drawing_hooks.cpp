// What the hooks of the text, path, font and escape work do so far (the raster, brush and
// colour-management hooks are in raster_hooks.cpp, brushes.cpp and color_transform.cpp). Each
// starts as every hook of the table does, by refusing an invalid PDEV. In raster mode the hooked
// drawing calls are the engine's work in the band, which it does here. The device records of
// vector-mode text and paths, the device fonts and the escapes are not built yet: those calls
// answer FALSE (or NULL, 0) with ERROR_NOT_SUPPORTED, which the engine takes as "not drawn by the
// driver" and never as done.
#include "gr2k/drawing_hooks.h"

#include "gr2k/pdev.h"

Start DrawingStart(RenderPdev* pdev) {
  if (!pdev) return Start::kFail;
  if (pdev->settings.drawNothing) return Start::kSkip;
  if (pdev->flags & kPdevFlagAbort) {
    SetLastError(ERROR_CANCELLED);
    return Start::kFail;
  }
  return Start::kDraw;
}

namespace {

BOOL NotBuilt() {
  SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}

bool Raster(const RenderPdev* pdev) { return pdev->settings.rasterMode; }

}  // namespace

extern "C" BOOL DrvTextOut(SURFOBJ* pso, STROBJ* pstro, FONTOBJ* pfo, CLIPOBJ* pco, RECTL* prclExtra,
                           RECTL* prclOpaque, BRUSHOBJ* pboFore, BRUSHOBJ* pboOpaque, POINTL* pptlOrg, MIX mix) {
  RenderPdev* pdev = PdevFromSurface(pso);
  if (pdev && (!pstro || !pfo || !FONTOBJ_pifi(pfo))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  switch (DrawingStart(pdev)) {
    case Start::kFail: return FALSE;
    case Start::kSkip: return TRUE;
    case Start::kDraw: break;
  }
  if (Raster(pdev)) return EngTextOut(pso, pstro, pfo, pco, prclExtra, prclOpaque, pboFore, pboOpaque, pptlOrg, mix);
  return NotBuilt();
}

extern "C" BOOL DrvStrokePath(SURFOBJ* pso, PATHOBJ*, CLIPOBJ*, XFORMOBJ*, BRUSHOBJ*, POINTL*, LINEATTRS*, MIX) {
  return PdevFromSurface(pso) ? NotBuilt() : FALSE;
}

extern "C" BOOL DrvFillPath(SURFOBJ* pso, PATHOBJ*, CLIPOBJ*, BRUSHOBJ*, POINTL*, MIX, FLONG) {
  return PdevFromSurface(pso) ? NotBuilt() : FALSE;
}

extern "C" BOOL DrvStrokeAndFillPath(SURFOBJ* pso, PATHOBJ*, CLIPOBJ*, XFORMOBJ*, BRUSHOBJ*, LINEATTRS*, BRUSHOBJ*,
                                     POINTL*, MIX, FLONG) {
  return PdevFromSurface(pso) ? NotBuilt() : FALSE;
}

// Every colour is left to the engine's halftoning.
extern "C" ULONG DrvDitherColor(DHPDEV dhpdev, ULONG, ULONG, ULONG*) {
  return PdevFromHandle(dhpdev) ? DCR_HALFTONE : 0;
}

extern "C" ULONG DrvEscape(SURFOBJ* pso, ULONG, ULONG, PVOID, ULONG, PVOID) {
  // 0 is the answer for an escape the driver does not support.
  if (PdevFromSurface(pso)) SetLastError(ERROR_NOT_SUPPORTED);
  return 0;
}

// Glyphs are always asked of the engine as bitmaps.
extern "C" ULONG DrvGetGlyphMode(DHPDEV dhpdev, FONTOBJ*) { return PdevFromHandle(dhpdev) ? FO_GLYPHBITS : 0; }

// Without a device-font table no font index names a font.
extern "C" IFIMETRICS* DrvQueryFont(DHPDEV dhpdev, ULONG_PTR, ULONG, ULONG_PTR*) {
  if (PdevFromHandle(dhpdev)) SetLastError(ERROR_INVALID_PARAMETER);
  return nullptr;
}

extern "C" PVOID DrvQueryFontTree(DHPDEV dhpdev, ULONG_PTR, ULONG, ULONG, ULONG_PTR*) {
  if (PdevFromHandle(dhpdev)) SetLastError(ERROR_INVALID_PARAMETER);
  return nullptr;
}

extern "C" LONG DrvQueryFontData(DHPDEV dhpdev, FONTOBJ*, ULONG, HGLYPH, GLYPHDATA*, PVOID, ULONG) {
  if (PdevFromHandle(dhpdev)) SetLastError(ERROR_INVALID_PARAMETER);
  return -1;
}

extern "C" BOOL DrvQueryAdvanceWidths(DHPDEV dhpdev, FONTOBJ*, ULONG, HGLYPH*, PVOID, ULONG) {
  if (PdevFromHandle(dhpdev)) SetLastError(ERROR_INVALID_PARAMETER);
  return FALSE;
}
