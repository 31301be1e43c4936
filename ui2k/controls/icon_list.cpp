#include "ui2k/controls/icon_list.h"

#include <iterator>

#include "data/item_ids.h"
#include "settings/context/settings_history.h"
#include "settings/items/store.h"
#include "settings/persistence/paths.h"
#include "settings/persistence/profile_wrappers.h"
#include "settings/services/resource_strings.h"
#include "settings/services/spooler_info.h"
#include "ui2k/controls/preview_painter.h"
#include "ui2k/controls/list_controls.h"
#include "ui2k/controls/listed_values.h"
#include "ui2k/controls/owner_drawn_controls.h"
#include "ui2k/controls/painters.h"
#include "ui2k/pages/item_change.h"
#include "ui2k/pages/page_seams.h"
#include "ui2k/pages/sub_dialogs.h"
#include "ui2k/store/stored_settings.h"

namespace {

// A saved setting's value is its entry's key string: entry n is 119 + n ("PresetList<n>").

// The items a row's load must not change in the selected row's preview while it is redrawn.
constexpr WORD kKeptWhileDrawn[] = {kItemDefaultSource, kItemDmMediaType, kItemOutputTrayID, kItemColor};
constexpr UINT kRowHeight = 72;     // a name band and the preview below it
constexpr LONG kBandExtra = 4;      // the name band is this much taller than the text

// The printer's key of the settings INI named by string `keyString` (with `suffix` appended, cut
// to the buffer) into `text` (kUiTextChars), empty when it is missing.
void ReadEntry(UiContext* ui, WORD keyString, const WCHAR* suffix, WCHAR* text) {
  WCHAR key[kUiTextChars] = {};
  ResLoadString(ui->driver, keyString, key, kUiTextChars, FALSE);
  if (suffix) {
    const int used = lstrlenW(key);
    lstrcpynW(key + used, suffix, static_cast<int>(kUiTextChars) - used);
  }
  text[0] = 0;
  IniProfileGetString(PrnGetPrinterName(ui->driver), key, WSTR(""), text, kUiTextChars,
                      PathGetSettingsIni(ui->driver));
}

// The stored file of list row `n` into `path`; FALSE for a row that is not there.
BOOL RowPath(HWND list, LRESULT n, WCHAR* path) {
  path[0] = 0;
  const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(n), 0);
  if (length < 0 || length >= static_cast<LRESULT>(kUiTextChars)) return FALSE;
  return SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(n), reinterpret_cast<LPARAM>(path)) >= 0;
}

BOOL LoadRow(UiContext* ui, HWND list, LRESULT n) {
  WCHAR path[kUiTextChars];
  return RowPath(list, n, path) && RstLoadFile(ui->driver->printer, path, kRstLoadPreset, ui);
}

// The conflict after a chosen row's load: the settings as they were, a beep, and the first row's
// setting in their place with the control's sub-dialog opened over them.
void FallBackToFirstRow(UiContext* ui, HWND page, PageItemTemplate* row) {
  DriverContext* context = ui->driver;
  DmHistoryPop(context, TRUE);
  MessageBeep(static_cast<UINT>(-1));
  if (SendMessageW(row->window, LB_GETCOUNT, 0, 0) > 0) {
    LoadRow(ui, row->window, 0);
    CtlCommitValue(ui, page, row, static_cast<DWORD>(SendMessageW(row->window, LB_GETITEMDATA, 0, 0)));
  }
  const PageControlExtra* extra = CtlExtraOf(page, *row);
  if (extra && extra->subDialog) PageRunSubDialog(ui, kPageModal, extra->subDialog, page);
  CtlListShow(ui, page, row, WM_PAINT, 0, 0);
}

void DrawName(UiContext* ui, const DRAWITEMSTRUCT& draw, const CtlRowLook& look, const RECT& band) {
  WCHAR name[kUiTextChars] = {};
  ReadEntry(ui, static_cast<WORD>(draw.itemData), WSTR("Name"), name);
  RECT text = band;
  SetBkMode(draw.hDC, TRANSPARENT);
  SetTextColor(draw.hDC, look.disabled || look.selected ? GetSysColor(look.text) : RGB(0, 0, 0));
  DrawTextW(draw.hDC, name, -1, &text, DT_CENTER | DT_END_ELLIPSIS | DT_NOPREFIX | DT_SINGLELINE);
}

LRESULT DrawRow(UiContext* ui, HWND page, const PageItemTemplate& row, const DRAWITEMSTRUCT& draw) {
  DriverContext* context = ui->driver;
  if (!DmHistoryPush(context)) return 0;
  DWORD kept[std::size(kKeptWhileDrawn)];
  for (size_t i = 0; i < std::size(kKeptWhileDrawn); ++i) kept[i] = OptGetValue(context, kKeptWhileDrawn[i]);
  LoadRow(ui, draw.hwndItem, static_cast<LRESULT>(draw.itemID));
  if (!(draw.itemAction & ODA_SELECT) && (draw.itemState & ODS_SELECTED))
    for (size_t i = 0; i < std::size(kKeptWhileDrawn); ++i) OptSetValue(context, kKeptWhileDrawn[i], kept[i]);
  const CtlRowLook look = CtlBeginRow(draw, FALSE);
  if (!look.disabled && !look.selected) FillRect(draw.hDC, &draw.rcItem, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  TEXTMETRICW metrics{};
  GetTextMetricsW(draw.hDC, &metrics);
  const RECT& rect = draw.rcItem;
  const RECT band{rect.left, rect.top, rect.right, rect.top + metrics.tmHeight + kBandExtra};
  if (draw.itemData) {
    DrawName(ui, draw, look, band);
    CtlPaintPreview(ui, page, &row, draw.hDC, RECT{rect.left, band.bottom, rect.right, rect.bottom});
  }
  CtlFinishRow(draw);
  DmHistoryPop(context, TRUE);
  return 1;
}

}  // namespace

LRESULT CtlIconListFill(CTL_HANDLER_PARAMS) {
  if (!row->window || !row->itemRow) return 0;
  SendMessageW(row->window, LB_RESETCONTENT, 0, 0);
  SendMessageW(row->window, LB_SETITEMHEIGHT, 0, kRowHeight);
  const LRESULT entries = static_cast<LRESULT>(PageGetSeams().dlgGetPresetCount(ui));
  WCHAR path[kUiTextChars];
  for (WORD model : CtlListedValues(ui, *row)) {
    if (SendMessageW(row->window, LB_GETCOUNT, 0, 0) >= entries) break;
    ReadEntry(ui, model, nullptr, path);
    CtlAddListRow(row->window, path, model);
  }
  CtlListShow(ui, page, row, message, wParam, lParam);
  return 1;
}

LRESULT CtlIconListCommand(CTL_HANDLER_PARAMS) {
  if (!row->window || !row->itemRow || HIWORD(wParam) != LBN_SELCHANGE) return 0;
  const LRESULT selected = SendMessageW(row->window, LB_GETCURSEL, 0, 0);
  if (selected < 0) return 0;
  DriverContext* context = ui->driver;
  if (!DmHistoryPush(context)) return 0;
  LoadRow(ui, row->window, selected);
  if (row->node && PageCheckNodeConflict(ui, row->node, page)) {
    FallBackToFirstRow(ui, page, row);
    return 1;
  }
  CtlCommitValue(ui, page, row, static_cast<DWORD>(SendMessageW(row->window, LB_GETITEMDATA, selected, 0)));
  DmHistoryPop(context, FALSE);
  return 1;
}

LRESULT CtlIconListDraw(CTL_HANDLER_PARAMS) {
  if (!row->window) return 0;
  if (message == WM_CTLCOLORLISTBOX) return CtlAnswerListColor(ui, page, *row, lParam);
  const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
  if (message != WM_DRAWITEM || !draw || !draw->hDC || draw->hwndItem != row->window ||
      !(draw->itemAction & (ODA_DRAWENTIRE | ODA_SELECT)) || draw->itemID == static_cast<UINT>(-1))
    return 0;
  return DrawRow(ui, page, *row, *draw);
}
