// Calls from the control classes into code that the dispatcher's work builds: the 3-D frame of a
// drawn button, a control's context help and the steps of the items linked to a changed one.
// Each records its call (UiNoteSeamCall) and does nothing yet.
#pragma once

#include "ui2k/entry/ui_context.h"
#include "win32.h"

void CtlDraw3DFrame(HDC dc, const RECT& rect, BOOL pressed);
// 1 when the help was shown.
LRESULT CtlContextHelp(UiContext* ui, HWND page, PageItemTemplate* row, UINT message, WPARAM wParam, LPARAM lParam);
void CtlStepLinkedItems(UiContext* ui, HWND page, PageItemTemplate* row);
