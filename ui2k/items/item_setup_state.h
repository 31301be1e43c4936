// What the item set-up gives a context's items beyond the model description (UiState::itemSetup):
// items that take another item's model node, items that list the saved settings, and the text
// items kept outside the settings.
#pragma once

#include "win32.h"

constexpr int kItemSetupNodeShares = 16;
constexpr int kItemSetupMarkedItems = 4;

struct ItemNodeShare {
  WORD item;    // takes the model node (values, range, length) of
  WORD source;
};

struct ItemSetupState {
  ItemNodeShare nodeShares[kItemSetupNodeShares];
  int nodeShareCount;
  WORD savedSettingsItems[kItemSetupMarkedItems];  // list the built-in saved-settings values
  int savedSettingsItemCount;
  WORD outsideTextItems[kItemSetupMarkedItems];    // texts kept outside the settings
  int outsideTextItemCount;
};
