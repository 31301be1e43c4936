#include "ui2k/store/stored_settings.h"

#include <cstring>

#include "data/item_ids.h"
#include "settings/context/memory.h"
#include "settings/devmode/item_checks.h"
#include "settings/items/store.h"
#include "settings/persistence/file_primitives.h"
#include "settings/persistence/folders.h"
#include "settings/persistence/ini_engine.h"
#include "settings/persistence/paths.h"
#include "settings/persistence/profile_wrappers.h"
#include "settings/persistence/settings_export.h"
#include "settings/persistence/user_lists.h"
#include "settings/services/platform_tests.h"
#include "settings/services/resource_strings.h"
#include "settings/services/spooler_info.h"
#include "ui2k/entry/sheet_commit.h"
#include "ui2k/install/job_control_bridge.h"
#include "ui2k/store/quality_sets.h"
#include "ui2k/store/stamps_and_free_sizes.h"

namespace {

constexpr DWORD kMessageChars = 1024;
constexpr DWORD kKeyChars = 32;
// The copy of the path a load reads (the printer's and driver's names are kept by the import's
// own stand-in).
constexpr DWORD kLoadBufferChars = 261;
constexpr DWORD kSilentFlags = kXferQuiet | kXferGroupQuality;
constexpr DWORD kSharedCopyFlags = kXferRsdSection | kXferWrite;
constexpr DWORD kCredentialMasks[] = {kJcBridgeMaskUserCode, 158};

inline constexpr WCHAR kDefaultFileIni[] = WSTR("velm.ini");
inline constexpr WCHAR kDefaultFileKey[] = WSTR("DefaultRst");
inline constexpr WCHAR kPresetCountKey[] = WSTR("Count");
inline constexpr WCHAR kQualityCountKey[] = WSTR("QualityCount");

bool Usable(const UiContext* ui) { return ui && ui->driver && ui->driver->settings && ui->driver->work; }

// The interface's check of a section's header (`sectionText`, null when the file lacks it).
BOOL CheckHeaderText(UiContext* ui, const WCHAR* file, const char* sectionText, DWORD flags) {
  if (!XferHeaderApplies(flags)) return TRUE;
  if (XferCheckHeader(ui->driver, sectionText, nullptr)) return TRUE;
  if (!(flags & kSilentFlags)) RstShowMessage(ui, nullptr, kRstMsgHeaderMismatch, file, MB_OK);
  return FALSE;
}

// ---- After a plain load -----------------------------------------------------------------------

void RederiveLists(void* owner, DriverContext* context) {
  auto* ui = static_cast<UiContext*>(owner);
  const int outSlot = LstPaperToFreeSizeSlot(OptGetValue(context, kItemOutPaperSize));
  if (outSlot >= 0) {
    LstStoreFreeSize(context, outSlot);
    LstSaveFreeSize(context, outSlot);
  }
  LstRederiveSrcFreeSize(context);
  RstLoadStamp(ui, LstClampStampIndex(context));
}

void LoadQualityInUse(void* owner, DriverContext* context) {
  const int quality = LstGetQualityIndex(context);
  WCHAR key[kKeyChars];
  if (quality >= 0 && LstFormatQualityKey(key, kKeyChars, quality, FALSE))
    RstLoadQualityByKey(static_cast<UiContext*>(owner), key);
}

int PushCredentialsAndMerge(void* owner, DriverContext*, DWORD mergeFlags) {
  auto* ui = static_cast<UiContext*>(owner);
  JcBridgeOpen(ui);
  for (DWORD mask : kCredentialMasks) JcBridgeWriteOptions(ui, mask);
  return DmMergeIntoUiContext(ui, nullptr, mergeFlags);
}

XferPolicy MakeInterfacePolicy(UiContext* ui) {
  XferPolicy policy{};
  policy.owner = ui;
  policy.checkHeader = [](void* owner, DriverContext*, const WCHAR* file, const char* text, DWORD flags) {
    return CheckHeaderText(static_cast<UiContext*>(owner), file, text, flags);
  };
  policy.stampMarkedRowsOnly = TRUE;
  policy.rederiveLists = RederiveLists;
  policy.afterSystemKind = LoadQualityInUse;
  policy.revalidate = PushCredentialsAndMerge;
  return policy;
}

// `path` with its folder part resolved, into `out` (MAX_PATH + 1 characters); false when it
// cannot be resolved.
bool FullPath(const WCHAR* path, WCHAR* out) {
  if (!path || !path[0]) return false;
  const DWORD length = GetFullPathNameW(path, MAX_PATH + 1, out, nullptr);
  return length > 0 && length <= MAX_PATH;
}

}  // namespace

XferPolicy RstInterfacePolicy(UiContext* ui) { return MakeInterfacePolicy(ui); }

int RstShowMessage(UiContext* ui, HWND owner, UINT id, const WCHAR* file, UINT buttons) {
  if (!ui || !ui->driver) return IDCANCEL;
  WCHAR text[kMessageChars];
  WCHAR message[kMessageChars];
  ResLoadString(ui->driver, id, message, kMessageChars, FALSE);
  if (file && file[0]) {
    PathJoin(text, kMessageChars, {WStringView(file), WSTR("\r\n\r\n"), WStringView(message)});
    if (!text[0]) lstrcpynW(text, message, static_cast<int>(kMessageChars));
  } else {
    lstrcpynW(text, message, static_cast<int>(kMessageChars));
  }
  const WCHAR* caption = PrnGetPrinterName(ui->driver);
  return MessageBoxW(owner ? owner : GetActiveWindow(), text, caption ? caption : WSTR(""), buttons | MB_ICONWARNING);
}

BOOL RstCheckHeader(UiContext* ui, const WCHAR* file, DWORD flags) {
  if (!Usable(ui)) return FALSE;
  if (!XferHeaderApplies(flags)) return TRUE;
  WCHAR section[kIniMaxNameChars + 1];
  char* text = nullptr;
  DWORD bytes = 0;
  if (PathHasDrive(file) && PathExists(file)) text = IniLoadFile(file, &bytes);
  const char* sectionText =
      text && XferSectionName(ui->driver, flags, section, kIniMaxNameChars + 1) ? IniFindSection(section, text) : nullptr;
  const BOOL accepted = CheckHeaderText(ui, file, sectionText, flags);
  if (text) IniFreeFile(text);
  return accepted;
}

BOOL RstTransferOptions(UiContext* ui, const WCHAR* file, DWORD flags) {
  if (!Usable(ui)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return XferSectionWithPolicy(ui->driver->printer, ui->driver, file, flags, RstInterfacePolicy(ui));
}

BOOL RstLoadFile(HANDLE printer, const WCHAR* file, DWORD flags, UiContext* ui) {
  if (!Usable(ui) || !PathHasDrive(file)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // The path is kept apart from the caller's buffer, which the load may change (a dialog's text).
  if (static_cast<DWORD>(lstrlenW(file)) >= kLoadBufferChars) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return FALSE;
  }
  auto* path = static_cast<WCHAR*>(SysAlloc(kLoadBufferChars * sizeof(WCHAR)));
  if (!path) return FALSE;
  lstrcpynW(path, file, static_cast<int>(kLoadBufferChars));
  const BOOL loaded = XferLoadWithPolicy(printer, path, flags, ui->driver, RstInterfacePolicy(ui));
  SysFree(path);
  return loaded;
}

BOOL RstWriteSharedCopy(UiContext* ui, DWORD flags) {
  WCHAR file[MAX_PATH];
  if (!Usable(ui) || !PathMakeSharedFile(kXferPrinterItemFileName, file, MAX_PATH)) return FALSE;
  return RstTransferOptions(ui, file, (flags | kSharedCopyFlags) & ~kXferRead);
}

DWORD RstStoredFilesFolder(UiContext* ui, WCHAR* buffer, DWORD capacity) {
  if (!ui || !ui->driver || !buffer || capacity == 0) return 0;
  const bool perUser = SysIsTerminalServerCached(ui->driver->printer) && !(UiGetStateFlags(ui) & kUiFlagInstalling);
  return perUser ? PathGetUserDir(ui->driver, buffer, capacity) : PathGetSharedDir(ui->driver, buffer, capacity);
}

BOOL RstNextFreeFileName(UiContext* ui, WCHAR* path) {
  if (!path) return FALSE;
  path[0] = 0;
  WCHAR folder[kRstPathChars];
  const WCHAR* printer = ui && ui->driver ? PrnGetPrinterName(ui->driver) : nullptr;
  if (!printer || !RstStoredFilesFolder(ui, folder, kRstPathChars)) return FALSE;
  for (DWORD n = 0; n < kRstStoredFileNames; ++n) {
    WCHAR name[kKeyChars];
    swprintf_s(name, kKeyChars, WSTR("\\user%04u.rst"), static_cast<UINT>(n));
    if (!PathJoin(path, kRstPathChars, {WStringView(folder), WStringView(name)})) return FALSE;
    if (IniProfileGetInt(printer, kXferMachineKey, 0, path) == 0) return TRUE;
  }
  // Every name holds a stored file: none is handed out to be overwritten.
  path[0] = 0;
  SetLastError(ERROR_FILE_EXISTS);
  return FALSE;
}

BOOL RstIsWritable(UiContext* ui, const WCHAR* path) {
  const WCHAR* printer = ui && ui->driver ? PrnGetPrinterName(ui->driver) : nullptr;
  if (!printer || !PathHasDrive(path)) return TRUE;
  return IniProfileGetInt(printer, kXferReadonlyKey, 0, path) != 1;
}

BOOL RstIsStoredSettingsFile(UiContext* ui, const WCHAR* path) {
  WCHAR chosen[MAX_PATH + 1];
  const WCHAR* ini = ui && ui->driver ? PathGetSettingsIni(ui->driver) : nullptr;
  const WCHAR* printer = ui && ui->driver ? PrnGetPrinterName(ui->driver) : nullptr;
  if (!ini || !ini[0] || !printer || !FullPath(path, chosen)) return FALSE;
  const struct {
    const WCHAR* countKey;
    int slots;
    DWORD (*format)(WCHAR* buffer, DWORD capacity, int n);
  } lists[] = {
      {kPresetCountKey, kLstPresetSlots,
       [](WCHAR* buffer, DWORD capacity, int n) { return LstFormatPresetKey(buffer, capacity, n, kPresetKeyPath); }},
      {kQualityCountKey, kLstQualitySets,
       [](WCHAR* buffer, DWORD capacity, int n) { return LstFormatQualityKey(buffer, capacity, n, FALSE); }},
  };
  for (const auto& list : lists) {
    const int count = static_cast<int>(IniProfileGetInt(printer, list.countKey, 0, ini));
    for (int n = 0; n < count && n < list.slots; ++n) {
      WCHAR key[kKeyChars];
      WCHAR listed[MAX_PATH + 1];
      WCHAR full[MAX_PATH + 1];
      if (!list.format(key, kKeyChars, n)) continue;
      IniProfileGetString(printer, key, WSTR(""), listed, MAX_PATH + 1, ini);
      if (FullPath(listed, full) && lstrcmpiW(full, chosen) == 0) return TRUE;
    }
  }
  return FALSE;
}

BOOL RstApplyDefaultFile(UiContext* ui) {
  if (!Usable(ui)) return FALSE;
  DriverContext* context = ui->driver;
  WCHAR system[MAX_PATH];
  WCHAR ini[MAX_PATH];
  WCHAR file[MAX_PATH + 1];
  const WCHAR* printer = PrnGetPrinterName(context);
  if (!printer || !printer[0] || !SysGetSystemDir(system, MAX_PATH) ||
      !PathJoin(ini, MAX_PATH, {WStringView(system), WSTR("\\"), WStringView(kDefaultFileIni)}))
    return FALSE;
  if (IniProfileGetString(printer, kDefaultFileKey, WSTR(""), file, MAX_PATH + 1, ini) >= MAX_PATH || !PathHasDrive(file) ||
      !PathExists(file))
    return FALSE;
  const BOOL written = XferWriteHeaderKeys(context, file, printer);
  return written && XferPrinterItemsInSection(context, file, printer, kXferRead);
}
