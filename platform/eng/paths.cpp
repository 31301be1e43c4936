// Paths: building figures of lines and Béziers, the PATHDATA enumeration, bounds, and the
// flattening the drawing code fills and strokes.
#include <algorithm>
#include <cmath>
#include <new>

#include "core/winerror.h"
#include "eng/eng_internal.h"
#include "eng/line_geometry.h"

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
                      run.points[i + 1].y / 16.0, run.points[i + 2].x / 16.0, run.points[i + 2].y / 16.0,
                      [&](double x, double y) {
                        polygon.x.push_back(x);
                        polygon.y.push_back(y);
                      });
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
