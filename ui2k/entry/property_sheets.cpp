#include "ui2k/entry/property_sheets.h"

#include "data/item_ids.h"
#include "settings/context/memory.h"
#include "settings/context/open_steps.h"
#include "settings/context/process_state.h"
#include "settings/devmode/environment.h"
#include "settings/devmode/locale_defaults.h"
#include "settings/devmode/merge.h"
#include "settings/devmode/model_hooks.h"
#include "settings/devmode/record_build.h"
#include "settings/items/store.h"
#include "settings/items/table.h"
#include "settings/persistence/folders.h"
#include "settings/persistence/options.h"
#include "settings/persistence/profile_wrappers.h"
#include "settings/services/bidi_saved_info.h"
#include "settings/services/platform_tests.h"
#include "settings/services/spooler_info.h"
#include "ui2k/entry/seams.h"
#include "ui2k/entry/sheet_commit.h"
#include "ui2k/install/job_control_bridge.h"
#include "ui2k/install/user_code.h"

namespace {

constexpr DWORD kFeatureRemoteManagement = 7;
constexpr DWORD kSilentMergeFlags = 0x22000008;
constexpr DWORD kDeviceMergeFlags = 0x400000a;
constexpr DWORD kAdvancedMode = DM_ADVANCED | DM_PROMPT | DM_COPY;
constexpr WCHAR kInstallDefaultsIni[] = WSTR("qndef.ini");
constexpr int kInstDoneUnset = -1;
// The device sheet answers 1 at once to reasons after this one (the five of INIT..4).
constexpr WORD kLastSheetReason = 4;

BOOL IsReady(HANDLE printer) { return UiGetSeams().instEnsurePrinterReady(printer) == 1; }

// A record that is not a devmode of this model is reset before anything is merged over it.
void ResetForeignRecord(UiContext* ui) {
  DriverContext* context = ui->driver;
  const PrivateDevmode& devmode = context->settings->devmode;
  const DWORD size = DmLoadU16(devmode.bytes, kDmOffSize) + DmLoadU16(devmode.bytes, kDmOffDriverExtra);
  if (size == static_cast<DWORD>(kUiDevmodeSize) && DmIsCompatible(&devmode, ContextModelDefaults(context))) return;
  DmLoadUiDefaults(ui);
  CfgFreeFontBlobs(context);
  CfgLoad(context->printer, kCfgLoadAll, context);
}

// What every context over a printer does first: the record checked, a rename handled, and
// remote-management settings imported where the build has them.
void PrepareContext(UiContext* ui) {
  ResetForeignRecord(ui);
  UiGetSeams().instHandlePrinterRename(ui);
  if (SysTestFeatureBit(kFeatureRemoteManagement)) UiGetSeams().srvImportRemoteSettings(ui);
}

// "VelmInstDone" of the printer's section in the shared "qndef.ini": 1 takes the display
// language from "DispLang", 0 applies the install defaults.
void ApplyInstallMark(UiContext* ui) {
  WCHAR path[MAX_PATH];
  if (!PathMakeSharedFile(kInstallDefaultsIni, path, MAX_PATH)) return;
  if (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) return;
  const WCHAR* printer = PrnGetPrinterName(ui->driver);
  const int done = static_cast<int>(IniProfileGetInt(printer, WSTR("VelmInstDone"), kInstDoneUnset, path));
  if (done == 1) {
    const UINT language = IniProfileGetInt(printer, WSTR("DispLang"), 0, path);
    OptSetValue(ui->driver, kItemLanguageID, language & 0xFF);
  } else if (done == 0) {
    UiGetSeams().instApplyInstallDefaults(ui);
  }
}

// The steps both sheets take at INIT after the context is prepared.
void SetSessionBytes(UiContext* ui) {
  ApplyInstallMark(ui);
  UiSetModeByte(ui, kEnvTse, SysIsTerminalServer(ui->driver->printer) ? 1 : 0);
  UiSetModeByte(ui, kEnvAdmin, SysIsAdministrator() ? 1 : 0);
  if (!UiIsConnectionPrinter(ui) && BidiGetSavedFlag(ui->driver)) BidiLoadSavedInfo(ui->driver);
}

DWORD BidiFlag(UiContext* ui) {
  if (UiIsConnectionPrinter(ui)) return BidiGetPrinterDataFlag(ui->driver);
  const DWORD saved = BidiReadSavedFlag(ui->driver);
  return saved != kBidiSavedFlagAbsent ? saved : BidiGetPrinterDataFlag(ui->driver);
}

// The bidirectional copy put back: copied over the record, freed, committed with mode 3; then
// the ex flag is set.
void ApplyBidiCopyBack(UiContext* ui) {
  if (SettingsRecord* copy = ui->state.bidiCopy) {
    *ui->driver->settings = *copy;
    SysFree(copy);
    ui->state.bidiCopy = nullptr;
    SheetCommitWithMode(ui, kCommitDeviceSheet);
  }
  UiGetSeams().bidiUiSetExFlag(ui);
}

void FinishResult(PROPSHEETUI_INFO* info) {
  info->Result = CPSUI_OK;
  info->pfnComPropSheet(info->hComPropSheet, CPSFUNC_SET_RESULT, 0, CPSUI_OK);
}

void FillInfoHeader(LPARAM lParam, LPWSTR printerName) {
  auto* header = reinterpret_cast<PROPSHEETUI_INFO_HEADER*>(lParam);
  if (!header) return;
  header->Flags = PSUIHDRF_NOAPPLYNOW | PSUIHDRF_PROPTITLE;
  // CommonPropertySheetUIW reads the title as wide text whatever the header's declared type.
  header->pTitle = reinterpret_cast<decltype(header->pTitle)>(printerName);
  header->hInst = UiModuleHandle();
  header->IconID = kUiSheetIconId;
}

// The end of INIT for both sheets: the host's callback kept, the pages added.
LONG StartSheet(UiContext* ui, PROPSHEETUI_INFO* info, WORD kind) {
  ui->state.pfnComPropSheet = info->pfnComPropSheet;
  ui->state.hComPropSheet = info->hComPropSheet;
  ui->state.okPressed = 0;
  ui->state.sheetKind = kind;
  UiGetSeams().sheetAddPages(ui, kind);
  return 1;
}

// GET_INFO_HEADER and SET_RESULT, alike for both sheets; -1 for BEFORE_INIT and the others.
LONG CommonReason(PROPSHEETUI_INFO* info, LPARAM lParam, LPWSTR printerName) {
  switch (info->Reason) {
    case PROPSHEETUI_REASON_GET_INFO_HEADER:
      FillInfoHeader(lParam, printerName);
      return 1;
    case PROPSHEETUI_REASON_SET_RESULT:
      if (lParam) info->Result = static_cast<ULONG_PTR>(reinterpret_cast<SETRESULT_INFO*>(lParam)->Result);
      return 1;
    default:
      return -1;
  }
}

// Whether this caller may write printer data: item 10014's entry written as it stands.
BOOL CanWriteDeviceEntry(UiContext* ui) {
  return CfgWritePrinterDataEntry(ui->driver->printer, ui->driver,
                                  OptFindItem(ui->driver->itemTable, kItemSourceOptionTypeDuplex));
}

// A sheet's context with a description, prepared and carrying the session's bytes; null on failure.
UiContext* OpenSheetContext(HANDLE printer) {
  UiContext* ui = UiCreateContext(printer, 0, kKindOrdinary, kUiCreateSheet, 0, nullptr);
  if (!ui) return nullptr;
  if (!ui->driver->description) {
    UiDestroyContext(ui);
    return nullptr;
  }
  PrepareContext(ui);
  SetSessionBytes(ui);
  return ui;
}

// INIT of the document sheet up to storing the context; null on failure (nothing left behind).
UiContext* OpenDocumentSheet(const DOCUMENTPROPERTYHEADER& header, DWORD* exFlag, DWORD* bidiFlag) {
  UiContext* ui = OpenSheetContext(header.hPrinter);
  if (!ui) return nullptr;
  const UiSeams& seams = UiGetSeams();
  seams.bidiUiSelectSource(ui);
  *exFlag = seams.bidiUiGetExFlag(ui);
  *bidiFlag = BidiFlag(ui);
  if (*exFlag == 0 && *bidiFlag) {
    seams.bidiUiApplyDefaults(ui);
    ui->state.bidiCopy = static_cast<SettingsRecord*>(SysAlloc(sizeof(SettingsRecord)));
    if (!ui->state.bidiCopy) {
      UiDestroyContext(ui);
      return nullptr;
    }
  }
  ui->state.sheetKind = kUiSheetDocument;
  UiSetModeBytes(ui, header.fMode);
  UcInitOptionStates(ui);
  const BYTE userCodeGet = UiGetModeByte(ui, kEnvUserCodeGet);
  const bool nt5 = UiIsNt5OrLater();
  const bool mayChange = UiGetModeByte(ui, kEnvNoPermission) == 0;
  if (mayChange && (nt5 ? CanWriteDeviceEntry(ui) : UiGetModeByte(ui, kEnvCallSrc) == 1))
    seams.instRefreshPresetsOnce(ui, FALSE);
  if (!DmMergeIntoUiContext(ui, header.pdmIn, header.fMode | kMergeInterface)) {
    UiDestroyContext(ui);
    return nullptr;
  }
  UiRestoreModeBytesAfterMerge(ui, userCodeGet);
  return ui;
}

LONG DocumentDestroy(PROPSHEETUI_INFO* info, UiContext* ui, DWORD exFlag, DWORD bidiFlag) {
  const UiSeams& seams = UiGetSeams();
  const bool pending = exFlag == 0 && bidiFlag;
  if (ui->state.changed == 1) {
    JcBridgeOpen(ui);
    JcBridgeWriteOptions(ui, kJcBridgeMaskSheet);
    JcBridgeReadOptions(ui, kJcBridgeMaskUserCode);
    JcBridgeClose(ui);
    if (ui->state.fMode & (DM_UPDATE | DM_COPY)) SheetCommitWithMode(ui, kCommitDeviceSheet);
    if (pending) seams.bidiUiSetExFlag(ui);
    seams.instSaveDeviceSetup(ui);
    FinishResult(info);
  } else if (UiIsNt5OrLater() && ui->state.okPressed) {
    seams.bidiUiSetExFlag(ui);
    FinishResult(info);
  } else if (!pending) {
    info->Result = CPSUI_CANCEL;
  } else {
    ApplyBidiCopyBack(ui);
    FinishResult(info);
  }
  UiDestroyContext(ui);
  info->UserData = 0;
  return 1;
}

// The device sheet's context at INIT; null on failure.
UiContext* OpenDeviceSheet(const DEVICEPROPERTYHEADER& header) {
  UiContext* ui = OpenSheetContext(header.hPrinter);
  if (!ui) return nullptr;
  UiGetSeams().bidiUiFetchInstalledOptions(ui);
  ui->state.sheetKind = kUiSheetDevice;
  const bool noPermission = header.Flags & DPS_NOPERMISSION;
  UiSetModeBytes(ui, noPermission ? DM_NOPERMISSION : 0);
  UiSetModeByte(ui, kEnvCallSrc, 1);
  UcInitOptionStates(ui);
  if (!DmMergeIntoUiContext(ui, nullptr, kDeviceMergeFlags)) {
    UiDestroyContext(ui);
    return nullptr;
  }
  return ui;
}

}  // namespace

HINSTANCE UiModuleHandle() { return SysProcessState().module; }

LONG UiRunCommonPropertySheet(HWND window, PFNPROPSHEETUI callback, LPARAM lParam, DWORD* result) {
  HMODULE library = LoadLibraryA("compstui.dll");
  if (!library) return -1;
  using CommonPropertySheet = LONG (*)(HWND, PFNPROPSHEETUI, LPARAM, LPDWORD);
  auto entry = reinterpret_cast<CommonPropertySheet>(reinterpret_cast<void (*)()>(GetProcAddress(library, "CommonPropertySheetUIW")));
  const LONG answer = entry ? entry(window, callback, lParam, result) : -1;
  FreeLibrary(library);
  return answer;
}

LONG UiDocumentPropertiesSilent(DOCUMENTPROPERTYHEADER* header) {
  header->cbOut = kUiDevmodeSize;
  if (header->fMode == 0 || !header->pdmOut) return kUiDevmodeSize;
  UiContext* ui = UiCreateContext(header->hPrinter, 0, kKindOrdinary, kUiCreateSilent, header->fMode, nullptr);
  if (!ui) return -1;
  if (!ui->driver->description) {
    UiDestroyContext(ui);
    return -1;
  }
  ResetForeignRecord(ui);
  ui->state.pdmIn = header->pdmIn;
  ui->state.pdmOut = header->pdmOut;
  ui->state.fMode = header->fMode;
  UiGetSeams().instHandlePrinterRename(ui);
  if (SysTestFeatureBit(kFeatureRemoteManagement)) UiGetSeams().srvImportRemoteSettings(ui);
  UiSetModeBytes(ui, header->fMode);
  UcInitOptionStates(ui);
  const BYTE userCodeGet = UiGetModeByte(ui, kEnvUserCodeGet);
  if ((header->fMode & DM_IN_BUFFER) && header->pdmIn) {
    if (!DmMergeIntoUiContext(ui, header->pdmIn, header->fMode | kSilentMergeFlags)) {
      UiDestroyContext(ui);
      return -1;
    }
    UiRestoreModeBytesAfterMerge(ui, userCodeGet);
  }
  if (header->fMode & (DM_UPDATE | DM_COPY)) SheetCommitDevmode(ui);
  UiDestroyContext(ui);
  return 1;
}

LONG UiRunDocumentProperties(HWND window, HANDLE printer, WCHAR* deviceName, DEVMODEW* pdmOutput,
                             DEVMODEW* pdmInput, DWORD fMode) {
  DOCUMENTPROPERTYHEADER header{};
  header.cbSize = sizeof header;
  header.hPrinter = printer;
  header.pszPrinterName = deviceName;
  header.pdmIn = pdmInput;
  header.pdmOut = pdmOutput;
  header.fMode = fMode;
  if (!(fMode & DM_PROMPT)) return UiDocumentPropertiesSilent(&header);
  DWORD result = 0;
  return UiRunCommonPropertySheet(window, UiDocumentPropertySheets, reinterpret_cast<LPARAM>(&header), &result);
}

LONG UiDocumentPropertySheets(PROPSHEETUI_INFO* info, LPARAM lParam) {
  auto* header = reinterpret_cast<DOCUMENTPROPERTYHEADER*>(info ? info->lParamInit : lParam);
  if (!header) return -1;
  // DESTROY frees the context whatever the printer's state, as the device sheet does.
  const bool destroying = info && info->Reason == PROPSHEETUI_REASON_DESTROY;
  if ((info || (header->fMode && header->pdmOut)) && !destroying && !IsReady(header->hPrinter)) return -1;
  if (!info) return UiDocumentPropertiesSilent(header);

  UiContext* ui = nullptr;
  DWORD exFlag = 0, bidiFlag = 0;
  if (info->Reason == PROPSHEETUI_REASON_INIT) {
    ui = OpenDocumentSheet(*header, &exFlag, &bidiFlag);
    if (!ui) return -1;
    info->UserData = reinterpret_cast<ULONG_PTR>(ui);
  } else {
    ui = reinterpret_cast<UiContext*>(info->UserData);
    if (!ui) return -1;
    exFlag = UiGetSeams().bidiUiGetExFlag(ui);
    bidiFlag = BidiFlag(ui);
  }

  switch (info->Reason) {
    case PROPSHEETUI_REASON_INIT: {
      DmSetCountryDefaults(ui->driver);
      if (exFlag == 0 && bidiFlag) {
        UiGetSeams().bidiUiApplyDefaults(ui);
        *ui->state.bidiCopy = *ui->driver->settings;
      } else {
        SysFree(ui->state.bidiCopy);
        ui->state.bidiCopy = nullptr;
      }
      ui->state.pdmIn = header->pdmIn;
      ui->state.pdmOut = header->pdmOut;
      ui->state.fMode = header->fMode;
      return StartSheet(ui, info, kUiSheetDocument);
    }
    case PROPSHEETUI_REASON_DESTROY:
      return DocumentDestroy(info, ui, exFlag, bidiFlag);
    default:
      return CommonReason(info, lParam, header->pszPrinterName);
  }
}

LONG UiDevicePropertySheets(PROPSHEETUI_INFO* info, LPARAM lParam) {
  if (!info || !info->lParamInit) return -1;
  auto* header = reinterpret_cast<DEVICEPROPERTYHEADER*>(info->lParamInit);
  if (info->Reason != PROPSHEETUI_REASON_DESTROY && !IsReady(header->hPrinter)) return -1;
  UiContext* ui = nullptr;
  if (info->Reason == PROPSHEETUI_REASON_INIT) {
    ui = OpenDeviceSheet(*header);
    if (!ui) return -1;
    info->UserData = reinterpret_cast<ULONG_PTR>(ui);
  } else {
    ui = reinterpret_cast<UiContext*>(info->UserData);
    if (!ui) return -1;
  }
  PRINTER_INFO_7W publish{nullptr, DSPRINT_UPDATE};
  SetPrinterW(header->hPrinter, 7, reinterpret_cast<LPBYTE>(&publish), 0);
  if (info->Reason > kLastSheetReason) return 1;

  const bool noPermission = header->Flags & DPS_NOPERMISSION;
  switch (info->Reason) {
    case PROPSHEETUI_REASON_INIT: {
      DmSetCountryDefaults(ui->driver);
      UiSetModeByte(ui, kEnvCallSrc, 1);
      UiSetModeByte(ui, kEnvPropertyType, 1);
      UiSetModeByte(ui, kEnvNoPermission, noPermission ? 1 : 0);
      ui->state.mayChange = noPermission ? 0 : 1;
      return StartSheet(ui, info, kUiSheetDevice);
    }
    case PROPSHEETUI_REASON_DESTROY:
      if (ui->state.changed == 1) {
        UiGetSeams().instRefreshPresetsOnce(ui, TRUE);
        UiGetSeams().instSaveDeviceSetup(ui);
        if (BidiCanWritePrinterData(ui->driver)) BidiClearSavedSection(ui->driver);
        FinishResult(info);
      } else {
        info->Result = CPSUI_CANCEL;
      }
      UiDestroyContext(ui);
      info->UserData = 0;
      return 1;
    default:
      return CommonReason(info, lParam, header->pszPrinterName);
  }
}

BOOL UiPrinterProperties(HWND window, HANDLE printer) {
  DEVICEPROPERTYHEADER header{};
  header.cbSize = sizeof header;
  header.hPrinter = printer;
  if (!UiGetSeams().instSetPermission(printer)) header.Flags |= DPS_NOPERMISSION;
  DWORD result = 0;
  return UiRunCommonPropertySheet(window, UiDevicePropertySheets, reinterpret_cast<LPARAM>(&header), &result) >= 0 ? TRUE : FALSE;
}
