// List boxes and combo boxes over an item's value list (row data: the value's model value),
// tabs that show the controls of the selected tab, and trees of an item's values.
#pragma once

#include "ui2k/controls/control_handler.h"

LRESULT CtlListFill(CTL_HANDLER_PARAMS);
LRESULT CtlListShow(CTL_HANDLER_PARAMS);
LRESULT CtlListCommand(CTL_HANDLER_PARAMS);
LRESULT CtlComboFill(CTL_HANDLER_PARAMS);
LRESULT CtlComboShow(CTL_HANDLER_PARAMS);
LRESULT CtlComboCommand(CTL_HANDLER_PARAMS);

// The controls of tab `tab` of the tab list `words` (kind-6 extra data) shown on `page`, those of
// every other tab hidden.
void CtlShowTab(HWND page, const WORD* words, size_t count, int tab);
LRESULT CtlTabInit(CTL_HANDLER_PARAMS);
LRESULT CtlTabNotify(CTL_HANDLER_PARAMS);

LRESULT CtlTreeFill(CTL_HANDLER_PARAMS);
