// Calls from the control classes into code that the dispatcher's work builds: the page preview.
// (The 3-D frame, context help and linked steps are ui2k/items/control_operations.)
// Each records its call (UiNoteSeamCall) and does nothing yet.
#pragma once

#include "ui2k/entry/ui_context.h"
#include "win32.h"

// The page preview that `row` (a preview picture, or a list whose rows show one) describes,
// drawn into `rect` of `dc` from the current settings.
void CtlPaintPreview(UiContext* ui, HWND page, const PageItemTemplate* row, HDC dc, const RECT& rect);
