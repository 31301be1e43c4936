// The parameters every control-class handler takes (CtlHandler of the page framework), and the
// control types that code outside the class table asks for by name.
#pragma once

#include "ui2k/entry/ui_context.h"
#include "ui2k/pages/page_seams.h"
#include "win32.h"

#define CTL_HANDLER_PARAMS \
  UiContext *ui, HWND page, PageItemTemplate *row, UINT message, WPARAM wParam, LPARAM lParam

constexpr WORD kCtlTypePicture = 0x02;        // a picture that steps its item or draws a preview
constexpr WORD kCtlTypeValuePictures = 0x03;  // a picture of the item's values
constexpr WORD kCtlTypeStaticText = 0x04;
constexpr WORD kCtlTypeButton = 0x15;
constexpr WORD kCtlTypeSpin = 0x17;
constexpr WORD kCtlTypeCheckList = 0x31;
constexpr WORD kCtlTypeIconList = 0x32;
constexpr WORD kCtlTypeDecimalEdit = 0x3f;
constexpr WORD kCtlTypeScaleSlider = 0x54;
