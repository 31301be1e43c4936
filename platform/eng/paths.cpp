// Paths: building figures of lines and Béziers, the PATHDATA enumeration, bounds, and the
// flattening the drawing code fills and strokes.
#include <algorithm>
#include <cmath>
#include <new>

#include "core/winerror.h"
#include "eng/eng_internal.h"

namespace velm::platform::eng {
namespace {

constexpr size_t kMaxPoints = 10'000'000;

size_t PointCount(const Path& path) {
  size_t count = 0;
  for (const Figure& figure : path.figures) {
    for (const PathRun& run : figure.runs) count += run.points.size();
  }
  return count;
}

bool HasSegments(const Figure& figure) {
  return figure.runs.size() > 1 || (!figure.runs.empty() && figure.runs[0].points.size() > 1);
}

// Skips figures that are only a starting point.
void SkipEmptyFigures(Path& path) {
  while (path.figure < path.figures.size() && !HasSegments(path.figures[path.figure])) {
    ++path.figure;
    path.run = path.offset = 0;
  }
}

// Appends a Bézier from p0 through c1, c2 to p3 as line points (pixels), at most 2^depth.
void FlattenBezier(double x0, double y0, double x1, double y1, double x2, double y2, double x3, double y3, int depth,
                   Polygon& out) {
  const double dx = x3 - x0, dy = y3 - y0;
  const double d1 = std::fabs((x1 - x3) * dy - (y1 - y3) * dx);
  const double d2 = std::fabs((x2 - x3) * dy - (y2 - y3) * dx);
  const double length2 = dx * dx + dy * dy;
  const double tolerance = 0.1;
  const bool flat = length2 > 1e-12 ? (d1 + d2) * (d1 + d2) <= tolerance * tolerance * length2
                                    : std::hypot(x1 - x0, y1 - y0) + std::hypot(x2 - x0, y2 - y0) <= tolerance;
  if (flat || depth >= 12) {
    out.x.push_back(x3);
    out.y.push_back(y3);
    return;
  }
  const double x01 = (x0 + x1) / 2, y01 = (y0 + y1) / 2, x12 = (x1 + x2) / 2, y12 = (y1 + y2) / 2;
  const double x23 = (x2 + x3) / 2, y23 = (y2 + y3) / 2;
  const double xa = (x01 + x12) / 2, ya = (y01 + y12) / 2, xb = (x12 + x23) / 2, yb = (y12 + y23) / 2;
  const double xm = (xa + xb) / 2, ym = (ya + yb) / 2;
  FlattenBezier(x0, y0, x01, y01, xa, ya, xm, ym, depth + 1, out);
  FlattenBezier(xm, ym, xb, yb, x23, y23, x3, y3, depth + 1, out);
}

Figure* CurrentFigure(Path& path) {
  if (path.figures.empty()) return nullptr;
  Figure& figure = path.figures.back();
  if (figure.closed) {
    // After a close the figure's start is the current position: a new figure begins there.
    const POINTFIX start = figure.runs.front().points.front();
    path.figures.push_back(Figure{{PathRun{false, {start}}}, false});
    return &path.figures.back();
  }
  return &figure;
}

}  // namespace

Registry<Path>& Paths() {
  static Registry<Path> registry;
  return registry;
}
Path* FindPath(const PATHOBJ* ppo) { return ppo ? Paths().Find(ppo) : nullptr; }

Path* NewPath() {
  auto* path = new (std::nothrow) Path;
  if (!path) return nullptr;
  Paths().Add(path);
  return path;
}

void UpdatePathSummary(Path& path) {
  ULONG curves = 0;
  bool beziers = false, integers = true;
  for (const Figure& figure : path.figures) {
    if (!HasSegments(figure)) continue;
    ++curves;  // the starting point
    for (const PathRun& run : figure.runs) {
      for (const POINTFIX& p : run.points) integers = integers && (p.x & 15) == 0 && (p.y & 15) == 0;
      size_t points = run.points.size();
      if (&run == &figure.runs.front()) --points;
      curves += static_cast<ULONG>(run.bezier ? points / 3 : points);
      beziers = beziers || run.bezier;
    }
  }
  path.po.cCurves = curves;
  path.po.fl = (beziers ? PO_BEZIERS : 0) | (integers ? PO_ALL_INTEGERS : 0);
}

std::vector<Polygon> PathPolygons(const Path& path) {
  std::vector<Polygon> polygons;
  for (const Figure& figure : path.figures) {
    if (!HasSegments(figure)) continue;
    Polygon polygon;
    polygon.closed = figure.closed;
    const POINTFIX start = figure.runs.front().points.front();
    polygon.x.push_back(start.x / 16.0);
    polygon.y.push_back(start.y / 16.0);
    for (const PathRun& run : figure.runs) {
      const size_t first = &run == &figure.runs.front() ? 1 : 0;
      if (!run.bezier) {
        for (size_t i = first; i < run.points.size(); ++i) {
          polygon.x.push_back(run.points[i].x / 16.0);
          polygon.y.push_back(run.points[i].y / 16.0);
        }
        continue;
      }
      for (size_t i = first; i + 2 < run.points.size(); i += 3) {
        const double x0 = polygon.x.back(), y0 = polygon.y.back();
        FlattenBezier(x0, y0, run.points[i].x / 16.0, run.points[i].y / 16.0, run.points[i + 1].x / 16.0,
                      run.points[i + 1].y / 16.0, run.points[i + 2].x / 16.0, run.points[i + 2].y / 16.0, 0, polygon);
      }
    }
    polygons.push_back(std::move(polygon));
  }
  return polygons;
}

}  // namespace velm::platform::eng

namespace velm::platform {
using namespace eng;

void SetPathEnumLimit(PATHOBJ* ppo, ULONG maxPoints) {
  if (Path* path = FindPath(ppo)) path->limit = maxPoints;
}

PATHOBJ* FlattenPath(PATHOBJ* ppo) {
  Path* source = FindPath(ppo);
  if (!source) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  Path* path = NewPath();
  if (!path) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  for (const Polygon& polygon : PathPolygons(*source)) {
    Figure figure;
    figure.closed = polygon.closed;
    PathRun run;
    for (size_t i = 0; i < polygon.x.size(); ++i) {
      run.points.push_back(POINTFIX{static_cast<FIX>(std::lround(polygon.x[i] * 16)),
                                    static_cast<FIX>(std::lround(polygon.y[i] * 16))});
    }
    figure.runs.push_back(std::move(run));
    path->figures.push_back(std::move(figure));
  }
  path->limit = source->limit;
  UpdatePathSummary(*path);
  return &path->po;
}

}  // namespace velm::platform

using namespace velm::platform::eng;

extern "C" PATHOBJ* EngCreatePath(void) {
  Path* path = NewPath();
  if (!path) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return &path->po;
}

extern "C" void EngDeletePath(PATHOBJ* ppo) {
  Path* path = FindPath(ppo);
  if (path && Paths().Remove(path)) delete path;
}

extern "C" BOOL PATHOBJ_bMoveTo(PATHOBJ* ppo, POINTFIX ptfx) {
  Path* path = FindPath(ppo);
  if (!path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (PointCount(*path) >= kMaxPoints) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  if (!path->figures.empty() && !path->figures.back().closed && !HasSegments(path->figures.back())) {
    path->figures.back().runs[0].points[0] = ptfx;  // a move after a move only moves
  } else {
    path->figures.push_back(Figure{{PathRun{false, {ptfx}}}, false});
  }
  UpdatePathSummary(*path);
  return TRUE;
}

static BOOL AppendRun(PATHOBJ* ppo, const POINTFIX* points, ULONG count, bool bezier) {
  Path* path = FindPath(ppo);
  if (!path || (!points && count) || (bezier && count % 3 != 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Figure* figure = CurrentFigure(*path);
  if (!figure) {
    SetLastError(ERROR_INVALID_PARAMETER);  // no figure begun
    return FALSE;
  }
  if (PointCount(*path) + count > kMaxPoints) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  if (count == 0) return TRUE;
  PathRun& last = figure->runs.back();
  if (last.bezier == bezier) {
    last.points.insert(last.points.end(), points, points + count);
  } else if (!HasSegments(*figure)) {
    last.bezier = bezier;  // the figure so far is its starting point
    last.points.insert(last.points.end(), points, points + count);
  } else {
    figure->runs.push_back(PathRun{bezier, std::vector<POINTFIX>(points, points + count)});
  }
  UpdatePathSummary(*path);
  return TRUE;
}

extern "C" BOOL PATHOBJ_bPolyLineTo(PATHOBJ* ppo, POINTFIX* pptfx, ULONG cptfx) {
  return AppendRun(ppo, pptfx, cptfx, false);
}

extern "C" BOOL PATHOBJ_bPolyBezierTo(PATHOBJ* ppo, POINTFIX* pptfx, ULONG cptfx) {
  return AppendRun(ppo, pptfx, cptfx, true);
}

extern "C" BOOL PATHOBJ_bCloseFigure(PATHOBJ* ppo) {
  Path* path = FindPath(ppo);
  if (!path || path->figures.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  path->figures.back().closed = true;
  return TRUE;
}

extern "C" void PATHOBJ_vEnumStart(PATHOBJ* ppo) {
  if (Path* path = FindPath(ppo)) path->figure = path->run = path->offset = 0;
}

extern "C" BOOL PATHOBJ_bEnum(PATHOBJ* ppo, PATHDATA* ppd) {
  Path* path = FindPath(ppo);
  if (!path || !ppd) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  SkipEmptyFigures(*path);
  if (path->figure >= path->figures.size()) {
    *ppd = PATHDATA{0, 0, nullptr};
    return FALSE;
  }
  Figure& figure = path->figures[path->figure];
  PathRun& run = figure.runs[path->run];
  const bool first = path->run == 0 && path->offset == 0;
  const size_t remaining = run.points.size() - path->offset;
  size_t take = remaining;
  if (path->limit != 0) {
    if (run.bezier) {
      const size_t lead = first ? 1 : 0;
      const size_t triples = std::max<size_t>(1, path->limit > lead ? (path->limit - lead) / 3 : 0);
      take = std::min(remaining, lead + 3 * triples);
    } else {
      take = std::min<size_t>(remaining, path->limit);
    }
  }
  ppd->flags = (first ? PD_BEGINSUBPATH | PD_RESETSTYLE : 0) | (run.bezier ? PD_BEZIERS : 0);
  ppd->count = static_cast<ULONG>(take);
  ppd->pptfx = run.points.data() + path->offset;
  path->offset += take;
  if (path->offset == run.points.size()) {
    path->offset = 0;
    if (++path->run == figure.runs.size()) {
      ppd->flags |= PD_ENDSUBPATH | (figure.closed ? PD_CLOSEFIGURE : 0);
      path->run = 0;
      ++path->figure;
    }
  }
  SkipEmptyFigures(*path);
  return path->figure < path->figures.size() ? TRUE : FALSE;
}

extern "C" void PATHOBJ_vGetBounds(PATHOBJ* ppo, RECTFX* prectfx) {
  if (!prectfx) return;
  *prectfx = RECTFX{0, 0, 0, 0};
  Path* path = FindPath(ppo);
  if (!path) return;
  bool any = false;
  for (const Figure& figure : path->figures) {
    if (!HasSegments(figure)) continue;
    for (const PathRun& run : figure.runs) {
      for (const POINTFIX& p : run.points) {
        if (!any) {
          *prectfx = RECTFX{p.x, p.y, p.x, p.y};
          any = true;
        }
        prectfx->xLeft = std::min(prectfx->xLeft, p.x);
        prectfx->yTop = std::min(prectfx->yTop, p.y);
        prectfx->xRight = std::max(prectfx->xRight, p.x);
        prectfx->yBottom = std::max(prectfx->yBottom, p.y);
      }
    }
  }
}
