#include "ui2k/controls/refill_groups.h"

#include "data/item_ids.h"
#include "data/page_ids.h"
#include "settings/items/saved_settings_values.h"
#include "settings/items/store.h"
#include "ui2k/controls/control_classes.h"
#include "ui2k/pages/page_framework.h"

namespace {

struct PageControl {
  WORD page;
  WORD control;
};
constexpr PageControl kFinishingMarks[] = {{kPagePreset, kCtlFinishMarks}, {kPageBasic, kCtlFinishMarks}};
constexpr PageControl kPaperGroup[] = {{kPagePreset, kCtlPaperGroup},
                                       {kPagePreset, kCtlOutputPaperGroup},
                                       {kPageBasic, kCtlPaperGroup},
                                       {kPageBasic, kCtlOutputPaperGroupBasic}};
constexpr PageControl kMarkGroup[] = {{kPagePreset, kCtlMarkGroup}, {kPageBasic, kCtlMarkGroupBasic}};
constexpr PageControl kIconGroup[] = {{kPageEdit, kCtlIconGroupEdit1}, {kPageEdit, kCtlIconGroupEdit2}};
constexpr PageControl kPresetLists[] = {
    {kPageMaintenance, kCtlMaintList},    {kPagePreset, kCtlPresetList},          {kPageBasic, kCtlPresetComboBasic},
    {kPageBasic, kCtlPresetNameBasic},    {kPageEdit, kCtlPresetComboEdit},       {kPageEdit, kCtlPresetNameEdit},
    {kPageFinish, kCtlPresetComboFinish}, {kPageFinish, kCtlPresetNameFinish},    {kPageOthers, kCtlPresetComboOthers},
    {kPageOthers, kCtlPresetNameOthers},
};
constexpr size_t kClampedPresetLists = 2;

// The row of `pair` while its page has a window, else null.
PageItemTemplate* RowOf(UiContext* ui, const PageControl& pair, HWND* page) {
  *page = PageWindowOf(ui, pair.page);
  return *page ? PageFindRow(*page, pair.control) : nullptr;
}

template <size_t N>
void Refill(UiContext* ui, const PageControl (&pairs)[N]) {
  for (const PageControl& pair : pairs) {
    HWND page = nullptr;
    if (PageItemTemplate* row = RowOf(ui, pair, &page); row && GetDlgItem(page, pair.control)) CtlInit(ui, page, row);
  }
}

}  // namespace

void CtlRefillFinishingMarks(UiContext* ui) { Refill(ui, kFinishingMarks); }
void CtlRefillPaperGroup(UiContext* ui) { Refill(ui, kPaperGroup); }
void CtlRefillMarkGroup(UiContext* ui) { Refill(ui, kMarkGroup); }
void CtlRefillIconGroup(UiContext* ui) { Refill(ui, kIconGroup); }

void DlgRefillPresetLists(UiContext* ui) {
  const DWORD end = kPresetFirstValue + PageGetSeams().dlgGetPresetCount(ui);
  for (size_t i = 0; i < kClampedPresetLists; ++i) {
    HWND page = nullptr;
    const PageItemTemplate* row = RowOf(ui, kPresetLists[i], &page);
    if (row && row->itemId && OptGetModelValueById(ui->driver, row->itemId) >= end)
      OptSetModelValueById(ui->driver, row->itemId, kPresetFirstValue);
  }
  Refill(ui, kPresetLists);
}

void CtlRefillStampCombo(UiContext* ui) {
  if (!OptGetValue(ui->driver, kItemFuncSelectWaterMark)) return;
  HWND page = nullptr;
  PageItemTemplate* row = RowOf(ui, {kPageEdit, kCtlStampList}, &page);
  if (!row || !row->window) return;
  SendMessageW(row->window, CB_RESETCONTENT, 0, 0);
  CtlInit(ui, page, row);
}
