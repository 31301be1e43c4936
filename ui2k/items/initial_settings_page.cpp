#include "ui2k/items/initial_settings_page.h"

#include "data/page_ids.h"
#include "ui2k/controls/listed_values.h"
#include "ui2k/entry/seams.h"
#include "ui2k/install/job_control_bridge.h"
#include "ui2k/items/item_dispatcher.h"
#include "ui2k/items/tray_labels.h"
#include "ui2k/pages/item_change.h"
#include "ui2k/pages/page_framework.h"

namespace {

constexpr UINT kStringLanguageWarning = 10056;

// The language chosen differs from the one set: the user is told what else changes with it.
void WarnOfLanguageChange(UiContext* ui, HWND page, const PageItemTemplate& row) {
  if (!row.window) return;
  const LRESULT selected = SendMessageW(row.window, CB_GETCURSEL, 0, 0);
  if (selected < 0) return;
  const DWORD chosen = static_cast<DWORD>(SendMessageW(row.window, CB_GETITEMDATA, static_cast<WPARAM>(selected), 0));
  if (chosen != CtlCurrentValue(ui, row)) PageMessageBox(ui, page, kStringLanguageWarning, MB_ICONWARNING);
}

void SendLanguage(UiContext* ui) {
  JcBridgeOpen(ui);
  JcBridgeSendLanguage(ui);
  JcBridgeClose(ui);
}

// The installed options from the device; on failure the status window says so and the
// command ends here (1).
LRESULT QueryOptions(UiContext* ui) {
  if (!UiGetSeams().bidiUiFetchInstalledOptions(ui)) {
    UiGetSeams().bidiUiUpdateStatus(ui);
    return 1;
  }
  UiGetSeams().instRefreshPresetsOnce(ui, FALSE);
  return 0;
}

void QueryCredentials(UiContext* ui) {
  UiGetSeams().bidiUiFetchInstalledOptions(ui);
  JcBridgeOpen(ui);
  JcBridgeWriteOptions(ui, kJcBridgeMaskUserCode);
  JcBridgeClose(ui);
}

}  // namespace

LRESULT DlgTrayLabelPageProc(UiContext* ui, HWND page, PageItemTemplate* row, UINT message, WPARAM wParam, LPARAM) {
  const PageWindow* record = PageRecordOf(page);
  if (!row || !record || !record->page) return 0;
  const int slot = TrayLabelSlot(record->page->id, row->controlId);
  if (slot < 0) return 0;
  if (message == WM_INITDIALOG) {
    ItemSubclassControl(*row);
    return 0;
  }
  return DlgPaintTrayLabel(ui, page, row, message, wParam, slot);
}

LRESULT DlgInitialSettingsProc(UiContext* ui, HWND page, PageItemTemplate* row, UINT message, WPARAM wParam,
                               LPARAM lParam) {
  if (!row) return 0;
  if (LRESULT painted = DlgTrayLabelPageProc(ui, page, row, message, wParam, lParam)) return painted;
  if (row->controlId == kCtlTrayPicture) {
    DlgPaintTrayLabels(ui, page);
    return 0;
  }
  if (message != WM_COMMAND) return 0;
  const WORD code = HIWORD(wParam);
  switch (row->controlId) {
    case kCtlJobControl:
      if (code == BN_CLICKED) SendLanguage(ui);
      return 0;
    case kCtlQueryOptions:
      return code == BN_CLICKED ? QueryOptions(ui) : 0;
    case kCtlLanguageCombo:
      if (code == CBN_SELCHANGE) WarnOfLanguageChange(ui, page, *row);
      return 0;
    case kCtlQueryCredentials:
      if (code == BN_CLICKED) QueryCredentials(ui);
      return 0;
    default:
      return 0;
  }
}
