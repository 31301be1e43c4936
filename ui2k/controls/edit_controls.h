// The control classes of the text and number controls: edit (0x3d, 0x3e), decimal edit (0x3f),
// spin (0x17, 0x51), slider (0x52, 0x54) and trackbar (0x55). Each handler has the CtlHandler
// form of ui2k/pages/page_seams.h; kCtlEditClasses holds their rows.
//
// Every change a user makes is applied through PageApplyItemChange (stored, checked against the
// item's alerts, refused with the previous value put back), except the decimal edit's typing,
// which stores each number as it is typed and is checked when the edit loses the focus.
#pragma once

#include "ui2k/controls/control_handler.h"
#include "ui2k/entry/ui_context.h"
#include "ui2k/pages/page_seams.h"
#include "win32.h"

// Row flags the classes read.
constexpr DWORD kCtlFlagLength = 0x80000000;       // the value is a length shown in display units
constexpr DWORD kCtlFlagLongText = 0x400000;       // an edit's text may reach 260 characters
constexpr DWORD kCtlFlagNoArrowSteps = 0x200000;   // the arrow keys do not step a decimal edit

// The rows of this file's control types and their count.
constexpr int kCtlEditClassCount = 8;
extern const CtlClass kCtlEditClasses[kCtlEditClassCount];
// The row of `controlType` among them, or null.
const CtlClass* CtlFindEditClass(WORD controlType);

// ---- Decimal numbers --------------------------------------------------------------------

// `value` as a number with as many decimals as `divisor` (1, 10, 100, 1000, 10000) has
// zeros: the sign, the whole part, and the remainder padded to that width. A divisor of 0 or
// 1 gives a whole number. The characters written (cut to capacity - 1).
int CtlFormatDecimal(LONG value, DWORD divisor, WCHAR* buffer, DWORD capacity);
// A typed number scaled by `divisor`: what comes before the first digit is skipped (a '-'
// there makes it negative), then the whole part, then after a '.' at most the divisor's count
// of decimals, padded with zeros. 0 without a digit or when negative; at most 0x7FFFFFFF.
LONG CtlParseDecimal(const WCHAR* text, DWORD divisor);

// The item's shown form must be rebuilt (set by a change of the item elsewhere, item 179 for
// every length).
void CtlSetRedisplayMark(UiContext* ui, WORD item, BOOL set);
BOOL CtlHasRedisplayMark(const UiContext* ui, WORD item);

// ---- Handlers ---------------------------------------------------------------------------

LRESULT CtlEditInit(CTL_HANDLER_PARAMS);
LRESULT CtlEditShow(CTL_HANDLER_PARAMS);
LRESULT CtlEditCommand(CTL_HANDLER_PARAMS);

LRESULT CtlDecimalInit(CTL_HANDLER_PARAMS);
LRESULT CtlDecimalShow(CTL_HANDLER_PARAMS);
LRESULT CtlDecimalCommand(CTL_HANDLER_PARAMS);
// WM_SETFOCUS notes the value; WM_KILLFOCUS applies the text as one change from it (a refusal
// puts it back); WM_KEYDOWN with the up (38) or down (40) key steps the value. 1 when the
// message was taken.
LRESULT CtlDecimalMessage(CTL_HANDLER_PARAMS);

LRESULT CtlSpinInit(CTL_HANDLER_PARAMS);
LRESULT CtlSpinShow(CTL_HANDLER_PARAMS);
LRESULT CtlSpinScroll(CTL_HANDLER_PARAMS);

LRESULT CtlSliderInit(CTL_HANDLER_PARAMS);
LRESULT CtlSliderShow(CTL_HANDLER_PARAMS);
LRESULT CtlSliderShowScale(CTL_HANDLER_PARAMS);
// WM_HSCROLL steps; WM_CTLCOLORSCROLLBAR of a 0x54 with steps answers the null brush;
// WM_LBUTTONDOWN on an arrow of a 0x54 lays the pressed-arrow popup over it (none at the
// arrow's bound, none between the arrows).
LRESULT CtlSliderMessage(CTL_HANDLER_PARAMS);
// The popup CtlSliderMessage laid over an arrow, or null; CtlSliderEndPress destroys it once
// the scroll bar has handled the click.
HWND CtlSliderPressedArrow(const UiContext* ui);
void CtlSliderEndPress(UiContext* ui);

LRESULT CtlTrackbarInit(CTL_HANDLER_PARAMS);
LRESULT CtlTrackbarShow(CTL_HANDLER_PARAMS);
LRESULT CtlTrackbarScroll(CTL_HANDLER_PARAMS);
