// Scaled blits: nearest-neighbour stretching with mirroring, an ordered dither for HALFTONE
// into 1-bit targets, and the stretch with a raster operation.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/winerror.h"
#include "eng/eng_internal.h"

using namespace velm::platform::eng;

namespace {

// 4 x 4 ordered-dither thresholds (0..15).
constexpr BYTE kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

// The source coordinate that target offset i of n maps to among m source pixels.
LONG Nearest(LONG i, LONG n, LONG m) { return static_cast<LONG>((2 * static_cast<int64_t>(i) + 1) * m / (2 * n)); }

}  // namespace

extern "C" BOOL EngStretchBlt(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                              COLORADJUSTMENT*, POINTL* pptlHTOrg, RECTL* prclDest, RECTL* prclSrc, POINTL* pptlMask,
                              ULONG iMode) {
  if (!psoDest || !psoSrc || !prclDest || !prclSrc || iMode < BLACKONWHITE || iMode > HALFTONE ||
      (psoMask && psoMask->iBitmapFormat != BMF_1BPP)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Pixels target, source, mask;
  if (!SurfacePixels(psoDest, target)) {
    if (psoDest->iType != STYPE_DEVICE) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    LogEngineCall("EngStretchBlt device mode=" + std::to_string(iMode) + " " + RectText(prclDest) + " from " +
                  RectText(prclSrc));
    return TRUE;
  }
  if (!SurfacePixels(psoSrc, source) || (psoMask && !SurfacePixels(psoMask, mask))) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  const RECTL dest = Ordered(*prclDest), src = Ordered(*prclSrc);
  const bool mirrorX = (prclDest->left > prclDest->right) != (prclSrc->left > prclSrc->right);
  const bool mirrorY = (prclDest->top > prclDest->bottom) != (prclSrc->top > prclSrc->bottom);
  const LONG dw = dest.right - dest.left, dh = dest.bottom - dest.top;
  const LONG sw = src.right - src.left, sh = src.bottom - src.top;
  if (dw == 0 || dh == 0 || sw == 0 || sh == 0) return TRUE;
  const POINTL maskOrigin = pptlMask ? *pptlMask : POINTL{0, 0};
  const POINTL htOrigin = pptlHTOrg ? *pptlHTOrg : POINTL{0, 0};
  Translator translate;
  translate.Init(pxlo);
  ULONG black = 0, white = 1;
  const bool dither = iMode == HALFTONE && target.bpp == 1 && translate.TargetValue(0, black) &&
                      translate.TargetValue(0xFFFFFF, white);

  const std::vector<RECTL> clip = velm::platform::ClipRectangles(pco, Intersect(dest, RECTL{0, 0, target.cx, target.cy}));
  // Each target column's source column is worked out once per rectangle; a target row whose
  // source row is the one of the row above (a stretch upwards) is a copy of that row, unless a
  // mask or the dither makes rows differ.
  std::vector<LONG> columns;
  for (const RECTL& r : clip) {
    columns.resize(static_cast<size_t>(r.right - r.left));
    bool everyColumn = true;
    for (LONG x = r.left; x < r.right; ++x) {
      LONG sx = Nearest(x - dest.left, dw, sw);
      sx = mirrorX ? src.right - 1 - sx : src.left + sx;
      if (sx < 0 || sx >= source.cx) sx = -1, everyColumn = false;
      columns[x - r.left] = sx;
    }
    const bool rowCopies = everyColumn && !psoMask && !dither && target.bpp % 8 == 0;
    // 24-bit pixels whose values the translation keeps are copied as bytes.
    const bool byteCopies = !psoMask && !dither && source.bpp == 24 && target.bpp == 24 && translate.KeepsRgbValues();
    const size_t rowBytes = static_cast<size_t>(r.right - r.left) * target.bpp / 8;
    LONG previous = -1;
    for (LONG y = r.top; y < r.bottom; ++y) {
      LONG sy = Nearest(y - dest.top, dh, sh);
      sy = mirrorY ? src.bottom - 1 - sy : src.top + sy;
      if (sy < 0 || sy >= source.cy) {
        previous = -1;
        continue;
      }
      if (rowCopies && sy == previous) {
        const size_t at = static_cast<size_t>(r.left) * target.bpp / 8;
        std::memcpy(target.Row(y) + at, target.Row(y - 1) + at, rowBytes);
        continue;
      }
      previous = sy;
      if (byteCopies) {
        const BYTE* from = source.Row(sy);
        BYTE* to = target.Row(y) + static_cast<ptrdiff_t>(r.left) * 3;
        for (const LONG sx : columns) {
          if (sx >= 0) std::memcpy(to, from + static_cast<ptrdiff_t>(sx) * 3, 3);
          to += 3;
        }
        continue;
      }
      for (LONG x = r.left; x < r.right; ++x) {
        const LONG sx = columns[x - r.left];
        if (sx < 0) continue;
        if (psoMask) {
          const LONG mx = maskOrigin.x + (sx - src.left), my = maskOrigin.y + (sy - src.top);
          if (mx < 0 || my < 0 || mx >= mask.cx || my >= mask.cy || !mask.Get(mx, my)) continue;
        }
        const ULONG raw = source.Get(sx, sy);
        ULONG value;
        ULONG rgb;
        if (dither && translate.SourceRgb(raw, rgb)) {
          const ULONG luminance = (((rgb >> 16) & 0xFF) * 306 + ((rgb >> 8) & 0xFF) * 601 + (rgb & 0xFF) * 117) >> 10;
          const ULONG threshold = kBayer[(y - htOrigin.y) & 3][(x - htOrigin.x) & 3] * 16 + 8;
          value = luminance >= threshold ? white : black;
        } else {
          value = translate(raw);
        }
        target.Put(x, y, value & target.mask);
      }
    }
  }
  return TRUE;
}

extern "C" BOOL EngStretchBltROP(SURFOBJ* psoDest, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                                 COLORADJUSTMENT* pca, POINTL* pptlHTOrg, RECTL* prclDest, RECTL* prclSrc,
                                 POINTL* pptlMask, ULONG iMode, BRUSHOBJ* pbo, DWORD rop4) {
  if (!psoDest || !psoSrc || !prclDest || !prclSrc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (psoDest->iType == STYPE_DEVICE) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(rop4 & 0xFFFF));
    LogEngineCall(std::string("EngStretchBltROP device rop4=") + text + " " + RectText(prclDest));
    return TRUE;
  }
  if ((rop4 & 0xFFFF) == 0xCCCC) {
    return EngStretchBlt(psoDest, psoSrc, psoMask, pco, pxlo, pca, pptlHTOrg, prclDest, prclSrc, pptlMask, iMode);
  }
  // Stretch the source (and mask) to the target's size and format, then combine.
  const RECTL dest = Ordered(*prclDest);
  const LONG dw = dest.right - dest.left, dh = dest.bottom - dest.top;
  if (dw == 0 || dh == 0) return TRUE;
  RECTL temporary{0, 0, dw, dh};
  if (prclDest->left > prclDest->right) std::swap(temporary.left, temporary.right);
  if (prclDest->top > prclDest->bottom) std::swap(temporary.top, temporary.bottom);
  const HBITMAP image = EngCreateBitmap(SIZEL{dw, dh}, 0, psoDest->iBitmapFormat, BMF_TOPDOWN, nullptr);
  if (!image) return FALSE;
  SURFOBJ* imageSo = EngLockSurface(reinterpret_cast<HSURF>(image));
  HBITMAP maskImage = nullptr;
  SURFOBJ* maskSo = nullptr;
  BOOL ok = EngStretchBlt(imageSo, psoSrc, nullptr, nullptr, pxlo, pca, pptlHTOrg, &temporary, prclSrc, nullptr, iMode);
  if (ok && psoMask) {
    maskImage = EngCreateBitmap(SIZEL{dw, dh}, 0, BMF_1BPP, BMF_TOPDOWN, nullptr);
    ok = maskImage != nullptr;
    if (ok) {
      maskSo = EngLockSurface(reinterpret_cast<HSURF>(maskImage));
      const POINTL origin = pptlMask ? *pptlMask : POINTL{0, 0};
      RECTL maskSource = Ordered(*prclSrc);
      maskSource = RECTL{origin.x, origin.y, origin.x + (maskSource.right - maskSource.left),
                         origin.y + (maskSource.bottom - maskSource.top)};
      if (prclSrc->left > prclSrc->right) std::swap(maskSource.left, maskSource.right);
      if (prclSrc->top > prclSrc->bottom) std::swap(maskSource.top, maskSource.bottom);
      ok = EngStretchBlt(maskSo, psoMask, nullptr, nullptr, nullptr, nullptr, nullptr, &temporary, &maskSource, nullptr,
                         COLORONCOLOR);
    }
  }
  if (ok) {
    POINTL zero{0, 0};
    RECTL target = dest;
    ok = EngBitBlt(psoDest, imageSo, maskSo, pco, nullptr, &target, &zero, maskSo ? &zero : nullptr, pbo, nullptr,
                   rop4 & 0xFFFF);
  }
  if (maskImage) EngDeleteSurface(reinterpret_cast<HSURF>(maskImage));
  EngDeleteSurface(reinterpret_cast<HSURF>(image));
  return ok;
}
