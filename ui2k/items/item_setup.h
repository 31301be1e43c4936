// The items' set-up at the first binding of a context's pages (the page framework's
// pageItemSetup seam), on the context's own item rows and page rows: the items' change groups,
// the controls' flags, the controls that share one item, the items that share a model node, the
// saved-settings items' built-in list, and the hidden-functions check list.
//
// What it leaves in the context is read back through the queries below: the page framework binds
// a row's model node through ItemSetupNodeOf, the control classes list a saved-settings item's
// values through ItemSetupBuiltInValues.
#pragma once

#include <vector>

#include "ui2k/entry/ui_context.h"
#include "win32.h"

// Control flags the set-up gives.
constexpr DWORD kCtlFlagNoArrowSteps = 0x200000;  // the arrow keys do not step a decimal edit
constexpr DWORD kCtlFlagLongText = 0x400000;      // an edit of 260 characters

// Change groups the set-up gives items (item row flags bits 16-20).
constexpr DWORD kItemGroupPaperAndOptions = 0x30000;
constexpr DWORD kItemGroupDeviceServices = 0x100000;

// Once per context, before the rows are bound.
void PageItemSetup(UiContext* ui);

// The model node of `itemId` in this context: the node of the item it shares one with, else its
// own; null without a description or a node.
const DescNode* ItemSetupNodeOf(UiContext* ui, WORD itemId);
// The built-in values that `itemId` lists instead of its node's (the saved settings), in list
// order; empty for any other item.
std::vector<WORD> ItemSetupBuiltInValues(const UiContext* ui, WORD itemId);
// Whether `itemId` is a text kept outside the settings (the saved setting's name and comment).
BOOL ItemSetupIsOutsideText(const UiContext* ui, WORD itemId);
