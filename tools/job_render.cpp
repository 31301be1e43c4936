#include "job_render.h"

#include <iconv.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "eng/engine_font.h"
#include "eng/line_geometry.h"
#include "ui/png_writer.h"

namespace velm::jobrender {
namespace {

using jobdump::Record;

constexpr char16_t kMissingGlyph = u'?';
constexpr int32_t kMaxGlyphSide = 4096;

// A downloaded glyph as the printer keeps it.
struct Glyph {
  int32_t width = 0, height = 0;
  std::vector<uint8_t> bits;  // rows of (width + 7) / 8 bytes, bit 7 leftmost
};

// What a page's records set.
struct DrawingState {
  uint8_t rop = 0xCC;
  uint8_t colourAttribute = 2;
  uint32_t colour1 = 0, colour2 = 0xFFFFFF, colour3 = 0;
  bool pattern = false, rgbTile = false;
  int32_t tileSize = 0;
  std::vector<uint8_t> tile;
  Pen pen;
  Clip clip;
};

// The resident font selected by 0x50.
struct ResidentFont {
  int32_t height = platform::eng::kEngineFontCell;  // the cell in pixels
  int32_t rotation = 0;
  bool vertical = false;  // the select's direction bit: runs step down the column
};
constexpr uint32_t kStyleVertical = 0x0040;

// The characters of the resident fonts' codes, code page 932: a code below 0x100 is one byte,
// any other its lead byte and trail byte; kMissingGlyph where the code page has none.
std::vector<char16_t> DeviceCharacters() {
  std::vector<char16_t> characters(0x10000, kMissingGlyph);
  const iconv_t convert = iconv_open("UTF-16LE", "CP932");
  if (convert == reinterpret_cast<iconv_t>(-1)) return characters;
  for (uint32_t code = 0; code <= 0xFFFF; ++code) {
    char bytes[2] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
    char* in = code < 0x100 ? bytes + 1 : bytes;
    size_t inLeft = code < 0x100 ? 1 : 2;
    char out[8];
    char* outAt = out;
    size_t outLeft = sizeof out;
    iconv(convert, nullptr, nullptr, nullptr, nullptr);
    if (iconv(convert, &in, &inLeft, &outAt, &outLeft) != static_cast<size_t>(-1) && inLeft == 0 &&
        outAt - out == 2) {
      characters[code] = static_cast<char16_t>(static_cast<uint8_t>(out[0]) | static_cast<uint8_t>(out[1]) << 8);
    }
  }
  iconv_close(convert);
  return characters;
}

char16_t DeviceCharacter(uint16_t code) {
  static const std::vector<char16_t> characters = DeviceCharacters();
  return characters[code];
}

uint32_t U32(const Record& r, const char* field) { return static_cast<uint32_t>(r.Get(field)); }
int32_t Int(const Record& r, const char* field) { return static_cast<int32_t>(r.Get(field)); }

// The sub-paths of a path record or glyph outline as figures in pixels, moved by (dx, dy).
std::vector<Figure> Figures(const Record& r, bool closed, double dx, double dy) {
  std::vector<Figure> figures;
  for (const jobdump::SubPath& sub : r.subpaths) {
    Figure figure{{{sub.x / 16.0 + dx, sub.y / 16.0 + dy}}, closed};
    for (const jobdump::PathEntry& entry : sub.entries) {
      if (!entry.curve) {
        figure.points.push_back({entry.points[0] / 16.0 + dx, entry.points[1] / 16.0 + dy});
        continue;
      }
      const Point start = figure.points.back();
      platform::eng::FlattenBezier(start.x, start.y, entry.points[0] / 16.0 + dx, entry.points[1] / 16.0 + dy,
                                   entry.points[2] / 16.0 + dx, entry.points[3] / 16.0 + dy,
                                   entry.points[4] / 16.0 + dx, entry.points[5] / 16.0 + dy,
                                   [&](double x, double y) { figure.points.push_back({x, y}); });
    }
    figures.push_back(std::move(figure));
  }
  return figures;
}

class PageDrawer {
 public:
  PageDrawer(std::map<std::string, std::map<uint16_t, Glyph>>& downloads, std::string& downloadFont,
             ResidentFont& resident, std::vector<std::string>& problems)
      : downloads_(downloads), downloadFont_(downloadFont), resident_(resident), problems_(problems) {}

  // Starts a page; false (with the problem noted) when it cannot be drawn.
  bool Start(const Record& r, size_t page) {
    page_ = page;
    index_ = 1;
    const int64_t width = r.Get("width"), height = r.Get("height");
    if (width <= 0 || height <= 0 || static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > kMaxPagePixels) {
      Problem(r, "a page of " + std::to_string(width) + " x " + std::to_string(height) + " pixels is not drawn");
      return false;
    }
    canvas_.width = static_cast<int32_t>(width);
    canvas_.height = static_cast<int32_t>(height);
    canvas_.xres = static_cast<uint16_t>(r.Get("xres"));
    canvas_.yres = static_cast<uint16_t>(r.Get("yres"));
    canvas_.rgb.assign(static_cast<size_t>(width) * height * 3, 0xFF);
    state_ = DrawingState{};
    return true;
  }

  void Draw(const Record& r) {
    ++index_;
    switch (r.opcode) {
      case 0x10: return Rectangle(r);
      case 0x11: case 0x12: return Path(r);
      case 0x20: return Image(r);
      case 0x30: return Colour(r);
      case 0x31: state_.rop = static_cast<uint8_t>(r.Get("rop")); return;
      case 0x32: state_.colourAttribute = static_cast<uint8_t>(r.Get("value")); return;
      case 0x33:
        state_.pen.width = std::max(1, Int(r, "width"));
        state_.pen.unit = std::max(1, Int(r, "unit"));
        state_.pen.mask = U32(r, "mask");
        return;
      case 0x34: state_.pen.offset = Int(r, "offset") & 31; return;
      case 0x35: state_.pen.cap = Int(r, "endcap"); return;
      case 0x36:
        state_.pen.join = Int(r, "join");
        state_.pen.miterLimit = std::max(1.0, static_cast<double>(r.Get("miter")) / 256);
        return;
      case 0x37: state_.clip = Clip{}; return;
      case 0x40: return Pattern(r);
      case 0x50: return SelectResident(r);
      case 0x51: return r.Has("figure") ? GlyphOutline(r) : ResidentGlyph(r);
      case 0x52: return GlyphRun(r);
      case 0x53: case 0x57: return DownloadedGlyph(r);
      case 0x54: return FontData(r);
      case 0x55: return PositionedGlyphs(r);
      case 0x56: return SelectDownloaded(r);
      default: Problem(r, "no drawing for this record");
    }
  }

  Canvas Take() { return std::move(canvas_); }
  size_t page() const { return page_; }

  void Problem(const Record& r, const std::string& what) {
    problems_.push_back("page " + std::to_string(page_) + ", record " + std::to_string(index_) + " " + r.name + ": " +
                        what);
  }

 private:
  Brush CurrentBrush() const {
    Brush brush;
    brush.colour1 = state_.colour1;
    brush.colour2 = state_.colour2;
    if (state_.pattern) {
      brush.size = state_.tileSize;
      brush.rgbTile = state_.rgbTile;
      brush.tile = state_.tile;
      brush.transparent = state_.colourAttribute == 1;
    }
    return brush;
  }

  void Rectangle(const Record& r) {
    const int64_t kind = r.Get("kind");
    const int32_t left = Int(r, "left"), top = Int(r, "top"), right = Int(r, "right"), bottom = Int(r, "bottom");
    if (kind == 5) {
      state_.clip = Clip{};
      state_.clip.kind = Clip::Kind::kRect;
      state_.clip.left = left, state_.clip.top = top, state_.clip.right = right, state_.clip.bottom = bottom;
      return;
    }
    if (kind != 1) return Problem(r, "kind " + std::to_string(kind) + " has no known drawing");
    const Brush brush = CurrentBrush();
    const Painter painter(canvas_, state_.clip, brush, state_.rop);
    for (int32_t y = std::max(top, 0); y < std::min(bottom, canvas_.height); ++y) painter.Span(y, left, right);
  }

  void Path(const Record& r) {
    const int64_t mode = r.Get("mode");
    const std::vector<Figure> figures = Figures(r, r.Get("closed") != 0, 0, 0);
    if (mode == 5) {
      state_.clip = Clip{};
      state_.clip.kind = Clip::Kind::kRegion;
      state_.clip.region = FillRegion(figures, true, canvas_.width, canvas_.height);
      return;
    }
    if (mode >= 1 && mode <= 4) {
      std::vector<Figure> closed = figures;
      for (Figure& figure : closed) figure.closed = true;
      const Brush brush = CurrentBrush();
      const Painter painter(canvas_, state_.clip, brush, state_.rop);
      painter.Fill(FillRegion(closed, mode == 2 || mode == 4, canvas_.width, canvas_.height));
    }
    if (mode == 0 || mode == 3 || mode == 4) {
      Brush pen;
      pen.colour1 = mode == 0 ? state_.colour1 : state_.colour3;
      const Painter painter(canvas_, state_.clip, pen, state_.rop);
      Stroke(figures, state_.pen, painter, canvas_.width, canvas_.height);
    }
  }

  void Colour(const Record& r) {
    state_.colour1 = U32(r, "rgb1");
    state_.colour2 = r.Has("rgb2") ? U32(r, "rgb2") : 0xFFFFFF;
    state_.colour3 = r.Has("rgb3") ? U32(r, "rgb3") : 0;
  }

  void Pattern(const Record& r) {
    const int64_t flags = r.Get("flags");
    state_.pattern = (flags & 0x80) != 0;
    state_.tile.clear();
    state_.tileSize = 0;
    if (!state_.pattern) return;
    state_.rgbTile = (flags & 0x01) != 0;
    int32_t size = Int(r, "size");
    const size_t bytes = r.data.size();
    if (size == 0) {
      // The side follows from the tile's bytes.
      const double side = std::sqrt(state_.rgbTile ? bytes / 3.0 : bytes * 8.0);
      size = static_cast<int32_t>(std::lround(side));
      const size_t expected = state_.rgbTile ? size_t(size) * size * 3 : size_t(size) * size / 8;
      if (size == 0 || size % 8 != 0 || expected != bytes) {
        state_.pattern = false;
        return Problem(r, "a tile of " + std::to_string(bytes) + " bytes is not square");
      }
    }
    state_.tileSize = size;
    state_.tile = r.data;
  }

  // Image pixels as 0xRRGGBB.
  struct ImageRows {
    const Record& r;
    uint32_t bits, width, rowBytes;
    std::vector<uint32_t> colours;  // indexed formats
    uint32_t At(uint32_t x, uint32_t y) const {
      const uint8_t* row = r.data.data() + static_cast<size_t>(y) * rowBytes;
      if (bits == 24) return (uint32_t{row[x * 3 + 2]} << 16) | (uint32_t{row[x * 3 + 1]} << 8) | row[x * 3];
      const uint32_t perByte = 8 / bits;
      const uint32_t value = (row[x / perByte] >> ((perByte - 1 - x % perByte) * bits)) & ((1u << bits) - 1);
      return colours[value];
    }
  };

  void Image(const Record& r) {
    ImageRows rows{r, static_cast<uint32_t>(r.Get("bits")), static_cast<uint32_t>(r.Get("width")), 0, {}};
    rows.rowBytes = static_cast<uint32_t>((uint64_t{rows.width} * rows.bits + 31) / 32 * 4);
    const int64_t rowCount = r.Get("rows");
    if (rows.bits != 24) {
      const uint32_t entries = 1u << rows.bits;
      for (uint32_t i = 0; i < entries; ++i) {
        if (r.palette.size() >= (i + 1) * 3) {
          rows.colours.push_back((uint32_t{r.palette[i * 3]} << 16) | (uint32_t{r.palette[i * 3 + 1]} << 8) |
                                 r.palette[i * 3 + 2]);
        } else {
          rows.colours.push_back((i * 255 / (entries - 1)) * 0x010101);  // grey rows, or no palette
        }
      }
    }
    const int32_t left = Int(r, "left"), top = Int(r, "top"), right = Int(r, "right"), bottom = Int(r, "bottom");
    const int64_t dw = std::abs(int64_t{right} - left), dh = std::abs(int64_t{bottom} - top);
    const int64_t sx = r.Get("srcx"), sy = r.Get("srcy");
    if (dw == 0 || dh == 0) return;
    if (sx < 0 || sy < 0 || sx >= rows.width || sy >= rowCount) {
      return Problem(r, "the source point lies outside its " + std::to_string(rows.width) + " x " +
                            std::to_string(rowCount) + " pixels");
    }
    // From the source point, copied when the rows hold the destination's size from there,
    // stretched over the rest of the rows when they start at (0, 0) and differ in size.
    const int64_t sw = rows.width - sx, sh = rowCount - sy;
    const bool stretch = sx == 0 && sy == 0 && (sw != dw || sh != dh);
    if (!stretch && (sw < dw || sh < dh)) {
      Problem(r, "the destination is larger than the rows from the source point; the rest is not drawn");
    }
    const bool mirrorX = right < left, mirrorY = bottom < top;
    const int32_t x0 = std::min(left, right), y0 = std::min(top, bottom);
    const Brush brush = CurrentBrush();
    const Painter painter(canvas_, state_.clip, brush, state_.rop);
    const int64_t from = std::max<int64_t>(x0, 0), to = std::min<int64_t>(int64_t{x0} + dw, canvas_.width);
    if (from >= to) return;
    std::vector<uint32_t> line(static_cast<size_t>(to - from));
    const auto nearest = [](int64_t i, int64_t n, int64_t m) { return (2 * i + 1) * m / (2 * n); };
    for (int64_t y = std::max<int64_t>(y0, 0); y < std::min<int64_t>(int64_t{y0} + dh, canvas_.height); ++y) {
      int64_t row = stretch ? nearest(y - y0, dh, sh) : y - y0;
      if (row >= sh) continue;
      row = sy + (mirrorY ? sh - 1 - row : row);
      int64_t count = 0;
      for (int64_t x = from; x < to; ++x) {
        int64_t column = stretch ? nearest(x - x0, dw, sw) : x - x0;
        if (column >= sw) break;
        column = sx + (mirrorX ? sw - 1 - column : column);
        line[static_cast<size_t>(count++)] = rows.At(static_cast<uint32_t>(column), static_cast<uint32_t>(row));
      }
      painter.SourceRow(static_cast<int32_t>(y), static_cast<int32_t>(from), line.data(), static_cast<int32_t>(count));
    }
  }

  // Paints a 1-bit glyph bitmap with the brush; (dx, dy) steps one bitmap column, (-dy, dx)
  // one bitmap row.
  void PaintBitmap(const Glyph& glyph, int64_t left, int64_t top, int32_t rotation) {
    const Brush brush = CurrentBrush();
    const Painter painter(canvas_, state_.clip, brush, state_.rop);
    const int32_t stride = (glyph.width + 7) / 8;
    const auto inked = [&](int64_t u, int64_t v) {
      return u >= 0 && v >= 0 && u < glyph.width && v < glyph.height &&
             ((glyph.bits[static_cast<size_t>(v) * stride + u / 8] >> (7 - u % 8)) & 1);
    };
    if (rotation % 90) {
      // Any other turn: each pixel of the turned box takes the glyph's pixel under its centre.
      const double radians = rotation * 3.14159265358979323846 / 180, c = std::cos(radians), s = std::sin(radians);
      const double reach = std::hypot(glyph.width, glyph.height) + 1;
      for (int64_t dy = static_cast<int64_t>(-reach); dy <= reach; ++dy) {
        for (int64_t dx = static_cast<int64_t>(-reach); dx <= reach; ++dx) {
          const double x = dx + 0.5, y = dy + 0.5;
          if (!inked(static_cast<int64_t>(std::floor(c * x - s * y)), static_cast<int64_t>(std::floor(s * x + c * y))))
            continue;
          const int64_t px = left + dx, py = top + dy;
          if (px >= 0 && py >= 0 && px < canvas_.width && py < canvas_.height) {
            painter.Pixel(static_cast<int32_t>(px), static_cast<int32_t>(py));
          }
        }
      }
      return;
    }
    for (int32_t v = 0; v < glyph.height; ++v) {
      for (int32_t u = 0; u < glyph.width; ++u) {
        if (!inked(u, v)) continue;
        int64_t x = left, y = top;
        switch (rotation) {
          case 90: x += v, y -= u; break;
          case 180: x -= u, y -= v; break;
          case 270: x -= v, y += u; break;
          default: x += u, y += v; break;
        }
        if (x >= 0 && y >= 0 && x < canvas_.width && y < canvas_.height) {
          painter.Pixel(static_cast<int32_t>(x), static_cast<int32_t>(y));
        }
      }
    }
  }

  // The engine font's glyph of a resident code's character at the selected size, from its
  // cell's top-left corner.
  Glyph ResidentBitmap(uint16_t code) const {
    platform::eng::EngineGlyphBitmap drawn;
    if (!platform::eng::DrawEngineGlyph(DeviceCharacter(code), resident_.height, &drawn)) {
      platform::eng::DrawEngineGlyph(kMissingGlyph, resident_.height, &drawn);
    }
    return Glyph{drawn.width, drawn.height, std::move(drawn.bits)};
  }


  void SelectResident(const Record& r) {
    resident_.height =
        std::clamp<int32_t>(Int(r, "height"), platform::eng::kEngineFontMinHeight, platform::eng::kEngineFontMaxHeight);
    resident_.rotation = Int(r, "rotation");
    resident_.vertical = (U32(r, "style") & kStyleVertical) != 0;
  }

  void ResidentGlyph(const Record& r) {
    PaintBitmap(ResidentBitmap(static_cast<uint16_t>(r.Get("code"))), r.Get("x"), r.Get("y"), resident_.rotation);
  }

  void GlyphRun(const Record& r) {
    // The run's direction: its baseline's, or for a vertical run a quarter turn clockwise from it.
    const int32_t direction = (resident_.rotation + (resident_.vertical ? 270 : 0)) % 360;
    static constexpr double kCos[4] = {1, 0, -1, 0}, kSin[4] = {0, 1, 0, -1};
    const double radians = direction * 3.14159265358979323846 / 180;
    const double c = direction % 90 ? std::cos(radians) : kCos[direction / 90];
    const double s = direction % 90 ? std::sin(radians) : kSin[direction / 90];
    double along = 0;
    const int64_t x0 = r.Get("x"), y0 = r.Get("y");
    for (size_t i = 0; i < r.codes.size(); ++i) {
      PaintBitmap(ResidentBitmap(r.codes[i]), x0 + std::llround(along * c), y0 - std::llround(along * s),
                  resident_.rotation);
      // Steps are signed: a reversed string steps back.
      along += static_cast<int16_t>(r.steps.size() == 1 ? r.steps[0] : r.steps[i]);
    }
  }

  void GlyphOutline(const Record& r) {
    const Brush brush = CurrentBrush();
    const Painter painter(canvas_, state_.clip, brush, state_.rop);
    std::vector<Figure> figures = Figures(r, true, static_cast<double>(r.Get("x")), static_cast<double>(r.Get("y")));
    painter.Fill(FillRegion(figures, true, canvas_.width, canvas_.height));
  }

  // A glyph bitmap of a record, expanded; false (problem noted) when it cannot be read.
  bool ReadBitmap(const Record& r, Glyph* glyph) {
    const int64_t width = r.Get("bitmapwidth"), height = r.Get("bitmapheight");
    if (width <= 0 || height <= 0 || width > kMaxGlyphSide || height > kMaxGlyphSide) {
      Problem(r, "a glyph of " + std::to_string(width) + " x " + std::to_string(height) + " pixels is not drawn");
      return false;
    }
    glyph->width = static_cast<int32_t>(width);
    glyph->height = static_cast<int32_t>(height);
    const size_t size = static_cast<size_t>((width + 7) / 8 * height);
    if (r.Get("bitmapkind") == 2) {
      if (!ExpandGlyphBitmap(r.data, size, &glyph->bits)) {
        Problem(r, "the compressed bitmap of code " + std::to_string(r.Get("code")) + " does not expand to " +
                       std::to_string(size) + " bytes");
        return false;
      }
      return true;
    }
    if (r.data.size() < size) {
      Problem(r, "the bitmap holds " + std::to_string(r.data.size()) + " bytes, " + std::to_string(size) + " needed");
      return false;
    }
    glyph->bits.assign(r.data.begin(), r.data.begin() + static_cast<ptrdiff_t>(size));
    return true;
  }

  void DownloadedGlyph(const Record& r) {
    const uint16_t code = static_cast<uint16_t>(r.Get("code"));
    const int64_t left = r.Get("left"), top = r.Get("top");
    if (r.Get("bytes") == 0) {
      const Glyph* glyph = Downloaded(code);
      if (!glyph) return Problem(r, "code " + std::to_string(code) + " was not downloaded");
      return PaintBitmap(*glyph, left, top, 0);
    }
    Glyph glyph;
    if (!ReadBitmap(r, &glyph)) return;
    PaintBitmap(glyph, left, top, 0);
    if (r.opcode == 0x53) downloads_[downloadFont_][code] = std::move(glyph);
  }

  void FontData(const Record& r) {
    Glyph glyph;
    if (ReadBitmap(r, &glyph)) downloads_[downloadFont_][static_cast<uint16_t>(r.Get("code"))] = std::move(glyph);
  }

  void PositionedGlyphs(const Record& r) {
    int64_t x = r.Get("x"), y = r.Get("y");
    for (const jobdump::PlacedGlyph& placed : r.placed) {
      x += placed.dx;
      y += placed.dy;
      const Glyph* glyph = Downloaded(placed.code);
      if (!glyph) {
        Problem(r, "code " + std::to_string(placed.code) + " was not downloaded");
        continue;
      }
      PaintBitmap(*glyph, x, y, 0);
    }
  }

  void SelectDownloaded(const Record& r) {
    downloadFont_.clear();
    for (const jobdump::Field& field : r.fields) downloadFont_ += field.name + "=" + std::to_string(field.value) + " ";
    for (char16_t unit : r.face) downloadFont_ += std::to_string(unit) + ",";
  }

  const Glyph* Downloaded(uint16_t code) const {
    const auto font = downloads_.find(downloadFont_);
    if (font == downloads_.end()) return nullptr;
    const auto glyph = font->second.find(code);
    return glyph == font->second.end() ? nullptr : &glyph->second;
  }

  std::map<std::string, std::map<uint16_t, Glyph>>& downloads_;
  std::string& downloadFont_;
  ResidentFont& resident_;
  std::vector<std::string>& problems_;
  Canvas canvas_;
  DrawingState state_;
  size_t page_ = 0;
  size_t index_ = 0;
};

// Draws the records in order, one picture per page start.
class JobDrawer {
 public:
  explicit JobDrawer(Rendering& out) : out_(out), page_(downloads_, downloadFont_, resident_, out.problems) {}

  void Draw(const Record& r) {
    if (r.opcode == 0x60) {
      if (open_) End(false);
      ++pages_;
      open_ = page_.Start(r, pages_);
      skipping_ = !open_;
      return;
    }
    if (skipping_) return;
    if (!open_) {
      out_.problems.push_back("record " + r.name + " outside a page is not drawn");
      return;
    }
    if (r.opcode == 0x61) return End(true);
    page_.Draw(r);
  }

  void Finish() {
    if (open_) End(false);
  }

 private:
  void End(bool ended) {
    if (!ended) out_.problems.push_back("page " + std::to_string(page_.page()) + " has no page end: drawn as far as it goes");
    out_.pages.push_back(page_.Take());
    open_ = false;
  }

  Rendering& out_;
  std::map<std::string, std::map<uint16_t, Glyph>> downloads_;
  std::string downloadFont_;
  ResidentFont resident_;
  PageDrawer page_;
  size_t pages_ = 0;
  bool open_ = false;
  bool skipping_ = false;
};

// Reads a field's continuation bytes after its largest value; false when cut short.
bool Continued(const std::vector<uint8_t>& coded, size_t& at, size_t& value) {
  for (;;) {
    if (at >= coded.size()) return false;
    const uint8_t more = coded[at++];
    value += more;
    if (more != 255) return true;
  }
}

}  // namespace

bool ExpandGlyphBitmap(const std::vector<uint8_t>& coded, size_t size, std::vector<uint8_t>* bitmap) {
  bitmap->assign(size, 0);
  size_t at = 0, out = 0;
  while (at < coded.size()) {
    const uint8_t control = coded[at++];
    size_t skip = (control >> 3) & 15, count = control & 7;
    if (skip == 15 && !Continued(coded, at, skip)) return false;
    if (count == 7 && !Continued(coded, at, count)) return false;
    count += 1;
    if (skip > size - out || count > size - out - skip) return false;
    out += skip;
    if (control & 0x80) {
      if (at >= coded.size()) return false;
      std::fill_n(bitmap->begin() + static_cast<ptrdiff_t>(out), count, coded[at++]);
    } else {
      if (count > coded.size() - at) return false;
      std::copy_n(coded.begin() + static_cast<ptrdiff_t>(at), count, bitmap->begin() + static_cast<ptrdiff_t>(out));
      at += count;
    }
    out += count;
  }
  return true;
}

Rendering DrawRecords(const std::vector<Record>& records) {
  Rendering out;
  JobDrawer drawer(out);
  for (const Record& r : records) drawer.Draw(r);
  drawer.Finish();
  return out;
}

Rendering DrawJob(const jobdump::Job& job) {
  Rendering out = DrawRecords(job.records);
  for (const jobdump::Packet& packet : job.packets) {
    if (packet.type == 0) {
      out.problems.push_back("unframed application data of " + std::to_string(packet.length) + " bytes on page " +
                             std::to_string(packet.page) + " is not drawn");
    }
  }
  return out;
}

std::vector<uint8_t> PagePng(const Canvas& page, uint32_t dpi) {
  const Canvas picture = Reduce(page, dpi);
  return ui::EncodePng(static_cast<DWORD>(picture.width), static_cast<DWORD>(picture.height), picture.rgb);
}

}  // namespace velm::jobrender
