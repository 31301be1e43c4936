// The job renderer's drawing: an RGB page, the clip, the brush, the ternary raster operation of
// destination, source and pattern, polygon filling and pen strokes. The meanings follow the
// graphics engine's for the same operations: ROP3 bit (P << 2 | S << 1 | D), pixel centres
// sampled for fills, one-pixel lines between pixel centres without their last pixel, wide pens
// as the union of their bands, joins and ends.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace velm::jobrender {

// A page's pixels: RGB rows, top row first.
struct Canvas {
  int32_t width = 0, height = 0;
  uint16_t xres = 0, yres = 0;
  std::vector<uint8_t> rgb;

  // The colour at (x, y) as 0xRRGGBB; 0 outside.
  uint32_t At(int32_t x, int32_t y) const;
};

// Pixels of each row as [from, to) spans, left to right.
using Spans = std::vector<std::pair<int32_t, int32_t>>;
struct Region {
  int32_t top = 0;
  std::vector<Spans> rows;  // rows[y - top]
  const Spans* Row(int32_t y) const;
};

struct Point {
  double x, y;
};
struct Figure {
  std::vector<Point> points;
  bool closed = false;
};

// Where painting may happen: the whole page, one rectangle, or a region.
struct Clip {
  enum class Kind { kNone, kRect, kRegion };
  Kind kind = Kind::kNone;
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  Region region;
};

// The current brush: a colour, or a tile repeated from the page's origin. A 1-bit tile paints
// its 1 bits with colour1 and its 0 bits with colour2, or leaves them when transparent.
struct Brush {
  uint32_t colour1 = 0, colour2 = 0xFFFFFF;
  int32_t size = 0;  // tile side; 0 for a plain colour
  bool rgbTile = false;
  bool transparent = false;
  std::vector<uint8_t> tile;
  // The brush's colour at (x, y); false where a transparent tile leaves the page.
  bool At(int32_t x, int32_t y, uint32_t* rgb) const;
};

// ROP3 on 0xRRGGBB values.
uint32_t Rop3(uint8_t rop, uint32_t p, uint32_t s, uint32_t d);

// Paints with one brush and ROP inside the clip; the source is the brush itself unless a row of
// source pixels is given.
class Painter {
 public:
  Painter(Canvas& canvas, const Clip& clip, const Brush& brush, uint8_t rop)
      : canvas_(canvas), clip_(clip), brush_(brush), rop_(rop) {}
  void Span(int32_t y, int32_t x0, int32_t x1) const;
  void Pixel(int32_t x, int32_t y) const { Span(y, x, x + 1); }
  void Fill(const Region& region) const;
  // Pixels x0 .. x0 + count - 1 of row y take source[i] (0xRRGGBB) as the source.
  void SourceRow(int32_t y, int32_t x0, const uint32_t* source, int32_t count) const;

 private:
  template <class SourceAt>
  void Paint(int32_t y, int32_t x0, int32_t x1, SourceAt source) const;
  Canvas& canvas_;
  const Clip& clip_;
  const Brush& brush_;
  uint8_t rop_;
};

// The pixels whose centres lie inside the figures (all closed), by the winding or alternate rule.
Region FillRegion(const std::vector<Figure>& figures, bool winding, int32_t width, int32_t height);

// The pen of the line records.
struct Pen {
  int32_t width = 1;
  uint32_t mask = 0xFFFFFFFF;  // 32 style steps, the first in bit 31; 1 bits draw
  int32_t unit = 1;            // pixels per style step
  int32_t offset = 0;          // first style step, 0..31
  int32_t cap = 0;             // 0 round, 1 butt, 2 square
  int32_t join = 0;            // 0 round, 1 bevel, 2 miter
  double miterLimit = 10;
};

void Stroke(const std::vector<Figure>& figures, const Pen& pen, const Painter& painter, int32_t width, int32_t height);

// Averages page pixels over the area each picture pixel covers, for a picture at `dpi`; the
// page itself when dpi is not below its resolution.
Canvas Reduce(const Canvas& page, uint32_t dpi);

}  // namespace velm::jobrender
