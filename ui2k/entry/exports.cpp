// The printer interface's exports: each forwards to its worker.
#include "settings/context/process_state.h"
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
DRIVER_EXPORT BOOL WINAPI DllInitialize(HANDLE module, ULONG reason, PCONTEXT) {
  SysLibraryEntry(static_cast<HINSTANCE>(module), reason);
  return TRUE;
}

DRIVER_EXPORT int WINAPI DrvDocumentEvent(HANDLE printer, HDC, int escape, ULONG, PVOID, ULONG, PVOID) {
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
}

DRIVER_EXPORT LONG WINAPI DrvDocumentProperties(HWND window, HANDLE printer, LPWSTR deviceName, PDEVMODEW pdmOutput,
                                               PDEVMODEW pdmInput, DWORD fMode) {
  return UiDocumentProperties(window, printer, deviceName, pdmOutput, pdmInput, fMode);
}

DRIVER_EXPORT LONG WINAPI DrvAdvancedDocumentProperties(HWND window, HANDLE printer, LPWSTR deviceName,
                                                       PDEVMODEW pdmOutput, PDEVMODEW pdmInput) {
  if (!pdmOutput) return kUiDevmodeSize;
  UiGetSeams().instEnsurePrinterReady(printer);
  return UiRunDocumentProperties(window, printer, deviceName, pdmOutput, pdmInput, kAdvancedMode) > 0 ? 1 : 0;
}

DRIVER_EXPORT BOOL WINAPI PrinterProperties(HWND window, HANDLE printer) { return UiPrinterProperties(window, printer); }

DRIVER_EXPORT LONG WINAPI DrvDevicePropertySheets(PPROPSHEETUI_INFO info, LPARAM lParam) {
  return UiDevicePropertySheets(info, lParam);
}

DRIVER_EXPORT LONG WINAPI DrvDocumentPropertySheets(PPROPSHEETUI_INFO info, LPARAM lParam) {
  return UiDocumentPropertySheets(info, lParam);
}

DRIVER_EXPORT BOOL WINAPI DrvConvertDevMode(LPWSTR printerName, PDEVMODEW pdmIn, PDEVMODEW pdmOut, PLONG pcbNeeded,
                                            DWORD fMode) {
  return UiConvertDevMode(printerName, pdmIn, pdmOut, pcbNeeded, fMode);
}

DRIVER_EXPORT BOOL WINAPI DevQueryPrintEx(PDEVQUERYPRINT_INFO info) { return UiDevQueryPrintEx(info); }

DRIVER_EXPORT BOOL WINAPI DrvUpgradePrinter(DWORD level, LPBYTE upgradeInfo) { return UiUpgradePrinter(level, upgradeInfo); }

DRIVER_EXPORT BOOL WINAPI DrvPrinterEvent(LPWSTR printerName, INT event, DWORD flags, LPARAM lParam) {
  return UiPrinterEvent(printerName, event, flags, lParam);
}

DRIVER_EXPORT DWORD WINAPI DrvDeviceCapabilities(HANDLE printer, PWSTR deviceName, WORD capability, PVOID output,
                                                 PDEVMODEW devmode) {
  return UiGetSeams().uiDeviceCapabilities(printer, deviceName, capability, output, devmode);
}
