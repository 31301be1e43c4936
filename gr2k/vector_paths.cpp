#include "gr2k/vector_paths.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "gr2k/brushes.h"
#include "gr2k/drawing_hooks.h"
#include "gr2k/path_record.h"
#include "gr2k/pdev.h"

namespace {

constexpr BOOL kDdiError = static_cast<BOOL>(DDI_ERROR);
constexpr DWORD kWhite = 0xFFFFFF;
constexpr DWORD kSolidMask = 0xFFFFFFFF;
constexpr DWORD kDefaultMiter = 2560;  // 10.0
constexpr DWORD kMaxMiter = 0x7FFF;
constexpr LONGLONG kMaxWidth = 0xFFFF;
constexpr LONGLONG kMaxStyleElement = 0xFFFFFF;
constexpr DWORD kMaxStyleUnit = 255;
constexpr DWORD kMaskBits = 32;
constexpr DWORD kCosmeticStyleDivisor = 50;  // a cosmetic style element is resolution / 50 pixels
constexpr DWORD kFloatExponentBits = 0x7F800000;

DWORD FieldBits(const FLOAT_LONG& value) {
  DWORD bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

float FieldFloat(const FLOAT_LONG& value) {
  float e = 0;
  std::memcpy(&e, &value, sizeof e);
  return e;
}

// The integer part of a float, bounded to what the records can carry; NaN gives 0.
LONGLONG IntegerPart(float e, LONGLONG limit) {
  if (!(e > -1.0f)) return e < 0 ? -1 : 0;
  return e >= static_cast<float>(limit) ? limit : static_cast<LONGLONG>(e);
}

// The geometric width: the float's integer part. A field whose exponent bits are clear holds a
// small integer rather than a float below 1, and is read as one; a true width below 1 stays 0.
LONGLONG GeometricWidth(const FLOAT_LONG& width) {
  const LONGLONG w = IntegerPart(FieldFloat(width), kMaxWidth);
  if (w != 0) return w;
  const DWORD bits = FieldBits(width);
  return (bits & kFloatExponentBits) == 0 ? static_cast<LONG>(bits) : 0;
}

LONGLONG Scaled(LONGLONG value, LONG scale) { return scale > 0 ? (value * scale) >> 8 : value; }

BYTE EndCapOf(ULONG cap) {
  switch (cap) {
    case ENDCAP_SQUARE: return 2;
    case ENDCAP_BUTT: return 1;
    default: return 0;
  }
}

BYTE JoinOf(ULONG join) {
  switch (join) {
    case JOIN_BEVEL: return 1;
    case JOIN_MITER: return 2;
    default: return 0;
  }
}

DWORD MiterOf(float limit) {
  if (!(limit >= 1.0f)) return 256;
  if (limit >= static_cast<float>(kMaxMiter)) return kMaxMiter * 256;
  return static_cast<DWORD>(limit * 256.0f);
}

// Zero elements take the length of the next non-zero one; zeros at the end that of the last.
void FillZeroElements(std::vector<LONGLONG>& elements) {
  LONGLONG following = 0;
  for (LONGLONG e : elements) {
    if (e) following = e;
  }
  for (size_t i = elements.size(); i-- > 0;) {
    if (elements[i]) following = elements[i];
    else elements[i] = following;
  }
}

// The dash-gap pattern spread over the 32 mask bits (bit 31 first, dashes 1). A pattern of at
// most 32 pixels is repeated whole as often as it fits; an odd count is taken twice so that
// dashes and gaps keep alternating. Each element's end falls on the nearest bit to where it
// ends in proportion, so a length that divides 32 (or 32 dividing it) is exact.
struct StyleSpread {
  DWORD mask;
  LONGLONG length;  // of the repeated pattern, pixels
};

StyleSpread SpreadStyle(std::vector<LONGLONG> elements) {
  if (elements.size() % 2) elements.insert(elements.end(), elements.begin(), elements.end());
  LONGLONG base = 0;
  for (LONGLONG e : elements) base += e;
  const LONGLONG repeats = base <= kMaskBits ? kMaskBits / base : 1;
  const LONGLONG length = base * repeats;
  DWORD mask = 0;
  LONGLONG end = 0;
  DWORD bit = 0;
  for (LONGLONG r = 0; r < repeats; ++r) {
    for (size_t i = 0; i < elements.size(); ++i) {
      end += elements[i];
      const DWORD last = static_cast<DWORD>((end * kMaskBits + length / 2) / length);
      for (; bit < last && bit < kMaskBits; ++bit) {
        if (i % 2 == 0) mask |= 0x80000000u >> bit;
      }
    }
  }
  return {mask, length};
}

// The style part of the pen. FALSE for a pen the device cannot draw.
BOOL StyleOf(DWORD resolution, const LINEATTRS& la, BOOL geometric, LONG scale, LineAttrs* pen) {
  if (!(geometric || (la.fl & LA_STYLED)) || !la.pstyle || la.cstyle == 0) return TRUE;
  if (pen->width != 1) return FALSE;
  if (la.cstyle == 1) return TRUE;
  std::vector<LONGLONG> elements;
  elements.reserve(la.cstyle);
  for (ULONG i = 0; i < la.cstyle; ++i) {
    LONGLONG e = 0;
    if (geometric) {
      e = Scaled(IntegerPart(FieldFloat(la.pstyle[i]), kMaxStyleElement), scale);
    } else {
      const LONG units = la.pstyle[i].l;
      e = static_cast<LONGLONG>(units < 0 ? 0 : units > kMaxStyleElement ? kMaxStyleElement : units) * resolution /
          kCosmeticStyleDivisor;
    }
    elements.push_back(e < 0 ? 0 : e);
  }
  LONGLONG start = 0;
  if (la.fl & LA_STARTGAP) {
    start = elements.front();
    elements.erase(elements.begin());
  }
  FillZeroElements(elements);
  if (elements.empty() || elements.front() == 0) return TRUE;  // nothing but zeros: solid
  const StyleSpread spread = SpreadStyle(elements);
  const LONGLONG unit = spread.length <= kMaskBits ? 1 : spread.length / kMaskBits;
  if (unit > kMaxStyleUnit && geometric) return FALSE;
  pen->styleUnit = static_cast<BYTE>(unit > kMaxStyleUnit ? kMaxStyleUnit : unit);
  pen->styleMask = spread.mask;
  pen->styleOffset = static_cast<BYTE>((start % spread.length) * kMaskBits / spread.length);
  return TRUE;
}

}  // namespace

LONG XformPenScale(XFORMOBJ* xform) {
  XFORML m{};
  if (!xform || XFORMOBJ_iGetXform(xform, &m) == GX_IDENTITY) return -1;
  const auto scaled = [](FLOATL factor) {
    const double v = std::fabs(static_cast<double>(factor) * 256.0);
    return std::isfinite(v) && v < 0x3FFFFFFF ? static_cast<LONGLONG>(v) : LONGLONG{0x3FFFFFFF};
  };
  return static_cast<LONG>((scaled(m.eM11) + scaled(m.eM22)) / 2);
}

BOOL PenFromLineAttrs(DWORD resolution, const LINEATTRS* la, XFORMOBJ* xform, LineAttrs* pen, BOOL* geometric) {
  if (!la || !pen || !geometric) return FALSE;
  *pen = LineAttrs{};
  pen->width = 1;
  pen->styleMask = kSolidMask;
  const BOOL isGeometric = (la->fl & LA_GEOMETRIC) != 0;
  *geometric = isGeometric;
  LONG scale = -1;
  if (isGeometric) {
    const LONGLONG w = GeometricWidth(la->elWidth);
    if (w >= 1) {
      scale = XformPenScale(xform);
      if (scale == 0) return FALSE;
      const LONGLONG width = Scaled(w, scale);
      pen->width = static_cast<WORD>(width < 1 ? 1 : width > kMaxWidth ? kMaxWidth : width);
    }
    pen->endCap = EndCapOf(la->iEndCap);
    pen->join = JoinOf(la->iJoin);
  }
  pen->miterLimit = isGeometric || (la->fl & LA_STYLED) ? MiterOf(la->eMiterLimit) : kDefaultMiter;
  return StyleOf(resolution, *la, isGeometric, scale, pen);
}

namespace {

bool Raster(const RenderPdev* pdev) { return pdev->settings.rasterMode; }

DWORD HostIcm(const BRUSHOBJ* brush) { return brush && (brush->flColorType & BR_HOST_ICM) ? 1 : 0; }

// The pen's line records, its (solid) pattern, colour attribute, ROP and clip: the state of a
// stroke before its colour. FALSE for a pen the device cannot draw, kDdiError for a failed pattern.
BOOL SelectStroke(RenderPdev* pdev, SURFOBJ* surface, BRUSHOBJ* brush, POINTL* origin, const LineAttrs& pen,
                  MIX mix, CLIPOBJ* clip, ColorDescriptor* color) {
  const RealizedBrush* described = BrushDescribe(pdev, surface, brush, origin);
  if (!StrmEmitLineAttrsIfChanged(&pdev->stream, &pdev->cache, pen)) return FALSE;
  const PatternDescriptor pattern = described ? BrushPattern(described) : PatternDescriptor{};
  if (!described || !StrmEmitPatternIfChanged(&pdev->stream, &pdev->cache, &pattern)) return kDdiError;
  *color = ColorDescriptor{};
  ColorSetKindFromMix(color, mix, 0);
  color->color1 = described->color1;
  color->color2 = kWhite;
  color->hostIcm = HostIcm(brush);
  EngineClip clipSource(clip);
  return StrmEmitColorAttrIfChanged(&pdev->stream, &pdev->cache, static_cast<BYTE>(color->kind)) &&
         StrmEmitRopIfChanged(&pdev->stream, &pdev->cache, MixToDeviceRop(mix & 0xFF)) &&
         ClipSelect(&pdev->stream, &pdev->cache, &clipSource);
}

// The fill brush's pattern, colour, colour attribute, ROP and clip. With a stroke colour the
// colour record carries it as the third colour. kDdiError for a brush that cannot be described
// or a failed pattern.
BOOL SelectFill(RenderPdev* pdev, SURFOBJ* surface, BRUSHOBJ* brush, POINTL* origin, MIX mix, CLIPOBJ* clip,
                const DWORD* strokeColor) {
  const RealizedBrush* described = BrushDescribe(pdev, surface, brush, origin);
  if (!described) return kDdiError;
  const PatternDescriptor pattern = BrushPattern(described);
  if (!StrmEmitPatternIfChanged(&pdev->stream, &pdev->cache, &pattern)) return kDdiError;
  ColorDescriptor color{};
  ColorSetKindFromMix(&color, mix, strokeColor ? 1 : 0);
  color.color1 = described->color1;
  color.color2 = described->color2;
  color.color3 = strokeColor ? *strokeColor : 0;
  color.hostIcm = HostIcm(brush);
  ColorSwapDescriptor(&color);
  const BYTE attribute = described->kind == kBrushRgb ? 2 : static_cast<BYTE>(color.kind);
  EngineClip clipSource(clip);
  return StrmEmitColorIfChanged(&pdev->stream, &pdev->cache, PdevRecordSettings(pdev), color) &&
         StrmEmitColorAttrIfChanged(&pdev->stream, &pdev->cache, attribute) &&
         StrmEmitRopIfChanged(&pdev->stream, &pdev->cache, MixToDeviceRop(mix & 0xFF)) &&
         ClipSelect(&pdev->stream, &pdev->cache, &clipSource);
}

// The path record; a stroke of several sub-paths with a closed one goes one record per figure.
BOOL EmitPath(RenderPdev* pdev, PATHOBJ* path, BYTE mode) {
  if (!path) return FALSE;
  EnginePath source(path);
  BYTE* record = StrmEmitPath(&pdev->stream, &source, mode);
  if (!record) return FALSE;
  return !PathNeedsPerFigure(record) || PathEmitPerFigure(&pdev->stream, &source, record, mode);
}

BYTE FillMode(FLONG options, BYTE alternate, BYTE winding) { return (options & FP_WINDINGMODE) ? winding : alternate; }

bool IsSolid(const BRUSHOBJ* brush) { return brush && brush->iSolidColor != 0xFFFFFFFF; }

BOOL Stroke(RenderPdev* pdev, SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pbo, POINTL* origin,
            LINEATTRS* la, MIX mix) {
  if (!IsSolid(pbo)) return FALSE;
  LineAttrs pen{};
  BOOL geometric = FALSE;
  if (!PenFromLineAttrs(pdev->settings.resolution, la, pxo, &pen, &geometric)) return FALSE;
  ColorDescriptor color{};
  const BOOL selected = SelectStroke(pdev, pso, pbo, origin, pen, mix, pco, &color);
  if (selected != TRUE) return selected;
  ColorSwapDescriptor(&color);
  if (!StrmEmitColorIfChanged(&pdev->stream, &pdev->cache, PdevRecordSettings(pdev), color)) return FALSE;
  return EmitPath(pdev, ppo, kPathStroke);
}

BOOL Fill(RenderPdev* pdev, SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* origin, MIX mix,
          FLONG options) {
  const BOOL selected = SelectFill(pdev, pso, pbo, origin, mix, pco, nullptr);
  if (selected != TRUE) return selected;
  return EmitPath(pdev, ppo, FillMode(options, kPathFillAlternate, kPathFillWinding));
}

}  // namespace

extern "C" BOOL DrvStrokePath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pbo,
                              POINTL* pptlBrushOrg, LINEATTRS* plineattrs, MIX mix) {
  RenderPdev* pdev = PdevFromSurface(pso);
  if (!pdev) return kDdiError;
  if (const Start start = DrawingStart(pdev); start != Start::kDraw) return start == Start::kSkip;
  if (Raster(pdev)) return EngStrokePath(pso, ppo, pco, pxo, pbo, pptlBrushOrg, plineattrs, mix);
  return Stroke(pdev, pso, ppo, pco, pxo, pbo, pptlBrushOrg, plineattrs, mix);
}

extern "C" BOOL DrvFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* pptlBrushOrg, MIX mix,
                            FLONG flOptions) {
  RenderPdev* pdev = PdevFromSurface(pso);
  if (!pdev) return kDdiError;
  if (const Start start = DrawingStart(pdev); start != Start::kDraw) return start == Start::kSkip;
  if (Raster(pdev)) return EngFillPath(pso, ppo, pco, pbo, pptlBrushOrg, mix, flOptions);
  return Fill(pdev, pso, ppo, pco, pbo, pptlBrushOrg, mix, flOptions);
}

extern "C" BOOL DrvStrokeAndFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pboStroke,
                                     LINEATTRS* plineattrs, BRUSHOBJ* pboFill, POINTL* pptlBrushOrg, MIX mixFill,
                                     FLONG flOptions) {
  RenderPdev* pdev = PdevFromSurface(pso);
  if (!pdev) return kDdiError;
  if (const Start start = DrawingStart(pdev); start != Start::kDraw) return start == Start::kSkip;
  if (Raster(pdev)) {
    return EngStrokeAndFillPath(pso, ppo, pco, pxo, pboStroke, plineattrs, pboFill, pptlBrushOrg, mixFill, flOptions);
  }
  if (!IsSolid(pboStroke) || !IsSolid(pboFill)) {
    const BOOL filled = Fill(pdev, pso, ppo, pco, pboFill, pptlBrushOrg, mixFill, flOptions);
    if (filled != TRUE) return filled;
    return Stroke(pdev, pso, ppo, pco, pxo, pboStroke, pptlBrushOrg, plineattrs, mixFill);
  }
  LineAttrs pen{};
  BOOL geometric = FALSE;
  if (!PenFromLineAttrs(pdev->settings.resolution, plineattrs, pxo, &pen, &geometric)) return FALSE;
  if (!StrmEmitLineAttrsIfChanged(&pdev->stream, &pdev->cache, pen)) return FALSE;
  const DWORD strokeColor = BrushSolid(pdev, pboStroke->iSolidColor)->color1;
  const BOOL selected = SelectFill(pdev, pso, pboFill, pptlBrushOrg, mixFill, pco, &strokeColor);
  if (selected != TRUE) return selected;
  return EmitPath(pdev, ppo, FillMode(flOptions, kPathFillStrokeAlternate, kPathFillStrokeWinding));
}
