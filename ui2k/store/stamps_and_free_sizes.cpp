#include "ui2k/store/stamps_and_free_sizes.h"

#include <cstring>

#include "data/item_ids.h"
#include "settings/items/store.h"
#include "settings/persistence/paths.h"
#include "settings/persistence/profile_wrappers.h"
#include "settings/persistence/settings_export.h"
#include "settings/persistence/user_lists.h"
#include "settings/services/resource_strings.h"
#include "settings/services/string_convert.h"
#include "ui2k/store/stored_settings.h"

namespace {

constexpr DWORD kKeyChars = 32;
constexpr DWORD kTextChars = 128;
constexpr UINT kFirstFreeSizeString = 109;
constexpr DWORD kStampTextKinds[] = {1, 2, 3};

bool Usable(const UiContext* ui) { return ui && ui->driver && ui->driver->settings && ui->driver->work; }

bool IsTextImageOrOverlay(DWORD kind) {
  for (DWORD k : kStampTextKinds)
    if (kind == k) return true;
  return false;
}

}  // namespace

BOOL RstLoadStamp(UiContext* ui, DWORD n) {
  WCHAR section[kKeyChars];
  WCHAR ini[kPathChars];
  if (!Usable(ui) || !LstFormatStampKey(ui->driver, n, section, kKeyChars)) return FALSE;
  const WCHAR* settingsIni = PathGetSettingsIni(ui->driver);
  if (!settingsIni || !settingsIni[0]) return FALSE;
  lstrcpynW(ini, settingsIni, static_cast<int>(kPathChars));
  BOOL loaded = FALSE;
  {
    const XferPrinterNameStandIn standIn(ui->driver, section);
    loaded = standIn.active() && XferLoadWithPolicy(ui->driver->printer, ini, kXferGroupStamp | kXferRead, ui->driver,
                                                    RstInterfacePolicy(ui));
  }
  OptSetValue(ui->driver, kItemWmID, n);
  return loaded;
}

void RstRecheckStamp(UiContext* ui) {
  if (!Usable(ui)) return;
  DriverContext* context = ui->driver;
  const DWORD stamp = OptGetValue(context, kItemWmID);
  if (!OptGetValue(context, kItemFuncSelectWaterMark) || stamp >= LstGetStampCount(context)) return;
  if (IsTextImageOrOverlay(OptGetValue(context, kItemWmKind))) {
    RstLoadStamp(ui, stamp);
    return;
  }
  OptSetValue(context, kItemFuncSelectWaterMark, 0);
  OptSetValue(context, kItemWmID, 0);
}

BOOL RstDeleteStamp(UiContext* ui, DWORD index) { return Usable(ui) && LstDeleteStamp(ui->driver, index) ? 1 : 0; }

BOOL RstReloadFreeSizes(UiContext* ui) {
  if (!Usable(ui)) return FALSE;
  LstLoadFreeSizes(ui->driver);
  BOOL saved = TRUE;
  for (int n = 0; n < LstFreeSizeCount(); ++n)
    saved = LstSelectFreeSize(ui->driver, n) && LstSaveFreeSize(ui->driver, n) && saved;
  return saved;
}

void RstLoadFreeSizeTable(UiContext* ui) {
  if (!Usable(ui)) return;
  DriverContext* context = ui->driver;
  const WCHAR* ini = PathGetSettingsIni(context);
  const WCHAR* nameKey = OptGetItemName(context->itemTable, kItemFreeSizeName);
  const WCHAR* widthKey = OptGetItemName(context->itemTable, kItemFreeSizeWidth);
  const WCHAR* lengthKey = OptGetItemName(context->itemTable, kItemFreeSizeLength);
  for (int n = 0; n < kLstFreeSizeSlots; ++n) {
    FreeSizeSlot& row = ui->state.freeSizeTable[n];
    row = FreeSizeSlot{};
    WCHAR section[kKeyChars];
    WCHAR text[kTextChars] = {};
    if (ini && ini[0] && LstFormatFreeSizeKey(context, n, section, kKeyChars)) {
      IniProfileGetString(section, nameKey, WSTR(""), text, kTextChars, ini);
      row.width = IniProfileGetInt(section, widthKey, kRstFreeSizeDefaultWidth, ini);
      row.length = IniProfileGetInt(section, lengthKey, kRstFreeSizeDefaultLength, ini);
    } else {
      row.width = kRstFreeSizeDefaultWidth;
      row.length = kRstFreeSizeDefaultLength;
    }
    StrWideToAnsi(row.userName, sizeof row.userName, text);
    ResLoadString(context, kFirstFreeSizeString + static_cast<UINT>(n), text, kTextChars, FALSE);
    StrWideToAnsi(row.displayName, sizeof row.displayName, text);
    // The decorated name is made from the work area's slot: the row stands in it meanwhile.
    BYTE* slot = context->work->freeSizeSlots[n];
    BYTE kept[sizeof(FreeSizeSlot)];
    std::memcpy(kept, slot, sizeof kept);
    std::memcpy(slot, &row, sizeof row);
    ResLoadString(context, kFirstFreeSizeString + static_cast<UINT>(n), text, kTextChars, TRUE);
    std::memcpy(slot, kept, sizeof kept);
    StrWideToAnsi(row.displayName2, sizeof row.displayName2, text);
  }
}
