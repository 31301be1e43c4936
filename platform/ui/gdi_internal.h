// The records behind wingdi.h: the object table, device contexts and their state, and the
// rasteriser that puts drawing into pixels. One recursive mutex guards all of it; it is never
// held while a callback or a window procedure runs.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "ui/wingdi.h"

namespace velm::ui {

std::recursive_mutex& GdiMutex();

// The fixed text metrics.
constexpr int kCharWidth = 8;
constexpr int kCharHeight = 16;
constexpr int kCharAscent = 12;

struct GdiObject {
  DWORD type = 0;       // OBJ_BRUSH, OBJ_PEN, OBJ_FONT, OBJ_BITMAP
  bool system = false;  // stock objects and system-colour brushes: never counted, never deleted
  UINT brushStyle = BS_SOLID;
  COLORREF color = 0;   // brush and pen colour
  int penStyle = PS_SOLID;
  int penWidth = 1;
  LOGFONTW font{};
  // Bitmaps: 24-bit pixels, or none for a placeholder (a resource of depth 0).
  int width = 0;
  int height = 0;
  bool placeholder = false;
  std::vector<BYTE> rgb;
  WORD resourceId = 0;
  HDC selectedInto = nullptr;
};
using GdiObjectPtr = std::shared_ptr<GdiObject>;

// Null for an unknown handle. A system colour given as (HBRUSH)(index + 1) resolves to its brush.
GdiObjectPtr FindObject(HGDIOBJ handle);
GdiObjectPtr FindBrush(HBRUSH brush);
HGDIOBJ StockObject(int index);
HGDIOBJ StockBitmap();  // the 1 x 1 bitmap a new memory DC holds
HGDIOBJ AddObject(GdiObjectPtr object);
// Live objects of a type that are not system-owned (0: of any type).
size_t CountObjects(DWORD type);

// A clip as disjoint rectangles in device coordinates.
using ClipRects = std::vector<RECT>;

struct DcState {
  HGDIOBJ brush = nullptr;
  HGDIOBJ pen = nullptr;
  HGDIOBJ font = nullptr;
  HGDIOBJ bitmap = nullptr;  // memory DCs only
  COLORREF textColor = RGB(0, 0, 0);
  COLORREF bkColor = RGB(255, 255, 255);
  int bkMode = OPAQUE;
  int stretchMode = static_cast<int>(BLACKONWHITE);
  POINT origin{};    // viewport origin: device = logical + origin
  POINT position{};  // MoveToEx/LineTo, logical
  std::optional<ClipRects> clip;  // the caller's clip; none = everything
};

struct DeviceContext {
  DWORD type = OBJ_DC;  // OBJ_DC (a window's or the screen's) or OBJ_MEMDC
  HWND window = nullptr;
  DcState state;
  std::vector<DcState> saved;
  UiImage* image = nullptr;  // a picture being rendered: the canvas
  RECT bounds{};             // device coordinates drawing is limited to
  UiDrawLog log;
};
using DeviceContextPtr = std::shared_ptr<DeviceContext>;

// Null for an unknown DC (and, with `setError`, ERROR_INVALID_HANDLE).
DeviceContextPtr FindDc(HDC dc, bool setError = true);
// Whether the object is selected into any DC's current or saved state.
bool ObjectInUse(HGDIOBJ handle);
// A DC drawing into `image`, clipped to `bounds` (device coordinates), with its viewport origin
// at `origin`. Deleted with DeleteDC.
HDC CreateImageDc(UiImage* image, const RECT& bounds, POINT origin);
// Appends to the DC's log (and its window's), stamping clip and origin.
void LogRecord(DeviceContext& dc, UiDrawRecord record);

// ---- Rasterising -------------------------------------------------------------------------------
// Where the pixels of a DC go: an image, a bitmap, or nowhere.
class Surface {
 public:
  // The DC's canvas with its effective clip; empty when the DC has no pixels.
  explicit Surface(DeviceContext& dc);
  bool Empty() const { return pixels_ == nullptr; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  POINT Origin() const { return origin_; }
  // Logical coordinates from here on.
  void Fill(const RECT& rect, COLORREF color);
  void Invert(const RECT& rect);
  void Plot(int x, int y, COLORREF color);
  void InvertPixel(int x, int y);
  COLORREF Get(int x, int y) const;  // CLR_INVALID outside the clip
  bool Visible(int x, int y) const;
  // Pixels of a device-space pixel, unclipped; for blits.
  BYTE* At(int deviceX, int deviceY) { return pixels_ + (static_cast<size_t>(deviceY) * width_ + deviceX) * 3; }
  const BYTE* Pixels() const { return pixels_; }
  const ClipRects& Clip() const { return clip_; }
  // Narrows the clip to a logical rectangle.
  void Limit(const RECT& rect);

 private:
  GdiObjectPtr bitmap_;  // kept alive while drawing into it
  BYTE* pixels_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  POINT origin_{};
  ClipRects clip_;
};

// Clip arithmetic on device rectangles.
ClipRects IntersectClip(const ClipRects& clip, const RECT& rect);
ClipRects ExcludeFromClip(const ClipRects& clip, const RECT& rect);
RECT ClipBounds(const ClipRects& clip);
RECT Normalized(RECT rect);
bool RectEmpty(const RECT& rect);

// Draws one character cell's glyph at (x, y) (its top-left, logical) with `color`.
void DrawGlyph(Surface& surface, int x, int y, WCHAR c, COLORREF color, bool bold, bool underline);

// What UiResetAll clears besides windows: window logs, theme calls, the font face list.
void ResetThemeCalls();
void ResetFontFaces();

}  // namespace velm::ui
