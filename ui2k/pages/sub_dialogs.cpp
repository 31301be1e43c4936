#include "ui2k/pages/sub_dialogs.h"

#include "data/page_ids.h"
#include "settings/items/saved_settings_values.h"
#include "settings/items/store.h"
#include "settings/persistence/user_lists.h"
#include "settings/services/resource_strings.h"
#include "settings/services/spooler_info.h"
#include "ui2k/entry/seams.h"
#include "ui2k/items/control_operations.h"
#include "ui2k/pages/file_dialogs.h"
#include "ui2k/pages/item_change.h"
#include "ui2k/pages/page_framework.h"
#include "ui2k/pages/page_seams.h"
#include "ui2k/sheets/resource_library.h"

namespace {


INT_PTR RunNestedSheet(UiContext* ui, DWORD kind, WORD pageId, HWND parent, HINSTANCE instance) {
  HPROPSHEETPAGE handles[kPageWindowSlots] = {};
  UINT count = 0;
  UINT start = 0;
  for (SHORT i = 0; i < ui->pages.count && count < kPageWindowSlots; ++i) {
    const PageTemplate& page = ui->pages.rows[i];
    const bool member = kind == kPageUserSettingsTab ? (page.kind & kPageUserSettingsTab) != 0 : page.id == pageId;
    if (!member) continue;
    if (HPROPSHEETPAGE handle = PageCreateTab(ui, instance, page.id)) {
      if (page.id == pageId) start = count;
      handles[count++] = handle;
    }
  }
  if (count == 0) return IDCANCEL;
  PROPSHEETHEADERW header{};
  header.dwSize = sizeof header;
  header.dwFlags = PSH_NOAPPLYNOW;
  header.hwndParent = parent;
  header.hInstance = instance;
  header.pszCaption = PrnGetPrinterName(ui->driver);
  header.nPages = count;
  header.nStartPage = start;
  header.phpage = handles;
  return PropertySheetW(&header) > 0 ? IDOK : IDCANCEL;
}

bool FileOpens(const WCHAR* path) {
  if (!path[0]) return false;
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

// The checks of OK that may keep a dialog open: FALSE keeps it.
BOOL OkAllowed(UiContext* ui, HWND window, WORD pageId) {
  WCHAR path[kPathChars] = {};
  switch (pageId) {
    case kPageDialogStampImage:
      GetDlgItemTextW(window, kCtlStampImageFile, path, static_cast<int>(kPathChars));
      if (FileOpens(path)) return TRUE;
      PageMessageBox(ui, window, kUiResStringFileCannotOpen, MB_ICONWARNING);
      return FALSE;
    case kPageDialogOverlay:
      GetDlgItemTextW(window, kCtlOverlayFile, path, static_cast<int>(kPathChars));
      if (FdlgMatchExtension(path, kFdlgOverlayRefer) && GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES)
        return TRUE;
      PageMessageBox(ui, window, kUiResStringReadOnlyPreset, MB_ICONWARNING);
      return FALSE;
    default:
      return TRUE;
  }
}

// What OK of a dialog takes along before it ends.
void TakeOnOk(UiContext* ui, HWND window, WORD pageId) {
  DriverContext* context = ui->driver;
  if (pageId == kPageMaintenance) {
    if (PageItemTemplate* row = PageFindRow(window, kCtlMaintList); row && row->itemRow) {
      const LRESULT selection = SendDlgItemMessageW(window, kCtlMaintList, LB_GETCURSEL, 0, 0);
      if (selection >= 0) OptSetModelValue(context, row->itemRow, kPresetFirstValue + static_cast<DWORD>(selection));
    }
    if (PageItemTemplate* row = PageFindRow(window, kCtlMaintName); row && row->itemRow) {
      WCHAR name[kUiTextChars] = {};
      GetDlgItemTextW(window, kCtlMaintName, name, kUiTextChars);
      OptSetString(context, row->itemRow, name);
    }
  } else if (pageId == kPageDialogOption) {
    UiGetSeams().instRefreshPresetsOnce(ui, TRUE);
  }
}

}  // namespace

INT_PTR PageRunSubDialog(UiContext* ui, DWORD kind, WORD pageId, HWND parent) {
  if (!ui) return IDCANCEL;
  if (PageIsFileDialogKind(kind)) return PageGetSeams().fdlgRunFileDialog(ui, kind, pageId, parent);
  const HINSTANCE instance = UiResInstance(ui->driver);
  if (!instance) return IDCANCEL;
  PageFrameState& frame = ui->state.frame;
  const WORD current = frame.currentPageId;
  INT_PTR result = IDCANCEL;
  if (kind & (kPageUserSettingsTab | kPageNestedSheet)) {
    // An OK button the nested sheet replaced goes with it: the caller's sheet keeps its own.
    const WORD replacement = frame.okReplacement;
    const DWORD replaced = CtxGetChangeMask(ui->driver) & kMaskOkReplaced;
    result = RunNestedSheet(ui, kind & kPageUserSettingsTab ? kPageUserSettingsTab : kPageNestedSheet, pageId, parent,
                            instance);
    frame.okReplacement = replacement;
    if (!replaced) CtxClearChangeMask(ui->driver, kMaskOkReplaced);
  } else {
    frame.currentPageId = pageId;
    result = DialogBoxParamW(instance, UiResTemplate(pageId), parent, PageDialogProc, reinterpret_cast<LPARAM>(ui));
    if (result < 0) result = IDCANCEL;
  }
  frame.currentPageId = current;
  return result;
}

BOOL PageIsDialogButton(WORD id) { return id >= IDOK && id <= IDNO; }

void PageEndModalCommand(UiContext* ui, HWND window, WORD id) {
  const PageWindow* record = PageRecordOf(window);
  const WORD pageId = record && record->page ? record->page->id : 0;
  const bool cancel = id == IDCANCEL || id == IDNO;
  if (id == IDOK && !OkAllowed(ui, window, pageId)) return;
  ui->state.changed = cancel ? 0 : 1;
  if (id == IDOK) TakeOnOk(ui, window, pageId);
  if (cancel && pageId == kPageDialogFreesize) {
    CtxClearChangeMask(ui->driver, kChangeMaskFreeSizesLoaded);
    LstLoadFreeSizes(ui->driver);
  }
  EndDialog(window, id);
}
