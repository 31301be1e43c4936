// What the control classes read of a control's item: the values it lists, its current model
// value, its extra data, and the commit of a user's change.
#pragma once

#include <vector>

#include "settings/items/page_control_extras.h"
#include "ui2k/entry/ui_context.h"
#include "win32.h"

// The model values of the item's value list whose disabled condition does not hold, in list
// order. Empty without an item, a model record or a list.
std::vector<WORD> CtlListedValues(UiContext* ui, const PageItemTemplate& row);
// The first model value of the item's list that is not disabled after `current`, wrapping to the
// start; `current` itself when it is not listed is answered as FALSE.
BOOL CtlNextEnabledValue(UiContext* ui, const PageItemTemplate& row, DWORD current, DWORD* next);
// Whether the value's hidden condition holds (it is listed, but shown as in conflict).
BOOL CtlIsValueHidden(UiContext* ui, const PageItemTemplate& row, DWORD model);
// The item's current value as the model has it (0 without an item).
DWORD CtlCurrentValue(UiContext* ui, const PageItemTemplate& row);
// Commits the model value `model` through the framework's change operation. 1 when it was refused.
int CtlCommitValue(UiContext* ui, HWND page, PageItemTemplate* row, DWORD model);
// The extra data of the control: the row's own record (a PageControlExtra) when it has one, else
// the generated one of the control on the page of `page`; null when there is none.
const PageControlExtra* CtlExtraOf(HWND page, const PageItemTemplate& row);
// The mark picture of a control whose extra data carries a conflict mark (kind 4, mark set), else 0.
WORD CtlConflictMark(const PageControlExtra* extra);
// The control enabled unless the item's disabled condition holds.
void CtlShowEnabledState(UiContext* ui, const PageItemTemplate& row);
