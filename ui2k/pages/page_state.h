// The page framework's part of a UI context's state (UiState::frame).
#pragma once

#include "win32.h"

// Pages of a context's page table whose windows the framework keeps (the table has 47).
constexpr int kPageWindowSlots = 64;

struct PageFrameState {
  WORD currentPageId;              // the page in front (set at init and PSN_SETACTIVE)
  HWND firstPage;                  // the first page to initialise: the one that commits
  DWORD bound;                     // PageBindItems ran for this context
  DWORD applying;                  // PSN_APPLY is being handled
  WORD okReplacement;              // the command the sheet's OK button sends now, 0 when not replaced
  HCURSOR cursors[2];              // the resource library's hand and second cursor
  COLORREF buttonFace;
  WNDCLASSW buttonClass;           // "Button" as the system has it, read while a drawing program runs
  HWND pageWindows[kPageWindowSlots];  // by row of the context's page table
  HWND hint;                       // the hint popup, or null
  HWND hinted;                     // the control whose hint is pending or shown
};
