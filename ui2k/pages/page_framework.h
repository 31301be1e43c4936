// The page framework: every tab page, nested sheet and modal dialog of the interface runs on one
// dialog procedure over the context's page table. Each page row binds its controls to items;
// a control's change is stored, checked against the model's alerts and rules, and shown; the
// first page shown commits the sheet on apply.
//
// Window slots: GWLP_USERDATA of a page or dialog holds the UiContext, DWLP_USER its PageWindow
// record (the page row, whether it is modal, the brush its colour messages answer, the children
// hidden until it is laid out).
#pragma once

#include "ui2k/entry/ui_context.h"
#include "win32.h"

// Private messages of the pages.
constexpr UINT kPageMsgShowConflict = 32769;  // wParam control id, lParam the alert (DescAlertView*)
constexpr UINT kPageMsgButtonSpace = 32770;   // a button's space key (the control classes)
constexpr UINT kPageMsgPressOk = 32771;       // presses the sheet's OK button
constexpr UINT kPageMsgDuplicatePreset = 32772;
constexpr UINT kPageMsgRescale = 32774;       // lays the page out and shows its controls

// Commands of the replaced OK button.
constexpr WORD kPageCmdSaveNewPreset = 11111;
constexpr WORD kPageCmdOverwritePreset = 22222;

// Change-mask bits the framework reads and raises.
constexpr DWORD kMaskOfferSaveNew = 0x80000000;
constexpr DWORD kMaskOfferOverwrite = 0x40000000;
constexpr DWORD kMaskPresetSaving = 0x10000000;
constexpr DWORD kMaskOkReplaced = 0x800000;

// Results of PageRunSubDialog.
constexpr INT_PTR kPageCancelled = IDCANCEL;

// What a page window keeps (DWLP_USER).
constexpr int kPageHiddenSlots = 256;
struct PageWindow {
  PageTemplate* page;
  BOOL modal;                     // made by DialogBoxParamW (not a tab of a sheet)
  HBRUSH brush;                   // answered by handled colour messages
  int hiddenCount;
  HWND hidden[kPageHiddenSlots];  // children hidden until the page is laid out
};

// Adds a page to the sheet of `ui` for every page row whose kind has a bit of `sheetKind`
// (kUiSheetDocument, kUiSheetDevice) and that the model's constraints do not exclude (the record
// of the page's symbol key disabled, CondIsValueExcluded), in page-table order. The number of pages the sheet accepted; 0 without the
// resource library.
int SheetAddPages(UiContext* ui, WORD sheetKind);

// A tab page of `pageId` from `instance` on the tab pages' procedure, for the context `ui`; null
// when the template cannot be found.
HPROPSHEETPAGE PageCreateTab(UiContext* ui, HINSTANCE instance, WORD pageId);

// The callback attached to each page: 3 when the record's second word is 6, else 0.
UINT CALLBACK PageCallback(HWND window, UINT message, PROPSHEETPAGEW* page);

// The tab pages' procedure: WM_INITDIALOG (the OK-button replacement, children hidden until
// laid out), then PageDialogProc.
INT_PTR CALLBACK PageTabDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The procedure of every page and dialog.
INT_PTR CALLBACK PageDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The first binding of the context's pages, once per context.
void PageBindItems(UiContext* ui);
// Shows every control of the page (`full`: filled again first) through its control class.
void PageUpdateControls(UiContext* ui, HWND window, BOOL full);
// A picture (type 0x02) or scale slider (0x54) of the page painted over its control into `dc`
// (the control's client coordinates): its class's message handler gets WM_PAINT with the DC as
// wParam, with the sibling windows that lie over the control clipped away. TRUE when it drew.
// The page's WM_PAINT does this for every shown one; the controls' own WM_PAINT after their
// window class has painted.
BOOL PagePaintControl(UiContext* ui, HWND page, PageItemTemplate* row, HDC dc);
// Lays the page out and shows the controls hidden at its start.
void PageRescale(UiContext* ui, HWND window);

// The context and record of a page window (null when it is not one of the framework's).
UiContext* PageContextOf(HWND window);
PageWindow* PageRecordOf(HWND window);
// The window of `pageId` while it exists, else null.
HWND PageWindowOf(UiContext* ui, WORD pageId);
// The row of `controlId` on the page of `window`, or null.
PageItemTemplate* PageFindRow(HWND window, WORD controlId);

// The stamp in use (item 63) loaded again when its index (item 120) is below the stamp count and
// its kind (item 109) is 1..3; otherwise items 63 and 120 become 0.
void PageReloadStamp(UiContext* ui);

// Offers a message to the item procedure of the page of `window`, for the control of `row` (null:
// the page itself): TRUE when the procedure took it (*result its answer).
BOOL PageOfferToItemProc(UiContext* ui, HWND window, PageItemTemplate* row, UINT message, WPARAM wParam, LPARAM lParam,
                         INT_PTR* result);
