// Sub-dialogs of the pages: modal dialogs on the page procedure, nested sheets of the
// user-settings tabs (kind 0x10) or of one page (kind 0x20), and the file dialogs; and how a
// modal dialog's buttons end it, with the checks some dialogs make before OK may end them.
#pragma once

#include "ui2k/entry/ui_context.h"
#include "win32.h"

// Opens page `pageId` as `kind` says (kPageModal, kPageUserSettingsTab, kPageNestedSheet, the
// file-dialog kinds) with `parent` as owner. The dialog's answer: IDOK (1) for a sheet closed
// with OK, IDCANCEL (2) when cancelled or when it cannot be opened.
INT_PTR PageRunSubDialog(UiContext* ui, DWORD kind, WORD pageId, HWND parent);

// Whether `id` is a button that ends a modal dialog (IDOK .. IDNO).
BOOL PageIsDialogButton(WORD id);
// A modal dialog's button: IDCANCEL and IDNO clear the UI changed flag, the others set it; the
// dialog's own checks run (OK of 1023 and 1037 may keep the dialog open, 1007 takes its list
// selection and name, 1011 refreshes the presets, 1017 reloads the free sizes on cancel); then
// EndDialog with the button's id.
void PageEndModalCommand(UiContext* ui, HWND window, WORD id);
