// The common property-sheet host: a caller's sheet function adds pages through a callback and is
// told when the sheet starts, when its header is wanted, when a nested sheet sets a result and
// when the sheet is gone. The entry is exported under its Windows name from "compstui.dll", a
// system module of the loader (see WithdrawSystemModule to take it away in a test).
#pragma once

#include "core/wintypes.h"
#include "ui/prsht.h"

using PFNCOMPROPSHEET = LONG_PTR (*)(HANDLE hComPropSheet, UINT function, LPARAM lParam1, LPARAM lParam2);

struct PROPSHEETUI_INFO {
  WORD cbSize;
  WORD Version;
  WORD Flags;
  WORD Reason;
  HANDLE hComPropSheet;
  PFNCOMPROPSHEET pfnComPropSheet;
  LPARAM lParamInit;
  ULONG_PTR UserData;  // the sheet function's own, kept from call to call
  ULONG_PTR Result;    // the sheet's result (CPSUI_*), also set by CPSFUNC_SET_RESULT
};
using PPROPSHEETUI_INFO = PROPSHEETUI_INFO*;

using PFNPROPSHEETUI = LONG (*)(PPROPSHEETUI_INFO info, LPARAM lParam);

struct PROPSHEETUI_INFO_HEADER {
  WORD cbSize;
  WORD Flags;  // PSUIHDRF_*
  LPWSTR pTitle;
  HWND hWndParent;
  HINSTANCE hInst;
  union {
    HICON hIcon;
    ULONG_PTR IconID;
  };
};
using PPROPSHEETUI_INFO_HEADER = PROPSHEETUI_INFO_HEADER*;

struct SETRESULT_INFO {
  WORD cbSize;
  WORD wReserved;
  HANDLE hSetResult;  // the handle of the sheet function that set the result
  LRESULT Result;
};
using PSETRESULT_INFO = SETRESULT_INFO*;

constexpr WORD PROPSHEETUI_INFO_VERSION = 0x0100;

// Reasons; lParam of the call: INIT the caller's lParam, GET_INFO_HEADER the header,
// DESTROY TRUE when the sheet was closed with OK, SET_RESULT the SETRESULT_INFO.
constexpr WORD PROPSHEETUI_REASON_INIT = 0;
constexpr WORD PROPSHEETUI_REASON_GET_INFO_HEADER = 1;
constexpr WORD PROPSHEETUI_REASON_DESTROY = 2;
constexpr WORD PROPSHEETUI_REASON_SET_RESULT = 3;
constexpr WORD PROPSHEETUI_REASON_BEFORE_INIT = 4;

constexpr WORD PSUIHDRF_OBSOLETE = 0x0001;
constexpr WORD PSUIHDRF_NOAPPLYNOW = 0x0002;
constexpr WORD PSUIHDRF_PROPTITLE = 0x0004;
constexpr WORD PSUIHDRF_USEHICON = 0x0008;
constexpr WORD PSUIHDRF_DEFTITLE = 0x0010;
constexpr WORD PSUIHDRF_EXACT_PTITLE = 0x0020;

// Functions of pfnComPropSheet. Only those listed with a comment do something; the others answer 0.
constexpr UINT CPSFUNC_ADD_HPROPSHEETPAGE = 0;   // lParam1 a page: a non-zero handle, or 0 (refused)
constexpr UINT CPSFUNC_ADD_PROPSHEETPAGEW = 1;   // lParam1 a PROPSHEETPAGEW: as above
constexpr UINT CPSFUNC_ADD_PCOMPROPSHEETUIA = 2;
constexpr UINT CPSFUNC_ADD_PCOMPROPSHEETUIW = 3;
constexpr UINT CPSFUNC_ADD_PFNPROPSHEETUIA = 4;
constexpr UINT CPSFUNC_ADD_PFNPROPSHEETUIW = 5;  // lParam1 a nested sheet function, lParam2 its lParam
constexpr UINT CPSFUNC_DELETE_HCOMPROPSHEET = 6;
constexpr UINT CPSFUNC_SET_HSTARTPAGE = 7;
constexpr UINT CPSFUNC_GET_PAGECOUNT = 8;        // the pages added so far
constexpr UINT CPSFUNC_SET_RESULT = 9;           // lParam2 the result: 1
constexpr UINT CPSFUNC_GET_HPSUIPAGES = 10;

constexpr LONG CPSUI_CANCEL = 0;
constexpr LONG CPSUI_OK = 1;
constexpr LONG CPSUI_RESTARTWINDOWS = 2;
constexpr LONG CPSUI_REBOOTSYSTEM = 3;

constexpr LONG ERR_CPSUI_GETLASTERROR = -1;
constexpr LONG ERR_CPSUI_ALLOCMEM_FAILED = -2;
constexpr LONG ERR_CPSUI_INVALID_PDATA = -3;
constexpr LONG ERR_CPSUI_INVALID_LPARAM = -4;
constexpr LONG ERR_CPSUI_NULL_HINST = -5;
constexpr LONG ERR_CPSUI_NO_PROPSHEETPAGE = -8;
constexpr LONG ERR_CPSUI_CREATEPROPPAGE_FAILED = -10;
constexpr LONG ERR_CPSUI_INTERNAL_ERROR = -10000;

extern "C" {
// Runs `sheetFunction`'s sheet: INIT (lParam = `lParam`; a result <= 0 ends the call with
// ERR_CPSUI_GETLASTERROR and no further reason), GET_INFO_HEADER (a result <= 0, or no pages
// added, ends it after DESTROY), the modal sheet (PropertySheetW), then DESTROY to every nested
// sheet function and last to this one. *result (when given) receives the info's Result as DESTROY
// left it (CPSFUNC_SET_RESULT writes it too); CPSUI_CANCEL on every failure. Answers the sheet's
// outcome: CPSUI_OK (> 0), CPSUI_CANCEL (0), or a negative ERR_CPSUI_* code.
LONG CommonPropertySheetUIW(HWND owner, PFNPROPSHEETUI sheetFunction, LPARAM lParam, LPDWORD result);
}

// Test hook: while set, CPSFUNC_ADD_HPROPSHEETPAGE and CPSFUNC_ADD_PROPSHEETPAGEW refuse
// (answer 0), as a host that runs out of room does. Cleared by UiResetAll.
void UiSetComPropSheetRefusesPages(bool refuse);
