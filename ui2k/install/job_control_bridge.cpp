#include "ui2k/install/job_control_bridge.h"

#include <algorithm>
#include <iterator>

#include "data/item_ids.h"
#include "data/job_credential_names.h"
#include "settings/items/settings_record.h"
#include "settings/items/store.h"
#include "settings/items/table.h"
#include "settings/persistence/options.h"
#include "settings/services/help_language.h"
#include "settings/services/job_credentials.h"
#include "ui2k/entry/ui_context.h"

namespace {

namespace jc = velm::jobcr;

// The generated names follow the service's kind map, one row per credential kind.
constexpr bool NamesFollowTheKindMap() {
  for (const JcPrinterDataName& name : kJcPrinterDataNames) {
    const JcItemMapRow* map = std::find_if(std::begin(kJcItemMap), std::end(kJcItemMap),
                                           [&](const JcItemMapRow& row) { return row.item == name.kind; });
    if (map == std::end(kJcItemMap) || map->devmodeItem != name.item) return false;
  }
  return std::size(kJcPrinterDataNames) == std::size(kJcItemMap);
}
static_assert(NamesFollowTheKindMap(), "data/job_credential_names.txt disagrees with kJcItemMap");

// The kind's printer-data name; null keeps the item out of printer data.
const WCHAR* AltNameOf(DWORD kind) {
  for (const JcPrinterDataName& row : kJcPrinterDataNames)
    if (row.kind == kind) return row.name;
  return nullptr;
}

// The item's row with its printer-data name in place of its own.
bool AltRow(UiContext* ui, DWORD kind, ItemTableRow* alt) {
  WORD item = 0;
  const WCHAR* name = AltNameOf(kind);
  if (!name || JcBridgeItemOfKind(kind, &item) != 0) return false;
  const ItemTableRow* row = OptFindItem(ui->driver->itemTable, item);
  if (!row) return false;
  *alt = *row;
  alt->keyName = name;
  return true;
}

bool SessionOpen(UiContext* ui) { return JcGetSession(ui->driver).session != nullptr; }

DWORD Dispatch(UiContext* ui, DWORD code, DWORD argument) {
  return ui && ui->driver ? JcDispatch(ui->driver, code, argument) : static_cast<DWORD>(ERROR_INVALID_PARAMETER);
}

// Runs `step` on the credential kinds of `mask` that have a printer-data name.
template <class Step>
bool ForMaskedKinds(DWORD mask, Step step) {
  bool done = true;
  for (const JcItemMaskRow& row : kJcItemMaskTable)
    if ((mask & row.mask) && AltNameOf(row.item)) done &= step(row.item);
  return done;
}

}  // namespace

DWORD JcBridgeItemOfKind(DWORD kind, WORD* item) {
  for (const JcItemMapRow& row : kJcItemMap) {
    if (row.item != kind) continue;
    if (item) *item = row.devmodeItem;
    return 0;
  }
  return kJcResultUnknownItem;
}

DWORD JcBridgeOpen(UiContext* ui) { return Dispatch(ui, kJcOpen, 0); }
void JcBridgeClose(UiContext* ui) { Dispatch(ui, kJcClose, 0); }
DWORD JcBridgeReadOptions(UiContext* ui, DWORD mask) { return Dispatch(ui, kJcRead, mask); }
DWORD JcBridgeWriteOptions(UiContext* ui, DWORD mask) { return Dispatch(ui, kJcWrite, mask); }
DWORD JcBridgeWriteTableOptions(UiContext* ui, DWORD mask) { return Dispatch(ui, kJcClearWrite, mask); }

BOOL JcBridgeReadOptionFileAlt(UiContext* ui, DWORD kind) {
  ItemTableRow alt{};
  if (!ui || !ui->driver || !AltRow(ui, kind, &alt)) return FALSE;
  ItemTableRow* row = OptFindItem(ui->driver->itemTable, alt.id);
  // The read goes through the renamed copy; the context's own row is marked as written.
  if (!CfgReadPrinterDataEntry(ui->driver->printer, ui->driver, &alt, 0, nullptr)) return FALSE;
  if (row) row->changed = alt.changed;
  return TRUE;
}

BOOL JcBridgeRefreshOptions(UiContext* ui, DWORD mask) {
  if (!ui || !ui->driver) return FALSE;
  return ForMaskedKinds(mask, [&](DWORD kind) { return JcBridgeReadOptionFileAlt(ui, kind) != FALSE; }) ? TRUE
                                                                                                      : FALSE;
}

BOOL JcBridgeStoreOptions(UiContext* ui, DWORD mask) {
  if (!ui || !ui->driver) return FALSE;
  return ForMaskedKinds(mask, [&](DWORD kind) {
           ItemTableRow alt{};
           return AltRow(ui, kind, &alt) && CfgWritePrinterDataEntry(ui->driver->printer, ui->driver, &alt);
         })
             ? TRUE
             : FALSE;
}

void JcBridgeClearOptions(UiContext* ui, DWORD mask) {
  if (ui && ui->driver) JcClearItems(ui->driver, mask);
}

DWORD JcBridgeNotify(UiContext* ui, DWORD code) {
  if (!ui || !ui->driver || !SessionOpen(ui)) return 0;
  const JcSession block = JcGetSession(ui->driver);
  return block.table->notify ? block.table->notify(block.session, code, nullptr, 0) : 0;
}

BOOL JcBridgeLanguageRecord(WORD language, BYTE* record) {
  WORD primary = 0;
  WORD sub = 0;
  if (!record || !ResFindLanguage(language, &primary, &sub)) return FALSE;
  DmStoreU32(record, 0, jc::kLanguageRecordBytes);
  record[4] = static_cast<BYTE>(language);
  record[5] = 0;
  DmStoreU16(record, 6, static_cast<WORD>((sub << 10) | primary));
  return TRUE;
}

DWORD JcBridgeSendLanguage(UiContext* ui) {
  if (!ui || !ui->driver || !SessionOpen(ui)) return 0;
  BYTE record[jc::kLanguageRecordBytes];
  if (!JcBridgeLanguageRecord(static_cast<WORD>(OptGetValue(ui->driver, kItemLanguageID)), record))
    return ERROR_NOT_FOUND;
  const JcSession block = JcGetSession(ui->driver);
  return block.table->notify ? block.table->notify(block.session, jc::kNotifyLanguage, record, sizeof record) : 0;
}

void JcBridgeSync(UiContext* ui) {
  if (!ui || !ui->driver) return;
  if (!SessionOpen(ui) && JcBridgeOpen(ui) != 0) {
    Dispatch(ui, kJcStatus0, 0);
    WCHAR code[16] = {};
    ItemTableRow* userCode = OptFindItem(ui->driver->itemTable, kItemLogCode);
    if (OptGetValue(ui->driver, kItemLogCodeUse) && userCode && OptGetString(ui->driver, userCode, code, 16) > 0) {
      OptSetString(ui->driver, OptFindItem(ui->driver->itemTable, kItemUserCode), code);
      JcBridgeWriteOptions(ui, kJcBridgeMaskUserCode);
    }
  }
  JcBridgeWriteOptions(ui, kJcBridgeMaskIdentity);
}
