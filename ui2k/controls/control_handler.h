// The parameters every control-class handler takes (CtlHandler of the page framework).
#pragma once

#include "ui2k/entry/ui_context.h"
#include "ui2k/pages/page_seams.h"
#include "win32.h"

#define CTL_HANDLER_PARAMS \
  UiContext *ui, HWND page, PageItemTemplate *row, UINT message, WPARAM wParam, LPARAM lParam
