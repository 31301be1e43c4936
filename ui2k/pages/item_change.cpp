#include "ui2k/pages/item_change.h"

#include "data/item_ids.h"
#include "data/page_ids.h"
#include "settings/constraints/alerts.h"
#include "settings/constraints/eval.h"
#include "settings/devmode/paper_geometry.h"
#include "settings/items/saved_settings_values.h"
#include "settings/items/store.h"
#include "settings/services/resource_strings.h"
#include "settings/services/spooler_info.h"
#include "ui2k/pages/hint_window.h"
#include "ui2k/pages/page_framework.h"
#include "ui2k/pages/page_seams.h"
#include "ui2k/pages/sub_dialogs.h"

namespace {

constexpr DWORD kScaleFitToPaper = 2;
constexpr DWORD kPercent = 100;
// The job type whose confirmation alerts are let through, and their strings.
constexpr DWORD kJobTypeConfirmed = 56;
constexpr UINT kStringJobTypeCheck = 10011;
constexpr UINT kStringJobTypeWarn = 10012;
// Alerts of the print-type dialog about the user id.
constexpr UINT kStringUserIdMissing = 10003;
constexpr UINT kStringPasswordLength = 10004;
constexpr DWORD kJobTypeLocked = 1;

// Rows whose change moves the paper geometry: their items are derived again after the rules.
constexpr WORD kRederivedItems[] = {kItemPaperSize, kItemOutPaperSize, kItemOrientation};

bool Rederives(const PageItemTemplate& row) {
  for (WORD item : kRederivedItems)
    if (row.itemId == item) return true;
  return false;
}

// Fit to paper: both scales := the smaller ratio of output to source paper, in percent. Skipped
// while a source dimension is 0.
void FitToPaper(DriverContext* context) {
  if (OptGetValue(context, kItemFuncSelectScale) != 1 || OptGetValue(context, kItemScaleType) != kScaleFitToPaper) return;
  const DWORD srcWidth = OptGetValue(context, kItemSrcPaperWidthDot);
  const DWORD srcLength = OptGetValue(context, kItemSrcPaperLengthDot);
  if (srcWidth == 0 || srcLength == 0) return;
  const unsigned long long across = 1ull * OptGetValue(context, kItemDstPaperWidthDot) * kPercent / srcWidth;
  const unsigned long long along = 1ull * OptGetValue(context, kItemDstPaperLengthDot) * kPercent / srcLength;
  const DWORD scale = static_cast<DWORD>(across < along ? across : along);
  OptSetValue(context, kItemScaleH, scale);
  OptSetValue(context, kItemScaleV, scale);
}

void RederivePaper(DriverContext* context) {
  DmDeriveSrcPaperOriented(context, OptGetValue(context, kItemPaperSize), kItemPaperSize);
  DmDeriveDstPaperOriented(context, OptGetValue(context, kItemOutPaperSize), kItemOutPaperSize);
  FitToPaper(context);
}

void FocusEmptied(HWND window, WORD controlId, bool empty) {
  HWND control = GetDlgItem(window, controlId);
  if (!control) return;
  if (empty) SetWindowTextW(control, WSTR(""));
  SetFocus(control);
}

// After a refusal the focus goes to the control the page's user must correct.
void FocusAfterRefusal(UiContext* ui, HWND window, UINT text) {
  const PageWindow* record = PageRecordOf(window);
  if (!record || !record->page) return;
  switch (record->page->id) {
    case kPageDialogPrinttype:
      if (text == kStringUserIdMissing || text == kStringPasswordLength)
        FocusEmptied(window, kCtlPtUserId, false);
      else if (OptGetValue(ui->driver, kItemPrnMethod) == kJobTypeLocked)
        FocusEmptied(window, kCtlPtPassword, true);
      else
        FocusEmptied(window, kCtlPtStoredPassword, true);
      break;
    case kPageDialogUserPqc:
      FocusEmptied(window, kCtlFreesizeName, false);
      break;
    case kPageDialogSavePreset:
      FocusEmptied(window, kCtlSavePresetName, false);
      break;
    case kPageDialogSaveUser:
      FocusEmptied(window, kCtlSaveUserName, false);
      break;
    default:
      break;
  }
}

// No alert: the node's rules, the paper geometry, a page a rule names, a changed preset.
void FollowChange(UiContext* ui, HWND window, const PageItemTemplate& row, DWORD presetBefore) {
  DriverContext* context = ui->driver;
  const WORD target = CondApplyNodeRules(row.node, context);
  if (Rederives(row)) RederivePaper(context);
  // A dialog that is open already (the one whose control changed) is not opened over itself.
  if (target && !PageWindowOf(ui, target) && PageRunSubDialog(ui, kPageModal, target, window) == kPageCancelled)
    PageUpdateControls(ui, window, TRUE);
  const DWORD preset = OptGetModelValueById(context, kItemPresetNo);
  if (preset == presetBefore || preset < kPresetFirstValue || preset > kPresetLastValue) return;
  PageGetSeams().rstSavePresetByIndex(ui, static_cast<int>(preset - kPresetFirstValue));
  OptSetModelValueById(context, kItemPresetNo, preset);
  if (HWND list = GetDlgItem(PageWindowOf(ui, kPagePreset), kCtlPresetList))
    SendMessageW(list, LB_SETCURSEL, preset - kPresetFirstValue, 0);
  PageUpdateControls(ui, window, TRUE);
}

}  // namespace

int PageMessageBox(UiContext* ui, HWND owner, UINT stringId, UINT type) {
  WCHAR text[kUiTextChars] = {};
  ResLoadString(ui->driver, stringId, text, kUiTextChars, FALSE);
  return MessageBoxW(owner, text, PrnGetPrinterName(ui->driver), type);
}

int PageShowConflict(UiContext* ui, const DescAlertView& alert, HWND window) {
  PostMessageW(window, WM_PAINT, 0, 0);
  UINT type = 0;
  if (alert.icon > 0) type |= static_cast<UINT>(alert.icon);
  if (alert.buttons > 0) type |= static_cast<UINT>(alert.buttons);
  return PageMessageBox(ui, window, CondAlertStringId(alert), type);
}

int PageCheckNodeConflict(UiContext* ui, const DescNode* node, HWND window) {
  DescAlertView alert{};
  if (!CondFindAlert(ui->driver, node, &alert)) return 0;
  const int answer = PageShowConflict(ui, alert, window);
  if (const WORD target = CondRunAlertAction(ui->driver, alert, answer); target && !PageWindowOf(ui, target))
    PageRunSubDialog(ui, kPageModal, target, window);
  return alert.kind != kAlertProperty || !CondAlertAnswerAccepts(answer) ? 1 : 0;
}

int PageCheckConstraints(UiContext* ui, HWND window, BOOL wholeSheet) {
  auto checkPage = [&](PageTemplate& page) {
    for (DWORD n = 0; n < page.itemCount; ++n)
      if (page.items[n].node && PageCheckNodeConflict(ui, page.items[n].node, window)) return true;
    return false;
  };
  if (!wholeSheet) {
    PageWindow* record = PageRecordOf(window);
    return record && record->page && checkPage(*record->page) ? 1 : 0;
  }
  for (SHORT i = 0; i < ui->pages.count && i < kPageWindowSlots; ++i)
    if (ui->state.frame.pageWindows[i] && IsWindow(ui->state.frame.pageWindows[i]) && checkPage(ui->pages.rows[i]))
      return 1;
  return 0;
}

int PageApplyItemChange(UiContext* ui, HWND window, PageItemTemplate* row, DWORD value, BOOL store) {
  if (!ui || !row) return 0;
  DriverContext* context = ui->driver;
  PageHideHint(ui);
  DWORD previous = 0;
  if (store && row->itemId) {
    previous = OptGetValue(context, row->itemId);
    OptSetValue(context, row->itemId, value);
  }
  if (!row->node) return 0;
  const DWORD presetBefore = OptGetModelValueById(context, kItemPresetNo);

  DescAlertView alert{};
  if (!CondFindAlert(context, row->node, &alert)) {
    FollowChange(ui, window, *row, presetBefore);
    return 0;
  }
  int answer = IDOK;
  if (row->itemId == kItemFuncSelectWaterMark)
    SendMessageW(window, kPageMsgShowConflict, row->controlId, reinterpret_cast<LPARAM>(&alert));
  else
    answer = PageShowConflict(ui, alert, window);
  const UINT text = CondAlertStringId(alert);
  if (OptGetValue(context, kItemPrnMethod) == kJobTypeConfirmed && (text == kStringJobTypeCheck || text == kStringJobTypeWarn))
    return 0;
  const bool kept = alert.kind == kAlertProperty && CondAlertAnswerAccepts(answer);
  if (!kept && store && row->itemId) OptSetValue(context, row->itemId, previous);
  if (const WORD target = CondRunAlertAction(context, alert, answer); target && !PageWindowOf(ui, target))
    PageRunSubDialog(ui, kPageModal, target, window);
  if (kept) return 0;
  FocusAfterRefusal(ui, window, text);
  return 1;
}
