// The preset page (1001): editing the settings in the user-settings sheet to save them over the
// current preset or as a new one, restoring the first preset, and the sub-dialog a button asked
// to open once the page is back.
#pragma once

#include "ui2k/entry/ui_context.h"
#include "win32.h"

// Change-mask flag: open the sub-dialog of the control in the mask's low word when the page next
// sees a message of its own.
constexpr DWORD kMaskOpenSubDialog = 0x20000000;

// 2003 and 2004 open the user-settings sheet with the edit page in front, with the OK button
// offering to save over the current preset (when it is writable; and to save a new one while
// fewer than 16 exist) or only to save a new one; 2004 then opens the save dialog of 2093. After
// the sheet: a cancel leaves the stamp as the pages had it; a preset added meanwhile is restored
// and made current. 2034 restores the first preset.
LRESULT DlgPresetPageProc(UiContext* ui, HWND page, PageItemTemplate* row, UINT message, WPARAM wParam, LPARAM lParam);
