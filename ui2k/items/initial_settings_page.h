// The initial-settings dialog (1010): the tray labels and the tray picture, the job-control
// bridge told the display language again, the installed options read from the device, the
// language warning and the user-code credential written after a device query.
#pragma once

#include "ui2k/entry/ui_context.h"
#include "win32.h"

LRESULT DlgInitialSettingsProc(UiContext* ui, HWND page, PageItemTemplate* row, UINT message, WPARAM wParam,
                               LPARAM lParam);
// The cover and mark dialogs (1030, 1031), and every page with tray labels: each label painted for
// its slot.
LRESULT DlgTrayLabelPageProc(UiContext* ui, HWND page, PageItemTemplate* row, UINT message, WPARAM wParam,
                             LPARAM lParam);
