#include "ui2k/entry/install_entries.h"

#include <cstddef>
#include <cstring>

#include "data/item_ids.h"
#include "settings/context/locks.h"
#include "settings/context/memory.h"
#include "settings/devmode/environment.h"
#include "settings/devmode/merge.h"
#include "settings/devmode/model_hooks.h"
#include "settings/items/store.h"
#include "settings/items/table.h"
#include "settings/persistence/paths.h"
#include "settings/persistence/profile_wrappers.h"
#include "settings/services/spooler_info.h"
#include "ui2k/entry/devmode_convert.h"
#include "ui2k/entry/seams.h"
#include "ui2k/entry/sheet_commit.h"
#include "ui2k/install/job_control_bridge.h"
#include "ui2k/store/file_utils.h"
#include "ui2k/store/font_substitution.h"

namespace {

constexpr DWORD kFeatureRemoteManagement = 7;
constexpr WORD kKindFlagsConvert = 0x300;
constexpr WORD kKindFlagsDefault = 0x1B00;
constexpr DWORD kQueryMergeFlags = 0x8000008;
constexpr DWORD kStampInstall = 1;
constexpr DWORD kInstallFilesFlag = 4096;
constexpr size_t kOffFormatVersion = kDmOffFormatVersion;
constexpr size_t kOffPaperSize = offsetof(DEVMODEW, dmPaperSize);
constexpr size_t kOffPaperLength = offsetof(DEVMODEW, dmPaperLength);
constexpr size_t kOffPaperWidth = offsetof(DEVMODEW, dmPaperWidth);
constexpr size_t kOffFormName = offsetof(DEVMODEW, dmFormName);
constexpr size_t kFormFieldsEnd = kOffFormName + sizeof(DEVMODEW::dmFormName);
constexpr LONG kFormTolerance = 1000;  // thousandths of a millimetre

// Install kinds of the conversion's install stamp.
constexpr int kInstallFromIni = 3;
constexpr int kInstallSameModel = 2;
constexpr int kInstallFresh = 1;

// A printer handle closed at the end of its scope.
class PrinterHandle {
 public:
  PrinterHandle() = default;
  ~PrinterHandle() { Close(); }
  PrinterHandle(const PrinterHandle&) = delete;
  PrinterHandle& operator=(const PrinterHandle&) = delete;
  BOOL Open(WCHAR* name, ACCESS_MASK access) {
    Close();
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, access};
    return OpenPrinterW(name, &handle_, &defaults);
  }
  // The first of `accesses` that opens.
  template <size_t N>
  BOOL OpenFirst(WCHAR* name, const ACCESS_MASK (&accesses)[N]) {
    for (ACCESS_MASK access : accesses)
      if (Open(name, access)) return TRUE;
    return FALSE;
  }
  void Close() {
    if (handle_) ClosePrinter(handle_);
    handle_ = nullptr;
  }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_ = nullptr;
};

constexpr ACCESS_MASK kMaintenanceAccess[] = {PRINTER_ALL_ACCESS, SERVER_ALL_ACCESS, PRINTER_ACCESS_USE};

// A UI context destroyed at the end of its scope.
struct ContextScope {
  UiContext* ui;
  ~ContextScope() { UiDestroyContext(ui); }
};

// The spooler's own identity for the scope, the client's taken back up at its end.
class SpoolerIdentity {
 public:
  SpoolerIdentity() : token_(RevertToPrinterSelf()) {}
  ~SpoolerIdentity() {
    if (token_) ImpersonatePrinterClient(token_);
  }
  SpoolerIdentity(const SpoolerIdentity&) = delete;
  SpoolerIdentity& operator=(const SpoolerIdentity&) = delete;

 private:
  HANDLE token_;
};

BOOL IsConnection(HANDLE printer) {
  auto* info = static_cast<PRINTER_INFO_2W*>(PrnGetPrinterInfo(printer, 2));
  const BOOL connection = info && info->pServerName && info->pServerName[0];
  SysFree(info);
  return connection;
}

// Opened for reading; a local printer again with every right when that is granted.
BOOL OpenForInstall(WCHAR* name, PrinterHandle& printer, BOOL* connection) {
  if (!printer.Open(name, PRINTER_READ)) return FALSE;
  *connection = IsConnection(printer.get());
  if (!*connection) {
    PrinterHandle full;
    if (full.Open(name, PRINTER_ALL_ACCESS)) {
      printer.Close();
      printer.Open(name, PRINTER_ALL_ACCESS);
    }
  }
  return TRUE;
}

// The install INI: the settings INI of the shared settings folder, the printer's section.
DWORD InstallIniPath(WCHAR* path) { return PathBuildSettingsIni(path, 0); }

BOOL IsBatchInstallDoneFor(const WCHAR* printerName) {
  WCHAR path[MAX_PATH];
  if (!printerName || !InstallIniPath(path)) return FALSE;
  return IniProfileGetInt(printerName, WSTR("BatchInstallDone"), 0, path) != 0;
}

DWORD VersionWord(const DEVMODEW* devmode) {
  const BYTE* bytes = reinterpret_cast<const BYTE*>(devmode);
  if (!devmode || DmLoadU16(bytes, kDmOffSize) != kDmPublicSize ||
      DmLoadU16(bytes, kDmOffDriverExtra) < kOffFormatVersion + 4 - kDmPublicSize)
    return 0;
  return DmLoadU32(bytes, kOffFormatVersion);
}

bool SameModelVersion(DWORD version, DWORD model) { return (version & 0xFFFF) == (model & 0xFFFF); }
bool OlderVersion(DWORD version, DWORD model) { return (version >> 16) < (model >> 16); }

DEVMODEW* OwnDevmode(UiContext* ui) { return reinterpret_cast<DEVMODEW*>(ui->driver->settings->devmode.bytes); }

// The context's devmode into a caller's output devmode, in the output's own shape.
void CopyOutShaped(UiContext* ui, DEVMODEW* pdmOut) {
  if (pdmOut) DmConvertForApply(OwnDevmode(ui), pdmOut, pdmOut);
}

int InstallKindOfName(const WCHAR* name) {
  return name && WStringView(name).find(WSTR("\\Client")) != WStringView::npos ? 0 : 2;
}

// The interface defaults of the printer (a context of kind 0 with kind flags 0x1B00) into
// `pdmOut` when given. FALSE when no context can be built.
BOOL CopyDefaults(HANDLE printer, DEVMODEW* pdmOut) {
  ContextScope scope{UiCreateContext(printer, 0, kKindOrdinary | kKindFlagsDefault, kUiCreateSheet, 0, nullptr)};
  if (!scope.ui || !scope.ui->driver->settings) return FALSE;
  DmLoadUiDefaults(scope.ui);
  if (pdmOut) std::memcpy(pdmOut, OwnDevmode(scope.ui), kDmSize);
  return TRUE;
}

// CDM_DRIVER_DEFAULT after the core: the default devmode, installing the printer first when it
// was never installed.
BOOL ConvertDriverDefault(WCHAR* printerName, DEVMODEW* pdmOut) {
  PrinterHandle printer;
  BOOL connection = FALSE;
  if (!OpenForInstall(printerName, printer, &connection)) return FALSE;
  UiInstallingScope installing;
  void* info = connection ? nullptr : PrnGetPrinterInfo(printer.get(), 2);
  const bool readable = info != nullptr;
  SysFree(info);
  if (connection || (IsBatchInstallDoneFor(printerName) && readable)) return CopyDefaults(printer.get(), pdmOut);
  {
    SettingsMutexHold hold(nullptr);
    if (!UiGetSeams().instInitializePrinter(printer.get(), 0)) return FALSE;
  }
  installing.Clear();
  bool filled = false;
  if (SysTestFeatureBit(kFeatureRemoteManagement)) {
    ContextScope scope{UiCreateContext(printer.get(), 0, kKindOrdinary | kKindFlagsConvert, kUiCreateSheet, 0, nullptr)};
    auto* server = static_cast<DEVMODEW*>(SysAlloc(kDmSize));
    if (scope.ui && scope.ui->driver->settings && server &&
        UiGetSeams().srvGetServerDevmode(scope.ui, server, kDmSize)) {
      const DWORD model = ContextModelDefaults(scope.ui->driver).formatVersion;
      const DWORD version = VersionWord(server);
      if (SameModelVersion(version, model) && OlderVersion(version, model)) {
        LONG size = kDmSize;
        DmConvertCore(printerName, server, OwnDevmode(scope.ui), &size, CDM_CONVERT);
        UiGetSeams().lstReloadQualityList(scope.ui);
        if (pdmOut) std::memcpy(pdmOut, OwnDevmode(scope.ui), kDmSize);
        filled = true;
      } else if (SameModelVersion(version, model) && pdmOut) {
        std::memcpy(pdmOut, server, kDmSize);
        filled = true;
      }
    }
    SysFree(server);
  }
  // The caller asked for the default devmode: a printer just initialised gives it too.
  if (!filled && !CopyDefaults(printer.get(), pdmOut)) return FALSE;
  return UiGetSeams().instWriteStamp(printer.get(), kStampInstall, InstallKindOfName(printerName));
}

// CDM_CONVERT after the core: the printer installed as the converted devmode says.
BOOL ConvertAndInstall(WCHAR* printerName, const DEVMODEW* pdmIn, DEVMODEW* pdmOut) {
  PrinterHandle printer;
  BOOL connection = FALSE;
  if (!OpenForInstall(printerName, printer, &connection)) return FALSE;
  UiInstallingScope installing;
  ContextScope scope{UiCreateContext(printer.get(), 0, kKindOrdinary | kKindFlagsConvert, kUiCreateSheet, 0, nullptr)};
  UiContext* ui = scope.ui;
  if (!ui || !ui->driver->settings) return FALSE;
  const UiSeams& seams = UiGetSeams();
  JcBridgeSync(ui);
  const DWORD model = ContextModelDefaults(ui->driver).formatVersion;
  const DWORD version = VersionWord(pdmIn);
  int kind = kInstallFresh;
  if (seams.instHasInstallData(printerName)) {
    kind = kInstallFromIni;
    if (!seams.instInitializePrinter(printer.get(), 0)) return FALSE;
  } else if (SameModelVersion(version, model)) {
    kind = kInstallSameModel;
    seams.instCopyInstallFiles(ui, kInstallFilesFlag);
    DmResetJobActions(ui->driver, FALSE);
    if (OlderVersion(version, model)) {
      seams.lstReloadQualityList(ui);
      CopyOutShaped(ui, pdmOut);
    }
    seams.instImportBatchLists(ui);
    InstSecurePrinterFolders(ui->driver);
  } else {
    if (!seams.instInitializePrinter(printer.get(), 1)) return FALSE;
    DmLoadUiDefaults(ui);
    CopyOutShaped(ui, pdmOut);
  }
  installing.Clear();
  return seams.instWriteStamp(printer.get(), kStampInstall, kind);
}

WORD Load16(const DEVMODEW* devmode, size_t offset) { return DmLoadU16(reinterpret_cast<const BYTE*>(devmode), offset); }

}  // namespace

BOOL UiConvertDevMode(WCHAR* printerName, const DEVMODEW* pdmIn, DEVMODEW* pdmOut, LONG* pcbNeeded, DWORD fMode) {
  const int core = DmConvertCore(printerName, pdmIn, pdmOut, pcbNeeded, fMode);
  if (core == kConvertContinue && fMode == CDM_DRIVER_DEFAULT) return ConvertDriverDefault(printerName, pdmOut);
  if (core == kConvertDone && fMode == CDM_CONVERT) return ConvertAndInstall(printerName, pdmIn, pdmOut);
  if (core == kConvertContinue) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return core == kConvertDone;
}

BOOL UiCheckJobForm(HANDLE printer, DEVMODEW* devmode) {
  if (!devmode || Load16(devmode, kDmOffSize) < kFormFieldsEnd) return FALSE;
  DWORD needed = 0, count = 0;
  if (EnumFormsW(printer, 1, nullptr, 0, &needed, &count) || GetLastError() != ERROR_INSUFFICIENT_BUFFER || !needed)
    return FALSE;
  auto* forms = static_cast<FORM_INFO_1W*>(SysAlloc(needed));
  if (!forms) return FALSE;
  if (!EnumFormsW(printer, 1, reinterpret_cast<LPBYTE>(forms), needed, &needed, &count)) {
    SysFree(forms);
    return FALSE;
  }
  BYTE* bytes = reinterpret_cast<BYTE*>(devmode);
  const DWORD fields = DmLoadU32(bytes, kDmOffFields);
  const LONG length = static_cast<SHORT>(DmLoadU16(bytes, kOffPaperLength));
  const LONG width = static_cast<SHORT>(DmLoadU16(bytes, kOffPaperWidth));
  const FORM_INFO_1W* match = nullptr;
  DWORD index = 0;
  if ((fields & (DM_PAPERLENGTH | DM_PAPERWIDTH)) == (DM_PAPERLENGTH | DM_PAPERWIDTH) && length > 0 && width > 0) {
    for (DWORD i = 0; i < count && !match; ++i) {
      const LONG dx = forms[i].Size.cx - width * 100, dy = forms[i].Size.cy - length * 100;
      if (dx >= -kFormTolerance && dx <= kFormTolerance && dy >= -kFormTolerance && dy <= kFormTolerance)
        match = &forms[i], index = i;
    }
  } else if (fields & DM_PAPERSIZE) {
    const SHORT paper = static_cast<SHORT>(DmLoadU16(bytes, kOffPaperSize));
    if (paper >= 1 && static_cast<DWORD>(paper) <= count) match = &forms[paper - 1], index = paper - 1;
  } else if (fields & DM_FORMNAME) {
    WCHAR name[32] = {};
    std::memcpy(name, bytes + kOffFormName, sizeof name);
    name[31] = 0;
    for (DWORD i = 0; i < count && !match; ++i)
      if (forms[i].pName && WStringView(forms[i].pName) == WStringView(name)) match = &forms[i], index = i;
  }
  if (match) {
    DmStoreU16(bytes, kOffPaperWidth, static_cast<WORD>(match->Size.cx / 100));
    DmStoreU16(bytes, kOffPaperLength, static_cast<WORD>(match->Size.cy / 100));
    DmStoreU16(bytes, kOffPaperSize, static_cast<WORD>(index + 1));
    DmStoreU32(bytes, kDmOffFields, fields | DM_FORMNAME);
    WCHAR name[32] = {};
    const WStringView formName = match->pName ? WStringView(match->pName) : WStringView();
    std::memcpy(name, formName.data(), sizeof(WCHAR) * (formName.size() < 31 ? formName.size() : 31));
    std::memcpy(bytes + kOffFormName, name, sizeof name);
  }
  SysFree(forms);
  return TRUE;
}

BOOL UiDevQueryPrintEx(DEVQUERYPRINT_INFO* info) {
  if (!info) return FALSE;
  if (!info->pDevMode) return TRUE;
  if (UiGetSeams().instEnsurePrinterReady(info->hPrinter) != 1) return TRUE;
  ContextScope scope{UiCreateContext(info->hPrinter, 0, kKindOrdinary, kUiCreateSheet, 0, nullptr)};
  if (!scope.ui || !DmMergeIntoUiContext(scope.ui, info->pDevMode, kQueryMergeFlags)) return FALSE;
  UiCheckJobForm(info->hPrinter, info->pDevMode);
  return TRUE;
}

BOOL UiUpgradePrinter(DWORD level, BYTE* upgradeInfo) {
  PrinterHandle printer;
  auto* info = reinterpret_cast<DRIVER_UPGRADE_INFO_1W*>(upgradeInfo);
  if (level != 1 || !info || !printer.Open(info->pPrinterName, PRINTER_ALL_ACCESS)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (UiGetSeams().instEnsurePrinterReady(printer.get()) != 1) return FALSE;
  ContextScope scope{UiCreateContext(printer.get(), 0, kKindOrdinary, kUiCreateSheet, 0, nullptr)};
  if (!scope.ui) return FALSE;
  const BOOL fonts = FontSubWriteTableValues(scope.ui, 0);
  const BOOL files = UiGetSeams().instRegisterDriverFiles(scope.ui);
  return fonts && files;
}

BOOL UiOnAddConnection(WCHAR* printerName) {
  SpoolerIdentity identity;
  PrinterHandle printer;
  const ACCESS_MASK accesses[] = {PRINTER_ALL_ACCESS, PRINTER_READ};
  if (!printer.OpenFirst(printerName, accesses)) return FALSE;
  UiInstallingScope installing;
  if (SysTestFeatureBit(kFeatureRemoteManagement)) {
    SettingsMutexHold hold(nullptr);
    if (!UiGetSeams().instInitializePrinter(printer.get(), 2)) return FALSE;
  }
  installing.Clear();
  return UiGetSeams().instWriteStamp(printer.get(), kStampInstall, InstallKindOfName(printerName));
}

BOOL UiOnDeleteConnection(WCHAR* printerName) {
  SpoolerIdentity identity;
  PrinterHandle printer;
  if (printer.OpenFirst(printerName, kMaintenanceAccess)) {
    ContextScope scope{UiCreateContext(printer.get(), 0, kKindOrdinary, kUiCreateSheet, 0, nullptr)};
    if (scope.ui) {
      JcBridgeOpen(scope.ui);
      OptSetString(scope.ui->driver, OptFindItem(scope.ui->driver->itemTable, kItemUserCode), WSTR(""));
      JcBridgeWriteOptions(scope.ui, kJcBridgeMaskUserCode);
      for (DWORD code : {2u, 3u, 4u, 5u, 8u}) JcBridgeNotify(scope.ui, code);
      JcBridgeClose(scope.ui);
    }
  }
  WCHAR path[MAX_PATH];
  if (printerName && InstallIniPath(path)) {
    IniProfileWriteString(printerName, WSTR("BatchInstallDone"), WSTR("0"), path);
    IniProfileWriteString(printerName, WSTR("DrvInstVersion"), WSTR(""), path);
  }
  return TRUE;
}

BOOL UiOnInitialize(WCHAR* printerName) {
  PrinterHandle printer;
  if (!printer.Open(printerName, PRINTER_ALL_ACCESS)) return FALSE;
  UiInstallingScope installing;
  if (IsBatchInstallDoneFor(printerName)) return TRUE;
  SpoolerIdentity identity;
  const UiSeams& seams = UiGetSeams();
  if (!UiIsNt5OrLater())
    return seams.instInitializePrinter(printer.get(), 1) && seams.instWriteStamp(printer.get(), kStampInstall, 1);
  if (seams.instHasInstallData(printerName)) return TRUE;
  SettingsMutexHold hold(nullptr);
  return seams.instInitializePrinter(printer.get(), 1) && seams.instWriteStamp(printer.get(), kStampInstall, 1);
}

BOOL UiOnDeletePrinter(WCHAR* printerName) {
  PrinterHandle printer;
  if (!printer.OpenFirst(printerName, kMaintenanceAccess)) return TRUE;
  ContextScope scope{UiCreateContext(printer.get(), 0, kKindOrdinary, kUiCreateSheet, 0, nullptr)};
  if (scope.ui) {
    JcBridgeOpen(scope.ui);
    for (DWORD code : {256u, 257u, 258u}) JcBridgeNotify(scope.ui, code);
    JcBridgeClose(scope.ui);
  }
  return TRUE;
}

BOOL UiOnCacheRefresh(WCHAR* printerName) {
  SpoolerIdentity identity;
  PrinterHandle printer;
  if (!printer.OpenFirst(printerName, kMaintenanceAccess)) return FALSE;
  UiGetSeams().instRefreshDriverFiles(printer.get(), printerName);
  return TRUE;
}

BOOL UiPrinterEvent(WCHAR* printerName, int event, DWORD, LPARAM) {
  switch (event) {
    case PRINTER_EVENT_ADD_CONNECTION: return UiOnAddConnection(printerName);
    case PRINTER_EVENT_DELETE_CONNECTION: return UiOnDeleteConnection(printerName);
    case PRINTER_EVENT_INITIALIZE: return UiOnInitialize(printerName);
    case PRINTER_EVENT_DELETE: return UiOnDeletePrinter(printerName);
    case PRINTER_EVENT_CACHE_REFRESH: return UiOnCacheRefresh(printerName);
    default: return TRUE;
  }
}
