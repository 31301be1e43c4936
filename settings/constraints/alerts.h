// Alerts of the model description: the first alert of an item's conditions block whose program
// holds under the current settings, and running an alert's action once the user has answered it.
//
// An alert names a message row (messages.txt: the text the interface shows), a message-box icon
// and button form, a kind (kAlertAtOnce .. kAlertDialog) and an action list. The action list
// holds entries {item, rules}: what accepting the alert changes. An entry's rules run only for an
// accepting answer (IDOK or IDYES); any other answer leaves the settings as they are.
#pragma once

#include "settings/context/driver_context.h"
#include "settings/description/image.h"
#include "win32.h"

// Alert kinds.
constexpr SHORT kAlertAtOnce = 0;
constexpr SHORT kAlertProperty = 1;   // informs: an accepting answer keeps the change
constexpr SHORT kAlertOkApply = 2;
constexpr SHORT kAlertDialog = 3;

// Alerts a list may hold before it is taken as broken (a loop).
constexpr DWORD kCondAlertMaxEntries = 4096;

// The first alert of `node`'s conditions block whose program gives non-zero (an alert without a
// program always holds). TRUE and *alert filled when one holds; FALSE without a description,
// node, block or holding alert.
BOOL CondFindAlert(DriverContext* context, const DescNode* node, DescAlertView* alert);

// Whether a message-box answer accepts an alert: IDOK or IDYES.
BOOL CondAlertAnswerAccepts(int answer);

// Runs the action of `alert` for the user's `answer`: with an accepting answer every entry's
// rules run in order (CondApplyRules). 0, or the page or dialog a rule named (which ends the run).
WORD CondRunAlertAction(DriverContext* context, const DescAlertView& alert, int answer);

// The resource string of the alert's message (the message row's string), 0 when the message id
// names no row.
UINT CondAlertStringId(const DescAlertView& alert);
