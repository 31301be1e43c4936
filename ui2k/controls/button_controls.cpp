#include "ui2k/controls/button_controls.h"

#include "settings/services/resource_strings.h"
#include "ui2k/controls/listed_values.h"
#include "ui2k/items/control_operations.h"
#include "ui2k/pages/item_change.h"
#include "ui2k/pages/sub_dialogs.h"

namespace {

constexpr WORD kNoCaption = kCtlNoCaption;
struct ButtonCaption {
  WORD control;
  WORD string;
};
constexpr ButtonCaption kButtonCaptions[] = {
    {2037, kNoCaption}, {2038, kNoCaption}, {2079, kNoCaption}, {2080, kNoCaption}, {2096, kNoCaption},
    {2097, kNoCaption}, {2114, kNoCaption}, {2115, kNoCaption}, {2003, 13187},      {2002, 13188},
    {2143, 13189},      {2144, 13190},      {2140, 13191},      {2502, 13192},      {2503, 13193},
};

bool BoxChecked(const PageItemTemplate& row) {
  return SendMessageW(row.window, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetBox(const PageItemTemplate& row, bool checked) {
  if (BoxChecked(row) != checked) SendMessageW(row.window, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

}  // namespace

WORD CtlButtonCaption(WORD controlId) {
  for (const ButtonCaption& entry : kButtonCaptions)
    if (entry.control == controlId) return entry.string;
  return 0;
}

LRESULT CtlButtonInit(CTL_HANDLER_PARAMS) {
  const WORD caption = CtlButtonCaption(row->controlId);
  if (!caption || !row->window) return 0;
  WCHAR text[kUiTextChars] = {};
  if (caption != kNoCaption) ResLoadString(ui->driver, caption, text, kUiTextChars, FALSE);
  SetWindowTextW(row->window, text);
  return 1;
}

LRESULT CtlButtonCommand(CTL_HANDLER_PARAMS) {
  if (HIWORD(wParam) != BN_CLICKED) return 0;
  const PageControlExtra* extra = CtlExtraOf(page, *row);
  if (!extra || !extra->subDialog) return 0;
  if (row->node && PageCheckNodeConflict(ui, row->node, page)) return 0;
  PageRunSubDialog(ui, kPageModal, extra->subDialog, page);
  return 1;
}

LRESULT CtlButtonDraw(CTL_HANDLER_PARAMS) {
  if (message == WM_HELP || message == WM_CONTEXTMENU) return CtlContextHelp(ui, page, row, message, wParam, lParam);
  if (!row->window || !lParam) return 0;
  if (message == WM_MEASUREITEM) {
    auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
    RECT client{};
    GetClientRect(row->window, &client);
    measure->itemWidth = static_cast<UINT>(client.right - client.left);
    measure->itemHeight = static_cast<UINT>(client.bottom - client.top);
    return 1;
  }
  auto* draw = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
  if (message != WM_DRAWITEM || !(draw->itemAction & (ODA_DRAWENTIRE | ODA_SELECT | ODA_FOCUS))) return 0;
  const BOOL pressed = (draw->itemState & (ODS_SELECTED | ODS_FOCUS)) != 0;
  CtlDraw3DFrame(ui, page, row, row->window, draw->hDC, draw->rcItem, kFrameDoubleBevel, pressed, FALSE);
  return 1;
}

LRESULT CtlCheckShow(CTL_HANDLER_PARAMS) {
  if (!row->itemRow || !row->window) return 0;
  CtlShowEnabledState(ui, *row);
  SetBox(*row, CtlCurrentValue(ui, *row) == 1);
  return 1;
}

LRESULT CtlCheckCommand(CTL_HANDLER_PARAMS) {
  if (!row->itemRow || !row->window) return 0;
  const DWORD value = CtlCurrentValue(ui, *row);
  const bool checked = BoxChecked(*row);
  if (checked == (value == 1)) return 0;
  CtlCommitValue(ui, page, row, checked ? 1 : 0);
  return 1;
}

LRESULT CtlCheckToggle(CTL_HANDLER_PARAMS) {
  if (!row->itemRow) return 0;
  CtlCommitValue(ui, page, row, CtlCurrentValue(ui, *row) == 1 ? 0 : 1);
  return 1;
}

LRESULT CtlRadioShow(CTL_HANDLER_PARAMS) {
  if (!row->itemRow || !row->window) return 0;
  CtlShowEnabledState(ui, *row);
  SetBox(*row, CtlCurrentValue(ui, *row) == row->controlId);
  return 1;
}

LRESULT CtlRadioCommand(CTL_HANDLER_PARAMS) {
  if (!row->itemRow || !row->window) return 0;
  const bool selected = CtlCurrentValue(ui, *row) == row->controlId;
  if (BoxChecked(*row) == selected) return 0;
  CtlCommitValue(ui, page, row, row->controlId);
  return 1;
}

LRESULT CtlRadioSelect(CTL_HANDLER_PARAMS) {
  if (!row->itemRow) return 0;
  CtlCommitValue(ui, page, row, row->controlId);
  return 1;
}
