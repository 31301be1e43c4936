// What GDI asks about the device fonts: their metrics, glyph sets, kerning, glyph data, extents
// and advance widths. Figures in 28.4 are rounded to whole pixels: (v + 8) & ~15.
#include <cmath>
#include <cstring>

#include "gr2k/device_fonts.h"
#include "gr2k/drawing_hooks.h"
#include "gr2k/pdev.h"

namespace {

LONG Rounded(LONG fix) { return (fix + 8) & ~15; }

POINTFIX Apply(XFORMOBJ* xform, LONG x, LONG y) {
  POINTL in{x, y};
  POINTFIX out{};
  if (xform) XFORMOBJ_bApplyXform(xform, XF_LTOFX, 1, &in, &out);
  return out;
}
LONG Length(const POINTFIX& v) {
  return static_cast<LONG>(std::sqrt(static_cast<double>(LONGLONG{v.x} * v.x + LONGLONG{v.y} * v.y)));
}
LONG Length(XFORMOBJ* xform, LONG x, LONG y) { return Length(Apply(xform, x, y)); }
POINTL Whole(const POINTFIX& v) { return POINTL{v.x >> 4, v.y >> 4}; }

const IFIMETRICS* FontMetrics(RenderPdev* pdev, FONTOBJ* pfo) {
  const DeviceFont* font = pfo ? DevFontAt(pdev, pfo->iFace) : nullptr;
  if (!font) SetLastError(ERROR_INVALID_PARAMETER);
  return font ? font->metrics : nullptr;
}

LONG GlyphAndBitmap(FONTOBJ* pfo, const IFIMETRICS* ifi, HGLYPH hg, GLYPHDATA* gd) {
  if (!gd) return 0;
  XFORMOBJ* xform = FONTOBJ_pxoGetXform(pfo);
  const LONG width = DevFontGlyphWidth(ifi, hg);
  const RECTL& box = ifi->rclFontBox;
  const LONG bottom = Length(xform, 0, box.bottom);
  const LONG top = Length(xform, 0, box.top);
  std::memset(gd, 0, sizeof *gd);
  gd->fxInkBottom = Rounded(box.bottom < 0 ? -bottom : bottom);
  gd->fxInkTop = Rounded(box.top < 0 ? -top : top);
  const POINTFIX unit = Apply(xform, 4096, 0);
  const LONG g = Length(unit);
  gd->fxD = Rounded(static_cast<LONG>(LONGLONG{width} * g >> 12));
  gd->fxA = 0;
  gd->fxAB = gd->fxD;
  gd->ptqD.x.u.HighPart = Rounded(static_cast<LONG>(LONGLONG{unit.x} * width >> 12));
  gd->ptqD.y.u.HighPart = Rounded(static_cast<LONG>(LONGLONG{unit.y} * width >> 12));
  gd->hg = hg;
  return 0;
}

POINTE Direction(const POINTFIX& v) {
  const double length = std::sqrt(static_cast<double>(v.x) * v.x + static_cast<double>(v.y) * v.y);
  if (length == 0) return POINTE{0, 0};
  return POINTE{static_cast<FLOATL>(v.x / length), static_cast<FLOATL>(v.y / length)};
}

LONG MaxExtents(FONTOBJ* pfo, const IFIMETRICS* ifi, FD_DEVICEMETRICS* out, ULONG size) {
  if (!out) return sizeof(FD_DEVICEMETRICS);
  if (size < sizeof(FD_DEVICEMETRICS)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return -1;
  }
  XFORMOBJ* xform = FONTOBJ_pxoGetXform(pfo);
  std::memset(out, 0, sizeof *out);
  out->flRealizedType = 0;
  out->pteBase = Direction(Apply(xform, 1000, 0));
  out->pteSide = Direction(Apply(xform, 0, -1000));
  out->cxMax = static_cast<ULONG>(Length(xform, ifi->fwdMaxCharInc, 0));
  out->lD = (ifi->flInfo & FM_INFO_CONSTANT_WIDTH) ? static_cast<LONG>(out->cxMax) : 0;
  const RECTL& box = ifi->rclFontBox;
  out->fxMaxAscender = Rounded(Length(xform, 0, box.top));
  LONG bottom = box.bottom;
  if ((ifi->flInfo & FM_INFO_CONSTANT_WIDTH) && !(ifi->flInfo & FM_INFO_DBCS_FIXED_PITCH)) {
    const LONG excess = box.top - box.bottom - 1000;
    bottom -= excess > 0 ? excess : 0;
  }
  out->fxMaxDescender = Rounded(Length(xform, 0, bottom < 0 ? -bottom : bottom));
  out->ptlUnderline1 = Whole(Apply(xform, 0, -ifi->fwdUnderscorePosition));
  out->ptlStrikeout = Whole(Apply(xform, 0, -ifi->fwdStrikeoutPosition));
  out->ptlULThickness = Whole(Apply(xform, 0, ifi->fwdUnderscoreSize));
  out->ptlSOThickness = out->ptlULThickness;
  return sizeof(FD_DEVICEMETRICS);
}

}  // namespace

extern "C" ULONG DrvGetGlyphMode(DHPDEV dhpdev, FONTOBJ*) { return PdevFromHandle(dhpdev) ? FO_GLYPHBITS : 0; }

extern "C" IFIMETRICS* DrvQueryFont(DHPDEV dhpdev, ULONG_PTR, ULONG iFace, ULONG_PTR* pid) {
  RenderPdev* pdev = PdevFromHandle(dhpdev);
  if (!pdev) return nullptr;
  const DeviceFont* font = DevFontAt(pdev, iFace);
  if (!font) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (pid) *pid = 0;
  return font->metrics;
}

extern "C" PVOID DrvQueryFontTree(DHPDEV dhpdev, ULONG_PTR, ULONG iFace, ULONG iMode, ULONG_PTR* pid) {
  RenderPdev* pdev = PdevFromHandle(dhpdev);
  if (!pdev) return nullptr;
  const DeviceFont* font = DevFontAt(pdev, iFace);
  if (pid) *pid = 0;
  if (font && iMode == QFT_GLYPHSET) return DevFontGlyphSet(pdev, font->kind);
  if (font && iMode == QFT_KERNPAIRS) return &pdev->fonts->noKerning;
  SetLastError(ERROR_INVALID_PARAMETER);
  return nullptr;
}

extern "C" LONG DrvQueryFontData(DHPDEV dhpdev, FONTOBJ* pfo, ULONG iMode, HGLYPH hg, GLYPHDATA* pgd, PVOID pv,
                                 ULONG cjSize) {
  RenderPdev* pdev = PdevFromHandle(dhpdev);
  if (!pdev) return -1;
  const IFIMETRICS* ifi = FontMetrics(pdev, pfo);
  if (!ifi) return -1;
  switch (iMode) {
    case QFD_GLYPHANDBITMAP: return GlyphAndBitmap(pfo, ifi, hg, pgd);
    case QFD_MAXEXTENTS: return MaxExtents(pfo, ifi, static_cast<FD_DEVICEMETRICS*>(pv), cjSize);
    default: return -1;
  }
}

extern "C" BOOL DrvQueryAdvanceWidths(DHPDEV dhpdev, FONTOBJ* pfo, ULONG iMode, HGLYPH* phg, PVOID pvWidths,
                                      ULONG cGlyphs) {
  RenderPdev* pdev = PdevFromHandle(dhpdev);
  if (!pdev) return FALSE;
  const IFIMETRICS* ifi = FontMetrics(pdev, pfo);
  if (!ifi) return FALSE;
  if (iMode > 1 || (cGlyphs && (!phg || !pvWidths))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const LONG length = Length(FONTOBJ_pxoGetXform(pfo), 4096, 0);
  auto* widths = static_cast<USHORT*>(pvWidths);
  for (ULONG i = 0; i < cGlyphs; ++i) {
    const LONG width = DevFontGlyphWidth(ifi, phg[i]);
    widths[i] = static_cast<USHORT>((static_cast<LONG>(LONGLONG{width} * length >> 12) + 8) & ~15);
  }
  return TRUE;
}
