// The raster hooks: blits, copies and stretches. In vector mode a blit with a source becomes an
// image record and one without a filled rectangle, each behind the pattern, colour, colour
// attribute, ROP and clip records it needs; in raster mode the engine draws into the band.
#include <algorithm>

#include "gr2k/brushes.h"
#include "gr2k/drawing_hooks.h"
#include "gr2k/image_senders.h"
#include "gr2k/pdev.h"

namespace {

constexpr DWORD kWhite = 0xFFFFFF;
constexpr DWORD kBlitMix = 11;         // the first colour field of blits with a source
constexpr DWORD kBlitColorMode = 4;
constexpr BYTE kRopTransparent = 0xAA;  // a ROP4 second byte that leaves the background

bool IsBitmap(const SURFOBJ* surface) { return surface && surface->iType == STYPE_BITMAP && surface->pvScan0; }

DWORD HostIcm(const BRUSHOBJ* brush) { return brush && (brush->flColorType & BR_HOST_ICM) ? 1 : 0; }

// Colour attribute 1 leaves a 1-bit pattern's background where the ROP4 keeps the destination.
DWORD BlitColorKind(DWORD rop4) { return ((rop4 >> 8) & 0xFF) == kRopTransparent ? 1 : 2; }

// The pattern of a blit with a source and the colours it gives: the brush's, or white without
// one. The colour kind follows the ROP4.
BOOL SelectSourceBrush(RenderPdev* pdev, SURFOBJ* target, BRUSHOBJ* brush, POINTL* brushOrigin, DWORD rop4,
                       ColorDescriptor* color) {
  *color = ColorDescriptor{};
  color->mix = kBlitMix;
  color->kind = BlitColorKind(rop4);
  color->color1 = color->color2 = kWhite;
  const RealizedBrush* described = brush ? BrushDescribe(pdev, target, brush, brushOrigin) : nullptr;
  if (!described) return TRUE;
  const PatternDescriptor pattern = BrushPattern(described);
  if (!StrmEmitPatternIfChanged(&pdev->stream, &pdev->cache, &pattern)) return FALSE;
  color->color1 = described->color1;
  color->color2 = described->color2;
  return TRUE;
}

BOOL SelectSourceColor(RenderPdev* pdev, BRUSHOBJ* brush, ColorDescriptor color) {
  ColorSwapDescriptor(&color);
  color.colorMode = kBlitColorMode;
  color.hostIcm = HostIcm(brush);
  return StrmEmitColorIfChanged(&pdev->stream, &pdev->cache, PdevRecordSettings(pdev), color);
}

BOOL SelectColorKind(RenderPdev* pdev, DWORD rop4) {
  return StrmEmitColorAttrIfChanged(&pdev->stream, &pdev->cache, static_cast<BYTE>(BlitColorKind(rop4)));
}

// A blit without a source (or with BLACKNESS or WHITENESS): a filled rectangle.
BOOL FillRectangle(RenderPdev* pdev, SURFOBJ* target, CLIPOBJ* clip, const RECTL* rect, BRUSHOBJ* brush,
                   POINTL* brushOrigin, DWORD rop4) {
  const BYTE rop3 = static_cast<BYTE>(rop4);
  RealizedBrush* described = nullptr;
  if (rop3 == 0x00 || rop3 == 0xFF) {
    described = BrushSolid(pdev, rop3 ? kWhite : 0);
  } else if (rop3 == 0x55 && !brush) {
    described = BrushSolid(pdev, kWhite);
  } else {
    described = BrushDescribe(pdev, target, brush, brushOrigin);
  }
  if (!described || !rect) return FALSE;
  const PatternDescriptor pattern = BrushPattern(described);
  if (!StrmEmitPatternIfChanged(&pdev->stream, &pdev->cache, &pattern)) return FALSE;
  ColorDescriptor color{};
  ColorSetKindFromMix(&color, RopToMix(rop4), 0);
  color.color1 = described->color1;
  color.color2 = described->color2;
  ColorSwapDescriptor(&color);
  color.hostIcm = HostIcm(brush);
  if (!StrmEmitColorIfChanged(&pdev->stream, &pdev->cache, PdevRecordSettings(pdev), color) ||
      !StrmEmitColorAttrIfChanged(&pdev->stream, &pdev->cache, static_cast<BYTE>(color.kind)) ||
      !StrmEmitRopIfChanged(&pdev->stream, &pdev->cache, MixToDeviceRop(RopToMix3(rop3)))) {
    return FALSE;
  }
  EngineClip clipSource(clip);
  return ClipSelect(&pdev->stream, &pdev->cache, &clipSource) && StrmEmitRect(&pdev->stream, kRectFill, *rect);
}

}  // namespace

extern "C" BOOL DrvBitBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                          RECTL* prclTrg, POINTL* pptlSrc, POINTL* pptlMask, BRUSHOBJ* pbo, POINTL* pptlBrush,
                          ROP4 rop4) {
  RenderPdev* pdev = PdevFromSurface(psoTrg);
  if (const Start start = DrawingStart(pdev); start != Start::kDraw) return start == Start::kSkip;
  if (pdev->settings.rasterMode) {
    return EngBitBlt(psoTrg, psoSrc, psoMask, pco, pxlo, prclTrg, pptlSrc, pptlMask, pbo, pptlBrush, rop4);
  }
  rop4 &= 0xFFFF;
  if (rop4 == 0xAAAA) return TRUE;  // the destination stays as it is
  const BYTE rop3 = static_cast<BYTE>(rop4);
  if (!psoSrc || rop3 == 0x00 || rop3 == 0xFF) return FillRectangle(pdev, psoTrg, pco, prclTrg, pbo, pptlBrush, rop4);
  ColorDescriptor color;
  if (!SelectSourceBrush(pdev, psoTrg, pbo, pptlBrush, rop4, &color) || !SelectColorKind(pdev, rop4) ||
      !StrmEmitRopIfChanged(&pdev->stream, &pdev->cache, rop4) || !SelectSourceColor(pdev, pbo, color)) {
    return FALSE;
  }
  EngineClip clip(pco);
  if (!ClipSelect(&pdev->stream, &pdev->cache, &clip)) return FALSE;
  return ImgEmitBlt(pdev, pxlo, psoSrc, prclTrg, pptlSrc, psoMask, pptlMask, rop4);
}

extern "C" BOOL DrvCopyBits(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest,
                            POINTL* pptlSrc) {
  if (!IsBitmap(psoSrc)) return EngEraseSurface(psoDest, prclDest, 0xFFFFFFFF);
  RenderPdev* pdev = PdevFromSurface(psoDest);
  if (!pdev) return FALSE;
  if (psoDest->hsurf != pdev->surface) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (const Start start = DrawingStart(pdev); start != Start::kDraw) return start == Start::kSkip;
  // A 32-bit source with any alpha other than opaque is combined with the page (S AND D).
  DWORD rop = 0xCC;
  if (psoSrc->iBitmapFormat == BMF_32BPP) {
    for (LONG y = 0; y < psoSrc->sizlBitmap.cy && rop == 0xCC; ++y) {
      const BYTE* row = static_cast<const BYTE*>(psoSrc->pvScan0) + static_cast<ptrdiff_t>(y) * psoSrc->lDelta;
      for (LONG x = 0; x < psoSrc->sizlBitmap.cx; ++x) {
        if (row[4 * x + 3] != 0xFF) {
          rop = 0x88;
          break;
        }
      }
    }
  }
  EngineClip clip(pco);
  if (!StrmEmitRopIfChanged(&pdev->stream, &pdev->cache, rop) || !ClipSelect(&pdev->stream, &pdev->cache, &clip)) {
    return FALSE;
  }
  return ImgEmitBand(pdev, pxlo, psoSrc, pptlSrc, prclDest);
}

extern "C" BOOL DrvStretchBlt(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                              COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest, RECTL* prclSrc,
                              POINTL* pptlMask, ULONG iMode) {
  RenderPdev* pdev = PdevFromSurface(psoDest);
  if (const Start start = DrawingStart(pdev); start != Start::kDraw) return start == Start::kSkip;
  if (pdev->settings.rasterMode) {
    // A 1-bit band is halftoned whatever the application asked for.
    return EngStretchBlt(psoDest, psoSrc, psoMask, pco, pxlo, pca, pptlHTOrg, prclDest, prclSrc, pptlMask,
                         PdevIsOneBit(pdev) ? HALFTONE : iMode);
  }
  if (!IsBitmap(psoSrc)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (PdevIsOneBit(pdev)) {  // the engine halftones onto a 1-bit device surface
    POINTL origin{0, 0};
    return EngStretchBlt(psoDest, psoSrc, psoMask, pco, pxlo, pca, pptlHTOrg ? pptlHTOrg : &origin, prclDest, prclSrc,
                         pptlMask, HALFTONE);
  }
  EngineClip clip(pco);
  if (!ClipSelect(&pdev->stream, &pdev->cache, &clip) || !StrmEmitRopIfChanged(&pdev->stream, &pdev->cache, 0xCC)) {
    return FALSE;
  }
  return ImgEmitStretched(pdev, pxlo, psoSrc, pca, pptlHTOrg, prclDest, prclSrc);
}

extern "C" BOOL DrvStretchBltROP(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                                 COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest, RECTL* prclSrc,
                                 POINTL* pptlMask, ULONG iMode, BRUSHOBJ* pbo, DWORD rop4) {
  RenderPdev* pdev = PdevFromSurface(psoDest);
  if (const Start start = DrawingStart(pdev); start != Start::kDraw) return start == Start::kSkip;
  if (pdev->settings.rasterMode) {
    return EngStretchBltROP(psoDest, psoSrc, psoMask, pco, pxlo, pca, pptlHTOrg, prclDest, prclSrc, pptlMask, iMode,
                            pbo, rop4);
  }
  if (!IsBitmap(psoSrc)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  rop4 &= 0xFFFF;
  ColorDescriptor color;
  if (!SelectColorKind(pdev, rop4) || !SelectSourceBrush(pdev, psoDest, pbo, nullptr, rop4, &color) ||
      !SelectSourceColor(pdev, pbo, color) || !StrmEmitRopIfChanged(&pdev->stream, &pdev->cache, rop4)) {
    return FALSE;
  }
  EngineClip clip(pco);
  if (!ClipSelect(&pdev->stream, &pdev->cache, &clip)) return FALSE;
  return ImgEmitStretched(pdev, pxlo, psoSrc, pca, pptlHTOrg, prclDest, prclSrc);
}
