#include "render_canvas.h"

#include <algorithm>
#include <cmath>

#include "eng/line_geometry.h"

namespace velm::jobrender {
namespace {

constexpr double kPi = 3.14159265358979323846;

uint32_t Read(const Canvas& canvas, int32_t x, int32_t y) {
  const uint8_t* p = canvas.rgb.data() + (static_cast<size_t>(y) * canvas.width + x) * 3;
  return (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
}

void Write(Canvas& canvas, int32_t x, int32_t y, uint32_t rgb) {
  uint8_t* p = canvas.rgb.data() + (static_cast<size_t>(y) * canvas.width + x) * 3;
  p[0] = static_cast<uint8_t>(rgb >> 16);
  p[1] = static_cast<uint8_t>(rgb >> 8);
  p[2] = static_cast<uint8_t>(rgb);
}

int32_t ClampToInt(double value, int32_t low, int32_t high) {
  if (!(value > low)) return low;  // also NaN
  if (value > high) return high;
  return static_cast<int32_t>(value);
}

}  // namespace

uint32_t Canvas::At(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return 0;
  return Read(*this, x, y);
}

const Spans* Region::Row(int32_t y) const {
  if (y < top || y - static_cast<int64_t>(top) >= static_cast<int64_t>(rows.size())) return nullptr;
  return &rows[static_cast<size_t>(y - top)];
}

bool Brush::At(int32_t x, int32_t y, uint32_t* rgb) const {
  if (size <= 0) {
    *rgb = colour1;
    return true;
  }
  const int32_t tx = ((x % size) + size) % size, ty = ((y % size) + size) % size;
  if (rgbTile) {
    const uint8_t* p = tile.data() + (static_cast<size_t>(ty) * size + tx) * 3;  // blue, green, red
    *rgb = (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
    return true;
  }
  const bool one = (tile[static_cast<size_t>(ty) * (size / 8) + tx / 8] >> (7 - tx % 8)) & 1;
  if (!one && transparent) return false;
  *rgb = one ? colour1 : colour2;
  return true;
}

uint32_t Rop3(uint8_t rop, uint32_t p, uint32_t s, uint32_t d) {
  switch (rop) {
    case 0xCC: return s;
    case 0xF0: return p;
    case 0xAA: return d;
    case 0x00: return 0;
    case 0xFF: return 0xFFFFFF;
    case 0x66: return s ^ d;
    case 0x88: return s & d;
    case 0xEE: return s | d;
    default: break;
  }
  uint32_t result = 0;
  for (int i = 0; i < 8; ++i) {
    if ((rop >> i) & 1) result |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
  }
  return result & 0xFFFFFF;
}

template <class SourceAt>
void Painter::Paint(int32_t y, int32_t x0, int32_t x1, SourceAt source) const {
  if (y < 0 || y >= canvas_.height || rop_ == 0xAA) return;
  const auto run = [&](int32_t from, int32_t to) {
    from = std::max(from, 0);
    to = std::min(to, canvas_.width);
    for (int32_t x = from; x < to; ++x) {
      uint32_t p = 0, s = 0;
      if (!source(x, &p, &s)) continue;
      Write(canvas_, x, y, Rop3(rop_, p, s, Read(canvas_, x, y)));
    }
  };
  switch (clip_.kind) {
    case Clip::Kind::kNone: run(x0, x1); break;
    case Clip::Kind::kRect:
      if (y >= clip_.top && y < clip_.bottom) run(std::max(x0, clip_.left), std::min(x1, clip_.right));
      break;
    case Clip::Kind::kRegion:
      if (const Spans* spans = clip_.region.Row(y)) {
        for (const auto& [from, to] : *spans) run(std::max(x0, from), std::min(x1, to));
      }
      break;
  }
}

void Painter::Span(int32_t y, int32_t x0, int32_t x1) const {
  Paint(y, x0, x1, [&](int32_t x, uint32_t* p, uint32_t* s) {
    if (!brush_.At(x, y, p)) return false;
    *s = *p;
    return true;
  });
}

void Painter::Fill(const Region& region) const {
  for (size_t i = 0; i < region.rows.size(); ++i) {
    for (const auto& [from, to] : region.rows[i]) Span(region.top + static_cast<int32_t>(i), from, to);
  }
}

void Painter::SourceRow(int32_t y, int32_t x0, const uint32_t* source, int32_t count) const {
  const int64_t end = std::min<int64_t>(int64_t{x0} + count, canvas_.width);
  Paint(y, x0, static_cast<int32_t>(end), [&](int32_t x, uint32_t* p, uint32_t* s) {
    if (!brush_.At(x, y, p)) *p = brush_.colour2;
    *s = source[x - x0];
    return true;
  });
}

Region FillRegion(const std::vector<Figure>& figures, bool winding, int32_t width, int32_t height) {
  struct Edge {
    double top, bottom, x, slope;
    int direction;
  };
  std::vector<Edge> edges;
  for (const Figure& figure : figures) {
    const size_t n = figure.points.size();
    for (size_t i = 0; i < n && n > 1; ++i) {
      Point a = figure.points[i], b = figure.points[(i + 1) % n];
      if (a.y == b.y || !std::isfinite(a.x + a.y + b.x + b.y)) continue;
      const int direction = b.y > a.y ? 1 : -1;
      if (a.y > b.y) std::swap(a, b);
      edges.push_back(Edge{a.y, b.y, a.x, (b.x - a.x) / (b.y - a.y), direction});
    }
  }
  Region region;
  if (edges.empty()) return region;
  std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.top < b.top; });
  double maxY = edges.front().bottom;
  for (const Edge& e : edges) maxY = std::max(maxY, e.bottom);
  const int32_t first = ClampToInt(std::ceil(edges.front().top - 0.5), 0, height);
  const int32_t last = ClampToInt(std::ceil(maxY - 0.5), 0, height);
  if (first >= last) return region;
  region.top = first;
  region.rows.resize(static_cast<size_t>(last - first));
  std::vector<const Edge*> active;
  std::vector<std::pair<double, int>> crossings;
  size_t next = 0;
  for (int32_t y = first; y < last; ++y) {
    const double yc = y + 0.5;
    while (next < edges.size() && edges[next].top <= yc) active.push_back(&edges[next++]);
    active.erase(std::remove_if(active.begin(), active.end(), [&](const Edge* e) { return e->bottom <= yc; }),
                 active.end());
    crossings.clear();
    for (const Edge* e : active) crossings.emplace_back(e->x + (yc - e->top) * e->slope, e->direction);
    std::sort(crossings.begin(), crossings.end());
    Spans& spans = region.rows[static_cast<size_t>(y - first)];
    int count = 0;
    for (size_t i = 0; i + 1 < crossings.size(); ++i) {
      count = winding ? count + crossings[i].second : count ^ 1;
      if (count == 0) continue;
      const int32_t x0 = ClampToInt(std::ceil(crossings[i].first - 0.5), 0, width);
      const int32_t x1 = ClampToInt(std::ceil(crossings[i + 1].first - 0.5), 0, width);
      if (x0 >= x1) continue;
      if (!spans.empty() && spans.back().second >= x0) {
        spans.back().second = std::max(spans.back().second, x1);
      } else {
        spans.emplace_back(x0, x1);
      }
    }
  }
  return region;
}

namespace {

// The dash pattern of a one-pixel pen, pixel by pixel: 32 steps of `unit` pixels from bit 31 down, starting at `offset`.
class Dashes {
 public:
  explicit Dashes(const Pen& pen) : pen_(pen) { Reset(); }
  void Reset() { position_ = static_cast<int64_t>(pen_.offset & 31) * Unit(); }
  int64_t Unit() const { return std::max(pen_.unit, 1); }
  bool OnAt(int64_t position) const {
    const int64_t step = (position / Unit()) % 32;
    return (pen_.mask >> (31 - step)) & 1;
  }
  // Whether the next pixel is drawn; advances one pixel.
  bool Next() { return OnAt(position_++); }

 private:
  const Pen& pen_;
  int64_t position_ = 0;
};

// A one-pixel line between pixel centres, without its last pixel unless the page cut it.
void CosmeticLine(const Painter& painter, Point a, Point b, int32_t width, int32_t height, Dashes& dashes) {
  const Point end = b;
  if (!platform::eng::ClipSegment(a.x, a.y, b.x, b.y, -2, -2, width + 2.0, height + 2.0)) return;
  const bool skipLast = b.x == end.x && b.y == end.y;
  platform::eng::StepLine(a.x, a.y, b.x, b.y, skipLast, [&](int32_t x, int32_t y) {
    if (dashes.Next()) painter.Pixel(x, y);
  });
}

Figure Circle(Point centre, double radius) {
  Figure circle{{}, true};
  for (int i = 0; i < 16; ++i) {
    const double angle = i * kPi / 8;
    circle.points.push_back({centre.x + radius * std::cos(angle), centre.y + radius * std::sin(angle)});
  }
  return circle;
}

// Counter-clockwise on the page, so that the winding rule unites every piece.
void Orient(Figure& figure) {
  double area = 0;
  const size_t n = figure.points.size();
  for (size_t i = 0; i < n; ++i) {
    const Point& a = figure.points[i];
    const Point& b = figure.points[(i + 1) % n];
    area += a.x * b.y - b.x * a.y;
  }
  if (area < 0) std::reverse(figure.points.begin(), figure.points.end());
}

// The outline of a wide pen along one figure: bands, joins and ends.
void WideOutline(const Figure& figure, const Pen& pen, std::vector<Figure>& pieces) {
  const double h = pen.width / 2.0;
  const auto add = [&](Figure piece) {
    Orient(piece);
    pieces.push_back(std::move(piece));
  };
  std::vector<Point> p;
  for (const Point& point : figure.points) {
    if (!p.empty() && p.back().x == point.x && p.back().y == point.y) continue;
    p.push_back(point);
  }
  if (figure.closed && p.size() > 1 && p.front().x == p.back().x && p.front().y == p.back().y) p.pop_back();
  const size_t n = p.size();
  if (n < 2) {
    if (n == 1 && !figure.closed && pen.cap == 0) add(Circle(p[0], h));
    if (n == 1 && !figure.closed && pen.cap == 2) {
      add(Figure{{{p[0].x - h, p[0].y - h}, {p[0].x + h, p[0].y - h}, {p[0].x + h, p[0].y + h}, {p[0].x - h, p[0].y + h}},
                 true});
    }
    return;
  }
  const size_t segments = figure.closed ? n : n - 1;
  std::vector<Point> normal(segments), direction(segments);
  for (size_t i = 0; i < segments; ++i) {
    const Point a = p[i], b = p[(i + 1) % n];
    const double dx = b.x - a.x, dy = b.y - a.y, length = std::hypot(dx, dy);
    direction[i] = {dx / length, dy / length};
    normal[i] = {-dy / length * h, dx / length * h};
    Point from = a, to = b;
    if (!figure.closed && pen.cap == 2) {
      if (i == 0) from = {a.x - direction[i].x * h, a.y - direction[i].y * h};
      if (i + 1 == segments) to = {b.x + direction[i].x * h, b.y + direction[i].y * h};
    }
    const Point& nv = normal[i];
    add(Figure{{{from.x + nv.x, from.y + nv.y}, {to.x + nv.x, to.y + nv.y}, {to.x - nv.x, to.y - nv.y},
                {from.x - nv.x, from.y - nv.y}},
               true});
  }
  for (size_t v = figure.closed ? 0 : 1; v < (figure.closed ? n : n - 1); ++v) {
    const size_t before = (v + segments - 1) % segments, after = v % segments;
    if (pen.join == 0) {
      add(Circle(p[v], h));
      continue;
    }
    for (const double side : {1.0, -1.0}) {
      const Point a{p[v].x + side * normal[before].x, p[v].y + side * normal[before].y};
      const Point b{p[v].x + side * normal[after].x, p[v].y + side * normal[after].y};
      add(Figure{{p[v], a, b}, true});
      if (pen.join != 2) continue;
      // The miter point: where the two outer edges meet, when within the limit.
      const Point& d0 = direction[before];
      const Point& d1 = direction[after];
      const double cross = d0.x * d1.y - d0.y * d1.x;
      if (std::fabs(cross) < 1e-9) continue;
      const double t = ((b.x - a.x) * d1.y - (b.y - a.y) * d1.x) / cross;
      if (t <= 0) continue;  // the inner side
      const Point m{a.x + t * d0.x, a.y + t * d0.y};
      if (2 * std::hypot(m.x - p[v].x, m.y - p[v].y) > pen.miterLimit * pen.width) continue;
      add(Figure{{a, m, b}, true});
    }
  }
  if (!figure.closed && pen.cap == 0) {
    add(Circle(p[0], h));
    add(Circle(p[n - 1], h));
  }
}

// The drawn pieces of a figure under the dash pattern, as open figures.

std::vector<Figure> DashPieces(const Figure& figure, const Pen& pen) {
  const double unit = std::max(pen.unit, 1);
  std::vector<Figure> pieces;
  platform::eng::SplitDashes(
      figure.points.size(), figure.closed,
      [&](size_t i) { return std::make_pair(figure.points[i].x, figure.points[i].y); }, (pen.offset & 31) * unit,
      [&](double position) {
        const int64_t step = static_cast<int64_t>(std::floor(position / unit)) % 32;
        return ((pen.mask >> (31 - step)) & 1) != 0;
      },
      [&](double position) { return (std::floor(position / unit) + 1) * unit; },
      [&](std::vector<std::pair<double, double>>&& points) {
        Figure piece{{}, false};
        for (const auto& [x, y] : points) piece.points.push_back({x, y});
        pieces.push_back(std::move(piece));
      });
  return pieces;
}

}  // namespace

void Stroke(const std::vector<Figure>& figures, const Pen& pen, const Painter& painter, int32_t width, int32_t height) {
  if (pen.width <= 1) {
    Dashes dashes(pen);
    for (const Figure& figure : figures) {
      dashes.Reset();
      const size_t n = figure.points.size();
      if (n < 2) continue;
      const size_t segments = figure.closed ? n : n - 1;
      for (size_t i = 0; i < segments; ++i) {
        CosmeticLine(painter, figure.points[i], figure.points[(i + 1) % n], width, height, dashes);
      }
    }
    return;
  }
  std::vector<Figure> outline;
  for (const Figure& figure : figures) {
    if (pen.mask == 0xFFFFFFFF) {
      WideOutline(figure, pen, outline);
      continue;
    }
    for (const Figure& piece : DashPieces(figure, pen)) WideOutline(piece, pen, outline);
  }
  painter.Fill(FillRegion(outline, true, width, height));
}

Canvas Reduce(const Canvas& page, uint32_t dpi) {
  if (dpi == 0 || page.xres == 0 || page.yres == 0 || (dpi >= page.xres && dpi >= page.yres)) return page;
  const double fx = std::min(1.0, static_cast<double>(dpi) / page.xres);
  const double fy = std::min(1.0, static_cast<double>(dpi) / page.yres);
  Canvas out;
  out.width = std::max<int32_t>(1, static_cast<int32_t>(std::lround(page.width * fx)));
  out.height = std::max<int32_t>(1, static_cast<int32_t>(std::lround(page.height * fy)));
  out.xres = static_cast<uint16_t>(std::lround(page.xres * fx));
  out.yres = static_cast<uint16_t>(std::lround(page.yres * fy));
  out.rgb.assign(static_cast<size_t>(out.width) * out.height * 3, 0xFF);
  // Each picture pixel covers [i * sx, (i + 1) * sx) page pixels; partly covered ones count by
  // the part they cover.
  struct Cover {
    int32_t from;
    std::vector<double> weights;
  };
  const auto covers = [](int32_t outSize, int32_t inSize) {
    std::vector<Cover> result(static_cast<size_t>(outSize));
    const double scale = static_cast<double>(inSize) / outSize;
    for (int32_t i = 0; i < outSize; ++i) {
      const double a = i * scale, b = (i + 1) * scale;
      Cover& cover = result[static_cast<size_t>(i)];
      cover.from = static_cast<int32_t>(std::floor(a));
      for (int32_t k = cover.from; k < inSize && k < b; ++k) {
        cover.weights.push_back((std::min<double>(k + 1, b) - std::max<double>(k, a)) / scale);
      }
    }
    return result;
  };
  const std::vector<Cover> columns = covers(out.width, page.width), rows = covers(out.height, page.height);
  std::vector<double> line(static_cast<size_t>(out.width) * 3);
  for (int32_t oy = 0; oy < out.height; ++oy) {
    std::fill(line.begin(), line.end(), 0.0);
    const Cover& rowCover = rows[static_cast<size_t>(oy)];
    for (size_t k = 0; k < rowCover.weights.size(); ++k) {
      const uint8_t* src = page.rgb.data() + static_cast<size_t>(rowCover.from + static_cast<int32_t>(k)) * page.width * 3;
      const double wy = rowCover.weights[k];
      for (int32_t ox = 0; ox < out.width; ++ox) {
        const Cover& columnCover = columns[static_cast<size_t>(ox)];
        double sum[3] = {0, 0, 0};
        for (size_t j = 0; j < columnCover.weights.size(); ++j) {
          const uint8_t* px = src + static_cast<size_t>(columnCover.from + static_cast<int32_t>(j)) * 3;
          for (int c = 0; c < 3; ++c) sum[c] += px[c] * columnCover.weights[j];
        }
        for (int c = 0; c < 3; ++c) line[static_cast<size_t>(ox) * 3 + c] += sum[c] * wy;
      }
    }
    uint8_t* dst = out.rgb.data() + static_cast<size_t>(oy) * out.width * 3;
    for (size_t i = 0; i < line.size(); ++i) dst[i] = static_cast<uint8_t>(std::clamp(std::lround(line[i]), 0L, 255L));
  }
  return out;
}

}  // namespace velm::jobrender
