// The engine's own state behind the public objects, shared by the engine's sources.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "eng/engine_font.h"
#include "eng/engine_objects.h"

namespace velm::platform::eng {

// Live objects of one kind, so that a pointer handed back by a driver is checked before use.
template <class T>
class Registry {
 public:
  void Add(T* object) {
    std::lock_guard<std::mutex> lock(mutex_);
    live_.insert(object);
  }
  bool Remove(T* object) {
    std::lock_guard<std::mutex> lock(mutex_);
    return live_.erase(object) != 0;
  }
  // The object behind a public pointer when it is one of ours.
  T* Find(const void* pointer) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto* object = static_cast<T*>(const_cast<void*>(pointer));
    return live_.count(object) ? object : nullptr;
  }
  size_t Count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return live_.size();
  }

 private:
  std::mutex mutex_;
  std::unordered_set<T*> live_;
};

// The live objects of each kind, for lookups and leak counts.
struct Surface;
struct Device;
struct Palette;
struct Xlate;
struct Brush;
struct Clip;
struct Path;
struct Xform;
struct Font;
struct Str;
Registry<Surface>& Surfaces();
Registry<Device>& Devices();
Registry<Palette>& Palettes();
Registry<Xlate>& Xlates();
Registry<Brush>& Brushes();
Registry<Clip>& Clips();
Registry<Path>& Paths();
Registry<Xform>& Xforms();
Registry<Font>& Fonts();
Registry<Str>& Strs();

// Surfaces -----------------------------------------------------------------------------------

struct Surface {
  SURFOBJ so{};  // first, so that a SURFOBJ* is the Surface*
  void* ownedBits = nullptr;
  HDEV hdev = nullptr;
  FLONG hooks = 0;
  bool associated = false;
  bool banding = false;
};
Surface* FindSurface(const SURFOBJ* pso);
Surface* FindSurface(HSURF hsurf);

struct Device {
  PFN hooks[INDEX_LAST] = {};
  DHPDEV dhpdev = nullptr;  // given to every surface associated with the device
};
Device* FindDevice(HDEV hdev);

// Palettes and translations -----------------------------------------------------------------

struct Palette {
  ULONG mode = 0;
  std::vector<ULONG> rgb;  // indexed entries as 0x00RRGGBB
  ULONG masks[3] = {};
};
// A copy of the palette behind a handle; false for an unknown handle.
bool CopyPalette(HPALETTE hpal, Palette& out);
ULONG RgbFromPaletteValue(const Palette& palette, ULONG value);
ULONG PaletteValueFromRgb(const Palette& palette, ULONG rgb);

struct Xlate {
  XLATEOBJ xo{};
  bool knowsPalettes = false;
  Palette source;
  Palette target;
  std::vector<ULONG> table;
};
Xlate* FindXlate(const XLATEOBJ* pxlo);

// Brushes -----------------------------------------------------------------------------------

struct Brush {
  BRUSHOBJ bo{};
  COLORREF logical = 0;
  SURFOBJ* pattern = nullptr;
  XLATEOBJ* xlate = nullptr;
  SURFOBJ* target = nullptr;
  ULONG hatch = HS_DDI_MAX;
  HSURF ownedPattern = nullptr;  // hatch brushes make their own pattern and translation
  XLATEOBJ* ownedXlate = nullptr;
  void* realization = nullptr;  // BRUSHOBJ_pvAllocRbrush's block
};
Brush* FindBrush(const BRUSHOBJ* pbo);

// Clips -------------------------------------------------------------------------------------

struct Clip {
  CLIPOBJ co{};
  std::vector<RECTL> rects;  // DC_COMPLEX: the region
  std::vector<RECTL> enumeration;
  size_t next = 0;
};
Clip* FindClip(const CLIPOBJ* pco);

// Paths -------------------------------------------------------------------------------------

struct PathRun {
  bool bezier = false;
  std::vector<POINTFIX> points;  // the first run of a figure starts with the figure's start
};
struct Figure {
  std::vector<PathRun> runs;
  bool closed = false;
};
struct Path {
  PATHOBJ po{};
  std::vector<Figure> figures;
  ULONG limit = 0;
  size_t figure = 0, run = 0, offset = 0;  // enumeration position
};
Path* FindPath(const PATHOBJ* ppo);
Path* NewPath();
void UpdatePathSummary(Path& path);
// The path's figures as polygons in pixels (Béziers flattened); closed tells which were closed.
struct Polygon {
  std::vector<double> x, y;
  bool closed = false;
};
std::vector<Polygon> PathPolygons(const Path& path);

// Transforms, fonts, strings ----------------------------------------------------------------

struct Xform {
  XFORMOBJ xo{};
  XFORML m{};
};
Xform* FindXform(const XFORMOBJ* pxo);
XFORMOBJ* NewXform(const XFORML& m);

struct GlyphEntry {
  GLYPHDATA bitsData{};  // gdf.pgb
  GLYPHDATA pathData{};  // gdf.ppo
  std::vector<BYTE> bits;  // the GLYPHBITS
  PATHOBJ* outline = nullptr;
};
struct Font {
  FONTOBJ fo{};
  bool device = false;
  LONG height = kEngineFontCell;  // an engine font's cell height in pixels
  IFIMETRICS* ifi = nullptr;
  const FD_GLYPHSET* glyphSet = nullptr;  // a device font's handles, when the driver gave them
  std::vector<BYTE> ownIfi;
  // An engine font's turn and mirror: a glyph-space (u, v) lands at
  // (u * turn[0] + v * turn[2], u * turn[1] + v * turn[3]) from its baseline origin.
  double turn[4] = {1, 0, 0, 1};
  XFORMOBJ* xform = nullptr;
  std::map<HGLYPH, std::unique_ptr<GlyphEntry>> glyphs;
  std::mutex mutex;
};
Font* FindFont(const FONTOBJ* pfo);
// The cached glyph of an engine font (bits and, on request, its outline); null when missing.
GlyphEntry* EngineGlyph(Font& font, HGLYPH hg, bool outline);

struct Str {
  STROBJ so{};
  std::u16string text;
  std::vector<GLYPHPOS> positions;
  std::vector<GLYPHDEF> defs;
  ULONG batch = 0;
  size_t next = 0;
  Font* font = nullptr;
};
Str* FindStr(const STROBJ* pstro);

// The built-in bitmap font: 5 columns of 7 bits (bit 0 the top row) per printable character.
const BYTE* BuiltinGlyphColumns(WCHAR c);

// Drawing -----------------------------------------------------------------------------------

// A bitmap's pixels as the drawing code sees them.
struct Pixels {
  BYTE* scan0 = nullptr;
  LONG delta = 0;
  LONG cx = 0, cy = 0;
  ULONG format = 0;
  ULONG bpp = 0;
  ULONG mask = 0;
  ULONG Get(LONG x, LONG y) const;
  void Put(LONG x, LONG y, ULONG value) const;
  BYTE* Row(LONG y) const { return scan0 + static_cast<ptrdiff_t>(y) * delta; }
};
ULONG BitsPerPixel(ULONG format);
// The surface's pixels; false (with nothing set) for a surface without bits.
bool SurfacePixels(const SURFOBJ* pso, Pixels& pixels);

// ROP3 on pixel values: bit (P << 2 | S << 1 | D) of rop gives the result bit.
inline ULONG Rop3(BYTE rop, ULONG p, ULONG s, ULONG d) {
  ULONG result = 0;
  for (int i = 0; i < 8; ++i) {
    if ((rop >> i) & 1) result |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
  }
  return result;
}
inline bool RopUsesSource(BYTE rop) { return ((rop >> 2) ^ rop) & 0x33; }
inline bool RopUsesPattern(BYTE rop) { return ((rop >> 4) ^ rop) & 0x0F; }
// A binary mix (R2_*) as the ROP3 that uses the brush in place of the pen: mixes 1..16 give
// 0x00, 0x05, 0x0A, 0x0F, 0x50, ... 0xFF.
inline BYTE MixRop3(ULONG r2) {
  const ULONG i = (r2 - 1) & 0x0F;
  return static_cast<BYTE>(((i >> 2) & 3) * 0x50 | (i & 3) * 0x05);
}

// A brush's values at target pixels.
class BrushSampler {
 public:
  // False for a pattern brush whose pattern the engine cannot read.
  bool Init(BRUSHOBJ* pbo, const POINTL* origin, ULONG valueMask);
  ULONG At(LONG x, LONG y) const {
    if (width_ == 0) return solid_;
    LONG px = (x - ox_) % width_, py = (y - oy_) % height_;
    if (px < 0) px += width_;
    if (py < 0) py += height_;
    return values_[static_cast<size_t>(py) * width_ + px];
  }

 private:
  ULONG solid_ = 0;
  LONG width_ = 0, height_ = 0, ox_ = 0, oy_ = 0;
  std::vector<ULONG> values_;
};

// Paints pixels with a brush and a ROP3 inside a clip.
class Painter {
 public:
  Painter(const Pixels& pixels, std::vector<RECTL> clip, const BrushSampler& brush, BYTE rop)
      : pixels_(pixels), clip_(std::move(clip)), brush_(brush), rop_(rop) {}
  // Pixels x0 <= x < x1 of row y.
  void Span(LONG y, LONG x0, LONG x1) const;
  void Pixel(LONG x, LONG y) const;
  bool Empty() const { return clip_.empty(); }

 private:
  void Apply(LONG x, LONG y) const;
  const Pixels& pixels_;
  std::vector<RECTL> clip_;
  const BrushSampler& brush_;
  BYTE rop_;
};

// A translation's values, looked up once per call rather than once per pixel.
class Translator {
 public:
  void Init(XLATEOBJ* pxlo);
  ULONG operator()(ULONG value) const;
  bool Identity() const { return identity_; }
  // Whether a 24-bit value comes out as it went in: no translation, or one between two palettes
  // that order red, green and blue alike (BGR to BGR, RGB to RGB).
  bool KeepsRgbValues() const {
    return identity_ || (palettes_ && !table_ && source_.mode == target_.mode &&
                         (source_.mode == PAL_BGR || source_.mode == PAL_RGB));
  }
  // The source colour of a value as 0x00RRGGBB, when the translation knows the source palette.
  bool SourceRgb(ULONG value, ULONG& rgb) const;
  // The target value nearest to an rgb colour, when it knows the target palette.
  bool TargetValue(ULONG rgb, ULONG& value) const;

 private:
  bool identity_ = true;
  bool table_ = false;
  bool palettes_ = false;
  std::vector<ULONG> entries_;
  Palette source_, target_;
};

// Polygon filling with the centre-sample rule (shared by paths, wide pens and outlines).
void FillPolygons(const std::vector<Polygon>& polygons, bool winding, const Painter& painter, const RECTL& limit);

RECTL Intersect(const RECTL& a, const RECTL& b);
inline bool IsEmpty(const RECTL& r) { return r.left >= r.right || r.top >= r.bottom; }
RECTL Ordered(const RECTL& r);

// The call log (engine_objects.h TakeEngineCalls).
void LogEngineCall(std::string line);
std::string RectText(const RECTL* rect);

}  // namespace velm::platform::eng
