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

BOOL CtlPaintValuePicture(UiContext* ui, HDC dc, WORD pictureId, const RECT& rect) {
  const HINSTANCE library = ui ? UiResInstance(ui->driver) : nullptr;
  if (!library || !dc || rect.right <= rect.left || rect.bottom <= rect.top) return FALSE;
  HBITMAP picture = LoadBitmapW(library, MAKEINTRESOURCEW(pictureId));
  if (!picture) return FALSE;
  BITMAP size{};
  BOOL drawn = FALSE;
  HDC source = CreateCompatibleDC(dc);
  if (source && GetObjectW(picture, sizeof size, &size) && size.bmWidth > 0 && size.bmHeight > 0) {
    const LONG roomX = rect.right - rect.left, roomY = rect.bottom - rect.top;
    // Scaled by the smaller of the two ratios, never above 1.
    LONG width = size.bmWidth, height = size.bmHeight;
    if (width > roomX || height > roomY) {
      if (width * roomY > height * roomX) {
        height = std::max<LONG>(1, height * roomX / width);
        width = roomX;
      } else {
        width = std::max<LONG>(1, width * roomY / height);
        height = roomY;
      }
    }
    const int x = static_cast<int>(rect.left + (roomX - width) / 2);
    const int y = static_cast<int>(rect.top + (roomY - height) / 2);
    const HGDIOBJ previous = SelectObject(source, picture);
    drawn = width == size.bmWidth
                ? BitBlt(dc, x, y, width, height, source, 0, 0, SRCCOPY)
                : StretchBlt(dc, x, y, width, height, source, 0, 0, size.bmWidth, size.bmHeight, SRCCOPY);
    SelectObject(source, previous);
  }
  if (source) DeleteDC(source);
  DeleteObject(picture);
  return drawn;
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
