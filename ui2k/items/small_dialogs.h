// The small dialogs handled by the item dispatcher itself: the print-post dialog (1015), the
// margin dialog (1024) and the user-code input (1027).
#pragma once

#include "ui2k/entry/ui_context.h"
#include "win32.h"

// The print-post names 2193, 2195 .. 2209: the focused one's number (1..9) in item 893, 0 when the
// focus leaves; typing stores the name and fills the mark groups again. The labels between them
// are not handled.
LRESULT DlgPrintPostProc(UiContext* ui, HWND page, PageItemTemplate* row, UINT message, WPARAM wParam, LPARAM lParam);
// The margin edits store what is typed and the page shows it at once.
LRESULT DlgMarginProc(UiContext* ui, HWND page, PageItemTemplate* row, UINT message, WPARAM wParam, LPARAM lParam);
// OK asks for the user code again (1028); when that answers No the input stays open.
LRESULT DlgUserCodeInputProc(UiContext* ui, HWND page, PageItemTemplate* row, UINT message, WPARAM wParam,
                             LPARAM lParam);
