// Owner-drawn lists and combos over an item's values (a disabled row on the button face, a
// hidden value with a conflict mark greyed and indented behind its mark, the selected row
// highlighted), and the owner-drawn check list whose rows are boolean items.
#pragma once

#include "ui2k/controls/control_handler.h"

// Fill of an owner-drawn list: one row per listed value (the value as row data, nothing as text),
// then the current value shown; a check list gets one row per item of its extra data instead.
LRESULT CtlOwnerListFill(CTL_HANDLER_PARAMS);
// WM_DRAWITEM of a row; WM_CTLCOLORLISTBOX of the list answers its background.
LRESULT CtlOwnerListDraw(CTL_HANDLER_PARAMS);

// A row of `text` with `data` added to the list box `list`; nothing when the list refuses it.
void CtlAddListRow(HWND list, const WCHAR* text, DWORD data);

// WM_CTLCOLORLISTBOX of the list `list` of `row` (an owner-drawn or stored-settings icon list):
// the page's answer becomes the page brush for a disabled list or an icon list, else white. 1
// when it was the row's list.
LRESULT CtlAnswerListColor(UiContext* ui, HWND page, const PageItemTemplate& row, LPARAM list);

// The drawn combo's show step: only while the item's value changed since its last binding, and
// a value without a row leaves the selection alone.
LRESULT CtlDrawnComboShow(CTL_HANDLER_PARAMS);
// Rows drawn as the owner-drawn list's; the highlighted row of the open list gets its hint.
LRESULT CtlDrawnComboDraw(CTL_HANDLER_PARAMS);

// The check list: rows drawn with their check pictures; the space key and a click toggle the
// selected row's item.
LRESULT CtlCheckListMessage(CTL_HANDLER_PARAMS);
