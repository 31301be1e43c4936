// The commands that save the current settings as a preset: the replaced OK button's (11111 new,
// 22222 overwrite) and the save buttons of the user-settings tabs.
#pragma once

#include "ui2k/entry/ui_context.h"
#include "win32.h"

// The most presets the list holds.
constexpr DWORD kPagePresetSlots = 16;

BOOL PageIsPresetSaveCommand(WORD id);

// Raises 0x10000000 and runs the page's constraint check; without a conflict: the name (the
// item of control 2145) is checked for 22222 (empty: string 10031; a read-only preset: 10024,
// the focus then on the page's name control), another existing preset of that name asks 10032
// (No keeps everything), a new preset while 16 exist is refused with 10049; then the preset is
// written, item 41 := its index + 119, the page refreshed, and for 11111 and 22222 0x800000
// cleared and the sheet's OK pressed (message 32771).
void PageRunPresetSave(UiContext* ui, HWND window, WORD id);
