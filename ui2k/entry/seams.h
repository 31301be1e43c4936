// Calls from the entry points into work the interface library does not hold yet: install
// bookkeeping and deployment (Inst…), the bidirectional status (BidiUi…), the server pull
// (Srv…) and the quality list; and the page framework (SheetAddPages), which adds the real pages.
//
// Until that code exists, each seam records its call (name and argument) and does nothing:
// a seam that answers a result answers "nothing failed" (TRUE, or 1 for InstEnsurePrinterReady,
// 0 for the flags and tests that read stored state, FALSE for the server devmode fetch). The
// quality list's seam is filled: it records its call and reloads the list (RstReloadQualityList).
// The page framework's seam is filled: it adds the sheet's pages (SheetAddPages,
// ui2k/pages/page_framework.h) and answers whether any was added. Tests put their own functions in
// to watch a call or fail one.
#pragma once

#include <string>
#include <vector>

#include "settings/context/driver_context.h"
#include "win32.h"

struct UiContext;

struct UiSeams {
  // Install bookkeeping and deployment.
  LONG (*instEnsurePrinterReady)(HANDLE printer);  // 1: the printer's stored settings exist
  BOOL (*instInitializePrinter)(HANDLE printer, int kind);
  BOOL (*instWriteStamp)(HANDLE printer, int type, int installKind);
  void (*instHandlePrinterRename)(UiContext* ui);
  void (*instRefreshPresetsOnce)(UiContext* ui, BOOL force);
  BOOL (*instRegisterDriverFiles)(UiContext* ui);
  BOOL (*instSetPermission)(HANDLE printer);        // printer data "Permission" = DWORD 1
  void (*instApplyInstallDefaults)(UiContext* ui);
  BOOL (*instRefreshDriverFiles)(HANDLE printer, const WCHAR* printerName);
  BOOL (*instHasInstallData)(const WCHAR* printerName);  // the system INI's section for the printer
  void (*instRunPendingInstSet)(UiContext* ui);     // "DrvInstSet": bridge refresh, user-code file
  BOOL (*instCopyInstallFiles)(UiContext* ui, DWORD flags);
  void (*instImportBatchLists)(UiContext* ui);
  void (*instSaveDeviceSetup)(UiContext* ui);       // "SaveDeviceSetup": default file, printer items
  void (*instWriteUserCodeSection)(UiContext* ui, int mode);  // the printer's user-code keys of "qndef.ini"
  // Bidirectional status.
  DWORD (*bidiUiGetExFlag)(UiContext* ui);
  void (*bidiUiSetExFlag)(UiContext* ui);
  void (*bidiUiSelectSource)(UiContext* ui);
  void (*bidiUiApplyDefaults)(UiContext* ui);
  // The installed options read from the device while the status window shows: FALSE when the
  // query failed; the status window then reports the query's end.
  BOOL (*bidiUiFetchInstalledOptions)(UiContext* ui);
  void (*bidiUiUpdateStatus)(UiContext* ui);
  BOOL (*bidiUiQueryForSummary)(UiContext* ui);
  // Server pull.
  void (*srvImportRemoteSettings)(UiContext* ui);
  BOOL (*srvGetServerDevmode)(UiContext* ui, DEVMODEW* devmode, DWORD size);
  // Quality list.
  void (*lstReloadQualityList)(UiContext* ui);
  // Page framework.
  BOOL (*sheetAddPages)(UiContext* ui, WORD sheetKind);
};

// The seams' own functions (record and answer as said above).
extern const UiSeams kUiSeamsRecording;
// The seams in force.
const UiSeams& UiGetSeams();
// Puts `seams` in force (null: the recording ones). Only while no entry point runs.
void UiSetSeams(const UiSeams* seams);

// What the recording seams were called with, oldest first: "InstWriteStamp 1 2".
std::vector<std::string> UiSeamCalls();
void UiClearSeamCalls();
// Records one call (the recording seams use it; a test's own seam may too).
void UiNoteSeamCall(std::string call);
