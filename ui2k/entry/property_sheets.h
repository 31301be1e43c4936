// The document and device property sheets, document properties with and without a dialog, and
// the common property-sheet host they run in.
#pragma once

#include "ui2k/entry/ui_context.h"
#include "win32.h"

constexpr LONG kUiDevmodeSize = 1260;
constexpr WORD kUiSheetIconId = 64082;

// Loads "compstui.dll" (every call), calls its CommonPropertySheetUIW with the arguments and
// frees it again. The call's answer; -1 when the library or its entry is missing.
LONG UiRunCommonPropertySheet(HWND window, PFNPROPSHEETUI callback, LPARAM lParam, DWORD* result);

// Document properties for `fMode`: with DM_PROMPT the document sheet (its answer), else
// UiDocumentPropertiesSilent.
LONG UiRunDocumentProperties(HWND window, HANDLE printer, WCHAR* deviceName, DEVMODEW* pdmOutput,
                             DEVMODEW* pdmInput, DWORD fMode);
// Document properties without a dialog: the devmode size (1260) for fMode 0 or no pdmOut;
// otherwise the context's settings with the caller's devmode merged (DM_IN_BUFFER) and written
// back (DM_UPDATE, DM_COPY). 1; -1 when no context can be built or the merge fails.
LONG UiDocumentPropertiesSilent(DOCUMENTPROPERTYHEADER* header);

// The sheet callbacks of DrvDocumentPropertySheets and DrvDevicePropertySheets: 1 done, -1
// failed (no header, printer not ready, no context, failed merge).
LONG UiDocumentPropertySheets(PROPSHEETUI_INFO* info, LPARAM lParam);
LONG UiDevicePropertySheets(PROPSHEETUI_INFO* info, LPARAM lParam);

// PrinterProperties: the device sheet, with DPS_NOPERMISSION when "Permission" cannot be
// written. 1 when the sheet ran (any answer from 0 up), 0 when the host could not run it.
BOOL UiPrinterProperties(HWND window, HANDLE printer);

// The module handle of this library, for the sheets' header (kept by DllInitialize).
HINSTANCE UiModuleHandle();
