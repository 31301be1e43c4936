// Property sheets: pages made from dialog templates, shown one at a time in a frame with a tab
// control and the OK, Cancel, Apply and Help buttons.
//
// A sheet is modal: PropertySheetW runs its own loop (posted messages pumped, the test script of
// UiSetSheetScript run once the start page is shown) until a button closes it. Pages are created
// when first activated, with WM_INITDIALOG's lParam pointing at the sheet's copy of the page's
// PROPSHEETPAGEW (dwSize bytes, so data a caller appends to the record travels with it).
//
// Notification order, as pages rely on it:
//   switch:  PSN_KILLACTIVE to the old page (DWLP_MSGRESULT TRUE keeps it), PSN_SETACTIVE to the new
//   OK:      PSN_KILLACTIVE to the current page (TRUE keeps the sheet as it is), PSN_APPLY (lParam
//            TRUE) to every created page in page order; a page answering PSNRET_INVALID stops it
//            and is shown, PSNRET_INVALID_NOCHANGEPAGE stops it on the current page; all
//            PSNRET_NOERROR closes the sheet
//   Apply:   as OK with lParam FALSE; the sheet stays open, Apply is disabled again and the
//            current page gets PSN_SETACTIVE
//   Cancel:  PSN_QUERYCANCEL to the current page (TRUE keeps the sheet open), PSN_RESET to every
//            created page, close
//   Help:    PSN_HELP to the current page
// The frame forwards WM_COMMAND of ids it does not own to the current page.
#pragma once

#include <functional>

#include "core/wintypes.h"
#include "ui/winuser.h"

struct PROPSHEETPAGEW;
struct PropSheetPageRecord;
using HPROPSHEETPAGE = PropSheetPageRecord*;
using LPFNPSPCALLBACKW = UINT (*)(HWND hwnd, UINT message, PROPSHEETPAGEW* page);
using PFNPROPSHEETCALLBACK = int (*)(HWND hwnd, UINT message, LPARAM lParam);

struct PROPSHEETPAGEW {
  DWORD dwSize;
  DWORD dwFlags;
  HINSTANCE hInstance;
  union {
    LPCWSTR pszTemplate;
    const void* pResource;  // PSP_DLGINDIRECT: a dialog template in memory
  };
  union {
    HICON hIcon;
    LPCWSTR pszIcon;
  };
  LPCWSTR pszTitle;  // PSP_USETITLE: the tab caption instead of the template's caption
  DLGPROC pfnDlgProc;
  LPARAM lParam;
  LPFNPSPCALLBACKW pfnCallback;  // PSP_USECALLBACK
  UINT* pcRefParent;             // PSP_USEREFPARENT: counts the live pages
  LPCWSTR pszHeaderTitle;
  LPCWSTR pszHeaderSubTitle;
};
using LPPROPSHEETPAGEW = PROPSHEETPAGEW*;
using LPCPROPSHEETPAGEW = const PROPSHEETPAGEW*;

// The smallest record accepted (up to pcRefParent); larger records are copied whole.
inline constexpr DWORD PROPSHEETPAGEW_V1_SIZE = offsetof(PROPSHEETPAGEW, pszHeaderTitle);
inline constexpr DWORD PROPSHEETPAGEW_MAX_SIZE = 0x10000;

constexpr DWORD PSP_DEFAULT = 0x0000;
constexpr DWORD PSP_DLGINDIRECT = 0x0001;
constexpr DWORD PSP_USEHICON = 0x0002;
constexpr DWORD PSP_USEICONID = 0x0004;
constexpr DWORD PSP_USETITLE = 0x0008;
constexpr DWORD PSP_RTLREADING = 0x0010;
constexpr DWORD PSP_HASHELP = 0x0020;
constexpr DWORD PSP_USEREFPARENT = 0x0040;
constexpr DWORD PSP_USECALLBACK = 0x0080;
constexpr DWORD PSP_PREMATURE = 0x0400;

constexpr UINT PSPCB_ADDREF = 0;
constexpr UINT PSPCB_RELEASE = 1;
constexpr UINT PSPCB_CREATE = 2;

struct PROPSHEETHEADERW {
  DWORD dwSize;
  DWORD dwFlags;
  HWND hwndParent;
  HINSTANCE hInstance;
  union {
    HICON hIcon;
    LPCWSTR pszIcon;
  };
  LPCWSTR pszCaption;
  UINT nPages;
  union {
    UINT nStartPage;
    LPCWSTR pStartPage;  // PSH_USEPSTARTPAGE: the start page by its title
  };
  union {
    const PROPSHEETPAGEW* ppsp;  // PSH_PROPSHEETPAGE: records, each dwSize bytes long
    HPROPSHEETPAGE* phpage;
  };
  PFNPROPSHEETCALLBACK pfnCallback;  // PSH_USECALLBACK
};
using LPPROPSHEETHEADERW = PROPSHEETHEADERW*;
using LPCPROPSHEETHEADERW = const PROPSHEETHEADERW*;

constexpr DWORD PSH_DEFAULT = 0x0000;
constexpr DWORD PSH_PROPTITLE = 0x0001;
constexpr DWORD PSH_USEHICON = 0x0002;
constexpr DWORD PSH_USEICONID = 0x0004;
constexpr DWORD PSH_PROPSHEETPAGE = 0x0008;
constexpr DWORD PSH_NOAPPLYNOW = 0x0080;
constexpr DWORD PSH_USEPSTARTPAGE = 0x0040;
constexpr DWORD PSH_USECALLBACK = 0x0100;
constexpr DWORD PSH_HASHELP = 0x0200;
constexpr DWORD PSH_MODELESS = 0x0400;

constexpr UINT MAXPROPPAGES = 100;

constexpr int PSCB_INITIALIZED = 1;
constexpr int PSCB_PRECREATE = 2;

// The sheet's own button ids. Apply has no Windows-wide name.
constexpr int IDAPPLY = 0x3021;
constexpr int ID_PSRESTARTWINDOWS = 2;
constexpr int ID_PSREBOOTSYSTEM = 3;

// Notifications to pages (WM_NOTIFY, lParam -> PSHNOTIFY).
constexpr UINT PSN_FIRST = static_cast<UINT>(-200);
constexpr UINT PSN_SETACTIVE = PSN_FIRST - 0;
constexpr UINT PSN_KILLACTIVE = PSN_FIRST - 1;
constexpr UINT PSN_APPLY = PSN_FIRST - 2;
constexpr UINT PSN_RESET = PSN_FIRST - 3;
constexpr UINT PSN_HELP = PSN_FIRST - 5;
constexpr UINT PSN_QUERYCANCEL = PSN_FIRST - 9;

constexpr LRESULT PSNRET_NOERROR = 0;
constexpr LRESULT PSNRET_INVALID = 1;
constexpr LRESULT PSNRET_INVALID_NOCHANGEPAGE = 2;

struct PSHNOTIFY {
  NMHDR hdr;
  LPARAM lParam;  // PSN_APPLY: TRUE for OK, FALSE for Apply
};
using LPPSHNOTIFY = PSHNOTIFY*;

// Messages to the sheet frame (a page's GetParent).
constexpr UINT PSM_SETCURSEL = WM_USER + 101;    // wParam index, lParam HPROPSHEETPAGE (either may pick)
constexpr UINT PSM_REMOVEPAGE = WM_USER + 102;   // not supported here: answers FALSE
constexpr UINT PSM_ADDPAGE = WM_USER + 103;      // not supported here: answers FALSE
constexpr UINT PSM_CHANGED = WM_USER + 104;      // wParam the page window: enables Apply
constexpr UINT PSM_RESTARTWINDOWS = WM_USER + 105;
constexpr UINT PSM_REBOOTSYSTEM = WM_USER + 106;
constexpr UINT PSM_CANCELTOCLOSE = WM_USER + 107;
constexpr UINT PSM_QUERYSIBLINGS = WM_USER + 108;
constexpr UINT PSM_UNCHANGED = WM_USER + 109;    // wParam the page window
constexpr UINT PSM_APPLY = WM_USER + 110;
constexpr UINT PSM_SETTITLEW = WM_USER + 120;
constexpr UINT PSM_PRESSBUTTON = WM_USER + 113;  // wParam PSBTN_*
constexpr UINT PSM_GETCURRENTPAGEHWND = WM_USER + 118;
constexpr UINT PSM_GETTABCONTROL = WM_USER + 116;
constexpr UINT PSM_SETCURSELID = WM_USER + 114;  // lParam the page's template id

constexpr int PSBTN_BACK = 0;
constexpr int PSBTN_NEXT = 1;
constexpr int PSBTN_FINISH = 2;
constexpr int PSBTN_OK = 3;
constexpr int PSBTN_APPLYNOW = 4;
constexpr int PSBTN_CANCEL = 5;
constexpr int PSBTN_HELP = 6;

// The window class of a sheet frame.
inline constexpr WCHAR WC_PROPSHEETFRAME[] = u"VelmPropertySheet";

extern "C" {
// A page from `page`: the record is copied (dwSize bytes, at least PROPSHEETPAGEW_V1_SIZE) and
// its template must be found in hInstance's module (RT_DIALOG), or be given in memory with
// PSP_DLGINDIRECT. Null with ERROR_INVALID_PARAMETER for a bad record, or the resource lookup's
// error when the template is missing (a module without resources, a missing id).
HPROPSHEETPAGE CreatePropertySheetPageW(LPCPROPSHEETPAGEW page);
// Frees a page that was not handed to a sheet (a sheet destroys the pages it was given).
// FALSE for a handle that is not a live page.
BOOL DestroyPropertySheetPage(HPROPSHEETPAGE page);
// Runs a modal sheet (PSH_MODELESS is refused). Answers 1 when OK closed it or an Apply had
// committed changes before it was cancelled, 0 when it was cancelled without changes, and -1
// for a bad header (ERROR_INVALID_PARAMETER), a page that cannot be created, or no pages. The
// sheet destroys every page it was given, whatever the outcome.
INT_PTR PropertySheetW(LPCPROPSHEETHEADERW header);
}

// Test script for sheets: run inside PropertySheetW's loop with the frame window once the start
// page is active. A sheet still open when the script returns is cancelled; a sheet with no script
// is reported through UiReportUnexpected and cancelled. The script is shared by nested sheets
// (a script opening a nested sheet runs again for it). Cleared by UiResetAll.
void UiSetSheetScript(std::function<void(HWND sheet)> script);
// A script for the next sheet only, taking precedence over UiSetSheetScript's (the host's own
// sheet); an empty function withdraws one that no sheet has taken.
void UiSetNextSheetScript(std::function<void(HWND sheet)> script);
// Whether `window` is the frame of a running sheet that no button has closed yet.
bool UiIsSheetFrame(HWND window);

// Sheet inspection for tests and the picture: the page window of `index` (null when it is not
// created yet), how many pages the sheet has, the current page's index (-1 for none), and the
// template id of a page (0 when given in memory or by name).
HWND UiSheetPageWindow(HWND sheet, int index);
int UiSheetPageCount(HWND sheet);
int UiSheetCurrentIndex(HWND sheet);
WORD UiSheetPageTemplateId(HWND sheet, int index);
