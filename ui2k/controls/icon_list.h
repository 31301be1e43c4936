// The stored-settings icon list: one row per saved setting (its stored file's path as the row's
// text, the entry's value as row data), each drawn as the entry's name over a preview of the
// settings it holds; choosing a row loads that setting.
#pragma once

#include "ui2k/controls/control_handler.h"

// The rows of the saved settings in use ("Count" of them), then the current value shown.
LRESULT CtlIconListFill(CTL_HANDLER_PARAMS);
// A chosen row: its setting loaded and kept, or on a conflict undone with a beep, the first
// row's setting loaded instead and the control's sub-dialog opened.
LRESULT CtlIconListCommand(CTL_HANDLER_PARAMS);
// WM_DRAWITEM of a row (drawn inside a settings snapshot, with the row's setting loaded, and
// never opening a dialog); WM_CTLCOLORLISTBOX of the list.
LRESULT CtlIconListDraw(CTL_HANDLER_PARAMS);
