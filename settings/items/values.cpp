// The model-value side of the item store: translation through the items' value maps and the
// context's override array.
#include "data/item_ids.h"
#include "settings/items/store.h"
#include "settings/constraints/condition_items.h"
#include "settings/constraints/eval.h"

namespace {

constexpr DWORD kLandscape = 2;

// The row's index in the context's table, for the override array; -1 for a row of another table.
int RowIndex(const DriverContext* context, const ItemTableRow* row) {
  if (!context || !context->itemTable || !row) return -1;
  const ItemTableRow* rows = context->itemTable->rows;
  if (row < rows || row >= rows + context->itemTable->count) return -1;
  return static_cast<int>(row - rows);
}

LONG* OverrideOf(DriverContext* context, const ItemTableRow* row) {
  if (!context || !context->work || !context->work->overrides) return nullptr;
  const int index = RowIndex(context, row);
  return index < 0 ? nullptr : &context->work->overrides[index];
}

// A map names a signed byte's values as the byte holds them (255, not -1).
DWORD MapKeyOf(const ItemTableRow* row, DWORD stored) {
  return row && DescriptorType(row->descriptor) == kTypeS8 ? stored & 0xFF : stored;
}

}  // namespace

const ItemValueMapRow* OptGetActiveValueMap(DriverContext* context, const ItemTableRow* row) {
  if (!row || !row->valueMap) return nullptr;
  bool second = false;
  switch (row->id) {
    case kItemNUPType:
    case kItemDuplexType:
      second = OptGetValue(context, kItemOrientation) == kLandscape;
      break;
    case kItemPunchType:
    case kItemStapleType:
      second = CondPrintPaperOrient(context) == 1;
      break;
  }
  return OptSelectValueMap(row->valueMap, second);
}

DWORD OptRawToModelValue(DriverContext* context, const ItemTableRow* row, DWORD stored) {
  DWORD model = stored;
  return OptMapToModelValue(OptGetActiveValueMap(context, row), MapKeyOf(row, stored), &model) ? model : stored;
}

BOOL OptIsRawValueMapped(DriverContext* context, const ItemTableRow* row, DWORD stored) {
  return OptMapToModelValue(OptGetActiveValueMap(context, row), MapKeyOf(row, stored), nullptr);
}

DWORD OptModelToRawValue(DriverContext* context, const ItemTableRow* row, DWORD model) {
  DWORD stored = model;
  return OptMapToStoredValue(OptGetActiveValueMap(context, row), model, &stored) ? stored : model;
}

DWORD OptGetModelValue(DriverContext* context, const ItemTableRow* row) {
  if (const LONG* entry = OverrideOf(context, row)) return static_cast<DWORD>(*entry);
  return OptRawToModelValue(context, row, OptReadRaw(context, row));
}

BOOL OptSetModelValue(DriverContext* context, ItemTableRow* row, DWORD model) {
  if (!row) return FALSE;
  const BOOL written = OptWriteRaw(context, row, OptModelToRawValue(context, row, model));
  if (LONG* entry = OverrideOf(context, row)) *entry = static_cast<LONG>(model);
  return written;
}

DWORD OptGetModelValueById(DriverContext* context, WORD id) {
  return OptGetModelValue(context, context ? OptFindItem(context->itemTable, id) : nullptr);
}

BOOL OptSetModelValueById(DriverContext* context, WORD id, DWORD model) {
  return OptSetModelValue(context, context ? OptFindItem(context->itemTable, id) : nullptr, model);
}
