// The engine's line geometry: Bézier flattening, segment clipping and one-pixel line stepping.
// The engine draws paths with these, and the job renderer draws path records with the same,
// so that a page the engine drew and the same page drawn from its records agree.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

namespace velm::platform::eng {

// Calls point(x, y) for each line point of the Bézier p0, c1, c2, p3 after p0 (at most 2^12).
template <class Point>
void FlattenBezier(double x0, double y0, double x1, double y1, double x2, double y2, double x3, double y3,
                   Point&& point, int depth = 0) {
  const double dx = x3 - x0, dy = y3 - y0;
  const double d1 = std::fabs((x1 - x3) * dy - (y1 - y3) * dx);
  const double d2 = std::fabs((x2 - x3) * dy - (y2 - y3) * dx);
  const double length2 = dx * dx + dy * dy;
  constexpr double kTolerance = 0.1;
  const bool flat = length2 > 1e-12 ? (d1 + d2) * (d1 + d2) <= kTolerance * kTolerance * length2
                                    : std::hypot(x1 - x0, y1 - y0) + std::hypot(x2 - x0, y2 - y0) <= kTolerance;
  if (flat || depth >= 12) {
    point(x3, y3);
    return;
  }
  const double x01 = (x0 + x1) / 2, y01 = (y0 + y1) / 2, x12 = (x1 + x2) / 2, y12 = (y1 + y2) / 2;
  const double x23 = (x2 + x3) / 2, y23 = (y2 + y3) / 2;
  const double xa = (x01 + x12) / 2, ya = (y01 + y12) / 2, xb = (x12 + x23) / 2, yb = (y12 + y23) / 2;
  const double xm = (xa + xb) / 2, ym = (ya + yb) / 2;
  FlattenBezier(x0, y0, x01, y01, xa, ya, xm, ym, point, depth + 1);
  FlattenBezier(xm, ym, xb, yb, x23, y23, x3, y3, point, depth + 1);
}

// Cuts the segment to the box [left, right] x [top, bottom]; false when nothing of it is inside.
inline bool ClipSegment(double& x0, double& y0, double& x1, double& y1, double left, double top, double right,
                        double bottom) {
  double t0 = 0, t1 = 1;
  const double dx = x1 - x0, dy = y1 - y0;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {x0 - left, right - x0, y0 - top, bottom - y0};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0) t0 = std::max(t0, t);
    else t1 = std::min(t1, t);
  }
  if (t0 > t1) return false;
  const double ax = x0 + t0 * dx, ay = y0 + t0 * dy, bx = x0 + t1 * dx, by = y0 + t1 * dy;
  x0 = ax, y0 = ay, x1 = bx, y1 = by;
  return true;
}

// Steps a one-pixel line between the pixel centres nearest its ends, calling pixel(x, y) for each
// pixel in order; the last one is left out when skipLast.
template <class Pixel>
void StepLine(double fx0, double fy0, double fx1, double fy1, bool skipLast, Pixel&& pixel) {
  int32_t x0 = static_cast<int32_t>(std::floor(fx0 + 0.5)), y0 = static_cast<int32_t>(std::floor(fy0 + 0.5));
  const int32_t x1 = static_cast<int32_t>(std::floor(fx1 + 0.5)), y1 = static_cast<int32_t>(std::floor(fy1 + 0.5));
  const int32_t dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
  const int32_t sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  int32_t error = dx + dy;
  for (;;) {
    const bool last = x0 == x1 && y0 == y1;
    if (last && skipLast) return;
    pixel(x0, y0);
    if (last) return;
    const int32_t e2 = 2 * error;
    if (e2 >= dy) {
      error += dy;
      x0 += sx;
    }
    if (e2 <= dx) {
      error += dx;
      y0 += sy;
    }
  }
}

// Cuts the polyline of n points (closed: back to the first) into its dashes. onAt(position)
// tells whether the pattern draws at a distance along the line from its start, where position
// begins at `start`; boundaryAfter(position) is the next distance at which that may change.
// emit(points) gets each dash of at least two points. At most 2^22 pattern steps are taken.
template <class PointAt, class OnAt, class Boundary, class Emit>
void SplitDashes(size_t n, bool closed, PointAt pointAt, double start, OnAt onAt, Boundary boundaryAfter,
                 Emit emit) {
  if (n == 0) return;
  using Point = std::pair<double, double>;
  const size_t last = closed ? n : n - 1;
  double position = start;
  bool on = onAt(position);
  std::vector<Point> current;
  if (on) current.push_back(pointAt(0));
  long steps = 0;
  for (size_t i = 0; i < last; ++i) {
    const Point a = pointAt(i), b = pointAt((i + 1) % n);
    const double length = std::hypot(b.first - a.first, b.second - a.second);
    double done = 0;
    while (done < length && ++steps < (1L << 22)) {
      const double boundary = boundaryAfter(position);
      const double step = std::min(std::max(boundary - position, 1e-9), length - done);
      done += step;
      position += step;
      if (boundary - position < 1e-9) position = boundary;
      const Point at{a.first + (b.first - a.first) * done / length, a.second + (b.second - a.second) * done / length};
      const bool next = onAt(position);
      if (on) current.push_back(at);
      if (on && !next) {
        if (current.size() > 1) emit(std::move(current));
        current.clear();
      } else if (!on && next) {
        current.assign(1, at);
      }
      on = next;
    }
  }
  if (on && current.size() > 1) emit(std::move(current));
}

}  // namespace velm::platform::eng
