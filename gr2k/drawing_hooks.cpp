// What the hooks of the raster, brush, path, escape and colour-management work do so far, and
// the start of the text hook (text_out.* draws text in vector mode; font_queries.cpp answers
// the font queries). Each starts as every hook of the table does, by refusing an invalid PDEV.
// In raster mode the hooked drawing calls (blits, stretches, text) are the engine's work in the
// band, which it does here. The device records of the other vector-mode calls, brush
// realization, the escapes and colour management are not built yet: those calls answer FALSE
// (or NULL, 0) with ERROR_NOT_SUPPORTED, which the engine takes as "not drawn by the driver".
#include "gr2k/drawing_hooks.h"

#include "gr2k/pdev.h"
#include "gr2k/text_out.h"

namespace {

enum class Start { kDraw, kSkip, kFail };

// The start of a drawing hook: an invalid PDEV fails; with the draw-nothing switch on nothing
// is drawn and the call succeeds; a job that lost a write draws nothing more.
Start DrawingStart(RenderPdev* pdev) {
  if (!pdev) return Start::kFail;
  if (pdev->settings.drawNothing) return Start::kSkip;
  if (pdev->flags & kPdevFlagAbort) {
    SetLastError(ERROR_CANCELLED);
    return Start::kFail;
  }
  return Start::kDraw;
}

BOOL NotBuilt() {
  SetLastError(ERROR_NOT_SUPPORTED);
  return FALSE;
}

bool Raster(const RenderPdev* pdev) { return pdev->settings.rasterMode; }

}  // namespace

extern "C" BOOL DrvBitBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                          RECTL* prclTrg, POINTL* pptlSrc, POINTL* pptlMask, BRUSHOBJ* pbo, POINTL* pptlBrush,
                          ROP4 rop4) {
  RenderPdev* pdev = PdevFromSurface(psoTrg);
  switch (DrawingStart(pdev)) {
    case Start::kFail: return FALSE;
    case Start::kSkip: return TRUE;
    case Start::kDraw: break;
  }
  if (Raster(pdev)) return EngBitBlt(psoTrg, psoSrc, psoMask, pco, pxlo, prclTrg, pptlSrc, pptlMask, pbo, pptlBrush, rop4);
  return NotBuilt();
}

extern "C" BOOL DrvStretchBlt(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                              COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest, RECTL* prclSrc,
                              POINTL* pptlMask, ULONG iMode) {
  RenderPdev* pdev = PdevFromSurface(psoDest);
  switch (DrawingStart(pdev)) {
    case Start::kFail: return FALSE;
    case Start::kSkip: return TRUE;
    case Start::kDraw: break;
  }
  if (Raster(pdev)) {
    // A 1-bit band is halftoned whatever the application asked for.
    const ULONG mode = pdev->settings.colorMode == 1 && pdev->settings.colorChoice == 1 ? HALFTONE : iMode;
    return EngStretchBlt(psoDest, psoSrc, psoMask, pco, pxlo, pca, pptlHTOrg, prclDest, prclSrc, pptlMask, mode);
  }
  return NotBuilt();
}

extern "C" BOOL DrvStretchBltROP(SURFOBJ* psoDest, SURFOBJ*, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, COLORADJUSTMENT*,
                                 POINTL*, RECTL*, RECTL*, POINTL*, ULONG, BRUSHOBJ*, DWORD) {
  return PdevFromSurface(psoDest) ? NotBuilt() : FALSE;
}

extern "C" BOOL DrvCopyBits(SURFOBJ* psoDest, SURFOBJ*, CLIPOBJ*, XLATEOBJ*, RECTL*, POINTL*) {
  return PdevFromSurface(psoDest) ? NotBuilt() : FALSE;
}

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

extern "C" BOOL DrvRealizeBrush(BRUSHOBJ*, SURFOBJ* psoTarget, SURFOBJ*, SURFOBJ*, XLATEOBJ*, ULONG) {
  return PdevFromSurface(psoTarget) ? NotBuilt() : FALSE;
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

extern "C" HANDLE DrvIcmCreateColorTransform(DHPDEV dhpdev, LPLOGCOLORSPACEW, PVOID, ULONG, PVOID, ULONG, PVOID,
                                             ULONG, DWORD) {
  if (PdevFromHandle(dhpdev)) SetLastError(ERROR_NOT_SUPPORTED);
  return nullptr;
}

extern "C" BOOL DrvIcmDeleteColorTransform(DHPDEV dhpdev, HANDLE) {
  return PdevFromHandle(dhpdev) ? NotBuilt() : FALSE;
}
