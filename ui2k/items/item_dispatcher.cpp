#include "ui2k/items/item_dispatcher.h"

#include "data/page_ids.h"
#include "data/item_ids.h"
#include "settings/description/access.h"
#include "settings/items/page_control_extras.h"
#include "settings/items/saved_settings_values.h"
#include "settings/items/store.h"
#include "settings/services/resource_strings.h"
#include "ui2k/controls/control_classes.h"
#include "ui2k/controls/refill_groups.h"
#include "ui2k/items/initial_settings_page.h"
#include "ui2k/items/item_seams.h"
#include "ui2k/items/preset_page.h"
#include "ui2k/items/save_preset_dialog.h"
#include "ui2k/items/small_dialogs.h"
#include "ui2k/pages/item_change.h"
#include "ui2k/pages/page_framework.h"
#include "ui2k/pages/page_seams.h"

namespace {

constexpr UINT kStringStampFirstPageOnly = 563;

// The saved-settings controls of every page: combos, name edits and restore buttons.
constexpr WORD kPresetControls[] = {
    kCtlPresetComboBasic, kCtlPresetComboEdit, kCtlPresetComboFinish, kCtlPresetComboOthers,
    kCtlPresetNameBasic,  kCtlPresetNameEdit,  kCtlPresetNameFinish,  kCtlPresetNameOthers,
    kCtlPresetRestore,    kCtlRestoreBasic,    kCtlRestoreEdit,       kCtlRestoreFinish,
    kCtlRestoreOthers};

// A page and its procedure: one that later work builds (a seam), one handled here, or none (the
// page takes nothing).
struct PageProcedure {
  WORD page;
  ItemPageProc ItemSeams::*seam;
  ItemPageProc inlineProc;
};
constexpr PageProcedure kPageProcedures[] = {
    {kPageDialogUserTtf, &ItemSeams::dlgFontSubstitutionProc, nullptr},
    {kPageTtf, &ItemSeams::dlgFontSubstitutionProc, nullptr},
    {kPageEdit, &ItemSeams::dlgStampProc, nullptr},
    {kPageDialogStampChar, &ItemSeams::dlgStampProc, nullptr},
    {kPageDialogStampImage, &ItemSeams::dlgStampProc, nullptr},
    {kPageDialogOverlay, &ItemSeams::dlgStampProc, nullptr},
    {kPagePrintquality, &ItemSeams::dlgQualityProc, nullptr},
    {kPageMaintenance, &ItemSeams::dlgMaintenanceProc, nullptr},
    {kPageDialogOption, &ItemSeams::dlgOptionProc, nullptr},
    {kPageDialogFreesize, &ItemSeams::dlgFreeSizeProc, nullptr},
    {kPageDialogPrinttype, &ItemSeams::dlgPrintTypeProc, nullptr},
    {kPageDialogStatus, nullptr, nullptr},
    {kPageDialogRemote, &ItemSeams::dlgRemoteProc, nullptr},
    {kPageDialogAddress, &ItemSeams::dlgAddressProc, nullptr},
    {kPagePreset, nullptr, DlgPresetPageProc},
    {kPageDialogInit, nullptr, DlgInitialSettingsProc},
    {kPageDialogPrintpost, nullptr, DlgPrintPostProc},
    {kPageDialogMargin, nullptr, DlgMarginProc},
    {kPageDialogUsercodeInput, nullptr, DlgUserCodeInputProc},
    {kPageDialogCover, nullptr, DlgTrayLabelPageProc},
    {kPageDialogMark, nullptr, DlgTrayLabelPageProc},
    {kPageDialogSavePreset, nullptr, DlgSavePresetProc},
};

// The saved-settings name edits of the user-settings tabs: leaving one stores the name and the
// preset lists show it.
LRESULT PresetNameEdit(UiContext* ui, HWND page, PageItemTemplate* row, UINT message, WPARAM wParam) {
  if (message != WM_COMMAND || HIWORD(wParam) != EN_KILLFOCUS) return 0;
  ItemRunClassCommand(ui, page, row, EN_KILLFOCUS);
  DlgRefillPresetLists(ui);
  return 1;
}

bool IsPresetControl(WORD controlId) {
  for (WORD id : kPresetControls)
    if (id == controlId) return true;
  return false;
}

// The edit page's stamp check box says "first page only" while the new-overlay button is there
// and the model does not exclude it (its item, or the dialog it opens).
void CaptionStampCheck(UiContext* ui, HWND window) {
  if (!GetDlgItem(window, kCtlStampNewOverlay)) return;
  const PageItemTemplate* row = PageFindRow(window, kCtlStampNewOverlay);
  WORD item = row ? row->itemId : 0;
  if (!item) {
    const PageControlExtra* extra = PageFindControlExtra(kPageEdit, kCtlStampNewOverlay);
    item = extra ? extra->subDialog : 0;
  }
  if (item && CondEvalEntry(item, 0, ui->driver) == 1) return;
  WCHAR text[kUiTextChars] = {};
  ResLoadString(ui->driver, kStringStampFirstPageOnly, text, kUiTextChars, FALSE);
  SetDlgItemTextW(window, kCtlStampUse, text);
}

// The quality list's rows are drawn two lines high.
BOOL MeasureQualityRow(WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
  if (wParam != kCtlQualityList || !measure) return FALSE;
  measure->itemHeight *= 2;
  *result = TRUE;
  return TRUE;
}

}  // namespace

BOOL PageItemProc(UiContext* ui, PageTemplate* page, PageItemTemplate* control, HWND window, UINT message,
                  WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  INT_PTR ignored = 0;
  if (!result) result = &ignored;
  if (!ui || !page) return message == WM_MEASUREITEM && MeasureQualityRow(wParam, lParam, result);
  if (page->id == kPageEdit && message == WM_INITDIALOG && !control) CaptionStampCheck(ui, window);
  LRESULT taken = 0;
  if (control && IsPresetControl(control->controlId)) {
    if (control->controlId >= kCtlPresetNameBasic && control->controlId <= kCtlPresetNameOthers)
      taken = PresetNameEdit(ui, window, control, message, wParam);
    if (!taken) taken = ItemGetSeams().dlgPresetControlProc(ui, window, control, message, wParam, lParam);
  } else {
    for (const PageProcedure& procedure : kPageProcedures) {
      if (procedure.page != page->id) continue;
      if (procedure.seam) {
        taken = (ItemGetSeams().*procedure.seam)(ui, window, control, message, wParam, lParam);
      } else if (procedure.inlineProc && !(message == WM_COMMAND && control && LOWORD(wParam) != control->controlId)) {
        taken = procedure.inlineProc(ui, window, control, message, wParam, lParam);
      }
      break;
    }
  }
  if (!taken) return FALSE;
  *result = TRUE;
  return TRUE;
}

LRESULT ItemRunClassCommand(UiContext* ui, HWND page, PageItemTemplate* row, WORD code) {
  const CtlClass* found = row ? PageGetSeams().ctlFindClass(row->controlType) : nullptr;
  if (!found || !found->command) return 0;
  return found->command(ui, page, row, WM_COMMAND, MAKEWPARAM(row->controlId, code),
                        reinterpret_cast<LPARAM>(row->window));
}

void ItemSubclassControl(const PageItemTemplate& row) {
  if (row.window && GetWindowLongPtrW(row.window, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(CtlWndProc))
    SetWindowLongPtrW(row.window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CtlWndProc));
}

void ItemRestorePreset(UiContext* ui, HWND page, int index) {
  PageGetSeams().rstSavePresetByIndex(ui, index);
  OptSetModelValueById(ui->driver, kItemPresetNo, kPresetFirstValue + static_cast<DWORD>(index));
  if (const PageItemTemplate* list = PageFindRow(page, kCtlPresetList); list && list->node)
    PageCheckNodeConflict(ui, list->node, page);
}
