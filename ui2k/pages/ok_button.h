// The sheet's OK button replaced by the preset-save commands: while the change mask offers to
// save the settings as a new preset (0x80000000) or over the current one (0x40000000), OK saves
// first and then presses OK itself (PageRunPresetSave).
#pragma once

#include "ui2k/entry/ui_context.h"
#include "win32.h"

// With one offer bit the OK button takes its text (string 372 new, 373 overwrite) and command
// (11111, 22222); with both, OK overwrites (373, 22222) and a new button beside it saves a new
// preset (372, 11111). OK is widened to 4/3 of its width and moved left by that width; the new
// button takes the place to its right. Then the offer bits are cleared and 0x800000 raised. No
// change without an offer bit or an OK button on `frame`.
void PageReplaceOkButton(UiContext* ui, HWND frame);
