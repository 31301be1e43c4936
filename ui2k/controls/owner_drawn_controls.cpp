#include "ui2k/controls/owner_drawn_controls.h"

#include "settings/constraints/eval.h"
#include "settings/description/image.h"
#include "settings/items/store.h"
#include "settings/services/resource_strings.h"
#include "ui2k/controls/list_controls.h"
#include "ui2k/controls/listed_values.h"
#include "ui2k/controls/painters.h"
#include "ui2k/controls/static_controls.h"
#include "ui2k/pages/hint_window.h"
#include "ui2k/pages/item_change.h"
#include "ui2k/pages/page_framework.h"

namespace {

constexpr WORD kQualityList = 2134;
constexpr UINT kQualityRowFormat = 13200;  // "Print quality No.%d"
constexpr WORD kIconAndTextControls[] = {2085, 2087, 2100, 2102, 2457};
constexpr int kTextIndent = 2;
constexpr WPARAM kSpace = VK_SPACE;

// Check pictures: unchecked, unchecked disabled, checked, checked disabled.
constexpr WORD kCheckPictures[2][2] = {{7001, 7002}, {7003, 7004}};

bool DrawsIconAndText(WORD controlId) {
  for (WORD control : kIconAndTextControls)
    if (control == controlId) return true;
  return false;
}

// The rows of a check list: its extra data {8, rows, then per row: item, label string}.
struct CheckRows {
  const WORD* words = nullptr;
  size_t count = 0;
  WORD item(size_t n) const { return words[2 + 2 * n]; }
  WORD label(size_t n) const { return words[3 + 2 * n]; }
};

CheckRows CheckRowsOf(HWND page, const PageItemTemplate& row) {
  const PageControlExtra* extra = CtlExtraOf(page, row);
  if (!extra || !extra->words || extra->wordCount < 2 || extra->words[0] != kExtraCheckItems) return {};
  const size_t rows = extra->words[1];
  return {extra->words, rows * 2 + 2 <= extra->wordCount ? rows : (extra->wordCount - 2) / 2};
}

// The text of a row that is not drawn by the icon-and-text painter.
void RowText(UiContext* ui, const PageItemTemplate& row, const DRAWITEMSTRUCT& draw, WCHAR* text) {
  if (row.controlId == kQualityList) {
    WCHAR format[kUiTextChars] = {};
    ResLoadString(ui->driver, kQualityRowFormat, format, kUiTextChars, FALSE);
    CtlFormatOneValue(format, static_cast<LONG>(draw.itemID) + 1, text, kUiTextChars);
    return;
  }
  const bool list = draw.CtlType == ODT_LISTBOX;
  const DWORD hasStrings = list ? LBS_HASSTRINGS : CBS_HASSTRINGS;
  const UINT length = list ? LB_GETTEXTLEN : CB_GETLBTEXTLEN;
  if ((GetWindowLongW(draw.hwndItem, GWL_STYLE) & hasStrings) &&
      SendMessageW(draw.hwndItem, length, draw.itemID, 0) < static_cast<LRESULT>(kUiTextChars)) {
    SendMessageW(draw.hwndItem, list ? LB_GETTEXT : CB_GETLBTEXT, draw.itemID, reinterpret_cast<LPARAM>(text));
    return;
  }
  ResLoadString(ui->driver, static_cast<UINT>(draw.itemData), text, kUiTextChars, FALSE);
}

void DrawRowText(HDC dc, const WCHAR* text, RECT area, int color) {
  area.left += kTextIndent;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(color));
  DrawTextW(dc, text, -1, &area, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
}

// One row of an owner-drawn list or combo over its item's values.
LRESULT DrawValueRow(UiContext* ui, HWND page, const PageItemTemplate& row, const DRAWITEMSTRUCT& draw) {
  const WORD model = static_cast<WORD>(draw.itemData);
  const CtlRowLook look = CtlBeginRow(draw, FALSE);
  RECT area = draw.rcItem;
  const LONG side = area.bottom - area.top;
  const WORD mark = CtlIsValueHidden(ui, row, model) ? CtlConflictMark(CtlExtraOf(page, row)) : 0;
  const int textColor = mark ? COLOR_GRAYTEXT : look.text;
  if (mark) {
    CtlPaintValuePicture(ui, draw.hDC, mark, RECT{area.left, area.top, area.left + side, area.bottom});
    area.left += side;
  }
  if (DrawsIconAndText(row.controlId)) {
    CtlPaintIconAndText(ui, draw.hDC, model, area, GetSysColor(textColor));
  } else {
    if (CtlPaintValuePicture(ui, draw.hDC, model, RECT{area.left, area.top, area.left + side, area.bottom}))
      area.left += side;
    WCHAR text[kUiTextChars] = {};
    RowText(ui, row, draw, text);
    DrawRowText(draw.hDC, text, area, textColor);
  }
  CtlFinishRow(draw);
  return 1;
}

// The answer to WM_DRAWITEM: a row with data drawn; a focus change alone moves the focus rectangle.
LRESULT DrawItem(UiContext* ui, HWND page, PageItemTemplate* row, LPARAM lParam) {
  const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
  if (!draw || !draw->hDC || draw->hwndItem != row->window) return 0;
  if (!(draw->itemAction & (ODA_DRAWENTIRE | ODA_SELECT))) {
    if (!(draw->itemAction & ODA_FOCUS)) return 0;
    DrawFocusRect(draw->hDC, &draw->rcItem);
    return 1;
  }
  if (draw->itemID == static_cast<UINT>(-1) || !draw->itemData) return 0;
  return DrawValueRow(ui, page, *row, *draw);
}

bool IsCheckList(const PageItemTemplate& row) { return row.controlType == kCtlTypeCheckList; }

LRESULT FillCheckList(HWND page, const PageItemTemplate& row) {
  const CheckRows rows = CheckRowsOf(page, row);
  SendMessageW(row.window, LB_RESETCONTENT, 0, 0);
  for (size_t n = 0; n < rows.count; ++n) CtlAddListRow(row.window, WSTR(""), rows.item(n));
  return 1;
}

// The sheet's tab of `page`: the page itself, or for a modal dialog the tab it was opened over
// (the one in front when it is owned by the sheet itself).
HWND SheetTabOf(HWND page) {
  for (int depth = 0; depth < kPageWindowSlots; ++depth) {
    const PageWindow* record = PageRecordOf(page);
    HWND owner = record && record->modal ? GetParent(page) : nullptr;
    if (!owner) break;
    if (!PageRecordOf(owner)) {
      HWND front = reinterpret_cast<HWND>(SendMessageW(owner, PSM_GETCURRENTPAGEHWND, 0, 0));
      return front ? front : page;
    }
    page = owner;
  }
  return page;
}

// Item `item` of a check-list row toggled through the framework's change, as a row of its own.
LRESULT ToggleCheckRow(UiContext* ui, HWND page, const PageItemTemplate& row, WORD item) {
  DriverContext* context = ui->driver;
  PageItemTemplate target = row;
  target.itemId = item;
  target.itemRow = OptFindItem(context->itemTable, item);
  target.node = context->description ? DescSlotNode(context->description, item) : nullptr;
  target.extra = nullptr;
  if (!target.itemRow) return 0;
  PageApplyItemChange(ui, page, &target, OptGetValue(context, item) == 1 ? 0 : 1, TRUE);
  InvalidateRect(row.window, nullptr, TRUE);
  HWND tab = SheetTabOf(page);
  SendMessageW(GetParent(tab), PSM_CHANGED, reinterpret_cast<WPARAM>(tab), 0);
  return 1;
}

LRESULT DrawCheckRow(UiContext* ui, HWND page, const PageItemTemplate& row, const DRAWITEMSTRUCT& draw) {
  const CheckRows rows = CheckRowsOf(page, row);
  if (draw.itemID >= rows.count) return 0;
  DriverContext* context = ui->driver;
  const WORD item = rows.item(draw.itemID);
  const DWORD value = OptGetValue(context, item);
  const DescNode* node = context->description ? DescSlotNode(context->description, item) : nullptr;
  const CtlRowLook look = CtlBeginRow(draw, node && CondIsHidden(node, value, context));
  TEXTMETRICW metrics{};
  GetTextMetricsW(draw.hDC, &metrics);
  const LONG indent = 2 * metrics.tmHeight;
  const RECT& rect = draw.rcItem;
  CtlPaintValuePicture(ui, draw.hDC, kCheckPictures[value == 1][look.disabled ? 1 : 0],
                       RECT{rect.left, rect.top, rect.left + indent, rect.bottom});
  WCHAR text[kUiTextChars] = {};
  ResLoadString(context, rows.label(draw.itemID), text, kUiTextChars, FALSE);
  DrawRowText(draw.hDC, text, RECT{rect.left + indent, rect.top, rect.right, rect.bottom}, look.text);
  CtlFinishRow(draw);
  return 1;
}

}  // namespace

void CtlAddListRow(HWND list, const WCHAR* text, DWORD data) {
  const LRESULT added = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  if (added >= 0) SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(added), data);
}

LRESULT CtlAnswerListColor(UiContext* ui, HWND page, const PageItemTemplate& row, LPARAM list) {
  PageWindow* record = PageRecordOf(page);
  if (!record || reinterpret_cast<HWND>(list) != row.window) return 0;
  if (!IsWindowEnabled(row.window) || row.controlType == kCtlTypeIconList)
    record->brush = ui->state.brushes[0];
  else
    record->brush = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  return 1;
}

LRESULT CtlOwnerListFill(CTL_HANDLER_PARAMS) {
  if (!row->window) return 0;
  if (IsCheckList(*row)) return FillCheckList(page, *row);
  if (!row->node) return 0;
  SendMessageW(row->window, LB_RESETCONTENT, 0, 0);
  for (WORD model : CtlListedValues(ui, *row)) CtlAddListRow(row->window, WSTR(""), model);
  CtlListShow(ui, page, row, message, wParam, lParam);
  return 1;
}

LRESULT CtlOwnerListDraw(CTL_HANDLER_PARAMS) {
  if (!row->window) return 0;
  if (message == WM_CTLCOLORLISTBOX) return CtlAnswerListColor(ui, page, *row, lParam);
  return message == WM_DRAWITEM ? DrawItem(ui, page, row, lParam) : 0;
}

LRESULT CtlDrawnComboShow(CTL_HANDLER_PARAMS) {
  if (!row->node || !row->window || !row->itemRow || !row->itemRow->changed) return 0;
  const DWORD model = CtlCurrentValue(ui, *row);
  const LRESULT count = SendMessageW(row->window, CB_GETCOUNT, 0, 0);
  for (LRESULT n = 0; n < count; ++n)
    if (static_cast<DWORD>(SendMessageW(row->window, CB_GETITEMDATA, static_cast<WPARAM>(n), 0)) == model)
      return CtlComboShow(ui, page, row, message, wParam, lParam);
  return 0;
}

LRESULT CtlDrawnComboDraw(CTL_HANDLER_PARAMS) {
  if (message != WM_DRAWITEM || !row->window) return 0;
  const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
  const LRESULT drawn = DrawItem(ui, page, row, lParam);
  if (!drawn) return 0;
  const bool open = SendMessageW(row->window, CB_GETDROPPEDSTATE, 0, 0) != FALSE;
  if (open && !(draw->itemState & ODS_COMBOBOXEDIT) && (draw->itemState & ODS_SELECTED))
    CtlShowDrawnComboHint(ui, row->window, static_cast<WORD>(draw->itemData));
  else if (!open && ui->state.frame.hinted == row->window)
    PageHideHint(ui);
  return drawn;
}

LRESULT CtlCheckListMessage(CTL_HANDLER_PARAMS) {
  if (!row->window) return 0;
  switch (message) {
    case WM_DRAWITEM: {
      const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (!draw || !draw->hDC || draw->hwndItem != row->window || !(draw->itemAction & (ODA_DRAWENTIRE | ODA_SELECT)))
        return 0;
      return DrawCheckRow(ui, page, *row, *draw);
    }
    case WM_CHAR:
      if (wParam != kSpace) return 0;
      [[fallthrough]];
    case WM_LBUTTONUP: {
      const LRESULT selected = SendMessageW(row->window, LB_GETCURSEL, 0, 0);
      const CheckRows rows = CheckRowsOf(page, *row);
      if (!IsWindowEnabled(row->window) || selected < 0 || static_cast<size_t>(selected) >= rows.count) return 0;
      return ToggleCheckRow(ui, page, *row, rows.item(static_cast<size_t>(selected)));
    }
    default:
      return 0;
  }
}
