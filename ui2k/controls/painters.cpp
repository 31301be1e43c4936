#include "ui2k/controls/painters.h"

#include <algorithm>

#include "settings/services/resource_strings.h"
#include "ui2k/pages/hint_window.h"
#include "ui2k/sheets/resource_library.h"

namespace {

constexpr int kPictureInset = 1;  // pixels between a row's edge and its picture
constexpr int kTextGap = 4;       // pixels between a row's picture and its text

}  // namespace

CtlRowLook CtlBeginRow(const DRAWITEMSTRUCT& draw, BOOL disabled) {
  CtlRowLook look{};
  look.disabled = disabled || (draw.itemState & ODS_DISABLED) || (draw.hwndItem && !IsWindowEnabled(draw.hwndItem));
  look.selected = (draw.itemState & ODS_SELECTED) != 0;
  look.background = look.disabled ? COLOR_BTNFACE : look.selected ? COLOR_HIGHLIGHT : COLOR_WINDOW;
  look.text = look.disabled ? COLOR_GRAYTEXT : look.selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT;
  FillRect(draw.hDC, &draw.rcItem, GetSysColorBrush(look.background));
  return look;
}

void CtlFinishRow(const DRAWITEMSTRUCT& draw) {
  if (draw.itemState & ODS_FOCUS) DrawFocusRect(draw.hDC, &draw.rcItem);
}

RECT CtlFitRect(const RECT& area, LONG width, LONG height) {
  const LONG w = area.right - area.left, h = area.bottom - area.top;
  if (w <= 0 || h <= 0 || width <= 0 || height <= 0) return {area.left, area.top, area.left, area.top};
  LONG fitW = w, fitH = static_cast<LONG>(static_cast<long long>(w) * height / width);
  if (fitH > h) {
    fitH = h;
    fitW = static_cast<LONG>(static_cast<long long>(h) * width / height);
  }
  fitW = std::max<LONG>(1, fitW);
  fitH = std::max<LONG>(1, fitH);
  const LONG left = area.left + (w - fitW) / 2, top = area.top + (h - fitH) / 2;
  return {left, top, left + fitW, top + fitH};
}

BOOL CtlDrawPicture(HINSTANCE library, HDC dc, WORD pictureId, const RECT& rect, CtlPictureFit fit) {
  if (!library || !dc || rect.right <= rect.left || rect.bottom <= rect.top) return FALSE;
  HBITMAP picture = LoadBitmapW(library, MAKEINTRESOURCEW(pictureId));
  if (!picture) return FALSE;
  BITMAP size{};
  BOOL drawn = FALSE;
  HDC source = CreateCompatibleDC(dc);
  if (source && GetObjectW(picture, sizeof size, &size) && size.bmWidth > 0 && size.bmHeight > 0) {
    RECT place = rect;
    const LONG roomX = rect.right - rect.left, roomY = rect.bottom - rect.top;
    if (fit == CtlPictureFit::kShrinkToFit && size.bmWidth <= roomX && size.bmHeight <= roomY) {
      place.left += (roomX - size.bmWidth) / 2;
      place.top += (roomY - size.bmHeight) / 2;
      place.right = place.left + size.bmWidth;
      place.bottom = place.top + size.bmHeight;
    } else if (fit != CtlPictureFit::kStretch) {
      place = CtlFitRect(rect, size.bmWidth, size.bmHeight);
    }
    const LONG width = place.right - place.left, height = place.bottom - place.top;
    const HGDIOBJ previous = SelectObject(source, picture);
    drawn = width == size.bmWidth && height == size.bmHeight
                ? BitBlt(dc, place.left, place.top, width, height, source, 0, 0, SRCCOPY)
                : StretchBlt(dc, place.left, place.top, width, height, source, 0, 0, size.bmWidth, size.bmHeight,
                             SRCCOPY);
    SelectObject(source, previous);
  }
  if (source) DeleteDC(source);
  DeleteObject(picture);
  return drawn;
}

BOOL CtlPaintValuePicture(UiContext* ui, HDC dc, WORD pictureId, const RECT& rect) {
  return CtlDrawPicture(ui ? UiResInstance(ui->driver) : nullptr, dc, pictureId, rect, CtlPictureFit::kShrinkToFit);
}

void CtlPaintIconAndText(UiContext* ui, HDC dc, WORD model, const RECT& row, COLORREF textColor) {
  const LONG side = row.bottom - row.top;
  RECT picture{row.left + kPictureInset, row.top + kPictureInset, row.left + side - kPictureInset,
               row.bottom - kPictureInset};
  CtlPaintValuePicture(ui, dc, model, picture);
  WCHAR name[kUiTextChars] = {};
  ResLoadString(ui->driver, model, name, kUiTextChars, FALSE);
  RECT text{row.left + side + kTextGap, row.top, row.right, row.bottom};
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, textColor);
  DrawTextW(dc, name, -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
}

void CtlShowDrawnComboHint(UiContext* ui, HWND combo, WORD model) {
  WCHAR name[kUiTextChars] = {};
  if (!ui || !combo || ResLoadString(ui->driver, model, name, kUiTextChars, FALSE) <= 0) return;
  RECT list{};
  if (SendMessageW(combo, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&list)) == CB_ERR)
    GetWindowRect(combo, &list);
  PageShowHintBelow(ui, combo, list, name);
}
