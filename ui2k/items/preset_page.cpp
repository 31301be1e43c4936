#include "ui2k/items/preset_page.h"

#include "data/item_ids.h"
#include "data/page_ids.h"
#include "settings/items/page_control_extras.h"
#include "settings/items/saved_settings_values.h"
#include "settings/items/store.h"
#include "ui2k/controls/refill_groups.h"
#include "ui2k/items/item_dispatcher.h"
#include "ui2k/pages/page_framework.h"
#include "ui2k/pages/page_seams.h"
#include "ui2k/pages/preset_save.h"
#include "ui2k/pages/sub_dialogs.h"

namespace {

// The sub-dialog that control `controlId` of the page opens, modal.
void OpenSubDialogOf(UiContext* ui, HWND page, WORD controlId) {
  const PageControlExtra* extra = PageFindControlExtra(kPagePreset, controlId);
  if (extra && extra->subDialog) PageRunSubDialog(ui, kPageModal, extra->subDialog, page);
}

LRESULT EditInUserSettings(UiContext* ui, HWND page, PageItemTemplate* row) {
  DriverContext* context = ui->driver;
  const PageSeams& seams = PageGetSeams();
  const DWORD preset = OptGetModelValueById(context, kItemPresetNo);
  const DWORD count = seams.dlgGetPresetCount(ui);
  DWORD offers = kMaskOfferSaveNew;
  if (seams.rstIsPresetWritable(ui, static_cast<int>(preset) - static_cast<int>(kPresetFirstValue)))
    offers = count >= kPagePresetSlots ? kMaskOfferOverwrite : kMaskOfferOverwrite | kMaskOfferSaveNew;
  CtxRaiseChangeMask(context, offers);
  if (row->controlId == kCtlPresetAdd) CtxRaiseChangeMask(context, kMaskOpenSubDialog | kCtlPresetSave);
  if (preset == kPresetNoneValue) OpenSubDialogOf(ui, page, kCtlPresetList);
  if (PageRunSubDialog(ui, kPageUserSettingsTab, kPageEdit, page) != IDOK) PageReloadStamp(ui);
  const DWORD now = seams.dlgGetPresetCount(ui);
  if (now == count + 1) ItemRestorePreset(ui, page, static_cast<int>(now) - 1);
  if (row->window) InvalidateRect(row->window, nullptr, FALSE);
  return 1;
}

LRESULT RestoreFirst(UiContext* ui, HWND page) {
  ItemRestorePreset(ui, page, 0);
  DlgRefillPresetLists(ui);
  PageUpdateControls(ui, page, FALSE);
  return 1;
}

}  // namespace

LRESULT DlgPresetPageProc(UiContext* ui, HWND page, PageItemTemplate* row, UINT message, WPARAM wParam, LPARAM) {
  if (!row) {
    const DWORD mask = CtxGetChangeMask(ui->driver);
    if (mask & kMaskOpenSubDialog) {
      CtxClearChangeMask(ui->driver, kMaskOpenSubDialog | kChangeMaskLowHalf);
      OpenSubDialogOf(ui, page, LOWORD(mask));
    }
    return 0;
  }
  if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return 0;
  switch (row->controlId) {
    case kCtlPresetEdit:
    case kCtlPresetAdd:
      return EditInUserSettings(ui, page, row);
    case kCtlPresetDefault:
      return RestoreFirst(ui, page);
    default:
      return 0;
  }
}
