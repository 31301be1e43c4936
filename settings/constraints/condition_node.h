// The condition lists and side-setting chains of the command tables.
#pragma once

#include "win32.h"

// One term of a chain of side settings (item := value) or of a condition (the item's current
// stored value compared with value). Side settings use only the id and the value.
struct CondNode {
  const CondNode* next;  // null ends the chain
  DWORD flags;           // kCondNodeLink, kCondNodeAlternative
  DWORD conditionId;     // an item id, or as a condition list 443..538 for items 250..345
  DWORD value;           // a stored value
};
constexpr DWORD kCondNodeLink = 0x1;         // the other kind of link: starts a group that must hold too
constexpr DWORD kCondNodeAlternative = 0x2;  // an alternative of the term before

// How a chain names its items: directly (command-table chains), or as condition ids 443..538
// that stand for items 250..345 (id - 193; terms with other ids are ignored).
enum CondChainForm : int {
  kCondChainItems = 0,
  kCondChainConditionIds = 1,
};
