// Filling and stroking paths into memory bitmaps, and cosmetic lines.
#include <algorithm>
#include <cmath>

#include "core/winerror.h"
#include "eng/eng_internal.h"
#include "eng/line_geometry.h"

using namespace velm::platform::eng;

namespace {

// The dash pattern of a cosmetic pen, one pixel per style unit.
class Style {
 public:
  explicit Style(const LINEATTRS* la) {
    if (!la) return;
    alternate_ = (la->fl & LA_ALTERNATE) != 0;
    startGap_ = (la->fl & LA_STARTGAP) != 0;
    if ((la->fl & LA_STYLED) && la->pstyle && la->cstyle > 0) {
      for (ULONG i = 0; i < std::min<ULONG>(la->cstyle, 64); ++i) {
        const LONG length = (la->fl & LA_GEOMETRIC) ? static_cast<LONG>(la->pstyle[i].e) : la->pstyle[i].l;
        lengths_.push_back(std::clamp<LONG>(length, 1, 0x10000));
      }
    }
    Reset();
  }
  void Reset() {
    index_ = 0;
    left_ = lengths_.empty() ? 0 : lengths_[0];
    on_ = !startGap_;
  }
  // Whether the next pixel is drawn; advances the pattern.
  bool Next() {
    if (alternate_) {
      const bool draw = on_;
      on_ = !on_;
      return draw;
    }
    if (lengths_.empty()) return true;
    const bool draw = on_;
    if (--left_ == 0) {
      index_ = (index_ + 1) % lengths_.size();
      left_ = lengths_[index_];
      on_ = !on_;
    }
    return draw;
  }

 private:
  bool alternate_ = false, startGap_ = false, on_ = true;
  std::vector<LONG> lengths_;
  size_t index_ = 0;
  LONG left_ = 0;
};

// A 1-pixel line between pixel centres, the last pixel left out when skipLast.
void CosmeticLine(const Painter& painter, const RECTL& box, double fx0, double fy0, double fx1, double fy1,
                  bool skipLast, Style& style) {
  const double ox1 = fx1, oy1 = fy1;
  if (!ClipSegment(fx0, fy0, fx1, fy1, box.left - 2, box.top - 2, box.right + 2, box.bottom + 2)) return;
  if (fx1 != ox1 || fy1 != oy1) skipLast = false;
  StepLine(fx0, fy0, fx1, fy1, skipLast, [&](LONG x, LONG y) {
    if (style.Next()) painter.Pixel(x, y);
  });
}

void StrokeCosmetic(const std::vector<Polygon>& polygons, const Painter& painter, const RECTL& box,
                    const LINEATTRS* la) {
  Style style(la);
  for (const Polygon& polygon : polygons) {
    style.Reset();
    const size_t n = polygon.x.size();
    const size_t segments = polygon.closed ? n : n - 1;
    for (size_t i = 0; i < segments; ++i) {
      const size_t j = (i + 1) % n;
      CosmeticLine(painter, box, polygon.x[i], polygon.y[i], polygon.x[j], polygon.y[j], true, style);
    }
  }
}

Polygon Circle(double cx, double cy, double radius) {
  Polygon circle;
  for (int i = 0; i < 16; ++i) {
    const double angle = i * 3.14159265358979323846 / 8;
    circle.x.push_back(cx + radius * std::cos(angle));
    circle.y.push_back(cy + radius * std::sin(angle));
  }
  return circle;
}

// Counter-clockwise in device space, so that the winding union adds every piece.
void Orient(Polygon& polygon) {
  double area = 0;
  for (size_t i = 0, n = polygon.x.size(); i < n; ++i) {
    const size_t j = (i + 1) % n;
    area += polygon.x[i] * polygon.y[j] - polygon.x[j] * polygon.y[i];
  }
  if (area < 0) {
    std::reverse(polygon.x.begin(), polygon.x.end());
    std::reverse(polygon.y.begin(), polygon.y.end());
  }
}

// The outline of a wide pen along the figures: bands, joins and ends as polygons.
std::vector<Polygon> WideOutline(const std::vector<Polygon>& figures, double width, const LINEATTRS& la) {
  const double h = width / 2;
  std::vector<Polygon> pieces;
  const auto add = [&](Polygon polygon) {
    Orient(polygon);
    pieces.push_back(std::move(polygon));
  };
  for (const Polygon& figure : figures) {
    // Drop repeated points: they have no direction.
    std::vector<double> x, y;
    for (size_t i = 0; i < figure.x.size(); ++i) {
      if (!x.empty() && x.back() == figure.x[i] && y.back() == figure.y[i]) continue;
      x.push_back(figure.x[i]);
      y.push_back(figure.y[i]);
    }
    const size_t n = x.size();
    if (n < 2) continue;
    const size_t segments = figure.closed ? n : n - 1;
    std::vector<double> nx(segments), ny(segments);
    for (size_t i = 0; i < segments; ++i) {
      const size_t j = (i + 1) % n;
      const double dx = x[j] - x[i], dy = y[j] - y[i], length = std::hypot(dx, dy);
      nx[i] = -dy / length * h;
      ny[i] = dx / length * h;
      double ax = x[i], ay = y[i], bx = x[j], by = y[j];
      if (!figure.closed && la.iEndCap == ENDCAP_SQUARE) {
        if (i == 0) ax -= dx / length * h, ay -= dy / length * h;
        if (i + 1 == segments) bx += dx / length * h, by += dy / length * h;
      }
      add(Polygon{{ax + nx[i], bx + nx[i], bx - nx[i], ax - nx[i]}, {ay + ny[i], by + ny[i], by - ny[i], ay - ny[i]},
                  true});
    }
    // Joins: every inner vertex, and every vertex of a closed figure.
    for (size_t v = figure.closed ? 0 : 1; v < (figure.closed ? n : n - 1); ++v) {
      const size_t before = (v + segments - 1) % segments, after = v % segments;
      if (la.iJoin == JOIN_ROUND) {
        add(Circle(x[v], y[v], h));
        continue;
      }
      for (const double side : {1.0, -1.0}) {
        const double ax = x[v] + side * nx[before], ay = y[v] + side * ny[before];
        const double bx = x[v] + side * nx[after], by = y[v] + side * ny[after];
        add(Polygon{{x[v], ax, bx}, {y[v], ay, by}, true});
        if (la.iJoin != JOIN_MITER) continue;
        // The miter point: where the two outer edges meet, within the limit (a ratio to the width).
        const double d0x = ny[before], d0y = -nx[before], d1x = ny[after], d1y = -nx[after];  // along the segments
        const double cross = d0x * d1y - d0y * d1x;
        if (std::fabs(cross) < 1e-9) continue;
        const double t = ((bx - ax) * d1y - (by - ay) * d1x) / cross;
        if (t <= 0) continue;  // the inner side
        const double mx = ax + t * d0x, my = ay + t * d0y;
        if (2 * std::hypot(mx - x[v], my - y[v]) > std::max(1.0, static_cast<double>(la.eMiterLimit)) * width) continue;
        add(Polygon{{ax, mx, bx}, {ay, my, by}, true});
      }
    }
    if (!figure.closed && la.iEndCap == ENDCAP_ROUND) {
      add(Circle(x[0], y[0], h));
      add(Circle(x[n - 1], y[n - 1], h));
    }
  }
  return pieces;
}

// The transform's area scale (1 for none).
double XformScale(XFORMOBJ* pxo) {
  XFORML m;
  if (!pxo || XFORMOBJ_iGetXform(pxo, &m) == GX_IDENTITY) return 1;
  return std::sqrt(std::fabs(static_cast<double>(m.eM11) * m.eM22 - static_cast<double>(m.eM12) * m.eM21));
}

// The pen's width in pixels: a geometric width goes through the transform's area scale.
double PenWidth(const LINEATTRS& la, XFORMOBJ* pxo) {
  if (!(la.fl & LA_GEOMETRIC)) return 1;
  const double width = la.elWidth.e * XformScale(pxo);
  return std::isfinite(width) ? width : 1;
}

// The dashes of a wide pen's style (world units through the transform; LA_STARTGAP begins with
// a gap), or the figures themselves for an unstyled pen.
std::vector<Polygon> WideDashes(const std::vector<Polygon>& figures, const LINEATTRS& la, XFORMOBJ* pxo) {
  std::vector<double> lengths;
  double period = 0;
  if (la.pstyle && la.cstyle > 0) {
    const double scale = XformScale(pxo);
    for (ULONG i = 0; i < std::min<ULONG>(la.cstyle, 64); ++i) {
      const double element = (la.fl & LA_GEOMETRIC) ? la.pstyle[i].e : la.pstyle[i].l;
      lengths.push_back(std::clamp(element * scale, 1.0, 65536.0));
      period += lengths.back();
    }
  }
  if (lengths.empty()) return figures;
  if (lengths.size() % 2) {
    lengths.insert(lengths.end(), lengths.begin(), lengths.end());
    period *= 2;
  }
  const bool startGap = (la.fl & LA_STARTGAP) != 0;
  // The element a position falls in, and where it ends.
  const auto locate = [&](double position, double& end) {
    double at = std::fmod(position, period), base = position - at;
    for (size_t i = 0; i < lengths.size(); ++i) {
      base += lengths[i];
      if (at < lengths[i]) {
        end = base;
        return i;
      }
      at -= lengths[i];
    }
    end = base;
    return lengths.size() - 1;
  };
  std::vector<Polygon> dashes;
  for (const Polygon& figure : figures) {
    SplitDashes(
        figure.x.size(), figure.closed, [&](size_t i) { return std::make_pair(figure.x[i], figure.y[i]); }, 0,
        [&](double position) {
          double end;
          return (locate(position, end) % 2 == 0) != startGap;
        },
        [&](double position) {
          double end;
          locate(position, end);
          return end;
        },
        [&](std::vector<std::pair<double, double>>&& points) {
          Polygon dash;
          for (const auto& [x, y] : points) dash.x.push_back(x), dash.y.push_back(y);
          dashes.push_back(std::move(dash));
        });
  }
  return dashes;
}

// The common start: target pixels, brush and clip; false when the call ends here (result set).
bool Prepare(const char* name, SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* origin, Pixels& pixels,
             BrushSampler& brush, std::vector<RECTL>& clip, BOOL& result) {
  if (!pso || (ppo && !FindPath(ppo)) || !pbo) {
    SetLastError(ERROR_INVALID_PARAMETER);
    result = FALSE;
    return false;
  }
  if (!SurfacePixels(pso, pixels)) {
    result = pso->iType == STYPE_DEVICE;
    if (result) {
      RECTFX bounds{};
      PATHOBJ_vGetBounds(ppo, &bounds);
      const RECTL pixelsBounds{FXTOL(bounds.xLeft), FXTOL(bounds.yTop), FXTOL(bounds.xRight), FXTOL(bounds.yBottom)};
      LogEngineCall(std::string(name) + " device " + RectText(ppo ? &pixelsBounds : nullptr));
    } else {
      SetLastError(ERROR_INVALID_PARAMETER);
    }
    return false;
  }
  if (!brush.Init(pbo, origin, pixels.mask)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    result = FALSE;
    return false;
  }
  clip = velm::platform::ClipRectangles(pco, RECTL{0, 0, pixels.cx, pixels.cy});
  result = TRUE;
  return true;
}

RECTL Box(const Pixels& pixels) { return RECTL{0, 0, pixels.cx, pixels.cy}; }

}  // namespace

extern "C" BOOL EngFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, BRUSHOBJ* pbo, POINTL* pptlBrushOrg, MIX mix,
                            FLONG flOptions) {
  Pixels pixels;
  BrushSampler brush;
  std::vector<RECTL> clip;
  BOOL result;
  if (!ppo) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!Prepare("EngFillPath", pso, ppo, pco, pbo, pptlBrushOrg, pixels, brush, clip, result)) return result;
  const Painter painter(pixels, clip, brush, MixRop3(mix & 0xFF));
  FillPolygons(PathPolygons(*FindPath(ppo)), (flOptions & FP_WINDINGMODE) != 0, painter, Box(pixels));
  return TRUE;
}

extern "C" BOOL EngStrokePath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pbo,
                              POINTL* pptlBrushOrg, LINEATTRS* plineattrs, MIX mix) {
  Pixels pixels;
  BrushSampler brush;
  std::vector<RECTL> clip;
  BOOL result;
  if (!ppo || !plineattrs) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!Prepare("EngStrokePath", pso, ppo, pco, pbo, pptlBrushOrg, pixels, brush, clip, result)) return result;
  const Painter painter(pixels, clip, brush, MixRop3(mix & 0xFF));
  const std::vector<Polygon> figures = PathPolygons(*FindPath(ppo));
  const double width = PenWidth(*plineattrs, pxo);
  if (width > 1.5) {
    FillPolygons(WideOutline(WideDashes(figures, *plineattrs, pxo), width, *plineattrs), true, painter, Box(pixels));
  } else {
    StrokeCosmetic(figures, painter, Box(pixels), plineattrs);
  }
  return TRUE;
}

extern "C" BOOL EngStrokeAndFillPath(SURFOBJ* pso, PATHOBJ* ppo, CLIPOBJ* pco, XFORMOBJ* pxo, BRUSHOBJ* pboStroke,
                                     LINEATTRS* plineattrs, BRUSHOBJ* pboFill, POINTL* pptlBrushOrg, MIX mixFill,
                                     FLONG flOptions) {
  return EngFillPath(pso, ppo, pco, pboFill, pptlBrushOrg, mixFill, flOptions) &&
         EngStrokePath(pso, ppo, pco, pxo, pboStroke, pptlBrushOrg, plineattrs, mixFill);
}

extern "C" BOOL EngLineTo(SURFOBJ* pso, CLIPOBJ* pco, BRUSHOBJ* pbo, LONG x1, LONG y1, LONG x2, LONG y2,
                          RECTL* prclBounds, MIX mix) {
  Pixels pixels;
  BrushSampler brush;
  std::vector<RECTL> clip;
  BOOL result;
  if (!Prepare("EngLineTo", pso, nullptr, pco, pbo, nullptr, pixels, brush, clip, result)) return result;
  const Painter painter(pixels, clip, brush, MixRop3(mix & 0xFF));
  Style solid(nullptr);
  CosmeticLine(painter, Box(pixels), x1, y1, x2, y2, true, solid);
  return TRUE;
}
