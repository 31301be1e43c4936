// Four small operations of the control classes: the steps of the items linked to a control, a
// control's context help, whether a page is a file dialog, and the 3-D frame of a drawn button.
#pragma once

#include "ui2k/controls/control_handler.h"

// Adds each linked control's step (the row's extra data of kind kExtraLinkedSteps) to that
// control's item, kept inside the item's range, and stores it through the framework's change
// operation. Controls without an item, a range or a row on the page are skipped. 1.
LRESULT CtlStepLinkedItems(UiContext* ui, HWND page, PageItemTemplate* row);

// Context help for the control `control` of the page `page`: WinHelpW with the printer's help file
// and the pair (control id, help id), HELP_WM_HELP for WM_HELP and HELP_CONTEXTMENU otherwise, on
// the control's window (the page's for a static text of type 4). Nothing for a hidden control or a
// window that is not a control of a page's row. 1 when help was asked for.
LRESULT CtlContextHelp(HWND page, HWND control, UINT message);
// The same as a class's message handler: WM_HELP and WM_CONTEXTMENU of the row's control.
LRESULT CtlContextHelp(CTL_HANDLER_PARAMS);

// Whether the page kind is one of the file dialogs (open, settings open/save, file refer, preset
// save and refer, created files).
BOOL PageIsFileDialogKind(DWORD kind);
BOOL PageIsFileDialog(const PageTemplate* page);
BOOL PageIsNotFileDialog(const PageTemplate* page);

// Styles of the 3-D frame: bits 0..3 the frame, bits 4..7 the arrow pictures.
constexpr DWORD kFramePlain = 0x1;
constexpr DWORD kFrameDoubleBevel = 0x2;
constexpr DWORD kFrameArrows = 0x4;
constexpr DWORD kFrameLeftArrowMask = 0x30;   // 0x10, 0x20, 0x30: pictures 220, 221, 222 on the left
constexpr DWORD kFrameRightArrowMask = 0xC0;  // 0x40, 0x80, 0xC0: pictures 222, 221, 220 on the right

// An owner-drawn button: `rect` (one pixel smaller with `inset`) filled with the button face, the
// frame of `style` released or `pressed`, and with a `window` the caption of the control `row`
// (its caption string; "..." for a control without one, nothing for one marked kCtlNoCaption)
// centred and transparent in the window's font.
void CtlDraw3DFrame(UiContext* ui, HWND page, const PageItemTemplate* row, HWND window, HDC dc, const RECT& rect,
                    DWORD style, BOOL pressed, BOOL inset);
