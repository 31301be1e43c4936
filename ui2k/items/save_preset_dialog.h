// The save-preset dialog (1032): the name and comment the settings are saved under, checked
// before OK lets the framework save them.
#pragma once

#include "ui2k/entry/ui_context.h"
#include "win32.h"

// While the sheet saves a preset (change-mask flag 0x10000000) the dialog starts with no preset
// chosen (item 41 := 118) and clears the flag. OK stores the name and comment edits, looks the
// name up among the presets (the current one first) and refuses, in this order, with a warning
// and the focus in the name edit: a name another preset has while one is current (10052), a new
// name while 16 presets exist (10049), a preset that cannot be written (10024); replacing an
// existing preset other than the first, while none is current, asks first (10032, No keeps the
// dialog). Otherwise item 41 names the preset the settings go to (118: a new one) and OK goes on.
// A name no preset has, while one is current, renames and overwrites the current preset.
LRESULT DlgSavePresetProc(UiContext* ui, HWND page, PageItemTemplate* row, UINT message, WPARAM wParam, LPARAM lParam);
