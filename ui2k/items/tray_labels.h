// Paper-tray slots and the tray labels of the initial-settings, cover and mark dialogs: each label
// shows its slot's paper size, the orientation the paper lies in and the media type.
#pragma once

#include "ui2k/entry/ui_context.h"
#include "win32.h"

// The items of slot n: present, orientation, paper size, media type, lock.
constexpr WORD kTraySlotPresentItem = 10111;
constexpr WORD kTraySlotOrientationItem = 10143;
constexpr WORD kTraySlotPaperItem = 10175;
constexpr WORD kTraySlotMediaItem = 10207;
constexpr WORD kTraySlotLockItem = 10239;

// The slot of a paper-tray value (0 for a value without its own slot).
BYTE TraySlotOfValue(DWORD trayValue);
// The slot whose label control `controlId` of page `pageId` is, or -1.
int TrayLabelSlot(WORD pageId, WORD controlId);

// WM_PAINT (and WM_PRINTCLIENT, into the DC of wParam) paints the label of `row` for `slot` and
// answers 1: the button face, the control's own text, the slot's paper-size name (while the
// pages have the tray-paper control) cut with an ellipsis to leave room for the rest, the
// orientation picture in a square of the text height, and "/" with the media-type name (while
// the pages have the tray-media control); grey text when the control is disabled. WM_ERASEBKGND
// answers 1 (the paint fills the whole label). Other messages: 0.
LRESULT DlgPaintTrayLabel(UiContext* ui, HWND page, PageItemTemplate* row, UINT message, WPARAM wParam, int slot);
// Every label of the page that is shown painted again, in the table's order.
void DlgPaintTrayLabels(UiContext* ui, HWND page);
