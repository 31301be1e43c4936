#include "ui2k/items/save_preset_dialog.h"

#include "data/item_ids.h"
#include "data/page_ids.h"
#include "settings/items/saved_settings_values.h"
#include "settings/items/store.h"
#include "ui2k/items/item_dispatcher.h"
#include "ui2k/pages/item_change.h"
#include "ui2k/pages/page_framework.h"
#include "ui2k/pages/page_seams.h"
#include "ui2k/pages/preset_save.h"

namespace {

constexpr UINT kStringNameTaken = 10052;
constexpr UINT kStringListFull = 10049;
constexpr UINT kStringReadOnly = 10024;
constexpr UINT kStringReplace = 10032;

// OK's edits store their text once; storing may come back here.
thread_local bool t_storingEdits = false;

void StoreEdits(UiContext* ui, HWND page) {
  if (t_storingEdits) return;
  t_storingEdits = true;
  for (WORD id : {kCtlSavePresetName, kCtlSavePresetComment})
    ItemRunClassCommand(ui, page, PageFindRow(page, id), EN_CHANGE);
  t_storingEdits = false;
}

void ReadName(UiContext* ui, WCHAR* name) {
  name[0] = 0;
  const PageItemTemplate* row = OptFindPageItem(&ui->pages, nullptr, kCtlMaintName);
  if (row && row->itemId) OptGetString(ui->driver, OptFindItem(ui->driver->itemTable, row->itemId), name, kUiTextChars);
}

LRESULT Refuse(UiContext* ui, HWND page, UINT stringId) {
  PageMessageBox(ui, page, stringId, MB_ICONWARNING);
  if (HWND name = GetDlgItem(page, kCtlSavePresetName)) SetFocus(name);
  return 1;
}

LRESULT CheckOk(UiContext* ui, HWND page) {
  DriverContext* context = ui->driver;
  const PageSeams& seams = PageGetSeams();
  StoreEdits(ui, page);
  WCHAR name[kUiTextChars] = {};
  ReadName(ui, name);
  const DWORD preset = OptGetModelValueById(context, kItemPresetNo);
  const int current = preset >= kPresetFirstValue ? static_cast<int>(preset - kPresetFirstValue) : -1;
  const int found = seams.dlgFindPresetByName(ui, name, current);
  int index = found;
  if (current >= 0) {
    if (found < 0) index = current;  // kept as designed: a new name renames the current preset
    else if (found != current) return Refuse(ui, page, kStringNameTaken);
  }
  if (index < 0 && seams.dlgGetPresetCount(ui) >= kPagePresetSlots) return Refuse(ui, page, kStringListFull);
  if (index >= 0 && !seams.rstIsPresetWritable(ui, index)) return Refuse(ui, page, kStringReadOnly);
  if (index > 0 && preset == kPresetNoneValue &&
      PageMessageBox(ui, page, kStringReplace, MB_YESNO | MB_ICONWARNING) == IDNO) {
    if (HWND edit = GetDlgItem(page, kCtlSavePresetName)) SetFocus(edit);
    return 1;
  }
  OptSetModelValueById(context, kItemPresetNo, static_cast<DWORD>(index + static_cast<int>(kPresetFirstValue)));
  return 0;
}

}  // namespace

LRESULT DlgSavePresetProc(UiContext* ui, HWND page, PageItemTemplate* row, UINT message, WPARAM wParam, LPARAM) {
  if (row) return 0;
  if (CtxGetChangeMask(ui->driver) & kMaskPresetSaving) {
    OptSetModelValueById(ui->driver, kItemPresetNo, kPresetNoneValue);
    CtxClearChangeMask(ui->driver, kMaskPresetSaving);
  }
  if (message == WM_COMMAND && LOWORD(wParam) == IDOK) return CheckOk(ui, page);
  return 0;
}
