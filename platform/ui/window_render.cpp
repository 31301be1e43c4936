// Pictures of windows: a window and its visible descendants painted into one image through
// WM_ERASEBKGND and WM_PRINTCLIENT, as the screen would show them, and saved as PNG.
#include <algorithm>

#include "core/host_file.h"
#include "core/winerror.h"
#include "ui/gdi_internal.h"
#include "ui/png_writer.h"
#include "ui/winuser.h"

namespace velm::ui {
namespace {

// A top-level window with a caption gets the classic frame around it in the picture: the window
// manager keeps no frame (a window's client area is its whole rectangle).
constexpr int kFrame = 3;
constexpr int kCaption = 18;
constexpr int kMaxDepth = 64;
constexpr int kMaxChildren = 4096;

RECT Offset(RECT rect, POINT by) {
  return {rect.left + by.x, rect.top + by.y, rect.right + by.x, rect.bottom + by.y};
}

RECT Intersect(const RECT& a, const RECT& b) {
  const RECT both{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                  std::min(a.bottom, b.bottom)};
  return RectEmpty(both) ? RECT{} : both;
}

void FillColor(HDC dc, const RECT& rect, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

// The frame and caption bar around a top-level window: the whole image less the window's place.
void PaintFrame(UiImage* image, HWND window) {
  const HDC dc = CreateImageDc(image, {0, 0, image->width, image->height}, {0, 0});
  RECT outer{0, 0, image->width, image->height};
  DrawEdge(dc, &outer, EDGE_RAISED, BF_RECT | BF_MIDDLE);
  const RECT bar{kFrame, kFrame, image->width - kFrame, kFrame + kCaption - 1};
  const COLORREF from = GetSysColor(COLOR_ACTIVECAPTION);
  const COLORREF to = GetSysColor(COLOR_GRADIENTACTIVECAPTION);
  const LONG span = std::max<LONG>(1, bar.right - bar.left - 1);
  for (LONG x = bar.left; x < bar.right; ++x) {
    auto mix = [&](BYTE a, BYTE b) { return static_cast<BYTE>(a + (b - a) * (x - bar.left) / span); };
    FillColor(dc, {x, bar.top, x + 1, bar.bottom},
              RGB(mix(GetRValue(from), GetRValue(to)), mix(GetGValue(from), GetGValue(to)),
                  mix(GetBValue(from), GetBValue(to))));
  }
  // The close button, then the caption text in bold beside it.
  RECT close{bar.right - 18, bar.top + 2, bar.right - 2, bar.bottom - 2};
  DrawEdge(dc, &close, EDGE_RAISED, BF_RECT | BF_MIDDLE | BF_ADJUST);
  const HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNTEXT));
  const HGDIOBJ oldPen = SelectObject(dc, pen);
  MoveToEx(dc, close.left + 3, close.top + 2, nullptr);
  LineTo(dc, close.right - 3, close.bottom - 2);
  MoveToEx(dc, close.right - 4, close.top + 2, nullptr);
  LineTo(dc, close.left + 2, close.bottom - 2);
  SelectObject(dc, oldPen);
  DeleteObject(pen);

  WCHAR text[256] = {};
  GetWindowTextW(window, text, 256);
  LOGFONTW bold{};
  bold.lfWeight = FW_BOLD;
  const HFONT font = CreateFontIndirectW(&bold);
  const HGDIOBJ oldFont = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_CAPTIONTEXT));
  RECT textRect{bar.left + 4, bar.top, close.left - 4, bar.bottom};
  DrawTextW(dc, text, -1, &textRect, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
  SelectObject(dc, oldFont);
  DeleteObject(font);
  DeleteDC(dc);
}

// `offset` maps screen coordinates to image coordinates; `limit` is what the parent's client
// area leaves visible, in image coordinates.
void PaintTree(UiImage* image, HWND window, POINT offset, const RECT& limit, int depth) {
  RECT windowRect{};
  if (depth > kMaxDepth || !GetWindowRect(window, &windowRect)) return;
  const RECT visible = Intersect(Offset(windowRect, offset), limit);
  POINT origin{0, 0};
  RECT client{};
  ClientToScreen(window, &origin);
  GetClientRect(window, &client);
  origin = {origin.x + offset.x, origin.y + offset.y};
  const RECT clientVisible = Intersect(Offset(client, origin), visible);
  if (RectEmpty(clientVisible)) return;

  const HDC dc = CreateImageDc(image, clientVisible, origin);
  const int saved = SaveDC(dc);
  SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RestoreDC(dc, saved);
  SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  DeleteDC(dc);

  // Children from the bottom of the z-order up, so that the top one is painted last.
  std::vector<HWND> children;
  for (HWND child = GetWindow(window, GW_CHILD); child && children.size() < kMaxChildren;
       child = GetWindow(child, GW_HWNDNEXT))
    children.push_back(child);
  for (auto it = children.rbegin(); it != children.rend(); ++it)
    if (GetWindowLongPtrW(*it, GWL_STYLE) & WS_VISIBLE) PaintTree(image, *it, offset, clientVisible, depth + 1);
}

}  // namespace
}  // namespace velm::ui

using namespace velm::ui;

COLORREF UiImage::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height || rgb.size() < static_cast<size_t>(width) * height * 3)
    return CLR_INVALID;
  const BYTE* pixel = rgb.data() + (static_cast<size_t>(y) * width + x) * 3;
  return RGB(pixel[0], pixel[1], pixel[2]);
}

BOOL UiRenderWindow(HWND window, UiImage* image) {
  RECT rect{};
  if (!image || !UiIsWindow(window) || !GetWindowRect(window, &rect)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  constexpr LONG kMaxSide = 8192;
  const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
  const bool framed = (style & WS_CAPTION) == WS_CAPTION && !(style & WS_CHILD);
  const LONG width = rect.right - rect.left;
  const LONG height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  image->width = width + (framed ? 2 * kFrame : 0);
  image->height = height + (framed ? 2 * kFrame + kCaption : 0);
  image->rgb.assign(static_cast<size_t>(image->width) * image->height * 3, 0);
  const COLORREF face = GetSysColor(COLOR_3DFACE);
  for (size_t i = 0; i < image->rgb.size(); i += 3) {
    image->rgb[i] = GetRValue(face);
    image->rgb[i + 1] = GetGValue(face);
    image->rgb[i + 2] = GetBValue(face);
  }
  if (framed) PaintFrame(image, window);
  const POINT at = framed ? POINT{kFrame, kFrame + kCaption} : POINT{0, 0};
  const POINT offset{at.x - rect.left, at.y - rect.top};
  PaintTree(image, window, offset, {at.x, at.y, at.x + width, at.y + height}, 0);
  return TRUE;
}

BOOL UiSaveWindowPng(HWND window, const std::filesystem::path& path) {
  UiImage image;
  if (!UiRenderWindow(window, &image)) return FALSE;
  const std::vector<BYTE> png = EncodePng(static_cast<DWORD>(image.width), static_cast<DWORD>(image.height), image.rgb);
  if (png.empty()) {
    SetLastError(ERROR_WRITE_FAULT);
    return FALSE;
  }
  const DWORD error = velm::platform::ReplaceWholeFile(path, std::string(png.begin(), png.end()));
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  return TRUE;
}
