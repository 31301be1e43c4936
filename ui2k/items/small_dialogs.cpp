#include "ui2k/items/small_dialogs.h"

#include "data/item_ids.h"
#include "data/page_ids.h"
#include "settings/items/store.h"
#include "ui2k/controls/refill_groups.h"
#include "ui2k/items/item_dispatcher.h"
#include "ui2k/pages/page_framework.h"
#include "ui2k/pages/sub_dialogs.h"

namespace {

constexpr WORD kPostNameStep = 2;  // the labels lie between the names
constexpr WORD kMarginEdits[] = {kCtlMarginOdd, kCtlMarginEven, kCtlMarginBind, kCtlMarginBind2};

// The number (1..9) of a print-post name edit, 0 for any other control.
DWORD PostNameNumber(WORD controlId) {
  if (controlId < kCtlPostName1 || controlId > kCtlPostName9) return 0;
  const WORD offset = static_cast<WORD>(controlId - kCtlPostName1);
  return offset % kPostNameStep ? 0 : offset / kPostNameStep + 1;
}

void SetFocusedPost(UiContext* ui, HWND page, DWORD number) {
  OptSetValue(ui->driver, kItemPrintPostFocus, number);
  PageUpdateControls(ui, page, FALSE);
}

}  // namespace

LRESULT DlgPrintPostProc(UiContext* ui, HWND page, PageItemTemplate* row, UINT message, WPARAM wParam, LPARAM) {
  const DWORD number = row ? PostNameNumber(row->controlId) : 0;
  if (!number) return 0;
  switch (message) {
    case WM_INITDIALOG:
      ItemSubclassControl(*row);
      return 0;
    case WM_SETFOCUS:
      SetFocusedPost(ui, page, number);
      return 0;
    case WM_KILLFOCUS:
      SetFocusedPost(ui, page, 0);
      return 0;
    case WM_COMMAND:
      if (HIWORD(wParam) != EN_CHANGE) return 0;
      ItemRunClassCommand(ui, page, row, EN_CHANGE);
      CtlRefillMarkGroup(ui);
      return 1;
    default:
      return 0;
  }
}

LRESULT DlgMarginProc(UiContext* ui, HWND page, PageItemTemplate* row, UINT message, WPARAM wParam, LPARAM) {
  if (!row || message != WM_COMMAND || (HIWORD(wParam) != EN_KILLFOCUS && HIWORD(wParam) != EN_CHANGE)) return 0;
  for (WORD id : kMarginEdits) {
    if (id != row->controlId) continue;
    ItemRunClassCommand(ui, page, row, HIWORD(wParam));
    PageUpdateControls(ui, page, FALSE);
    InvalidateRect(page, nullptr, TRUE);
    return 1;
  }
  return 0;
}

LRESULT DlgUserCodeInputProc(UiContext* ui, HWND page, PageItemTemplate* row, UINT message, WPARAM wParam, LPARAM) {
  if (row || message != WM_COMMAND || LOWORD(wParam) != IDOK) return 0;
  return PageRunSubDialog(ui, kPageModal, kPageDialogUsercodeConfirmation, page) == IDNO ? 1 : 0;
}
