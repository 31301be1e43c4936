// The drawing calls: rectangles, lines, shapes, 3-D edges, focus rectangles and blits. Each one
// is logged, then rasterised when the DC has pixels.
#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

#include "core/winerror.h"
#include "ui/gdi_internal.h"

namespace velm::ui {
namespace {

struct Pen {
  COLORREF color = 0;
  int style = PS_SOLID;
  int width = 1;
};

std::optional<COLORREF> BrushColor(HGDIOBJ handle) {
  const GdiObjectPtr brush = FindBrush(static_cast<HBRUSH>(handle));
  if (!brush || brush->brushStyle == BS_NULL) return std::nullopt;
  return brush->color;
}

std::optional<Pen> PenOf(const DeviceContext& dc) {
  const GdiObjectPtr pen = FindObject(dc.state.pen);
  if (!pen || pen->type != OBJ_PEN || pen->penStyle == PS_NULL) return std::nullopt;
  return Pen{pen->color, pen->penStyle, pen->penWidth};
}

// Whether step `n` along a styled line is drawn.
bool PenDraws(int style, int n) {
  switch (style) {
    case PS_DASH: return n % 8 < 6;
    case PS_DOT: return n % 2 == 0;
    case PS_DASHDOT: return n % 12 < 6 || n % 12 == 8;
    case PS_DASHDOTDOT: return n % 14 < 6 || n % 14 == 8 || n % 14 == 11;
    default: return true;
  }
}

void PlotPen(Surface& surface, int x, int y, const Pen& pen) {
  if (pen.width <= 1) {
    surface.Plot(x, y, pen.color);
    return;
  }
  const int half = pen.width / 2;
  surface.Fill({x - half, y - half, x - half + pen.width, y - half + pen.width}, pen.color);
}

// Bresenham from (x0, y0) towards (x1, y1), the end point excluded as GDI excludes it.
void RasterLine(Surface& surface, int x0, int y0, int x1, int y1, const Pen& pen) {
  if (surface.Empty()) return;
  const int dx = std::abs(x1 - x0);
  const int dy = -std::abs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1;
  const int sy = y0 < y1 ? 1 : -1;
  int error = dx + dy;
  for (int n = 0; x0 != x1 || y0 != y1; ++n) {
    if (PenDraws(pen.style, n)) PlotPen(surface, x0, y0, pen);
    const int twice = 2 * error;
    if (twice >= dy) {
      error += dy;
      x0 += sx;
    }
    if (twice <= dx) {
      error += dx;
      y0 += sy;
    }
  }
}

// The ellipse inscribed in `rect`, by rows: for each row the span of pixel centres inside.
void RasterEllipse(Surface& surface, const RECT& rect, std::optional<COLORREF> fill, std::optional<Pen> pen) {
  if (surface.Empty() || RectEmpty(rect)) return;
  const double cx = (rect.left + rect.right) / 2.0;
  const double cy = (rect.top + rect.bottom) / 2.0;
  const double rx = (rect.right - rect.left) / 2.0;
  const double ry = (rect.bottom - rect.top) / 2.0;
  const double ring = pen ? pen->width : 0;
  auto inside = [&](double x, double y, double shrink) {
    const double a = rx - shrink;
    const double b = ry - shrink;
    if (a <= 0 || b <= 0) return false;
    const double u = (x - cx) / a;
    const double v = (y - cy) / b;
    return u * u + v * v <= 1.0;
  };
  for (LONG y = rect.top; y < rect.bottom; ++y) {
    for (LONG x = rect.left; x < rect.right; ++x) {
      if (!inside(x + 0.5, y + 0.5, 0)) continue;
      if (pen && !inside(x + 0.5, y + 0.5, ring)) {
        surface.Plot(x, y, pen->color);
      } else if (fill) {
        surface.Plot(x, y, *fill);
      }
    }
  }
}

// Alternate (even-odd) fill of a polygon at pixel centres.
void RasterPolygon(Surface& surface, const std::vector<POINT>& points, COLORREF fill) {
  if (surface.Empty() || points.size() < 3) return;
  LONG top = points[0].y, bottom = points[0].y;
  for (const POINT& p : points) {
    top = std::min(top, p.y);
    bottom = std::max(bottom, p.y);
  }
  for (LONG y = top; y < bottom; ++y) {
    const double scan = y + 0.5;
    std::vector<double> crossings;
    for (size_t i = 0; i < points.size(); ++i) {
      const POINT& a = points[i];
      const POINT& b = points[(i + 1) % points.size()];
      if ((a.y <= scan) == (b.y <= scan)) continue;
      crossings.push_back(a.x + (scan - a.y) * (b.x - a.x) / static_cast<double>(b.y - a.y));
    }
    std::sort(crossings.begin(), crossings.end());
    for (size_t i = 0; i + 1 < crossings.size(); i += 2) {
      const LONG from = static_cast<LONG>(std::ceil(crossings[i] - 0.5));
      const LONG to = static_cast<LONG>(std::ceil(crossings[i + 1] - 0.5));
      surface.Fill({from, y, to, y + 1}, fill);
    }
  }
}

// One ternary raster operation on 24-bit values: bit i of the ROP gives the result for
// pattern/source/destination bits (i >> 2 & 1, i >> 1 & 1, i & 1).
uint32_t Rop3(BYTE rop, uint32_t pattern, uint32_t source, uint32_t destination) {
  uint32_t result = 0;
  for (int i = 0; i < 8; ++i) {
    if (!(rop & (1 << i))) continue;
    result |= ((i & 4) ? pattern : ~pattern) & ((i & 2) ? source : ~source) & ((i & 1) ? destination : ~destination);
  }
  return result & 0x00FFFFFF;
}

bool RopUsesSource(BYTE rop) { return ((rop >> 2) ^ rop) & 0x33; }
bool RopUsesPattern(BYTE rop) { return ((rop >> 4) ^ rop) & 0x0F; }

uint32_t Packed(const BYTE* pixel) { return pixel[0] | (pixel[1] << 8) | (pixel[2] << 16); }
void Unpack(BYTE* pixel, uint32_t value) {
  pixel[0] = static_cast<BYTE>(value);
  pixel[1] = static_cast<BYTE>(value >> 8);
  pixel[2] = static_cast<BYTE>(value >> 16);
}

// A bitmap with no pixels: a grey box with a cross, so that a picture shows where it goes.
void RasterPlaceholder(Surface& surface, const RECT& rect) {
  if (surface.Empty() || RectEmpty(rect)) return;
  surface.Fill(rect, RGB(192, 192, 192));
  const Pen frame{RGB(64, 64, 64), PS_SOLID, 1};
  RasterLine(surface, rect.left, rect.top, rect.right - 1, rect.top, frame);
  RasterLine(surface, rect.right - 1, rect.top, rect.right - 1, rect.bottom - 1, frame);
  RasterLine(surface, rect.right - 1, rect.bottom - 1, rect.left, rect.bottom - 1, frame);
  RasterLine(surface, rect.left, rect.bottom - 1, rect.left, rect.top, frame);
  RasterLine(surface, rect.left, rect.top, rect.right, rect.bottom, frame);
  RasterLine(surface, rect.right - 1, rect.top, rect.left - 1, rect.bottom, frame);
}

// Copies (stretching by nearest pixel) source logical (sx, sy, sw, sh) to destination
// logical (x, y, w, h) through `rop`.
void RasterBlit(DeviceContext& target, int x, int y, int w, int h, DeviceContext* source, int sx, int sy, int sw,
                int sh, DWORD rop) {
  Surface destination(target);
  if (destination.Empty() || w == 0 || h == 0) return;
  const BYTE rop3 = static_cast<BYTE>(rop >> 16);
  const std::optional<COLORREF> brush = BrushColor(target.state.brush);
  if (!brush && RopUsesPattern(rop3)) return;  // a null brush paints nothing
  const uint32_t pattern = brush ? *brush : 0;
  std::optional<Surface> from;
  if (RopUsesSource(rop3)) {
    if (!source) return;
    from.emplace(*source);
    if (from->Empty()) {
      // A placeholder bitmap shows as its box over the part the bitmap covers.
      const GdiObjectPtr bitmap = source->type == OBJ_MEMDC ? FindObject(source->state.bitmap) : nullptr;
      if (bitmap && bitmap->placeholder) {
        const RECT box = Normalized(RECT{x, y, x + w, y + h});
        const LONG coverW = sw == w ? std::min<LONG>(box.right - box.left, bitmap->width - sx) : box.right - box.left;
        const LONG coverH = sh == h ? std::min<LONG>(box.bottom - box.top, bitmap->height - sy) : box.bottom - box.top;
        RasterPlaceholder(destination, {box.left, box.top, box.left + coverW, box.top + coverH});
      }
      return;
    }
  }
  // A blit within one canvas reads from a copy, so that overlapping parts are not read after
  // they were written.
  std::vector<BYTE> copy;
  if (from && from->Pixels() == destination.Pixels())
    copy.assign(from->Pixels(), from->Pixels() + static_cast<size_t>(from->Width()) * from->Height() * 3);
  const int width = std::abs(w);
  const int height = std::abs(h);
  for (int j = 0; j < height; ++j) {
    for (int i = 0; i < width; ++i) {
      const int dx = (w < 0 ? x - 1 - i : x + i);
      const int dy = (h < 0 ? y - 1 - j : y + j);
      if (!destination.Visible(dx, dy)) continue;
      uint32_t sourceValue = 0;
      if (from) {
        const int fi = static_cast<int>(static_cast<int64_t>(i) * std::abs(sw) / width);
        const int fj = static_cast<int>(static_cast<int64_t>(j) * std::abs(sh) / height);
        const int px = (sw < 0 ? sx - 1 - fi : sx + fi) + from->Origin().x;
        const int py = (sh < 0 ? sy - 1 - fj : sy + fj) + from->Origin().y;
        if (px < 0 || py < 0 || px >= from->Width() || py >= from->Height()) continue;
        sourceValue = copy.empty() ? Packed(from->At(px, py))
                                   : Packed(copy.data() + (static_cast<size_t>(py) * from->Width() + px) * 3);
      }
      BYTE* pixel = destination.At(dx + destination.Origin().x, dy + destination.Origin().y);
      Unpack(pixel, Rop3(rop3, pattern, sourceValue, Packed(pixel)));
    }
  }
}

WORD BitmapIdOf(DeviceContext* source) {
  if (!source || source->type != OBJ_MEMDC) return 0;
  const GdiObjectPtr bitmap = FindObject(source->state.bitmap);
  return bitmap ? bitmap->resourceId : 0;
}

void FrameWith(Surface& surface, const RECT& rect, COLORREF color) {
  surface.Fill({rect.left, rect.top, rect.right, rect.top + 1}, color);
  surface.Fill({rect.left, rect.bottom - 1, rect.right, rect.bottom}, color);
  surface.Fill({rect.left, rect.top, rect.left + 1, rect.bottom}, color);
  surface.Fill({rect.right - 1, rect.top, rect.right, rect.bottom}, color);
}

// One ring of a 3-D edge on the sides in `flags`: top and left first, then bottom and right
// over the corners, as the classic look has it.
void EdgeRing(Surface& surface, RECT& rect, UINT flags, COLORREF topLeft, COLORREF bottomRight) {
  if (flags & BF_TOP) surface.Fill({rect.left, rect.top, rect.right, rect.top + 1}, topLeft);
  if (flags & BF_LEFT) surface.Fill({rect.left, rect.top, rect.left + 1, rect.bottom}, topLeft);
  if (flags & BF_BOTTOM) surface.Fill({rect.left, rect.bottom - 1, rect.right, rect.bottom}, bottomRight);
  if (flags & BF_RIGHT) surface.Fill({rect.right - 1, rect.top, rect.right, rect.bottom}, bottomRight);
  if (flags & BF_TOP) ++rect.top;
  if (flags & BF_LEFT) ++rect.left;
  if (flags & BF_BOTTOM) --rect.bottom;
  if (flags & BF_RIGHT) --rect.right;
}

UiDrawRecord Record(UiDrawKind kind, const RECT& rect) {
  UiDrawRecord record;
  record.kind = kind;
  record.rect = rect;
  return record;
}

}  // namespace
}  // namespace velm::ui

using namespace velm::ui;

extern "C" {

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
  std::lock_guard lock(GdiMutex());
  const DeviceContextPtr record = FindDc(dc);
  const GdiObjectPtr object = FindBrush(brush);
  if (!record || !rect || !object) return 0;
  UiDrawRecord entry = Record(UiDrawKind::kFillRect, *rect);
  entry.color = object->brushStyle == BS_NULL ? CLR_INVALID : object->color;
  LogRecord(*record, entry);
  if (object->brushStyle != BS_NULL) Surface(*record).Fill(*rect, object->color);
  return 1;
}

int FrameRect(HDC dc, const RECT* rect, HBRUSH brush) {
  std::lock_guard lock(GdiMutex());
  const DeviceContextPtr record = FindDc(dc);
  const GdiObjectPtr object = FindBrush(brush);
  if (!record || !rect || !object) return 0;
  UiDrawRecord entry = Record(UiDrawKind::kFrameRect, *rect);
  entry.color = object->brushStyle == BS_NULL ? CLR_INVALID : object->color;
  LogRecord(*record, entry);
  if (object->brushStyle != BS_NULL && !RectEmpty(*rect)) {
    Surface surface(*record);
    FrameWith(surface, *rect, object->color);
  }
  return 1;
}

BOOL InvertRect(HDC dc, const RECT* rect) {
  std::lock_guard lock(GdiMutex());
  const DeviceContextPtr record = FindDc(dc);
  if (!record || !rect) return FALSE;
  LogRecord(*record, Record(UiDrawKind::kInvertRect, *rect));
  Surface(*record).Invert(*rect);
  return TRUE;
}

BOOL DrawFocusRect(HDC dc, const RECT* rect) {
  std::lock_guard lock(GdiMutex());
  const DeviceContextPtr record = FindDc(dc);
  if (!record || !rect) return FALSE;
  LogRecord(*record, Record(UiDrawKind::kFocusRect, *rect));
  Surface surface(*record);
  if (surface.Empty() || RectEmpty(*rect)) return TRUE;
  // Every other pixel of the border, inverted, so that a second call takes it away again.
  for (LONG x = rect->left; x < rect->right; ++x) {
    if ((x + rect->top) % 2 == 0) surface.InvertPixel(x, rect->top);
    if (rect->bottom - 1 > rect->top && (x + rect->bottom - 1) % 2 == 0) surface.InvertPixel(x, rect->bottom - 1);
  }
  for (LONG y = rect->top + 1; y < rect->bottom - 1; ++y) {
    if ((rect->left + y) % 2 == 0) surface.InvertPixel(rect->left, y);
    if (rect->right - 1 > rect->left && (rect->right - 1 + y) % 2 == 0) surface.InvertPixel(rect->right - 1, y);
  }
  return TRUE;
}

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
  std::lock_guard lock(GdiMutex());
  const DeviceContextPtr record = FindDc(dc);
  if (!record) return FALSE;
  const RECT rect = Normalized({left, top, right, bottom});
  const std::optional<Pen> pen = PenOf(*record);
  const std::optional<COLORREF> brush = BrushColor(record->state.brush);
  UiDrawRecord entry = Record(UiDrawKind::kRectangle, {left, top, right, bottom});
  entry.color = pen ? pen->color : CLR_INVALID;
  entry.background = brush ? *brush : CLR_INVALID;
  LogRecord(*record, entry);
  Surface surface(*record);
  if (!pen) {
    // Without a pen the filled area is one pixel smaller to the right and below.
    if (brush) surface.Fill({rect.left, rect.top, rect.right - 1, rect.bottom - 1}, *brush);
    return TRUE;
  }
  const int w = pen->width;
  if (brush) surface.Fill({rect.left + w, rect.top + w, rect.right - w, rect.bottom - w}, *brush);
  for (int i = 0; i < w && rect.left + i < rect.right - i && rect.top + i < rect.bottom - i; ++i) {
    const RECT ring{rect.left + i, rect.top + i, rect.right - i, rect.bottom - i};
    if (pen->style == PS_SOLID || pen->style == PS_INSIDEFRAME) {
      FrameWith(surface, ring, pen->color);
    } else {
      const Pen thin{pen->color, pen->style, 1};
      RasterLine(surface, ring.left, ring.top, ring.right - 1, ring.top, thin);
      RasterLine(surface, ring.right - 1, ring.top, ring.right - 1, ring.bottom - 1, thin);
      RasterLine(surface, ring.right - 1, ring.bottom - 1, ring.left, ring.bottom - 1, thin);
      RasterLine(surface, ring.left, ring.bottom - 1, ring.left, ring.top, thin);
    }
  }
  return TRUE;
}

BOOL Ellipse(HDC dc, int left, int top, int right, int bottom) {
  std::lock_guard lock(GdiMutex());
  const DeviceContextPtr record = FindDc(dc);
  if (!record) return FALSE;
  const std::optional<Pen> pen = PenOf(*record);
  const std::optional<COLORREF> brush = BrushColor(record->state.brush);
  UiDrawRecord entry = Record(UiDrawKind::kEllipse, {left, top, right, bottom});
  entry.color = pen ? pen->color : CLR_INVALID;
  entry.background = brush ? *brush : CLR_INVALID;
  LogRecord(*record, entry);
  Surface surface(*record);
  RasterEllipse(surface, Normalized({left, top, right, bottom}), brush, pen);
  return TRUE;
}

BOOL MoveToEx(HDC dc, int x, int y, POINT* previous) {
  std::lock_guard lock(GdiMutex());
  const DeviceContextPtr record = FindDc(dc);
  if (!record) return FALSE;
  if (previous) *previous = record->state.position;
  record->state.position = {x, y};
  return TRUE;
}

BOOL LineTo(HDC dc, int x, int y) {
  std::lock_guard lock(GdiMutex());
  const DeviceContextPtr record = FindDc(dc);
  if (!record) return FALSE;
  const POINT from = record->state.position;
  const std::optional<Pen> pen = PenOf(*record);
  UiDrawRecord entry;
  entry.kind = UiDrawKind::kLine;
  entry.points = {from, {x, y}};
  entry.color = pen ? pen->color : CLR_INVALID;
  entry.style = pen ? static_cast<UINT>(pen->style) : static_cast<UINT>(PS_NULL);
  LogRecord(*record, entry);
  if (pen) {
    Surface surface(*record);
    RasterLine(surface, from.x, from.y, x, y, *pen);
  }
  record->state.position = {x, y};
  return TRUE;
}

BOOL Polyline(HDC dc, const POINT* points, int count) {
  std::lock_guard lock(GdiMutex());
  const DeviceContextPtr record = FindDc(dc);
  if (!record || !points || count < 2) return FALSE;
  const std::optional<Pen> pen = PenOf(*record);
  UiDrawRecord entry;
  entry.kind = UiDrawKind::kPolyline;
  entry.points.assign(points, points + count);
  entry.color = pen ? pen->color : CLR_INVALID;
  entry.style = pen ? static_cast<UINT>(pen->style) : static_cast<UINT>(PS_NULL);
  LogRecord(*record, entry);
  if (pen) {
    Surface surface(*record);
    for (int i = 1; i < count; ++i) RasterLine(surface, points[i - 1].x, points[i - 1].y, points[i].x, points[i].y, *pen);
  }
  return TRUE;
}

BOOL Polygon(HDC dc, const POINT* points, int count) {
  std::lock_guard lock(GdiMutex());
  const DeviceContextPtr record = FindDc(dc);
  if (!record || !points || count < 2) return FALSE;
  const std::optional<Pen> pen = PenOf(*record);
  const std::optional<COLORREF> brush = BrushColor(record->state.brush);
  UiDrawRecord entry;
  entry.kind = UiDrawKind::kPolygon;
  entry.points.assign(points, points + count);
  entry.color = pen ? pen->color : CLR_INVALID;
  entry.background = brush ? *brush : CLR_INVALID;
  LogRecord(*record, entry);
  Surface surface(*record);
  if (brush) RasterPolygon(surface, entry.points, *brush);
  if (pen)
    for (int i = 0; i < count; ++i) {
      const POINT& a = points[i];
      const POINT& b = points[(i + 1) % count];
      RasterLine(surface, a.x, a.y, b.x, b.y, *pen);
    }
  return TRUE;
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF color) {
  std::lock_guard lock(GdiMutex());
  const DeviceContextPtr record = FindDc(dc);
  if (!record) return CLR_INVALID;
  UiDrawRecord entry;
  entry.kind = UiDrawKind::kPixel;
  entry.points = {{x, y}};
  entry.color = color & 0x00FFFFFF;
  LogRecord(*record, entry);
  Surface surface(*record);
  if (!surface.Visible(x, y)) return CLR_INVALID;
  surface.Plot(x, y, color);
  return color & 0x00FFFFFF;
}

COLORREF GetPixel(HDC dc, int x, int y) {
  std::lock_guard lock(GdiMutex());
  const DeviceContextPtr record = FindDc(dc);
  if (!record) return CLR_INVALID;
  return Surface(*record).Get(x, y);
}

BOOL DrawEdge(HDC dc, RECT* rect, UINT edge, UINT flags) {
  std::lock_guard lock(GdiMutex());
  const DeviceContextPtr record = FindDc(dc);
  if (!record || !rect) return FALSE;
  UiDrawRecord entry = Record(UiDrawKind::kEdge, *rect);
  entry.style = edge;
  entry.flags = flags;
  LogRecord(*record, entry);
  // Diagonal edges are recorded only; the dialogs drawn here have none.
  if (flags & BF_DIAGONAL) return TRUE;
  Surface surface(*record);
  RECT inner = *rect;
  const UINT sides = flags & BF_RECT;
  const bool mono = flags & BF_MONO;
  const bool flat = flags & BF_FLAT;
  if (edge & BDR_OUTER) {
    COLORREF topLeft = GetSysColor((edge & BDR_RAISEDOUTER) ? ((flags & BF_SOFT) ? COLOR_3DHILIGHT : COLOR_3DLIGHT)
                                                            : COLOR_3DSHADOW);
    COLORREF bottomRight = GetSysColor((edge & BDR_RAISEDOUTER) ? COLOR_3DDKSHADOW : COLOR_3DHILIGHT);
    if (flat) topLeft = bottomRight = GetSysColor(COLOR_3DSHADOW);
    if (mono) topLeft = bottomRight = GetSysColor(COLOR_WINDOWFRAME);
    EdgeRing(surface, inner, sides, topLeft, bottomRight);
  }
  if (edge & BDR_INNER) {
    COLORREF topLeft = GetSysColor((edge & BDR_RAISEDINNER) ? ((flags & BF_SOFT) ? COLOR_3DLIGHT : COLOR_3DHILIGHT)
                                                            : COLOR_3DDKSHADOW);
    COLORREF bottomRight = GetSysColor((edge & BDR_RAISEDINNER) ? COLOR_3DSHADOW : COLOR_3DLIGHT);
    if (flat) topLeft = bottomRight = GetSysColor(COLOR_3DFACE);
    if (mono) topLeft = bottomRight = GetSysColor(COLOR_WINDOW);
    EdgeRing(surface, inner, sides, topLeft, bottomRight);
  }
  if (flags & BF_MIDDLE) surface.Fill(inner, GetSysColor(mono ? COLOR_WINDOW : COLOR_3DFACE));
  if (flags & BF_ADJUST) *rect = inner;
  return TRUE;
}

BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop) {
  std::lock_guard lock(GdiMutex());
  const DeviceContextPtr record = FindDc(dc);
  if (!record) return FALSE;
  if (RopUsesSource(static_cast<BYTE>(rop >> 16))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::optional<COLORREF> brush = BrushColor(record->state.brush);
  UiDrawRecord entry = Record(UiDrawKind::kPatBlt, {x, y, x + width, y + height});
  entry.color = brush ? *brush : CLR_INVALID;
  entry.style = rop;
  LogRecord(*record, entry);
  RasterBlit(*record, x, y, width, height, nullptr, 0, 0, width, height, rop);
  return TRUE;
}

BOOL BitBlt(HDC dc, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, DWORD rop) {
  return StretchBlt(dc, x, y, width, height, source, sourceX, sourceY, width, height, rop);
}

BOOL StretchBlt(HDC dc, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, int sourceWidth,
                int sourceHeight, DWORD rop) {
  std::lock_guard lock(GdiMutex());
  const DeviceContextPtr record = FindDc(dc);
  if (!record) return FALSE;
  DeviceContextPtr from;
  if (RopUsesSource(static_cast<BYTE>(rop >> 16))) {
    from = FindDc(source);
    if (!from) return FALSE;
  }
  UiDrawRecord entry = Record(UiDrawKind::kBitmap, {x, y, x + width, y + height});
  entry.bitmapId = BitmapIdOf(from.get());
  entry.style = rop;
  entry.flags = static_cast<UINT>(record->state.stretchMode);
  LogRecord(*record, entry);
  RasterBlit(*record, x, y, width, height, from.get(), sourceX, sourceY, sourceWidth, sourceHeight, rop);
  return TRUE;
}

int SetStretchBltMode(HDC hdc, int mode) {
  std::lock_guard lock(GdiMutex());
  const DeviceContextPtr record = FindDc(hdc);
  if (!record || mode < static_cast<int>(BLACKONWHITE) || mode > static_cast<int>(HALFTONE)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return std::exchange(record->state.stretchMode, mode);
}

int GetStretchBltMode(HDC hdc) {
  std::lock_guard lock(GdiMutex());
  const DeviceContextPtr record = FindDc(hdc);
  return record ? record->state.stretchMode : 0;
}

}  // extern "C"
