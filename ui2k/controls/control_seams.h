// Calls from the control classes into code that the dispatcher's work builds: the 3-D frame of a
// drawn button, a control's context help, the steps of the items linked to a changed one, and
// the page preview.
// Each records its call (UiNoteSeamCall) and does nothing yet.
#pragma once

#include "ui2k/entry/ui_context.h"
#include "win32.h"

void CtlDraw3DFrame(HDC dc, const RECT& rect, BOOL pressed);
// 1 when the help was shown.
LRESULT CtlContextHelp(UiContext* ui, HWND page, PageItemTemplate* row, UINT message, WPARAM wParam, LPARAM lParam);
void CtlStepLinkedItems(UiContext* ui, HWND page, PageItemTemplate* row);
// The page preview that `row` (a preview picture, or a list whose rows show one) describes,
// drawn into `rect` of `dc` from the current settings.
void CtlPaintPreview(UiContext* ui, HWND page, const PageItemTemplate* row, HDC dc, const RECT& rect);
