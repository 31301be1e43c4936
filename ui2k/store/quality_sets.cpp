#include "ui2k/store/quality_sets.h"

#include "data/item_ids.h"
#include "settings/context/locks.h"
#include "settings/context/settings_history.h"
#include "settings/items/store.h"
#include "settings/persistence/file_primitives.h"
#include "settings/persistence/paths.h"
#include "settings/persistence/profile_wrappers.h"
#include "settings/persistence/settings_export.h"
#include "settings/persistence/user_lists.h"
#include "settings/services/spooler_info.h"
#include "ui2k/store/stored_settings.h"

namespace {

constexpr DWORD kKeyChars = 40;
constexpr DWORD kSetNameChars = 261;
inline constexpr WCHAR kQualityCountKey[] = WSTR("QualityCount");

bool Usable(const UiContext* ui) { return ui && ui->driver && ui->driver->settings && ui->driver->work; }

// `key` followed by "Name".
bool NameKey(const WCHAR* key, WCHAR* out) {
  return key && PathJoin(out, kKeyChars, {WStringView(key), WSTR("Name")}) != 0;
}

}  // namespace

BOOL RstListedFile(UiContext* ui, const WCHAR* key, WCHAR* path) {
  if (!path) return FALSE;
  path[0] = 0;
  const WCHAR* ini = Usable(ui) ? PathGetSettingsIni(ui->driver) : nullptr;
  const WCHAR* printer = ini ? PrnGetPrinterName(ui->driver) : nullptr;
  if (!ini || !ini[0] || !printer || !key || !key[0]) return FALSE;
  if (IniProfileGetString(printer, key, WSTR(""), path, MAX_PATH + 1, ini) >= MAX_PATH) path[0] = 0;
  return path[0] != 0;
}

BOOL RstLoadQualityByKey(UiContext* ui, const WCHAR* key) {
  WCHAR path[MAX_PATH + 1];
  WCHAR nameKey[kKeyChars];
  if (!RstListedFile(ui, key, path) || !NameKey(key, nameKey)) return FALSE;
  if (!RstLoadFile(ui->driver->printer, path, kRstLoadQuality, ui)) return FALSE;
  WCHAR name[kSetNameChars];
  IniProfileGetString(PrnGetPrinterName(ui->driver), nameKey, WSTR(""), name, kSetNameChars, PathGetSettingsIni(ui->driver));
  return OptSetString(ui->driver, OptFindItem(ui->driver->itemTable, kItemUserSetName), name);
}

BOOL RstLoadQualityEntry(UiContext* ui, const WCHAR* key) {
  WCHAR listed[MAX_PATH + 1];
  WCHAR path[MAX_PATH];
  const WCHAR* folder = Usable(ui) ? PrnGetDriverDirectory(ui->driver) : nullptr;
  if (!folder || !RstListedFile(ui, key, listed)) return FALSE;
  // The driver folder ends with a backslash.
  if (!PathJoin(path, MAX_PATH, {WStringView(folder), WStringView(PathGetFileName(listed))})) return FALSE;
  return RstLoadFile(ui->driver->printer, path, kRstLoadInstallQuality, ui);
}

BOOL RstReloadQualityList(UiContext* ui) {
  if (!Usable(ui)) return FALSE;
  DriverContext* context = ui->driver;
  const WCHAR* ini = PathGetSettingsIni(context);
  if (!ini || !ini[0]) return FALSE;
  const int count = static_cast<int>(IniProfileGetInt(PrnGetPrinterName(context), kQualityCountKey, 0, ini));
  if (!DmHistoryPush(context)) return FALSE;
  BOOL reloaded = TRUE;
  for (int n = 0; n < count && n < kLstQualitySets; ++n) {
    WCHAR key[kKeyChars];
    LstFormatQualityKey(key, kKeyChars, n, FALSE);
    reloaded = RstLoadQualityByKey(ui, key) && LstSaveQuality(context, n) && reloaded;
  }
  DmHistoryPop(context, TRUE);
  return reloaded;
}

BOOL RstSaveToListFile(UiContext* ui, const WCHAR* key) {
  WCHAR path[MAX_PATH + 1];
  if (!RstListedFile(ui, key, path)) return FALSE;
  const SettingsMutexHold hold(ui->driver);
  const BOOL saved = RstTransferOptions(ui, path, kXferWrite | kXferTransferRows);
  LstPresetSlots(ui->driver, nullptr, kPresetSlotsFree);
  return saved;
}
