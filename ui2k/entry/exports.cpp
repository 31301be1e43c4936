// The printer interface's exports: each forwards to its worker.
#include "settings/context/boundary.h"
#include "settings/context/process_state.h"
#include "ui2k/entry/device_capabilities.h"
#include "ui2k/entry/install_entries.h"
#include "ui2k/entry/property_sheets.h"
#include "ui2k/entry/seams.h"
#include "win32.h"

namespace {

constexpr DWORD kAdvancedMode = DM_ADVANCED | DM_PROMPT | DM_COPY;

LONG UiDocumentProperties(HWND window, HANDLE printer, LPWSTR deviceName, PDEVMODEW pdmOutput, PDEVMODEW pdmInput,
                          DWORD fMode) {
  if (fMode == 0 || !pdmOutput) return kUiDevmodeSize;
  UiGetSeams().instEnsurePrinterReady(printer);
  const LONG result = UiRunDocumentProperties(window, printer, deviceName, pdmOutput, pdmInput, fMode);
  if (result > 0) return IDOK;
  return result == 0 ? IDCANCEL : result;
}

}  // namespace

// Process attach keeps the module handle and attaches the settings library; detach empties the
// context cache, then frees the descriptions the contexts held, then detaches. Always TRUE.
DRIVER_EXPORT BOOL WINAPI DllInitialize(HANDLE module, ULONG reason, PCONTEXT) try {
  SysLibraryEntry(static_cast<HINSTANCE>(module), reason);
  return TRUE;
} catch (...) {
  return SysFailAtBoundary(BOOL{TRUE});
}

DRIVER_EXPORT int WINAPI DrvDocumentEvent(HANDLE printer, HDC, int escape, ULONG, PVOID, ULONG, PVOID) try {
  switch (escape) {
    case DOCUMENTEVENT_STARTDOC:
    case DOCUMENTEVENT_STARTPAGE:
      UiGetSeams().instEnsurePrinterReady(printer);
      return DOCUMENTEVENT_SUCCESS;
    case DOCUMENTEVENT_CREATEDCPRE:
    case DOCUMENTEVENT_CREATEDCPOST:
      return DOCUMENTEVENT_SUCCESS;
    default:
      return DOCUMENTEVENT_UNSUPPORTED;
  }
} catch (...) {
  return SysFailAtBoundary(int{DOCUMENTEVENT_FAILURE});
}

DRIVER_EXPORT LONG WINAPI DrvDocumentProperties(HWND window, HANDLE printer, LPWSTR deviceName, PDEVMODEW pdmOutput,
                                               PDEVMODEW pdmInput, DWORD fMode) try {
  return UiDocumentProperties(window, printer, deviceName, pdmOutput, pdmInput, fMode);
} catch (...) {
  return SysFailAtBoundary(LONG{-1});
}

DRIVER_EXPORT LONG WINAPI DrvAdvancedDocumentProperties(HWND window, HANDLE printer, LPWSTR deviceName,
                                                       PDEVMODEW pdmOutput, PDEVMODEW pdmInput) try {
  if (!pdmOutput) return kUiDevmodeSize;
  UiGetSeams().instEnsurePrinterReady(printer);
  return UiRunDocumentProperties(window, printer, deviceName, pdmOutput, pdmInput, kAdvancedMode) > 0 ? 1 : 0;
} catch (...) {
  return SysFailAtBoundary(LONG{0});
}

DRIVER_EXPORT BOOL WINAPI PrinterProperties(HWND window, HANDLE printer) try { return UiPrinterProperties(window, printer); } catch (...) {
  return SysFailAtBoundary(BOOL{FALSE});
}

DRIVER_EXPORT LONG WINAPI DrvDevicePropertySheets(PPROPSHEETUI_INFO info, LPARAM lParam) try {
  return UiDevicePropertySheets(info, lParam);
} catch (...) {
  return SysFailAtBoundary(LONG{-1});
}

DRIVER_EXPORT LONG WINAPI DrvDocumentPropertySheets(PPROPSHEETUI_INFO info, LPARAM lParam) try {
  return UiDocumentPropertySheets(info, lParam);
} catch (...) {
  return SysFailAtBoundary(LONG{-1});
}

DRIVER_EXPORT BOOL WINAPI DrvConvertDevMode(LPWSTR printerName, PDEVMODEW pdmIn, PDEVMODEW pdmOut, PLONG pcbNeeded,
                                            DWORD fMode) try {
  return UiConvertDevMode(printerName, pdmIn, pdmOut, pcbNeeded, fMode);
} catch (...) {
  return SysFailAtBoundary(BOOL{FALSE});
}

DRIVER_EXPORT BOOL WINAPI DevQueryPrintEx(PDEVQUERYPRINT_INFO info) try { return UiDevQueryPrintEx(info); } catch (...) {
  return SysFailAtBoundary(BOOL{FALSE});
}

DRIVER_EXPORT BOOL WINAPI DrvUpgradePrinter(DWORD level, LPBYTE upgradeInfo) try { return UiUpgradePrinter(level, upgradeInfo); } catch (...) {
  return SysFailAtBoundary(BOOL{FALSE});
}

DRIVER_EXPORT BOOL WINAPI DrvPrinterEvent(LPWSTR printerName, INT event, DWORD flags, LPARAM lParam) try {
  return UiPrinterEvent(printerName, event, flags, lParam);
} catch (...) {
  return SysFailAtBoundary(BOOL{FALSE});
}

DRIVER_EXPORT DWORD WINAPI DrvDeviceCapabilities(HANDLE printer, PWSTR deviceName, WORD capability, PVOID output,
                                                 PDEVMODEW devmode) try {
  return UiDeviceCapabilities(printer, deviceName, capability, output, devmode);
} catch (...) {
  return SysFailAtBoundary(DWORD{0xFFFFFFFF});
}
