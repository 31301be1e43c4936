// Calls from the item dispatcher into code that later work builds: the item procedures of the
// pages that have their own (saved settings, maintenance, font substitution, stamps, print
// quality, user sizes, options, print type, remote destination, address list) and the device
// query of the initial-settings dialog with its status window.
//
// Until that code exists each procedure takes nothing and records the commands it is offered
// ("DlgStampProc 2089"), and the device query records its call and answers success. Tests put
// their own functions in.
#pragma once

#include "ui2k/entry/ui_context.h"
#include "win32.h"

// An item procedure: 1 when it took the message.
using ItemPageProc = LRESULT (*)(UiContext* ui, HWND page, PageItemTemplate* row, UINT message, WPARAM wParam,
                                 LPARAM lParam);

struct ItemSeams {
  ItemPageProc dlgPresetControlProc;  // the saved-settings combos, edits and restore buttons of every page
  ItemPageProc dlgMaintenanceProc;    // 1007
  ItemPageProc dlgFontSubstitutionProc;  // 1009, 4004
  ItemPageProc dlgStampProc;          // 1003, 1022, 1023, 1037
  ItemPageProc dlgQualityProc;        // 1006
  ItemPageProc dlgFreeSizeProc;       // 1017
  ItemPageProc dlgOptionProc;         // 1011
  ItemPageProc dlgPrintTypeProc;      // 1019
  ItemPageProc dlgRemoteProc;         // 1034
  ItemPageProc dlgAddressProc;        // 1035
};

extern const ItemSeams kItemSeamsRecording;
const ItemSeams& ItemGetSeams();
// Puts `seams` in force (null: the recording ones). Only while no page runs.
void ItemSetSeams(const ItemSeams* seams);
