// Push buttons (their captions and the sub-dialogs they open), check boxes and radio buttons.
#pragma once

#include "ui2k/controls/control_handler.h"

// The caption string of a push button: kCtlNoCaption for none; 0 when the control is not in the table.
constexpr WORD kCtlNoCaption = 0xFFFF;
WORD CtlButtonCaption(WORD controlId);

LRESULT CtlButtonInit(CTL_HANDLER_PARAMS);
// BN_CLICKED: the control's sub-dialog opened unless the confirmation of its item stops it.
LRESULT CtlButtonCommand(CTL_HANDLER_PARAMS);
// A drawn button: its size, then a 3-D frame (pressed when selected or focused) with its caption
// centred ("..." for a control without one in the table); help requests go to the context help.
LRESULT CtlButtonDraw(CTL_HANDLER_PARAMS);

// Check box: checked while the item is 1; a click commits only when box and item disagree.
LRESULT CtlCheckShow(CTL_HANDLER_PARAMS);
LRESULT CtlCheckCommand(CTL_HANDLER_PARAMS);
LRESULT CtlCheckToggle(CTL_HANDLER_PARAMS);

// Radio button: its control id is the value it stands for.
LRESULT CtlRadioShow(CTL_HANDLER_PARAMS);
LRESULT CtlRadioCommand(CTL_HANDLER_PARAMS);
LRESULT CtlRadioSelect(CTL_HANDLER_PARAMS);
