#include "ui2k/pages/preset_save.h"

#include "data/item_ids.h"
#include "data/page_ids.h"
#include "settings/items/saved_settings_values.h"
#include "settings/items/store.h"
#include "settings/services/resource_strings.h"
#include "ui2k/pages/item_change.h"
#include "ui2k/pages/page_framework.h"
#include "ui2k/pages/page_seams.h"
#include "ui2k/sheets/resource_library.h"

namespace {

// The save buttons of the user-settings tabs (the edit tab's 2080 is not one of them).
constexpr WORD kPresetSaveCommands[] = {kPageCmdSaveNewPreset, kPageCmdOverwritePreset, kCtlSaveBasic, kCtlSaveFinish,
                                        kCtlSaveOthers};
constexpr UINT kStringPresetListFull = 10049;

// A refusal: the message, then the focus on the name control of a user-settings tab.
void Refuse(UiContext* ui, HWND window, UINT stringId) {
  PageMessageBox(ui, window, stringId, MB_ICONWARNING);
  const PageWindow* record = PageRecordOf(window);
  const WORD pageId = record && record->page ? record->page->id : 0;
  if (pageId >= kPageBasic && pageId <= kPageOthers)
    if (HWND name = GetDlgItem(window, kCtlPresetNameBasic + (pageId - kPageBasic))) SetFocus(name);
}

void ReadName(UiContext* ui, WCHAR* name, DWORD capacity) {
  name[0] = 0;
  const PageItemTemplate* row = OptFindPageItem(&ui->pages, nullptr, kCtlMaintName);
  if (row && row->itemId) OptGetString(ui->driver, OptFindItem(ui->driver->itemTable, row->itemId), name, capacity);
}

}  // namespace

BOOL PageIsPresetSaveCommand(WORD id) {
  for (WORD command : kPresetSaveCommands)
    if (id == command) return TRUE;
  return FALSE;
}

void PageRunPresetSave(UiContext* ui, HWND window, WORD id) {
  DriverContext* context = ui->driver;
  const PageSeams& seams = PageGetSeams();
  CtxRaiseChangeMask(context, kMaskPresetSaving);
  if (PageCheckConstraints(ui, window, FALSE)) return;
  WCHAR name[kUiTextChars] = {};
  ReadName(ui, name, kUiTextChars);
  const DWORD presetItem = OptGetModelValueById(context, kItemPresetNo);
  const int current = presetItem >= kPresetFirstValue && presetItem <= kPresetLastValue ? static_cast<int>(presetItem - kPresetFirstValue) : -1;
  const bool overwrite = id == kPageCmdOverwritePreset;
  if (overwrite && !name[0]) return Refuse(ui, window, kUiResStringPresetNameEmpty);
  const int found = name[0] ? seams.dlgFindPresetByName(ui, name, current) : -1;
  int target = found >= 0 ? found : (overwrite ? current : -1);
  if (target >= 0 && !seams.rstIsPresetWritable(ui, target)) return Refuse(ui, window, kUiResStringReadOnlyPreset);
  if (found >= 0 && found != current && PageMessageBox(ui, window, kUiResStringPresetOverwrite, MB_YESNO | MB_ICONWARNING) != IDYES)
    return;
  if (target < 0 && seams.dlgGetPresetCount(ui) >= kPagePresetSlots) return Refuse(ui, window, kStringPresetListFull);
  OptSetString(context, OptFindItem(context->itemTable, kItemPresetName), name);
  if (target >= 0) {
    if (!seams.rstEditPreset(ui, target)) return;
  } else if ((target = seams.dlgAppendPreset(ui, name)) < 0) {
    return;
  }
  OptSetModelValueById(context, kItemPresetNo, static_cast<DWORD>(target) + kPresetFirstValue);
  PageUpdateControls(ui, window, TRUE);
  if (id != kPageCmdSaveNewPreset && id != kPageCmdOverwritePreset) return;
  CtxClearChangeMask(context, kMaskOkReplaced);
  ui->state.frame.okReplacement = 0;
  PostMessageW(window, kPageMsgPressOk, 0, 0);
}
