#include "ui2k/controls/list_controls.h"

#include "settings/services/resource_strings.h"
#include "ui2k/controls/listed_values.h"
#include "ui2k/pages/item_change.h"

namespace {

// The messages that tell a list box from a combo box.
struct RowMessages {
  UINT reset, add, setData, getData, count, getSelection, setSelection;
  WORD selectionChange;
};
constexpr RowMessages kListMessages = {LB_RESETCONTENT, LB_ADDSTRING, LB_SETITEMDATA, LB_GETITEMDATA,
                                       LB_GETCOUNT,     LB_GETCURSEL, LB_SETCURSEL,   LBN_SELCHANGE};
constexpr RowMessages kComboMessages = {CB_RESETCONTENT, CB_ADDSTRING, CB_SETITEMDATA, CB_GETITEMDATA,
                                        CB_GETCOUNT,     CB_GETCURSEL, CB_SETCURSEL,   CBN_SELCHANGE};
constexpr WORD kComboDropDown = CBN_DROPDOWN;
constexpr LRESULT kNoRow = -1;

LRESULT Fill(UiContext* ui, const PageItemTemplate& row, const RowMessages& m) {
  if (!row.node || !row.window) return 0;
  SendMessageW(row.window, m.reset, 0, 0);
  WCHAR text[kUiTextChars] = {};
  for (WORD model : CtlListedValues(ui, row)) {
    ResLoadString(ui->driver, model, text, kUiTextChars, FALSE);
    const LRESULT added = SendMessageW(row.window, m.add, 0, reinterpret_cast<LPARAM>(text));
    if (added >= 0) SendMessageW(row.window, m.setData, static_cast<WPARAM>(added), model);
  }
  return 1;
}

LRESULT RowOfValue(const PageItemTemplate& row, const RowMessages& m, DWORD model) {
  const LRESULT count = SendMessageW(row.window, m.count, 0, 0);
  for (LRESULT n = 0; n < count; ++n)
    if (static_cast<DWORD>(SendMessageW(row.window, m.getData, static_cast<WPARAM>(n), 0)) == model) return n;
  return kNoRow;
}

LRESULT Show(UiContext* ui, const PageItemTemplate& row, const RowMessages& m) {
  if (!row.node || !row.window) return 0;
  CtlShowEnabledState(ui, row);
  const LRESULT wanted = RowOfValue(row, m, CtlCurrentValue(ui, row));
  if (SendMessageW(row.window, m.getSelection, 0, 0) == wanted) return 0;
  SendMessageW(row.window, m.setSelection, static_cast<WPARAM>(wanted), 0);
  return 1;
}

// A hidden value whose control carries a conflict mark and an information string is refused
// with that information; the previous value's row is selected again.
bool RefusedAsConflict(UiContext* ui, HWND page, const PageItemTemplate& row, const RowMessages& m, DWORD model,
                       DWORD previous) {
  const PageControlExtra* extra = CtlExtraOf(page, row);
  if (!CtlConflictMark(extra) || !extra->infoString || !CtlIsValueHidden(ui, row, model)) return false;
  WCHAR text[kUiTextChars] = {};
  ResLoadString(ui->driver, extra->infoString, text, kUiTextChars, FALSE);
  MessageBoxW(page, text, WSTR("Information"), MB_OK | MB_ICONINFORMATION);
  SendMessageW(row.window, m.setSelection, static_cast<WPARAM>(RowOfValue(row, m, previous)), 0);
  return true;
}

// The selected row's value committed; `recheck`: choosing the current value again re-runs the
// item's check.
LRESULT Command(UiContext* ui, HWND page, PageItemTemplate* row, const RowMessages& m, WPARAM wParam, bool recheck) {
  if (!row->node || !row->window || HIWORD(wParam) != m.selectionChange) return 0;
  const LRESULT selected = SendMessageW(row->window, m.getSelection, 0, 0);
  if (selected < 0) return 0;
  const DWORD model = static_cast<DWORD>(SendMessageW(row->window, m.getData, static_cast<WPARAM>(selected), 0));
  const DWORD previous = CtlCurrentValue(ui, *row);
  if (model == previous) {
    if (recheck) PageCheckNodeConflict(ui, row->node, page);
    return 0;
  }
  if (RefusedAsConflict(ui, page, *row, m, model, previous)) return 0;
  CtlCommitValue(ui, page, row, model);
  return 1;
}

}  // namespace

LRESULT CtlListFill(CTL_HANDLER_PARAMS) { return Fill(ui, *row, kListMessages) ? Show(ui, *row, kListMessages), 1 : 0; }
LRESULT CtlListShow(CTL_HANDLER_PARAMS) { return Show(ui, *row, kListMessages); }
LRESULT CtlListCommand(CTL_HANDLER_PARAMS) { return Command(ui, page, row, kListMessages, wParam, false); }
LRESULT CtlComboFill(CTL_HANDLER_PARAMS) {
  return Fill(ui, *row, kComboMessages) ? Show(ui, *row, kComboMessages), 1 : 0;
}
LRESULT CtlComboShow(CTL_HANDLER_PARAMS) { return Show(ui, *row, kComboMessages); }

LRESULT CtlComboCommand(CTL_HANDLER_PARAMS) {
  if (HIWORD(wParam) == kComboDropDown && row->window) {
    const LRESULT selected = SendMessageW(row->window, CB_GETCURSEL, 0, 0);
    if (selected >= 1 && selected <= 3) SendMessageW(row->window, CB_SETTOPINDEX, 0, 0);
    return 0;
  }
  return Command(ui, page, row, kComboMessages, wParam, true);
}

void CtlShowTab(HWND page, const WORD* words, size_t count, int tab) {
  if (!words || count < 2 || words[0] != kExtraTabs) return;
  // Every other tab's controls hidden first: a control on two tabs stays shown.
  for (int pass = 0; pass < 2; ++pass) {
    size_t at = 2;
    for (int t = 0; t < words[1] && at + 1 < count; ++t) {
      const size_t controls = words[at + 1];
      at += 2;
      for (size_t n = 0; n < controls && at < count; ++n, ++at) {
        const bool shown = t == tab;
        if (shown != (pass == 1)) continue;
        if (HWND control = GetDlgItem(page, words[at])) ShowWindow(control, shown ? SW_SHOW : SW_HIDE);
      }
    }
  }
}

LRESULT CtlTabInit(CTL_HANDLER_PARAMS) {
  const PageControlExtra* extra = CtlExtraOf(page, *row);
  if (!row->window || !extra || !extra->words || extra->wordCount < 2 || extra->words[0] != kExtraTabs) return 0;
  SendMessageW(row->window, TCM_DELETEALLITEMS, 0, 0);
  WCHAR text[kUiTextChars] = {};
  size_t at = 2;
  for (int t = 0; t < extra->words[1] && at + 1 < extra->wordCount; ++t) {
    ResLoadString(ui->driver, extra->words[at], text, kUiTextChars, FALSE);
    TCITEMW tab{};
    tab.mask = TCIF_TEXT;
    tab.pszText = text;
    SendMessageW(row->window, TCM_INSERTITEMW, static_cast<WPARAM>(t), reinterpret_cast<LPARAM>(&tab));
    at += 2 + extra->words[at + 1];
  }
  CtlShowTab(page, extra->words, extra->wordCount, 0);
  return 1;
}

LRESULT CtlTabNotify(CTL_HANDLER_PARAMS) {
  const auto* header = reinterpret_cast<const NMHDR*>(lParam);
  if (message != WM_NOTIFY || !header || header->code != TCN_SELCHANGE || !row->window) return 0;
  const PageControlExtra* extra = CtlExtraOf(page, *row);
  if (!extra) return 0;
  CtlShowTab(page, extra->words, extra->wordCount, static_cast<int>(SendMessageW(row->window, TCM_GETCURSEL, 0, 0)));
  return 1;
}

LRESULT CtlTreeFill(CTL_HANDLER_PARAMS) {
  if (!row->node || !row->window) return 0;
  SendMessageW(row->window, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
  WCHAR text[kUiTextChars] = {};
  for (WORD model : CtlListedValues(ui, *row)) {
    ResLoadString(ui->driver, model, text, kUiTextChars, FALSE);
    if (!text[0]) lstrcpynW(text, WSTR("none"), kUiTextChars);
    TVINSERTSTRUCTW entry{};
    entry.hParent = TVI_ROOT;
    entry.hInsertAfter = TVI_LAST;
    entry.item.mask = TVIF_TEXT;
    entry.item.pszText = text;
    SendMessageW(row->window, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&entry));
  }
  return 1;
}
