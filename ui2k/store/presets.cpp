#include "ui2k/store/presets.h"

#include "settings/items/store.h"
#include "settings/persistence/paths.h"
#include "settings/persistence/profile_wrappers.h"
#include "settings/persistence/settings_export.h"
#include "settings/persistence/user_lists.h"
#include "settings/services/spooler_info.h"
#include "settings/services/string_convert.h"
#include "ui2k/store/quality_sets.h"
#include "ui2k/store/stamps_and_free_sizes.h"
#include "ui2k/store/stored_settings.h"

namespace {

constexpr DWORD kKeyChars = 40;
constexpr DWORD kCommentChars = 513;

bool Usable(const UiContext* ui) { return ui && ui->driver && ui->driver->settings && ui->driver->work; }

// `key` with "Name" (form 1) or "Comment" (form 2) appended.
bool TextKey(const WCHAR* key, int form, WCHAR* out) {
  return PathJoin(out, kKeyChars, {WStringView(key), form == kPresetKeyName ? WSTR("Name") : WSTR("Comment")}) != 0;
}

void CopyTexts(UiContext* ui, const WCHAR* key) {
  const WCHAR* ini = PathGetSettingsIni(ui->driver);
  const WCHAR* printer = PrnGetPrinterName(ui->driver);
  WCHAR textKey[kKeyChars];
  WCHAR text[kCommentChars] = {};
  if (!TextKey(key, kPresetKeyName, textKey)) textKey[0] = 0;
  IniProfileGetString(printer, textKey, WSTR(""), text, kCommentChars, ini);
  StrWideToAnsi(ui->state.presetName, sizeof ui->state.presetName, text);
  text[0] = 0;
  if (!TextKey(key, kPresetKeyComment, textKey)) textKey[0] = 0;
  IniProfileGetString(printer, textKey, WSTR(""), text, kCommentChars, ini);
  StrWideToAnsi(ui->state.presetComment, sizeof ui->state.presetComment, text);
}

bool IsPresetKey(const WCHAR* key) {
  for (int n = 0; n < kLstPresetSlots; ++n) {
    WCHAR own[kKeyChars];
    if (LstFormatPresetKey(own, kKeyChars, n, kPresetKeyPath) && lstrcmpW(own, key) == 0) return true;
  }
  return false;
}

}  // namespace

BOOL RstApplyPreset(UiContext* ui, const WCHAR* key) {
  if (!Usable(ui) || !key || !IsPresetKey(key)) return FALSE;
  DriverContext* context = ui->driver;
  if (LstPresetSlots(context, key, kPresetSlotsRestore) == 1) return TRUE;
  WCHAR firstKey[kKeyChars];
  WCHAR first[MAX_PATH + 1];
  WCHAR file[MAX_PATH + 1];
  LstFormatPresetKey(firstKey, kKeyChars, 0, kPresetKeyPath);
  RstListedFile(ui, firstKey, first);
  const bool ownFile = RstListedFile(ui, key, file) != FALSE;
  if (!ownFile) lstrcpynW(file, first, MAX_PATH + 1);
  const bool isFirst = lstrcmpW(key, firstKey) == 0 || !ownFile;
  BOOL loaded = RstLoadFile(context->printer, file, kRstLoadPreset, ui);
  const bool mismatch = loaded && CtxGetTransferStatus(context) == kXferStatusHeaderMismatch;
  if (mismatch && !isFirst) {
    // The entry loses its file; preset 0's entry never does, nor is it tried twice.
    IniProfileWriteString(PrnGetPrinterName(context), key, WSTR(""), PathGetSettingsIni(context));
    loaded = RstLoadFile(context->printer, first, kRstLoadList, ui);
  }
  CopyTexts(ui, key);
  RstRecheckStamp(ui);
  LstPresetSlots(context, key, kPresetSlotsSave);
  if (mismatch) RstShowMessage(ui, nullptr, kRstMsgHeaderMismatch, file, MB_OK);
  return loaded;
}

BOOL RstSavePresetByIndex(UiContext* ui, int index) {
  WCHAR key[kKeyChars];
  if (!Usable(ui)) return FALSE;
  if (LstFormatPresetKey(key, kKeyChars, index, kPresetKeyPath)) return RstApplyPreset(ui, key);
  ui->state.presetName[0] = 0;
  ui->state.presetComment[0] = 0;
  return TRUE;
}

BOOL RstEditPreset(UiContext* ui, const WCHAR* key) {
  if (!Usable(ui) || !key || !IsPresetKey(key)) return FALSE;
  if (!RstSaveToListFile(ui, key)) return FALSE;
  const WCHAR* ini = PathGetSettingsIni(ui->driver);
  const WCHAR* printer = PrnGetPrinterName(ui->driver);
  WCHAR textKey[kKeyChars];
  WCHAR text[kCommentChars];
  StrAnsiToWide(text, kCommentChars, ui->state.presetName);
  BOOL written = TextKey(key, kPresetKeyName, textKey) && IniProfileWriteString(printer, textKey, text, ini);
  StrAnsiToWide(text, kCommentChars, ui->state.presetComment);
  written = written && TextKey(key, kPresetKeyComment, textKey) && IniProfileWriteString(printer, textKey, text, ini);
  return written;
}

BOOL RstIsPresetWritable(UiContext* ui, int index) {
  WCHAR key[kKeyChars];
  WCHAR file[MAX_PATH + 1];
  if (!Usable(ui) || !LstFormatPresetKey(key, kKeyChars, index, kPresetKeyPath)) return FALSE;
  RstListedFile(ui, key, file);
  return RstIsWritable(ui, file);
}
