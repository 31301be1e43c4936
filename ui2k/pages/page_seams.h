// Calls from the page framework into other code of the interface library: the item procedures
// and their set-up, the control classes, the file dialogs, and the saved settings (presets).
//
// The file dialogs run (FdlgRunFileDialog), and applying, overwriting and testing a preset go to
// the stored settings files (RstSavePresetByIndex, RstEditPreset under the name of item 865,
// RstIsPresetWritable). The rest records its call (UiNoteSeamCall, ui2k/entry/seams.h) and does
// nothing until the code that holds it exists: the preset list is empty and appending to it
// fails. The control classes are ui2k/controls' (CtlFindClass); the item procedure and its set-up
// are ui2k/items' (PageItemProc, PageItemSetup).
// Tests put their own functions in.
#pragma once

#include "settings/items/table.h"
#include "win32.h"

struct UiContext;

// A control class: the handlers of one control type. Each takes the page's window, the row
// of the control and the message it handles; a null handler does nothing.
using CtlHandler = LRESULT (*)(UiContext* ui, HWND page, PageItemTemplate* row, UINT message, WPARAM wParam,
                               LPARAM lParam);
struct CtlClass {
  DWORD controlType;
  CtlHandler click;      // a mouse click inside the control's rectangle
  CtlHandler fill;       // the page is bound or the item's list changed
  CtlHandler showValue;  // after every change
  CtlHandler command;    // WM_COMMAND of the control
  CtlHandler message;    // drawing, colours and mouse messages routed to the control
  WNDPROC subclass;      // installed on controls that need it, or null
};

struct PageSeams {
  // The item procedure of the page `window` shows (`page` its row; both null for a message before
  // the dialog is set up, when `ui` is null too), for the control of `control` (null: a message
  // to the page itself): TRUE when it took the message (*result is then the dialog procedure's
  // answer).
  BOOL (*pageItemProc)(UiContext* ui, PageTemplate* page, PageItemTemplate* control, HWND window, UINT message,
                       WPARAM wParam, LPARAM lParam, INT_PTR* result);
  // The item procedures' set-up at the first binding.
  void (*pageItemSetup)(UiContext* ui);
  // The control class of a control type, or null.
  const CtlClass* (*ctlFindClass)(WORD controlType);
  // A file dialog of kind 0x100..0x1000 or 0x8000 for page `pageId`: 1 done, 2 cancelled.
  INT_PTR (*fdlgRunFileDialog)(UiContext* ui, DWORD kind, WORD pageId, HWND parent);
  // Saved settings: the list's entry count, an entry by name (-1 none; `preferred` wins a tie),
  // whether entry n may be written, the current settings written into entry n's file with the
  // name and comment buffers (items 865, 866), a new entry appended for the current settings
  // under `name` (its index, -1 when it cannot be made), and saved setting n applied.
  DWORD (*dlgGetPresetCount)(UiContext* ui);
  int (*dlgFindPresetByName)(UiContext* ui, const WCHAR* name, int preferred);
  BOOL (*rstIsPresetWritable)(UiContext* ui, int index);
  BOOL (*rstEditPreset)(UiContext* ui, int index);
  int (*dlgAppendPreset)(UiContext* ui, const WCHAR* name);
  void (*rstSavePresetByIndex)(UiContext* ui, int index);
  // The preset entry's "Name" (part 1) or "Comment" (part 2) into `buffer`.
  void (*dlgGetPresetRowText)(UiContext* ui, int row, int part, WCHAR* buffer, DWORD capacity);
};

extern const PageSeams kPageSeamsRecording;
const PageSeams& PageGetSeams();
// Puts `seams` in force (null: the recording ones). Only while no page runs.
void PageSetSeams(const PageSeams* seams);
