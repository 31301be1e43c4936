#include "ui2k/pages/page_framework.h"

#include <cstring>

#include "data/item_ids.h"
#include "data/page_ids.h"
#include "settings/constraints/option_availability.h"
#include "settings/context/boundary.h"
#include "settings/context/memory.h"
#include "settings/description/access.h"
#include "settings/description/image.h"
#include "settings/items/saved_settings_values.h"
#include "settings/items/store.h"
#include "settings/persistence/user_lists.h"
#include "settings/services/spooler_info.h"
#include "ui2k/controls/control_classes.h"
#include "ui2k/entry/sheet_commit.h"
#include "ui2k/items/item_setup.h"
#include "ui2k/pages/hint_window.h"
#include "ui2k/pages/item_change.h"
#include "ui2k/pages/ok_button.h"
#include "ui2k/pages/page_seams.h"
#include "ui2k/pages/preset_save.h"
#include "ui2k/pages/sub_dialogs.h"
#include "ui2k/sheets/resource_library.h"

namespace {

constexpr DWORD kStampKindFirst = 1;
constexpr DWORD kStampKindLast = 3;
constexpr WCHAR kDrawingProgramClasses[][16] = {WSTR("CorelDRAW 8.0"), WSTR("CorelDRAW 9.0")};
constexpr WORD kRecordCodeWord = 1;  // the page callback reads the record's second word
constexpr WORD kRecordCodeAnswered = 6;
// Pages that commit on apply when they are the first shown, and those of them that commit only
// outside the preset mode.
constexpr WORD kCommitFirst = 1001, kCommitLast = 1015;
constexpr WORD kNoCommitPages[] = {kPageMaintenance, kPageDialogRotation, kPageDialogUnit, kPageDialogSort};
constexpr WORD kUserSettingsFirst = kPageBasic, kUserSettingsLast = kPageOthers;
constexpr DWORD kPresetMode = 1;

bool DrawingProgramRuns() {
  for (const WCHAR* name : kDrawingProgramClasses)
    if (FindWindowW(name, nullptr)) return true;
  return false;
}

int PageIndexOf(const UiContext* ui, const PageTemplate* page) {
  const ptrdiff_t index = page - ui->pages.rows;
  return index >= 0 && index < ui->pages.count ? static_cast<int>(index) : -1;
}

const CtlClass* ClassOf(const PageItemTemplate& row) { return PageGetSeams().ctlFindClass(row.controlType); }

LRESULT CallClass(UiContext* ui, HWND window, PageItemTemplate& row, CtlHandler CtlClass::*handler, UINT message,
                  WPARAM wParam, LPARAM lParam) {
  const CtlClass* found = ClassOf(row);
  if (!found || !(found->*handler)) return 0;
  return (found->*handler)(ui, window, &row, message, wParam, lParam);
}

// The class call for a message the item procedure has not seen yet: offered to it first (as
// `offered`: WM_INITDIALOG for a fill, WM_PAINT for a show); a message it takes is not passed on.
LRESULT OfferThenCallClass(UiContext* ui, HWND window, PageItemTemplate& row, CtlHandler CtlClass::*handler,
                           UINT offered, UINT message, WPARAM wParam, LPARAM lParam) {
  INT_PTR taken = 0;
  if (PageOfferToItemProc(ui, window, &row, offered, wParam, lParam, &taken)) return taken;
  return CallClass(ui, window, row, handler, message, wParam, lParam);
}

// The row of the control a page message concerns: the sender of a command or notification, the
// owner-drawn control, the control asking for its colours; null for the page's own messages.
PageItemTemplate* RowOfMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      return PageFindRow(window, LOWORD(wParam));
    case WM_MEASUREITEM:
    case WM_DRAWITEM:
      return PageFindRow(window, static_cast<WORD>(wParam));
    case WM_NOTIFY:
      return lParam ? PageFindRow(window, static_cast<WORD>(reinterpret_cast<const NMHDR*>(lParam)->idFrom)) : nullptr;
    default:
      if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC && lParam)
        return PageFindRow(window, static_cast<WORD>(GetDlgCtrlID(reinterpret_cast<HWND>(lParam))));
      return nullptr;
  }
}

// The model node of a row: its item's, or for a spin row with a partner the partner's item's, as
// the item set-up shares them.
const DescNode* NodeOf(UiContext* ui, const PageTemplate& page, const PageItemTemplate& row) {
  if (!ui->driver->description) return nullptr;
  WORD item = row.itemId;
  if (row.controlType == kCtlTypeSpin && row.partnerId) {
    item = 0;
    for (DWORD n = 0; n < page.itemCount; ++n)
      if (page.items[n].controlId == row.partnerId) item = page.items[n].itemId;
  }
  return item ? ItemSetupNodeOf(ui, item) : nullptr;
}

void BindRows(UiContext* ui) {
  DriverContext* context = ui->driver;
  for (SHORT i = 0; i < ui->pages.count; ++i) {
    PageTemplate& page = ui->pages.rows[i];
    for (DWORD n = 0; n < page.itemCount; ++n) {
      PageItemTemplate& row = page.items[n];
      row.itemRow = row.itemId ? OptFindItem(context->itemTable, row.itemId) : nullptr;
      row.node = NodeOf(ui, page, row);
      if (row.helpId == 0) row.helpId = row.controlId;
    }
  }
}

// The preset in use: its name and comment into the text items; the stamp in use reloaded.
void LoadSelections(UiContext* ui) {
  DriverContext* context = ui->driver;
  const DWORD preset = OptGetModelValueById(context, kItemPresetNo);
  if (preset >= kPresetFirstValue && preset <= kPresetLastValue) {
    WCHAR text[kUiTextChars] = {};
    const int row = static_cast<int>(preset - kPresetFirstValue);
    PageGetSeams().dlgGetPresetRowText(ui, row, kPresetKeyName, text, kUiTextChars);
    OptSetString(context, OptFindItem(context->itemTable, kItemPresetName), text);
    PageGetSeams().dlgGetPresetRowText(ui, row, kPresetKeyComment, text, kUiTextChars);
    OptSetString(context, OptFindItem(context->itemTable, kItemPresetComment), text);
  }
  PageReloadStamp(ui);
}

void ClearChangedFlags(DriverContext* context) {
  context->work->dirty = 0;
  for (SHORT i = 0; i < context->itemTable->count; ++i) context->itemTable->rows[i].changed = 0;
}

// The record of a new page window and the page's rows bound to its controls, then filled.
BOOL InitPage(UiContext* ui, HWND window, BOOL modal, WORD pageId) {
  PageTemplate* page = OptFindPage(&ui->pages, pageId);
  auto* record = static_cast<PageWindow*>(SysAlloc(sizeof(PageWindow)));
  if (!record) return FALSE;
  *record = PageWindow{};
  record->page = page;
  record->modal = modal;
  record->brush = ui->state.brushes[0];
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(ui));
  SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(record));
  PageFrameState& frame = ui->state.frame;
  frame.currentPageId = pageId;
  if (const int index = page ? PageIndexOf(ui, page) : -1; index >= 0 && index < kPageWindowSlots)
    frame.pageWindows[index] = window;
  if (!frame.firstPage) frame.firstPage = window;
  PageBindItems(ui);
  if (!page) return TRUE;
  if (modal) {
    EnableWindow(window, FALSE);
    if (GetWindowTextLengthW(window) == 0) SetWindowTextW(window, PrnGetPrinterName(ui->driver));
  }
  for (DWORD n = 0; n < page->itemCount; ++n) {
    PageItemTemplate& row = page->items[n];
    row.window = GetDlgItem(window, row.controlId);
    row.busy = 0;
    if (const CtlClass* found = ClassOf(row); found && found->subclass && row.window)
      SetWindowLongPtrW(row.window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(found->subclass));
    OfferThenCallClass(ui, window, row, &CtlClass::fill, WM_INITDIALOG, WM_INITDIALOG, 0, 0);
  }
  if (modal) EnableWindow(window, TRUE);
  PostMessageW(window, kPageMsgRescale, 0, 0);
  return TRUE;
}

// Every child visible now is hidden until the page is laid out (PageRescale).
void HideChildren(HWND window) {
  PageWindow* record = PageRecordOf(window);
  if (!record) return;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child)) continue;
    if (record->hiddenCount < kPageHiddenSlots) record->hidden[record->hiddenCount++] = child;
    ShowWindow(child, SW_HIDE);
  }
}

// While a drawing program that subclasses buttons runs, the page's children get their classes'
// own procedures back.
void ResetChildProcedures(HWND window) {
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    WCHAR name[64] = {};
    WNDCLASSW info{};
    if (GetClassNameW(child, name, 64) && GetClassInfoW(nullptr, name, &info) && info.lpfnWndProc)
      SetWindowLongPtrW(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(info.lpfnWndProc));
  }
}

void ForgetPage(UiContext* ui, HWND window) {
  PageWindow* record = PageRecordOf(window);
  if (ui) {
    PageFrameState& frame = ui->state.frame;
    for (HWND& slot : frame.pageWindows)
      if (slot == window) slot = nullptr;
    if (frame.firstPage == window) frame.firstPage = nullptr;
    if (record && record->page) {
      for (DWORD n = 0; n < record->page->itemCount; ++n) record->page->items[n].window = nullptr;
    }
    if (frame.hinted && GetParent(frame.hinted) == window) PageHideHint(ui);
  }
  SetWindowLongPtrW(window, DWLP_USER, 0);
  SysFree(record);
}

bool CommitsOnApply(UiContext* ui, WORD pageId) {
  if (pageId < kCommitFirst || pageId > kCommitLast) return false;
  for (WORD id : kNoCommitPages)
    if (pageId == id) return false;
  if (pageId >= kUserSettingsFirst && pageId <= kUserSettingsLast)
    return OptGetSavedValue(ui->driver, kItemPresentUIMode) != kPresetMode;
  return true;
}

LRESULT Apply(UiContext* ui, HWND window) {
  PageFrameState& frame = ui->state.frame;
  DriverContext* context = ui->driver;
  frame.applying = 1;
  LRESULT result = PSNRET_NOERROR;
  const PageWindow* record = PageRecordOf(window);
  if (CtxGetChangeMask(context) & kMaskOkReplaced) {
    result = PSNRET_INVALID_NOCHANGEPAGE;
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(frame.okReplacement, BN_CLICKED), 0);
  } else if (PageCheckConstraints(ui, window, window == frame.firstPage)) {
    PageUpdateControls(ui, window, FALSE);
    result = PSNRET_INVALID_NOCHANGEPAGE;
  } else {
    ui->state.changed = 1;
    if (window == frame.firstPage && record && record->page && CommitsOnApply(ui, record->page->id)) {
      if (UiIsNt5OrLater()) SendMessageW(GetParent(window), PSM_UNCHANGED, reinterpret_cast<WPARAM>(window), 0);
      OptSetValue(context, kItemUIStart, 0);
      SheetCommit(ui);
      OptSetValue(context, kItemUIStart, 1);
      ClearChangedFlags(context);
      PageUpdateControls(ui, window, TRUE);
    }
  }
  frame.applying = 0;
  return result;
}

void Help(UiContext* ui, HWND window) {
  const PageWindow* record = PageRecordOf(window);
  if (!record || !record->page) return;
  WinHelpW(window, nullptr, HELP_CONTEXT, record->page->helpBase);
}

INT_PTR Notify(UiContext* ui, HWND window, const NMHDR& header) {
  LRESULT result = 0;
  switch (header.code) {
    case PSN_HELP:
      Help(ui, window);
      return TRUE;
    case PSN_RESET:
      ui->state.changed = 0;
      return TRUE;
    case PSN_SETACTIVE:
      if (const PageWindow* record = PageRecordOf(window); record && record->page)
        ui->state.frame.currentPageId = record->page->id;
      PageUpdateControls(ui, window, TRUE);
      break;
    case PSN_APPLY:
      result = Apply(ui, window);
      break;
    default:
      // A common control's notification (a tab switch) goes to its row's class.
      if (PageItemTemplate* row = PageFindRow(window, static_cast<WORD>(header.idFrom)))
        return CallClass(ui, window, *row, &CtlClass::message, WM_NOTIFY, header.idFrom,
                         reinterpret_cast<LPARAM>(&header)) ? TRUE : FALSE;
      return FALSE;
  }
  SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
  return TRUE;
}

// The row hit by a mouse message: the captured control's, else the last row (backwards) whose
// visible control holds the point, skipping the rows marked for the hidden functions unless
// `marked` asks for those alone.
PageItemTemplate* HitTest(HWND window, LPARAM lParam, bool marked) {
  PageWindow* record = PageRecordOf(window);
  if (!record || !record->page) return nullptr;
  PageTemplate& page = *record->page;
  if (HWND captured = GetCapture(); captured && !marked) {
    for (DWORD n = 0; n < page.itemCount; ++n)
      if (page.items[n].window == captured) return &page.items[n];
  }
  const POINT point{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
  for (DWORD n = page.itemCount; n-- > 0;) {
    PageItemTemplate& row = page.items[n];
    const bool flagged = (row.flags & kPageItemHiddenFunctions) != 0;
    if (flagged != marked || !row.window || !IsWindowVisible(row.window)) continue;
    RECT rect{};
    GetWindowRect(row.window, &rect);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    if (PtInRect(&rect, point)) return &row;
  }
  return nullptr;
}

BOOL Mouse(UiContext* ui, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_RBUTTONDBLCLK) {
    const bool keys = GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_SHIFT) < 0;
    if (keys && HitTest(window, lParam, true) && OptGetValue(ui->driver, kItemCallSrc) == 1) {
      const INT_PTR answer = PageRunSubDialog(ui, kPageModal, kPageDialogHiddenFunc, window);
      if (answer != IDCANCEL && answer != IDNO) SendMessageW(GetParent(window), PSM_CHANGED, reinterpret_cast<WPARAM>(window), 0);
    }
    return TRUE;
  }
  PageItemTemplate* row = HitTest(window, lParam, false);
  if (!row) {
    PageHideHint(ui);
    return FALSE;
  }
  OfferThenCallClass(ui, window, *row, &CtlClass::message, message, message, wParam, lParam);
  if (message == WM_MOUSEMOVE) PageStartHint(ui, window, row);
  return TRUE;
}

// Drawing and colour messages go to the class of the control's row; a handled colour message
// answers the page's brush.
INT_PTR RouteToRow(UiContext* ui, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WORD controlId = 0;
  if (message == WM_MEASUREITEM || message == WM_DRAWITEM)
    controlId = static_cast<WORD>(wParam);
  else if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC)
    controlId = static_cast<WORD>(GetDlgCtrlID(reinterpret_cast<HWND>(lParam)));
  PageItemTemplate* row = controlId ? PageFindRow(window, controlId) : nullptr;
  if (!row || !ClassOf(*row) || !ClassOf(*row)->message) return FALSE;
  const LRESULT handled = CallClass(ui, window, *row, &CtlClass::message, message, wParam, lParam);
  if (message == WM_CTLCOLORSCROLLBAR) return static_cast<INT_PTR>(handled);  // the class's own brush
  if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) {
    const PageWindow* record = PageRecordOf(window);
    return handled && record ? reinterpret_cast<INT_PTR>(record->brush) : FALSE;
  }
  return handled ? TRUE : FALSE;
}

// Pictures (the page previews) and scale sliders paint over their controls.
bool PaintsOverControl(const PageItemTemplate& row) {
  return row.controlType == kCtlTypePicture || row.controlType == kCtlTypeScaleSlider;
}

// Every shown picture and scale slider of the page painted over its control.
void PaintOverControls(UiContext* ui, HWND window) {
  PageWindow* record = PageRecordOf(window);
  if (!record || !record->page) return;
  for (DWORD n = 0; n < record->page->itemCount; ++n) {
    PageItemTemplate& row = record->page->items[n];
    if (!row.window || !PaintsOverControl(row) || !IsWindowVisible(row.window)) continue;
    if (HDC dc = GetDC(row.window)) {
      PagePaintControl(ui, window, &row, dc);
      ReleaseDC(row.window, dc);
    }
  }
}

INT_PTR Command(UiContext* ui, HWND window, WPARAM wParam, LPARAM lParam) {
  const WORD id = LOWORD(wParam);
  if (id == IDHELP) {
    Help(ui, window);
    return TRUE;
  }
  if (PageIsPresetSaveCommand(id)) {
    PageRunPresetSave(ui, window, id);
    return TRUE;
  }
  PageWindow* record = PageRecordOf(window);
  if (record && record->modal && PageIsDialogButton(id)) {
    PageEndModalCommand(ui, window, id);
    return TRUE;
  }
  PageItemTemplate* row = PageFindRow(window, id);
  if (!row) return FALSE;
  // A class with a command commits its change itself, through PageApplyItemChange.
  if (const CtlClass* found = ClassOf(*row); found && found->command) {
    if (CallClass(ui, window, *row, &CtlClass::command, WM_COMMAND, wParam, lParam)) PageUpdateControls(ui, window, FALSE);
    return TRUE;
  }
  if (PageApplyItemChange(ui, window, row, row->itemId ? OptGetValue(ui->driver, row->itemId) : 0, FALSE) == 0)
    PageUpdateControls(ui, window, FALSE);
  return TRUE;
}

// A scroll bar or trackbar tells its page of scrolling (lParam its window): its row's class moves
// the value.
INT_PTR Scroll(UiContext* ui, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND control = reinterpret_cast<HWND>(lParam);
  PageItemTemplate* row = control ? PageFindRow(window, static_cast<WORD>(GetDlgCtrlID(control))) : nullptr;
  return row && CtlOnMessage(ui, window, row, message, wParam, lParam) ? TRUE : FALSE;
}

INT_PTR Dispatch(UiContext* ui, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      return Command(ui, window, wParam, lParam);
    case WM_NOTIFY:
      return lParam ? Notify(ui, window, *reinterpret_cast<const NMHDR*>(lParam)) : FALSE;
    case WM_TIMER:
      if (wParam == kPageHintTimer) PageHintTimer(ui, window);
      return TRUE;
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
      return Mouse(ui, window, message, wParam, lParam);
    case WM_CONTEXTMENU:
    case WM_HELP: {
      // The control: the window of a context menu, the help request's control id.
      const int controlId = message == WM_HELP ? (lParam ? reinterpret_cast<const HELPINFO*>(lParam)->iCtrlId : 0)
                                               : GetDlgCtrlID(reinterpret_cast<HWND>(wParam));
      if (PageItemTemplate* row = PageFindRow(window, static_cast<WORD>(controlId)))
        return OfferThenCallClass(ui, window, *row, &CtlClass::message, message, message, wParam, lParam) ? TRUE
                                                                                                           : FALSE;
      return FALSE;
    }
    case kPageMsgShowConflict:
      if (lParam) PageShowConflict(ui, *reinterpret_cast<const DescAlertView*>(lParam), window);
      if (HWND control = GetDlgItem(window, static_cast<int>(wParam))) SetFocus(control);
      return TRUE;
    case kPageMsgPressOk:
      SendMessageW(GetParent(window), PSM_PRESSBUTTON, PSBTN_OK, 0);
      return TRUE;
    case kPageMsgRescale:
      PageRescale(ui, window);
      return TRUE;
    case WM_HSCROLL:
    case WM_VSCROLL:
      return Scroll(ui, window, message, wParam, lParam);
    case WM_PAINT:
      PaintOverControls(ui, window);
      return FALSE;
    case WM_MEASUREITEM:
    case WM_DRAWITEM:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
      return RouteToRow(ui, window, message, wParam, lParam);
    default:
      return FALSE;
  }
}

// The page's own WM_INITDIALOG, once its controls are filled.
void OfferInit(UiContext* ui, HWND window, WPARAM wParam, LPARAM lParam) {
  INT_PTR ignored = 0;
  if (PageOfferToItemProc(ui, window, nullptr, WM_INITDIALOG, wParam, lParam, &ignored))
    PageUpdateControls(ui, window, FALSE);
}

}  // namespace

UiContext* PageContextOf(HWND window) {
  return window ? reinterpret_cast<UiContext*>(GetWindowLongPtrW(window, GWLP_USERDATA)) : nullptr;
}

PageWindow* PageRecordOf(HWND window) {
  return window ? reinterpret_cast<PageWindow*>(GetWindowLongPtrW(window, DWLP_USER)) : nullptr;
}

HWND PageWindowOf(UiContext* ui, WORD pageId) {
  if (!ui) return nullptr;
  const PageTemplate* page = OptFindPage(&ui->pages, pageId);
  const int index = page ? PageIndexOf(ui, page) : -1;
  return index >= 0 && index < kPageWindowSlots ? ui->state.frame.pageWindows[index] : nullptr;
}

void PageReloadStamp(UiContext* ui) {
  DriverContext* context = ui->driver;
  const DWORD stamp = OptGetValue(context, kItemWmID);
  const DWORD kind = OptGetValue(context, kItemWmKind);
  if (OptGetValue(context, kItemFuncSelectWaterMark) && stamp < LstGetStampCount(context) && kind >= kStampKindFirst &&
      kind <= kStampKindLast) {
    LstLoadStamp(context, stamp);
  } else {
    OptSetValue(context, kItemFuncSelectWaterMark, 0);
    OptSetValue(context, kItemWmID, 0);
  }
}

BOOL PageOfferToItemProc(UiContext* ui, HWND window, PageItemTemplate* row, UINT message, WPARAM wParam, LPARAM lParam,
                         INT_PTR* result) {
  const PageWindow* record = PageRecordOf(window);
  return PageGetSeams().pageItemProc(ui, record ? record->page : nullptr, row, window, message, wParam, lParam, result);
}

PageItemTemplate* PageFindRow(HWND window, WORD controlId) {
  PageWindow* record = PageRecordOf(window);
  if (!record || !record->page || !controlId) return nullptr;
  for (DWORD n = 0; n < record->page->itemCount; ++n)
    if (record->page->items[n].controlId == controlId) return &record->page->items[n];
  return nullptr;
}

UINT CALLBACK PageCallback(HWND, UINT, PROPSHEETPAGEW* page) try {
  if (!page) return 0;
  WORD code = 0;
  std::memcpy(&code, reinterpret_cast<const BYTE*>(page) + kRecordCodeWord * sizeof(WORD), sizeof code);
  return code == kRecordCodeAnswered ? 3 : 0;
} catch (...) {
  return SysFailAtBoundary(UINT{0});
}

HPROPSHEETPAGE PageCreateTab(UiContext* ui, HINSTANCE instance, WORD pageId) {
  PROPSHEETPAGEW record{};
  record.dwSize = sizeof record;
  record.dwFlags = PSP_HASHELP;
  record.hInstance = instance;
  record.pszTemplate = UiResTemplate(pageId);
  record.pfnDlgProc = PageTabDialogProc;
  record.lParam = reinterpret_cast<LPARAM>(ui);
  record.pfnCallback = PageCallback;
  return CreatePropertySheetPageW(&record);
}

int SheetAddPages(UiContext* ui, WORD sheetKind) {
  if (!ui || !ui->state.pfnComPropSheet) return 0;
  const HINSTANCE instance = UiResInstance(ui->driver);
  if (!instance) return 0;
  ui->state.changed = 0;
  int added = 0;
  for (SHORT i = 0; i < ui->pages.count; ++i) {
    const PageTemplate& page = ui->pages.rows[i];
    if (!(page.kind & sheetKind) || CondEvalEntry(page.id, 0, ui->driver) == 1) continue;  // excluded by the model
    HPROPSHEETPAGE handle = PageCreateTab(ui, instance, page.id);
    if (!handle) continue;
    if (ui->state.pfnComPropSheet(ui->state.hComPropSheet, CPSFUNC_ADD_HPROPSHEETPAGE, reinterpret_cast<LPARAM>(handle),
                                  0) > 0)
      ++added;
    else
      DestroyPropertySheetPage(handle);
  }
  return added;
}

void PageBindItems(UiContext* ui) {
  PageFrameState& frame = ui->state.frame;
  if (frame.bound) return;
  DriverContext* context = ui->driver;
  if (DrawingProgramRuns()) GetClassInfoW(nullptr, WSTR("Button"), &frame.buttonClass);
  OptSetValue(context, kItemUIStart, 1);
  PageGetSeams().pageItemSetup(ui);
  BindRows(ui);
  CtxRaiseChangeMask(context, 0);
  LstLoadFreeSizes(context);
  frame.cursors[0] = UiResLoadCursor(context, kUiResCursorHand);
  frame.cursors[1] = UiResLoadCursor(context, kUiResCursorSecond);
  frame.buttonFace = GetSysColor(COLOR_BTNFACE);
  if (!ui->state.brushes[0]) ui->state.brushes[0] = CreateSolidBrush(frame.buttonFace);
  if (!ui->state.brushes[1]) ui->state.brushes[1] = CreateSolidBrush(RGB(255, 255, 255));
  LoadSelections(ui);
  ClearChangedFlags(context);
  frame.bound = 1;
}

void PageUpdateControls(UiContext* ui, HWND window, BOOL full) {
  PageWindow* record = PageRecordOf(window);
  if (!ui || !record || !record->page) return;
  for (DWORD n = 0; n < record->page->itemCount; ++n) {
    PageItemTemplate& row = record->page->items[n];
    if (!row.window) continue;
    if (full) OfferThenCallClass(ui, window, row, &CtlClass::fill, WM_INITDIALOG, 0, 0, 0);
    OfferThenCallClass(ui, window, row, &CtlClass::showValue, WM_PAINT, 0, 0, 0);
  }
}

BOOL PagePaintControl(UiContext* ui, HWND page, PageItemTemplate* row, HDC dc) {
  if (!ui || !row || !dc || !row->window || !PaintsOverControl(*row)) return FALSE;
  const CtlClass* found = ClassOf(*row);
  if (!found || !found->message) return FALSE;
  const int saved = SaveDC(dc);
  RECT own{};
  GetWindowRect(row->window, &own);
  for (HWND above = GetWindow(row->window, GW_HWNDPREV); above; above = GetWindow(above, GW_HWNDPREV)) {
    RECT other{}, common{};
    if (!IsWindowVisible(above) || !GetWindowRect(above, &other) || !IntersectRect(&common, &own, &other)) continue;
    MapWindowPoints(nullptr, row->window, reinterpret_cast<POINT*>(&common), 2);
    ExcludeClipRect(dc, common.left, common.top, common.right, common.bottom);
  }
  const LRESULT painted = found->message(ui, page, row, WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
  RestoreDC(dc, saved);
  return painted ? TRUE : FALSE;
}

void PageRescale(UiContext* ui, HWND window) {
  PageWindow* record = PageRecordOf(window);
  if (!ui || !record) return;
  for (int i = 0; i < record->hiddenCount; ++i)
    if (IsWindow(record->hidden[i])) ShowWindow(record->hidden[i], SW_SHOWNA);
  record->hiddenCount = 0;
  PageUpdateControls(ui, window, FALSE);
}

INT_PTR CALLBACK PageTabDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) try {
  if (message != WM_INITDIALOG) return PageDialogProc(window, message, wParam, lParam);
  const auto* record = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
  UiContext* ui = record ? reinterpret_cast<UiContext*>(record->lParam) : nullptr;
  if (!ui) return FALSE;
  const WORD pageId = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(record->pszTemplate));
  ui->state.frame.currentPageId = pageId;
  PageReplaceOkButton(ui, GetParent(window));
  if (DrawingProgramRuns()) ResetChildProcedures(window);
  if (!InitPage(ui, window, FALSE, pageId)) return FALSE;
  HideChildren(window);
  OfferInit(ui, window, wParam, lParam);
  return TRUE;
} catch (...) {
  return SysFailAtBoundary(INT_PTR{FALSE});
}

INT_PTR CALLBACK PageDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) try {
  if (message == WM_INITDIALOG) {
    auto* ui = reinterpret_cast<UiContext*>(lParam);
    const WORD pageId = ui ? ui->state.frame.currentPageId : 0;
    if (!ui || !InitPage(ui, window, TRUE, pageId)) return FALSE;
    HideChildren(window);
    OfferInit(ui, window, wParam, lParam);
    return TRUE;
  }
  UiContext* ui = PageContextOf(window);
  if (!ui) {
    // An owner-drawn control measured before the dialog is set up: no context, no page.
    INT_PTR result = FALSE;
    if (message == WM_MEASUREITEM &&
        PageGetSeams().pageItemProc(nullptr, nullptr, nullptr, window, message, wParam, lParam, &result))
      return result;
    return FALSE;
  }
  if (message == WM_DESTROY) {
    ForgetPage(ui, window);
    return FALSE;
  }
  PageWindow* record = PageRecordOf(window);
  INT_PTR result = FALSE;
  if (record && PageOfferToItemProc(ui, window, RowOfMessage(window, message, wParam, lParam), message, wParam, lParam,
                                    &result)) {
    PageUpdateControls(ui, window, FALSE);
    return result;
  }
  return Dispatch(ui, window, message, wParam, lParam);
} catch (...) {
  return SysFailAtBoundary(INT_PTR{FALSE});
}
