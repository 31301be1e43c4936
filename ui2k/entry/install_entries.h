// The spooler's entry points that install or maintain a printer: devmode conversion (which
// installs on the driver-default and convert modes), driver upgrade, printer events, and the
// job query with its form check.
#pragma once

#include "ui2k/entry/ui_context.h"
#include "win32.h"

// DrvConvertDevMode: the conversion core first; CDM_DRIVER_DEFAULT and CDM_CONVERT then install
// (UiInstalling counted up for the while). TRUE only when the result is 1. An unknown mode fails
// with ERROR_INVALID_PARAMETER. Every path closes what it opened and counts UiInstalling down.
BOOL UiConvertDevMode(WCHAR* printerName, const DEVMODEW* pdmIn, DEVMODEW* pdmOut, LONG* pcbNeeded, DWORD fMode);

// DevQueryPrintEx: 0 without info; 1 without a devmode; with a ready printer, the job's devmode
// merged into a context (0x8000008) and its form matched (UiCheckJobForm); 1 when the context and
// the merge succeeded, whatever the forms say.
BOOL UiDevQueryPrintEx(DEVQUERYPRINT_INFO* info);
// Matches `devmode` (the job's, written in place) against the printer's forms: a custom size
// (DM_PAPERLENGTH and DM_PAPERWIDTH, both positive) within 1000 thousandths of a millimetre of a
// form on both sides, else dmPaperSize as a 1-based form index (DM_PAPERSIZE), else dmFormName
// exactly (DM_FORMNAME). A match writes the form's size (0.1 mm), its index, DM_FORMNAME and its
// name. TRUE when the forms could be read (matched or not).
BOOL UiCheckJobForm(HANDLE printer, DEVMODEW* devmode);

// DrvUpgradePrinter: level 1 only; the font tables saved and the driver files registered. The
// printer is closed and the context destroyed on every path.
BOOL UiUpgradePrinter(DWORD level, BYTE* upgradeInfo);

// DrvPrinterEvent: events 1..5 through their handlers, each under its identity; 1 for others.
BOOL UiPrinterEvent(WCHAR* printerName, int event, DWORD flags, LPARAM lParam);
BOOL UiOnAddConnection(WCHAR* printerName);
BOOL UiOnDeleteConnection(WCHAR* printerName);
BOOL UiOnInitialize(WCHAR* printerName);
BOOL UiOnDeletePrinter(WCHAR* printerName);
BOOL UiOnCacheRefresh(WCHAR* printerName);
