#include "ui2k/controls/listed_values.h"

#include "settings/constraints/eval.h"
#include "settings/description/image.h"
#include "settings/items/store.h"
#include "ui2k/items/item_setup.h"
#include "ui2k/pages/item_change.h"
#include "ui2k/pages/page_framework.h"

std::vector<WORD> CtlListedValues(UiContext* ui, const PageItemTemplate& row) {
  std::vector<WORD> values = ItemSetupBuiltInValues(ui, row.itemId);
  if (!values.empty()) return values;
  DriverContext* context = ui->driver;
  if (!row.node || !context->description) return values;
  for (const DescValue* value = DescNodeFirstValue(context->description, row.node); value;
       value = DescNextValue(context->description, value)) {
    const WORD model = DescValueValue(value);
    if (!CondIsDisabled(row.node, model, context)) values.push_back(model);
  }
  return values;
}

BOOL CtlNextEnabledValue(UiContext* ui, const PageItemTemplate& row, DWORD current, DWORD* next) {
  const std::vector<WORD> values = CtlListedValues(ui, row);
  for (size_t i = 0; i < values.size(); ++i) {
    if (values[i] != current) continue;
    *next = values[(i + 1) % values.size()];
    return TRUE;
  }
  return FALSE;
}

BOOL CtlIsValueHidden(UiContext* ui, const PageItemTemplate& row, DWORD model) {
  return row.node && CondIsHidden(row.node, model, ui->driver);
}

DWORD CtlCurrentValue(UiContext* ui, const PageItemTemplate& row) {
  return row.itemRow ? OptGetModelValue(ui->driver, row.itemRow) : 0;
}

int CtlCommitValue(UiContext* ui, HWND page, PageItemTemplate* row, DWORD model) {
  const DWORD stored = row->itemRow ? OptModelToRawValue(ui->driver, row->itemRow, model) : model;
  return PageApplyItemChange(ui, page, row, stored, TRUE);
}

const PageControlExtra* CtlExtraOf(HWND page, const PageItemTemplate& row) {
  if (row.extra) return static_cast<const PageControlExtra*>(row.extra);
  const PageWindow* record = PageRecordOf(page);
  return record && record->page ? PageFindControlExtra(record->page->id, row.controlId) : nullptr;
}

WORD CtlConflictMark(const PageControlExtra* extra) {
  const bool marked = extra && extra->words && extra->wordCount >= 3 && extra->words[0] == kExtraConflictMark &&
                      extra->words[1] != 0;
  return marked ? extra->words[2] : 0;
}

void CtlShowEnabledState(UiContext* ui, const PageItemTemplate& row) {
  if (!row.window || !row.node) return;
  const BOOL enabled = !CondIsDisabled(row.node, 0, ui->driver);
  if ((IsWindowEnabled(row.window) != FALSE) != (enabled != FALSE)) EnableWindow(row.window, enabled);
}
