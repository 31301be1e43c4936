// Controls filled again after a change that alters their value lists: fixed groups of (page,
// control) pairs, each pair skipped while its page has no window or the control is absent.
#pragma once

#include "ui2k/entry/ui_context.h"
#include "win32.h"

void CtlRefillFinishingMarks(UiContext* ui);
void CtlRefillPaperGroup(UiContext* ui);
void CtlRefillMarkGroup(UiContext* ui);
void CtlRefillIconGroup(UiContext* ui);
// The preset lists and names; the two preset lists' items are first moved back to the first
// preset when they name one past the saved settings.
void DlgRefillPresetLists(UiContext* ui);
// The stamp combo of the edit page reset and filled again, only while a stamp is in use.
void CtlRefillStampCombo(UiContext* ui);
