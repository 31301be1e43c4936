#include "settings/items/table.h"

#include "settings/items/data.h"

const ItemTable* OptGetStaticItemTable() {
  // The rows are constant data; the header's row pointer is not const only because a context's
  // copy uses the same header type.
  static const ItemTable table = {static_cast<SHORT>(kItemRowCount), const_cast<ItemTableRow*>(kItemRows)};
  return &table;
}

const ItemSymbolRow* OptGetItemSymbols(int* count) {
  if (count) *count = kItemSymbolCount;
  return kItemSymbols;
}

const ValueSymbolRow* OptGetValueSymbols(int* count) {
  if (count) *count = kValueSymbolCount;
  return kValueSymbols;
}

const int* OptGetItemSymbolsByName(int* count) {
  if (count) *count = kItemSymbolsByNameCount;
  return kItemSymbolsByName;
}

const int* OptGetValueSymbolsByName(int* count) {
  if (count) *count = kValueSymbolsByNameCount;
  return kValueSymbolsByName;
}

const PageTable* OptGetStaticPageTable() {
  static const PageTable table = {static_cast<SHORT>(kPageTemplateCount), const_cast<PageTemplate*>(kPageTemplates)};
  return &table;
}

const CapsResolutionRow* CapsGetResolutionTable() { return kResolutionRows; }

const ResLanguageRow* ResGetLanguageTable() { return kLanguageRows; }

int JcIsSupported() { return 1; }

bool OptMapToModelValue(const ItemValueMapRow* list, DWORD stored, DWORD* model) {
  if (!list) return false;
  for (const ItemValueMapRow* row = list; row->modelValue != 0; ++row) {
    if (row->storedValue == stored && row->modelValue != kNoModelValue) {
      if (model) *model = row->modelValue;
      return true;
    }
  }
  return false;
}

bool OptMapToStoredValue(const ItemValueMapRow* list, DWORD model, DWORD* stored) {
  if (!list || model == 0 || model == kNoModelValue) return false;
  for (const ItemValueMapRow* row = list; row->modelValue != 0; ++row) {
    if (row->modelValue == model) {
      if (stored) *stored = row->storedValue;
      return true;
    }
  }
  return false;
}

const ItemValueMapRow* OptGetSecondValueMap(const ItemValueMapRow* first) {
  if (!first) return nullptr;
  for (int i = 0; i < kSecondValueMapCount; ++i) {
    if (kSecondValueMaps[i].first == first) return kSecondValueMaps[i].second;
  }
  return nullptr;
}

const ItemValueMapRow* OptSelectValueMap(const ItemValueMapRow* first, bool second) {
  const ItemValueMapRow* other = second ? OptGetSecondValueMap(first) : nullptr;
  return other ? other : first;
}
