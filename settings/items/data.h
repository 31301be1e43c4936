// The constant tables that the table generator writes from the text tables under data/.
// Only items/table.cpp and items/lookup.cpp read these names; everyone else goes through the
// accessors of items/table.h.
#pragma once

#include "settings/items/table.h"

// A value map whose item has a second list (the list for the other orientation).
struct SecondValueMap {
  const ItemValueMapRow* first;
  const ItemValueMapRow* second;
};

extern const ItemTableRow kItemRows[];
extern const int kItemRowCount;

extern const ItemSymbolRow kItemSymbols[];
extern const int kItemSymbolCount;

extern const ValueSymbolRow kValueSymbols[];
extern const int kValueSymbolCount;

// Rows with a name, by name (rows of one name in table order).
extern const int kItemSymbolsByName[];
extern const int kItemSymbolsByNameCount;
extern const int kValueSymbolsByName[];
extern const int kValueSymbolsByNameCount;

extern const MessageRow kMessageRows[];
extern const int kMessageRowCount;

extern const PageTemplate kPageTemplates[];
extern const int kPageTemplateCount;

extern const SecondValueMap kSecondValueMaps[];
extern const int kSecondValueMapCount;

// Both end with a terminator row (id 0, value kLanguageEnd).
extern const CapsResolutionRow kResolutionRows[];
extern const ResLanguageRow kLanguageRows[];
