// Blits and fills on memory bitmaps: the general ROP4 blit, copies, paints, and the painter
// and polygon filler the other drawing calls share.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/winerror.h"
#include "eng/eng_internal.h"

namespace velm::platform::eng {

void Translator::Init(XLATEOBJ* pxlo) {
  identity_ = true;
  table_ = palettes_ = false;
  entries_.clear();
  if (!pxlo || (pxlo->flXlate & XO_TRIVIAL)) return;
  identity_ = false;
  if (pxlo->flXlate & XO_TABLE) {
    table_ = true;
    if (pxlo->pulXlate) entries_.assign(pxlo->pulXlate, pxlo->pulXlate + pxlo->cEntries);
    return;
  }
  Xlate* xlate = FindXlate(pxlo);
  if (xlate && xlate->knowsPalettes) {
    palettes_ = true;
    source_ = xlate->source;
    target_ = xlate->target;
  } else {
    identity_ = true;
  }
}

ULONG Translator::operator()(ULONG value) const {
  if (identity_) return value;
  if (table_) return value < entries_.size() ? entries_[value] : 0;
  return PaletteValueFromRgb(target_, RgbFromPaletteValue(source_, value));
}

bool Translator::SourceRgb(ULONG value, ULONG& rgb) const {
  if (!palettes_) return false;
  rgb = RgbFromPaletteValue(source_, value);
  return true;
}

bool Translator::TargetValue(ULONG rgb, ULONG& value) const {
  if (!palettes_) return false;
  value = PaletteValueFromRgb(target_, rgb);
  return true;
}

void Painter::Apply(LONG x, LONG y) const {
  const ULONG d = pixels_.Get(x, y);
  pixels_.Put(x, y, Rop3(rop_, brush_.At(x, y), 0, d) & pixels_.mask);
}

void Painter::Span(LONG y, LONG x0, LONG x1) const {
  if (rop_ == 0xAA) return;
  for (const RECTL& r : clip_) {
    if (y < r.top || y >= r.bottom) continue;
    const LONG from = std::max(x0, r.left), to = std::min(x1, r.right);
    for (LONG x = from; x < to; ++x) Apply(x, y);
  }
}

void Painter::Pixel(LONG x, LONG y) const {
  if (rop_ == 0xAA) return;
  for (const RECTL& r : clip_) {
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) {
      Apply(x, y);
      return;
    }
  }
}

void FillPolygons(const std::vector<Polygon>& polygons, bool winding, const Painter& painter, const RECTL& limit) {
  struct Edge {
    double top, bottom, x, slope;
    int direction;
  };
  std::vector<Edge> edges;
  for (const Polygon& polygon : polygons) {
    const size_t n = polygon.x.size();
    for (size_t i = 0; i < n && n > 1; ++i) {
      const size_t j = (i + 1) % n;
      double x0 = polygon.x[i], y0 = polygon.y[i], x1 = polygon.x[j], y1 = polygon.y[j];
      if (y0 == y1) continue;
      const int direction = y1 > y0 ? 1 : -1;
      if (y0 > y1) {
        std::swap(x0, x1);
        std::swap(y0, y1);
      }
      edges.push_back(Edge{y0, y1, x0, (x1 - x0) / (y1 - y0), direction});
    }
  }
  if (edges.empty()) return;
  std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.top < b.top; });
  double minY = edges.front().top, maxY = edges.front().bottom;
  for (const Edge& e : edges) maxY = std::max(maxY, e.bottom);
  const LONG firstRow = std::max<LONG>(limit.top, static_cast<LONG>(std::max(-1e9, std::ceil(minY - 0.5))));
  const LONG lastRow = std::min<LONG>(limit.bottom, static_cast<LONG>(std::min(1e9, std::ceil(maxY - 0.5))));
  std::vector<const Edge*> active;
  std::vector<std::pair<double, int>> crossings;
  size_t nextEdge = 0;
  for (LONG y = firstRow; y < lastRow; ++y) {
    const double yc = y + 0.5;
    while (nextEdge < edges.size() && edges[nextEdge].top <= yc) active.push_back(&edges[nextEdge++]);
    active.erase(std::remove_if(active.begin(), active.end(), [&](const Edge* e) { return e->bottom <= yc; }),
                 active.end());
    crossings.clear();
    for (const Edge* e : active) {
      if (e->top <= yc) crossings.emplace_back(e->x + (yc - e->top) * e->slope, e->direction);
    }
    std::sort(crossings.begin(), crossings.end());
    int count = 0;
    for (size_t i = 0; i + 1 < crossings.size(); ++i) {
      count = winding ? count + crossings[i].second : count ^ 1;
      if (count == 0) continue;
      const double from = std::ceil(crossings[i].first - 0.5), to = std::ceil(crossings[i + 1].first - 0.5);
      const LONG x0 = static_cast<LONG>(std::clamp<double>(from, limit.left, limit.right));
      const LONG x1 = static_cast<LONG>(std::clamp<double>(to, limit.left, limit.right));
      if (x0 < x1) painter.Span(y, x0, x1);
    }
  }
}

}  // namespace velm::platform::eng

using namespace velm::platform::eng;

namespace {

// The bounds of every clip rectangle.
RECTL ClipBounds(const std::vector<RECTL>& rects) {
  RECTL b{0, 0, 0, 0};
  for (const RECTL& r : rects) {
    if (IsEmpty(b)) {
      b = r;
      continue;
    }
    b = RECTL{std::min(b.left, r.left), std::min(b.top, r.top), std::max(b.right, r.right),
              std::max(b.bottom, r.bottom)};
  }
  return b;
}

std::string Hex(ULONG value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", value);
  return text;
}

}  // namespace

extern "C" BOOL EngBitBlt(SURFOBJ* psoTrg, SURFOBJ* psoSrc, SURFOBJ* psoMask, CLIPOBJ* pco, XLATEOBJ* pxlo,
                          RECTL* prclTrg, POINTL* pptlSrc, POINTL* pptlMask, BRUSHOBJ* pbo, POINTL* pptlBrush,
                          ROP4 rop4) {
  const BYTE fore = static_cast<BYTE>(rop4), back = static_cast<BYTE>(rop4 >> 8);
  const bool needSource = RopUsesSource(fore) || RopUsesSource(back);
  const bool needPattern = RopUsesPattern(fore) || RopUsesPattern(back);
  const bool needMask = fore != back;
  if (!psoTrg || !prclTrg || (needSource && (!psoSrc || !pptlSrc)) || (needPattern && !pbo) ||
      (needMask && (!psoMask || !pptlMask || psoMask->iBitmapFormat != BMF_1BPP))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Pixels target, source, mask;
  if (!SurfacePixels(psoTrg, target)) {
    if (psoTrg->iType != STYPE_DEVICE) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    LogEngineCall("EngBitBlt device rop4=" + Hex(rop4) + " " + RectText(prclTrg));
    return TRUE;
  }
  if ((needSource && !SurfacePixels(psoSrc, source)) || (needMask && !SurfacePixels(psoMask, mask))) {
    SetLastError(ERROR_NOT_SUPPORTED);  // a device surface cannot be read
    return FALSE;
  }
  BrushSampler brush;
  if (needPattern && !brush.Init(pbo, pptlBrush, target.mask)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const RECTL rect = Ordered(*prclTrg);
  RECTL area = Intersect(rect, RECTL{0, 0, target.cx, target.cy});
  LONG sdx = 0, sdy = 0, mdx = 0, mdy = 0;  // source and mask position minus target position
  if (needSource) {
    sdx = pptlSrc->x - rect.left;
    sdy = pptlSrc->y - rect.top;
    area = Intersect(area, RECTL{-sdx, -sdy, source.cx - sdx, source.cy - sdy});
  }
  if (needMask) {
    mdx = pptlMask->x - rect.left;
    mdy = pptlMask->y - rect.top;
    area = Intersect(area, RECTL{-mdx, -mdy, mask.cx - mdx, mask.cy - mdy});
  }
  const std::vector<RECTL> clip = velm::platform::ClipRectangles(pco, area);
  if (clip.empty()) return TRUE;
  Translator translate;
  translate.Init(pxlo);

  // A source that overlaps the target is read before anything is written.
  std::vector<ULONG> snapshot;
  RECTL snap{0, 0, 0, 0};
  const bool overlap = needSource && psoSrc->pvScan0 == psoTrg->pvScan0;
  if (overlap) {
    snap = ClipBounds(clip);
    snapshot.resize(static_cast<size_t>(snap.right - snap.left) * (snap.bottom - snap.top));
    for (LONG y = snap.top; y < snap.bottom; ++y) {
      for (LONG x = snap.left; x < snap.right; ++x) {
        snapshot[static_cast<size_t>(y - snap.top) * (snap.right - snap.left) + (x - snap.left)] =
            source.Get(x + sdx, y + sdy);
      }
    }
  }
  const auto sourceAt = [&](LONG x, LONG y) {
    const ULONG raw = overlap ? snapshot[static_cast<size_t>(y - snap.top) * (snap.right - snap.left) + (x - snap.left)]
                              : source.Get(x + sdx, y + sdy);
    return translate(raw);
  };

  const bool plainCopy = fore == 0xCC && back == 0xCC && translate.Identity() && !overlap &&
                         source.bpp == target.bpp && target.bpp >= 8;
  for (const RECTL& r : clip) {
    for (LONG y = r.top; y < r.bottom; ++y) {
      if (plainCopy) {
        const size_t bytes = target.bpp / 8;
        std::memcpy(target.Row(y) + r.left * bytes, source.Row(y + sdy) + (r.left + sdx) * bytes,
                    (r.right - r.left) * bytes);
        continue;
      }
      for (LONG x = r.left; x < r.right; ++x) {
        const BYTE rop = needMask ? (mask.Get(x + mdx, y + mdy) ? fore : back) : fore;
        if (rop == 0xAA) continue;
        const ULONG s = needSource ? sourceAt(x, y) : 0;
        const ULONG p = needPattern ? brush.At(x, y) : 0;
        target.Put(x, y, Rop3(rop, p, s, target.Get(x, y)) & target.mask);
      }
    }
  }
  return TRUE;
}

extern "C" BOOL EngCopyBits(SURFOBJ* psoDest, SURFOBJ* psoSrc, CLIPOBJ* pco, XLATEOBJ* pxlo, RECTL* prclDest,
                            POINTL* pptlSrc) {
  return EngBitBlt(psoDest, psoSrc, nullptr, pco, pxlo, prclDest, pptlSrc, nullptr, nullptr, nullptr, 0xCCCC);
}

extern "C" BOOL EngPaint(SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* pptlBrushOrg, MIX mix) {
  if (!pso || !pbo) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Pixels pixels;
  if (!SurfacePixels(pso, pixels)) {
    if (pso->iType != STYPE_DEVICE) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    LogEngineCall("EngPaint device " + RectText(pco ? &pco->rclBounds : nullptr));
    return TRUE;
  }
  BrushSampler brush;
  if (!brush.Init(pbo, pptlBrushOrg, pixels.mask)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::vector<RECTL> clip = velm::platform::ClipRectangles(pco, RECTL{0, 0, pixels.cx, pixels.cy});
  const Painter painter(pixels, clip, brush, MixRop3(mix & 0xFF));
  for (const RECTL& r : clip) {
    for (LONG y = r.top; y < r.bottom; ++y) painter.Span(y, r.left, r.right);
  }
  return TRUE;
}
