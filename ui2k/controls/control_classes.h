// The control-class table: for each control type the handlers that fill a control from its
// item, show the item's value, turn the user's action into a change and handle its other
// messages; the operations the item procedures call on a control; and the window procedure of
// the subclassed controls (hot spots of pictures, a button's space key, a picture's background).
#pragma once

#include "ui2k/controls/control_handler.h"

// The rows of one family of classes; the table is the list of these tables.
struct CtlClassRows {
  const CtlClass* rows;
  size_t count;
};

// The class of `controlType`, or null (every operation on such a control does nothing).
const CtlClass* CtlFindClass(WORD controlType);

// The operations on one control of a page for the item procedures (the page framework offers
// every page message to them before it calls a class); the class's answer, 0 when the control
// has no class.
LRESULT CtlInit(UiContext* ui, HWND page, PageItemTemplate* row);
LRESULT CtlRefresh(UiContext* ui, HWND page, PageItemTemplate* row);
// WM_COMMAND whose low word is the control's id; a change updates the page's controls.
LRESULT CtlOnCommand(UiContext* ui, HWND page, PageItemTemplate* row, WPARAM wParam, LPARAM lParam);
// Not for a hidden control; a change updates the page's controls except after drawing and
// colour messages.
LRESULT CtlOnMessage(CTL_HANDLER_PARAMS);
// The combo `controlId` of `page` set to the row of `model` as if the user had chosen it.
LRESULT CtlSelectComboByValue(UiContext* ui, HWND page, WORD controlId, DWORD model);

// The window procedure of subclassed controls; what it does not take goes to the procedure of
// the control's window class.
LRESULT CALLBACK CtlWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
