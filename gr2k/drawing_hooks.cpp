// The start every drawing hook shares, the text hook and the dither answer (the raster, brush,
// path, escape and colour-management hooks are in raster_hooks.cpp, brushes.cpp, vector_paths.cpp,
// escapes.cpp and color_transform.cpp; text_out.* draws text in vector mode; font_queries.cpp
// answers the font queries). Each starts as every hook of the table does, by refusing an invalid
// PDEV. In raster mode the hooked drawing calls are the engine's work in the band, which it does
// here.
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

// Every colour is left to the engine's halftoning.
extern "C" ULONG DrvDitherColor(DHPDEV dhpdev, ULONG, ULONG, ULONG*) {
  return PdevFromHandle(dhpdev) ? DCR_HALFTONE : 0;
}
