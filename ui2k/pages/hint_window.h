// The hint of a page's control: when the mouse rests on a control that has an information
// string, a small popup with that text appears below the control.
#pragma once

#include "ui2k/entry/ui_context.h"
#include "win32.h"

constexpr UINT_PTR kPageHintTimer = 0x4849;  // the page's timer for the pending hint
constexpr UINT kPageHintDelay = 500;         // milliseconds the mouse rests first

// The mouse moved onto `row` of the page `window`: a different control restarts the timer (the
// shown hint goes); a control without an information string hides the hint.
void PageStartHint(UiContext* ui, HWND window, const PageItemTemplate* row);
// The hint timer fired: the timer is killed; when the cursor is still on the hinted control (or
// the dropped list of a combo row of types 43, 45, 48) and the control is on the page in front,
// the hint is shown below it without activating it.
void PageHintTimer(UiContext* ui, HWND window);
// Shows `text` in the hint popup below the screen rectangle `rect`, for `control` (hidden again
// with the hint of any other control).
void PageShowHintBelow(UiContext* ui, HWND control, const RECT& rect, const WCHAR* text);
// Hides and forgets the hint and its timer.
void PageHideHint(UiContext* ui);
