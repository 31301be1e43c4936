// The item procedure of every page and dialog (PageItemProc): the page framework and the control
// classes offer it each event before they act; it hands the event to the procedure of the page
// that has one, or handles it inline for the small pages and dialogs.
#pragma once

#include "ui2k/entry/ui_context.h"
#include "win32.h"

// `page` and `control` as the framework's seam gives them (page null before the dialog is set
// up; control null for a message to the page itself). TRUE when the event was taken, with
// *result the dialog procedure's answer.
BOOL PageItemProc(UiContext* ui, PageTemplate* page, PageItemTemplate* control, HWND window, UINT message,
                  WPARAM wParam, LPARAM lParam, INT_PTR* result);

// What the inline handlers share: the control's class command run as if the control had sent
// `code` (not offered to the item procedure again); the control given the generic window
// procedure, so that its own messages (painting, focus) reach the item procedure; the current settings
// restored from saved setting `index` with item 41 on it and the preset list checked again.
LRESULT ItemRunClassCommand(UiContext* ui, HWND page, PageItemTemplate* row, WORD code);
void ItemSubclassControl(const PageItemTemplate& row);
void ItemRestorePreset(UiContext* ui, HWND page, int index);
