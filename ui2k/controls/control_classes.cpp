#include "ui2k/controls/control_classes.h"

#include <iterator>

#include "settings/context/boundary.h"
#include "ui2k/controls/button_controls.h"
#include "ui2k/controls/edit_controls.h"
#include "ui2k/controls/icon_list.h"
#include "ui2k/controls/list_controls.h"
#include "ui2k/controls/listed_values.h"
#include "ui2k/controls/owner_drawn_controls.h"
#include "ui2k/controls/static_controls.h"
#include "ui2k/items/control_operations.h"
#include "ui2k/pages/page_framework.h"

namespace {

// Static texts, pictures, buttons, lists, combos, tabs and trees.
constexpr CtlClass kControlClasses[] = {
    {0x01, nullptr, nullptr, CtlStaticShowValue, nullptr, nullptr, nullptr},
    {0x02, CtlPictureStep, nullptr, CtlPictureInvalidate, nullptr, CtlPictureMessage, CtlWndProc},
    {0x03, CtlPictureStep, nullptr, CtlPictureShowValues, nullptr, nullptr, CtlWndProc},
    {0x04, nullptr, nullptr, CtlStaticShowValue, nullptr, nullptr, nullptr},
    {0x05, nullptr, nullptr, CtlStaticShowValue, nullptr, nullptr, nullptr},
    {0x06, nullptr, nullptr, CtlStaticShowValue, nullptr, nullptr, nullptr},
    {0x15, nullptr, CtlButtonInit, CtlStaticShowValue, CtlButtonCommand, CtlButtonDraw, CtlWndProc},
    {0x16, CtlCheckToggle, nullptr, CtlCheckShow, CtlCheckCommand, CtlContextHelp, nullptr},
    {0x29, CtlRadioSelect, nullptr, CtlRadioShow, CtlRadioCommand, CtlContextHelp, nullptr},
    {0x2a, nullptr, CtlListFill, CtlListShow, CtlListCommand, CtlContextHelp, nullptr},
    {0x2b, nullptr, CtlComboFill, CtlComboShow, CtlComboCommand, CtlContextHelp, nullptr},
    {0x2c, nullptr, nullptr, CtlStaticShowValue, nullptr, nullptr, nullptr},
    {0x2d, nullptr, nullptr, CtlStaticShowValue, nullptr, nullptr, nullptr},
    {0x2e, nullptr, nullptr, CtlStaticShowValue, nullptr, nullptr, nullptr},
    {0x40, nullptr, nullptr, CtlStaticShowValue, nullptr, nullptr, nullptr},
    {0x41, nullptr, nullptr, CtlStaticShowValue, nullptr, nullptr, nullptr},
    {0x53, nullptr, nullptr, CtlStaticShowValue, nullptr, nullptr, nullptr},
    {0x65, nullptr, nullptr, CtlStaticShowValue, nullptr, nullptr, nullptr},
    {0x66, nullptr, nullptr, CtlStaticShowValue, nullptr, nullptr, nullptr},
    {0x68, nullptr, CtlTabInit, nullptr, nullptr, CtlTabNotify, nullptr},
    {0x69, nullptr, CtlTreeFill, nullptr, nullptr, nullptr, nullptr},
};

// Owner-drawn lists, combos and check lists, and the stored-settings icon list.
constexpr CtlClass kOwnerDrawnClasses[] = {
    {0x2f, nullptr, CtlOwnerListFill, nullptr, CtlListCommand, CtlOwnerListDraw, nullptr},
    {0x30, nullptr, CtlComboFill, CtlDrawnComboShow, CtlComboCommand, CtlDrawnComboDraw, nullptr},
    {kCtlTypeCheckList, nullptr, CtlOwnerListFill, nullptr, CtlListCommand, CtlCheckListMessage, CtlWndProc},
    {0x32, nullptr, CtlIconListFill, nullptr, CtlIconListCommand, CtlIconListDraw, nullptr},
};

// Every family's rows; a type is looked for in this order.
constexpr CtlClassRows kClassFamilies[] = {
    {kControlClasses, std::size(kControlClasses)},
    {kCtlEditClasses, std::size(kCtlEditClasses)},
    {kOwnerDrawnClasses, std::size(kOwnerDrawnClasses)},
};

constexpr WORD kNeverHotControl = 2164;
constexpr WORD kErasedPicture = 2039;
constexpr WORD kArrowCursor = 32512;  // IDC_ARROW, in its wide form

LRESULT Call(UiContext* ui, HWND page, PageItemTemplate* row, CtlHandler CtlClass::*handler, UINT message,
             WPARAM wParam, LPARAM lParam) {
  const CtlClass* found = row ? CtlFindClass(row->controlType) : nullptr;
  if (!found || !(found->*handler)) return 0;
  return (found->*handler)(ui, page, row, message, wParam, lParam);
}

bool IsPicture(const PageItemTemplate& row) {
  return row.controlType == kCtlTypePicture || row.controlType == kCtlTypeValuePictures;
}

// A picture is hot where it has something to step: an item or a linked control, while it and
// that control are shown and enabled.
bool IsHot(HWND page, const PageItemTemplate& row) {
  if (!IsPicture(row) || row.controlId == kNeverHotControl || !IsWindowVisible(row.window) ||
      !IsWindowEnabled(row.window))
    return false;
  const PageControlExtra* extra = CtlExtraOf(page, row);
  if (extra && extra->linkedControl) {
    HWND linked = GetDlgItem(page, extra->linkedControl);
    return linked && IsWindowVisible(linked) && IsWindowEnabled(linked);
  }
  return row.itemRow != nullptr;
}

// The click on a hot spot: the linked control's click when its class has one, else the picture's.
LRESULT Click(UiContext* ui, HWND page, PageItemTemplate* row, WPARAM wParam, LPARAM lParam) {
  const PageControlExtra* extra = CtlExtraOf(page, *row);
  PageItemTemplate* target = row;
  if (extra && extra->linkedControl) {
    PageItemTemplate* linked = PageFindRow(page, extra->linkedControl);
    const CtlClass* found = linked ? CtlFindClass(linked->controlType) : nullptr;
    if (found && found->click) target = linked;
  }
  const LRESULT changed = Call(ui, page, target, &CtlClass::click, WM_LBUTTONDOWN, wParam, lParam);
  if (changed) CtlStepLinkedItems(ui, page, target);
  return changed;
}

// The item procedure sees each operation's event first: TRUE when it took it.
bool TakenByItemProc(UiContext* ui, HWND page, PageItemTemplate* row, UINT message, WPARAM wParam, LPARAM lParam,
                     LRESULT* result) {
  INT_PTR answer = 0;
  if (!PageOfferToItemProc(ui, page, row, message, wParam, lParam, &answer)) return false;
  *result = answer;
  return true;
}

LRESULT ClassProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WCHAR name[64] = {};
  WNDCLASSW info{};
  if (GetClassNameW(window, name, 64) && GetClassInfoW(nullptr, name, &info) && info.lpfnWndProc &&
      info.lpfnWndProc != CtlWndProc)
    return CallWindowProcW(info.lpfnWndProc, window, message, wParam, lParam);
  return DefWindowProcW(window, message, wParam, lParam);
}

// A picture or scale slider: its window class paints it, then its class paints over it (into
// the DC WM_PRINTCLIENT gives, else the window's own).
bool PaintOver(UiContext* ui, HWND page, PageItemTemplate* row, HWND window, UINT message, WPARAM wParam,
               LPARAM lParam, LRESULT* result) {
  if (row->controlType != kCtlTypePicture && row->controlType != kCtlTypeScaleSlider) return false;
  *result = ClassProcedure(window, message, wParam, lParam);
  if (message == WM_PRINTCLIENT) {
    PagePaintControl(ui, page, row, reinterpret_cast<HDC>(wParam));
  } else if (HDC dc = GetDC(window)) {
    PagePaintControl(ui, page, row, dc);
    ReleaseDC(window, dc);
  }
  return true;
}

// TRUE when the message was handled here; *result holds the answer.
bool Handle(UiContext* ui, HWND page, PageItemTemplate* row, HWND window, UINT message, WPARAM wParam, LPARAM lParam,
            LRESULT* result) {
  switch (message) {
    case WM_KEYDOWN: {
      const PageControlExtra* extra = CtlExtraOf(page, *row);
      if (row->controlType != kCtlTypeButton || wParam != VK_SPACE || !extra || !extra->words ||
          extra->words[0] != kExtraSpaceKey)
        return false;
      SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(kArrowCursor)));
      PostMessageW(window, kPageMsgButtonSpace, 0, 0);
      return *result = 0, true;
    }
    case WM_NCHITTEST:
      if (!IsPicture(*row) || !IsHot(page, *row)) return false;
      SetCursor(ui->state.frame.cursors[0]);
      return *result = HTCLIENT, true;
    case WM_SETCURSOR:
      if (!IsHot(page, *row) || !ui->state.frame.cursors[0]) return false;
      SetCursor(ui->state.frame.cursors[0]);
      return *result = TRUE, true;
    case WM_LBUTTONDOWN:
      if (!IsHot(page, *row)) return false;
      if (Click(ui, page, row, wParam, lParam)) {
        SetFocus(window);
        InvalidateRect(window, nullptr, FALSE);
        PageUpdateControls(ui, page, FALSE);
      }
      return *result = 0, true;
    case WM_PAINT:
    case WM_PRINTCLIENT:
      return PaintOver(ui, page, row, window, message, wParam, lParam, result);
    case WM_ERASEBKGND: {
      const PageWindow* record = PageRecordOf(page);
      if (row->controlId != kErasedPicture || !record || !wParam) return false;
      RECT client{};
      GetClientRect(window, &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, record->brush);
      return *result = TRUE, true;
    }
    default:
      return false;
  }
}

// The decimal edit's focus and arrow keys go to its class; a scale slider repaints its arrows
// with the focus, and a press on one of its arrows shows the pressed arrow while the scroll bar
// handles the click (its scale is painted over it with the pictures).

bool HandleEditFamily(UiContext* ui, HWND page, PageItemTemplate* row, HWND window, UINT message, WPARAM wParam,
                      LPARAM lParam, LRESULT* result) {
  const bool focus = message == WM_SETFOCUS || message == WM_KILLFOCUS;
  if (row->controlType == kCtlTypeDecimalEdit) {
    if (focus) CtlOnMessage(ui, page, row, message, wParam, lParam);  // the edit still takes its focus
    if (message != WM_KEYDOWN || !CtlOnMessage(ui, page, row, message, wParam, lParam)) return false;
    *result = 0;
    return true;
  }
  if (row->controlType != kCtlTypeScaleSlider) return false;
  if (focus) InvalidateRect(window, nullptr, FALSE);
  if (message != WM_LBUTTONDOWN) return false;
  Call(ui, page, row, &CtlClass::message, message, wParam, lParam);
  *result = ClassProcedure(window, message, wParam, lParam);
  CtlSliderEndPress(ui);
  return true;
}

}  // namespace

const CtlClass* CtlFindClass(WORD controlType) {
  for (const CtlClassRows& family : kClassFamilies)
    for (size_t i = 0; i < family.count; ++i)
      if (static_cast<WORD>(family.rows[i].controlType) == controlType) return &family.rows[i];
  return nullptr;
}

LRESULT CtlInit(UiContext* ui, HWND page, PageItemTemplate* row) {
  const CtlClass* found = row ? CtlFindClass(row->controlType) : nullptr;
  if (!found) return 0;
  if (LRESULT taken = 0; TakenByItemProc(ui, page, row, WM_INITDIALOG, 0, 0, &taken)) return taken;
  if (!row->window) row->window = GetDlgItem(page, row->controlId);
  if (found->subclass && row->window &&
      GetWindowLongPtrW(row->window, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(found->subclass))
    SetWindowLongPtrW(row->window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(found->subclass));
  return Call(ui, page, row, &CtlClass::fill, WM_INITDIALOG, 0, 0);
}

LRESULT CtlRefresh(UiContext* ui, HWND page, PageItemTemplate* row) {
  if (LRESULT taken = 0; row && TakenByItemProc(ui, page, row, WM_PAINT, 0, 0, &taken)) return taken;
  return Call(ui, page, row, &CtlClass::showValue, WM_PAINT, 0, 0);
}

LRESULT CtlOnCommand(UiContext* ui, HWND page, PageItemTemplate* row, WPARAM wParam, LPARAM lParam) {
  if (!row) return 0;
  if (LRESULT taken = 0; TakenByItemProc(ui, page, row, WM_COMMAND, wParam, lParam, &taken)) return taken;
  if (LOWORD(wParam) != row->controlId) return 0;
  const LRESULT changed = Call(ui, page, row, &CtlClass::command, WM_COMMAND, wParam, lParam);
  if (changed) PageUpdateControls(ui, page, FALSE);
  return changed;
}

LRESULT CtlOnMessage(UiContext* ui, HWND page, PageItemTemplate* row, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!row || (row->window && !IsWindowVisible(row->window))) return 0;
  if (LRESULT taken = 0; TakenByItemProc(ui, page, row, message, wParam, lParam, &taken)) return taken;
  if (message == WM_LBUTTONDOWN && row->controlType == kCtlTypeScaleSlider) return 0;
  const LRESULT changed = Call(ui, page, row, &CtlClass::message, message, wParam, lParam);
  if (changed && message != WM_DRAWITEM && message != WM_CTLCOLORLISTBOX && message != WM_CTLCOLORSCROLLBAR &&
      message != WM_PAINT)  // a paint that updated the page would invalidate the previews again
    PageUpdateControls(ui, page, FALSE);
  return changed;
}

LRESULT CtlSelectComboByValue(UiContext* ui, HWND page, WORD controlId, DWORD model) {
  PageItemTemplate* row = PageFindRow(page, controlId);
  if (!row || !row->window) return 0;
  const LRESULT count = SendMessageW(row->window, CB_GETCOUNT, 0, 0);
  for (LRESULT n = 0; n < count; ++n) {
    if (static_cast<DWORD>(SendMessageW(row->window, CB_GETITEMDATA, static_cast<WPARAM>(n), 0)) != model) continue;
    SendMessageW(row->window, CB_SETCURSEL, static_cast<WPARAM>(n), 0);
    return Call(ui, page, row, &CtlClass::command, WM_COMMAND, MAKEWPARAM(controlId, CBN_SELCHANGE),
                reinterpret_cast<LPARAM>(row->window));
  }
  return 0;
}

LRESULT CALLBACK CtlWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) try {
  HWND page = GetParent(window);
  UiContext* ui = PageContextOf(page);
  PageItemTemplate* row = ui ? PageFindRow(page, static_cast<WORD>(GetDlgCtrlID(window))) : nullptr;
  if (row && row->window == window) {
    LRESULT result = 0;
    if (TakenByItemProc(ui, page, row, message, wParam, lParam, &result)) return result;
    if (Handle(ui, page, row, window, message, wParam, lParam, &result)) return result;
    if (HandleEditFamily(ui, page, row, window, message, wParam, lParam, &result)) return result;
    // The check list's keys and clicks reach its class once the list has moved its selection.
    if (row->controlType == kCtlTypeCheckList && (message == WM_CHAR || message == WM_LBUTTONUP)) {
      result = ClassProcedure(window, message, wParam, lParam);
      CtlOnMessage(ui, page, row, message, wParam, lParam);
      return result;
    }
  }
  return ClassProcedure(window, message, wParam, lParam);
} catch (...) {
  return SysFailAtBoundary(LRESULT{0});
}
