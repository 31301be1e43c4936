// Putting drawing into pixels: clipped fills and pixels, clip arithmetic, and the character
// glyphs of the built-in font.
#include <algorithm>

#include "eng/eng_internal.h"
#include "ui/gdi_internal.h"

namespace velm::ui {
namespace {

// The 5 x 7 glyph sits in the 8 x 16 cell one column in and with its bottom row just above the
// baseline, so that text keeps the proportions of a small dialog font.
constexpr int kGlyphLeft = 1;
constexpr int kGlyphTop = kCharAscent - 7;
constexpr int kUnderlineRow = kCharAscent + 1;

// Latin-1 letters drawn as their base letters (U+00C0..U+00FF).
constexpr char kLatin1Base[] = "AAAAAAACEEEEIIIIDNOOOOOxOUUUUYPsaaaaaaaceeeeiiiidnooooo/ouuuuypy";

const BYTE* GlyphColumns(WCHAR c) {
  static constexpr BYTE kBox[5] = {0x7F, 0x41, 0x41, 0x41, 0x7F};
  if (c == u'\t' || c == 0x00A0) c = u' ';
  if (c >= 0x00C0 && c <= 0x00FF) c = static_cast<WCHAR>(kLatin1Base[c - 0x00C0]);
  const BYTE* columns = velm::platform::eng::BuiltinGlyphColumns(c);
  return columns ? columns : kBox;
}

}  // namespace

RECT Normalized(RECT rect) {
  if (rect.left > rect.right) std::swap(rect.left, rect.right);
  if (rect.top > rect.bottom) std::swap(rect.top, rect.bottom);
  return rect;
}

bool RectEmpty(const RECT& rect) { return rect.right <= rect.left || rect.bottom <= rect.top; }

ClipRects IntersectClip(const ClipRects& clip, const RECT& rect) {
  ClipRects out;
  for (const RECT& part : clip) {
    const RECT both{std::max(part.left, rect.left), std::max(part.top, rect.top), std::min(part.right, rect.right),
                    std::min(part.bottom, rect.bottom)};
    if (!RectEmpty(both)) out.push_back(both);
  }
  return out;
}

ClipRects ExcludeFromClip(const ClipRects& clip, const RECT& rect) {
  ClipRects out;
  for (const RECT& part : clip) {
    const RECT cut{std::max(part.left, rect.left), std::max(part.top, rect.top), std::min(part.right, rect.right),
                   std::min(part.bottom, rect.bottom)};
    if (RectEmpty(cut)) {
      out.push_back(part);
      continue;
    }
    // Up to four pieces stay: the bands above and below, and the sides between them.
    const RECT pieces[] = {{part.left, part.top, part.right, cut.top},
                           {part.left, cut.bottom, part.right, part.bottom},
                           {part.left, cut.top, cut.left, cut.bottom},
                           {cut.right, cut.top, part.right, cut.bottom}};
    for (const RECT& piece : pieces)
      if (!RectEmpty(piece)) out.push_back(piece);
  }
  return out;
}

RECT ClipBounds(const ClipRects& clip) {
  if (clip.empty()) return {};
  RECT bounds = clip.front();
  for (const RECT& part : clip) {
    bounds.left = std::min(bounds.left, part.left);
    bounds.top = std::min(bounds.top, part.top);
    bounds.right = std::max(bounds.right, part.right);
    bounds.bottom = std::max(bounds.bottom, part.bottom);
  }
  return bounds;
}

void Surface::Fill(const RECT& rect, COLORREF color) {
  if (Empty()) return;
  const RECT device{rect.left + origin_.x, rect.top + origin_.y, rect.right + origin_.x, rect.bottom + origin_.y};
  for (const RECT& part : IntersectClip(clip_, Normalized(device))) {
    for (LONG y = part.top; y < part.bottom; ++y) {
      for (LONG x = part.left; x < part.right; ++x) {
        BYTE* pixel = At(x, y);
        pixel[0] = GetRValue(color);
        pixel[1] = GetGValue(color);
        pixel[2] = GetBValue(color);
      }
    }
  }
}

void Surface::Invert(const RECT& rect) {
  if (Empty()) return;
  const RECT device{rect.left + origin_.x, rect.top + origin_.y, rect.right + origin_.x, rect.bottom + origin_.y};
  for (const RECT& part : IntersectClip(clip_, Normalized(device)))
    for (LONG y = part.top; y < part.bottom; ++y)
      for (LONG x = part.left; x < part.right; ++x)
        for (int i = 0; i < 3; ++i) At(x, y)[i] ^= 0xFF;
}

void Surface::Limit(const RECT& rect) {
  clip_ = IntersectClip(clip_, Normalized({rect.left + origin_.x, rect.top + origin_.y, rect.right + origin_.x,
                                           rect.bottom + origin_.y}));
}

bool Surface::Visible(int x, int y) const {
  if (Empty()) return false;
  const LONG dx = x + origin_.x;
  const LONG dy = y + origin_.y;
  for (const RECT& part : clip_)
    if (dx >= part.left && dx < part.right && dy >= part.top && dy < part.bottom) return true;
  return false;
}

void Surface::Plot(int x, int y, COLORREF color) {
  if (!Visible(x, y)) return;
  BYTE* pixel = At(x + origin_.x, y + origin_.y);
  pixel[0] = GetRValue(color);
  pixel[1] = GetGValue(color);
  pixel[2] = GetBValue(color);
}

void Surface::InvertPixel(int x, int y) {
  if (!Visible(x, y)) return;
  BYTE* pixel = At(x + origin_.x, y + origin_.y);
  for (int i = 0; i < 3; ++i) pixel[i] ^= 0xFF;
}

COLORREF Surface::Get(int x, int y) const {
  if (!Visible(x, y)) return CLR_INVALID;
  const BYTE* pixel = pixels_ + (static_cast<size_t>(y + origin_.y) * width_ + (x + origin_.x)) * 3;
  return RGB(pixel[0], pixel[1], pixel[2]);
}

void DrawGlyph(Surface& surface, int x, int y, WCHAR c, COLORREF color, bool bold, bool underline) {
  if (surface.Empty()) return;
  const BYTE* columns = GlyphColumns(c);
  for (int column = 0; column < 5; ++column) {
    for (int row = 0; row < 7; ++row) {
      if (!(columns[column] & (1 << row))) continue;
      surface.Plot(x + kGlyphLeft + column, y + kGlyphTop + row, color);
      if (bold) surface.Plot(x + kGlyphLeft + column + 1, y + kGlyphTop + row, color);
    }
  }
  if (underline)
    for (int i = 0; i < kCharWidth; ++i) surface.Plot(x + i, y + kUnderlineRow, color);
}

}  // namespace velm::ui
