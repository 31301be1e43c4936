// A control's change applied to its item: stored, checked against the alerts of the item's
// model node, the node's rules run, conflicts shown and refused.
#pragma once

#include "settings/description/image.h"
#include "ui2k/entry/ui_context.h"
#include "win32.h"

// Applies `value` to the item of `row` on the page of `window` (`store`: the item is written
// here and its previous value kept for a refusal; otherwise the control class wrote it). 1 when
// an alert refused the change (the previous value is back and the focus is on the page's control
// for that alert), else 0.
int PageApplyItemChange(UiContext* ui, HWND window, PageItemTemplate* row, DWORD value, BOOL store);

// Resource string `stringId` in a message box owned by `owner`, captioned with the printer's name.
// The button pressed.
int PageMessageBox(UiContext* ui, HWND owner, UINT stringId, UINT type);

// Shows `alert` in a message box owned by `window` (the message row's text, the printer name as
// caption, the alert's icon and buttons) after posting a WM_PAINT to the page. The button pressed.
int PageShowConflict(UiContext* ui, const DescAlertView& alert, HWND window);

// The alert check without a value: when an alert of `node` holds it is shown and its action run
// with the answer. 1 when that leaves a conflict (an alert of any kind but kAlertProperty, or one
// answered without accepting it), else 0.
int PageCheckNodeConflict(UiContext* ui, const DescNode* node, HWND window);

// The constraint check of a page as apply runs it: every row of the page (and with `wholeSheet`
// of every page with a window) with a model node, until one leaves a conflict. 1 on a conflict.
int PageCheckConstraints(UiContext* ui, HWND window, BOOL wholeSheet);
