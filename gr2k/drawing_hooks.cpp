// What the hooks of the path and escape work do so far, and the start of the text hook (the
// raster, brush and colour-management hooks are in raster_hooks.cpp, brushes.cpp and
// color_transform.cpp; text_out.* draws text in vector mode; font_queries.cpp answers the font
// queries). Each starts as every hook of the table does, by refusing an invalid PDEV. In raster
// mode the hooked drawing calls are the engine's work in the band, which it does here. The device
// records of vector-mode paths and the escapes are not built yet: those calls answer FALSE (or
// NULL, 0) with ERROR_NOT_SUPPORTED, which the engine takes as "not drawn by the driver".
#include "gr2k/drawing_hooks.h"

#include "gr2k/pdev.h"
#include "gr2k/text_out.h"

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
  return TxtTextOut(pdev, pstro, pfo, pco, prclExtra, prclOpaque, pboFore, pboOpaque, mix);
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
