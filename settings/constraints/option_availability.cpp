#include "settings/constraints/option_availability.h"

#include <cstring>

#include "data/item_ids.h"
#include "settings/constraints/eval.h"
#include "settings/description/access.h"
#include "settings/items/store.h"
#include "settings/context/memory.h"
#include "settings/constraints/condition_items.h"
#include "settings/constraints/eval.h"

namespace {

constexpr int kChainTermLimit = 256;
constexpr DWORD kLastTrialItem = kItemFirstComputed - 1;  // items above are never applied by the trial

// What the trial changes besides the record's own bytes, saved beside a copy of it.
class TrialSnapshot {
 public:
  bool Take(DriverContext* context) {
    context_ = context;
    rows_ = static_cast<DWORD>(context->itemTable->count > 0 ? context->itemTable->count : 0);
    const bool overrides = context->work->overrides != nullptr;
    block_ = static_cast<BYTE*>(SysAlloc(sizeof(SettingsRecord) + rows_ * sizeof(LONG) * (overrides ? 2 : 1)));
    if (!block_) return false;
    std::memcpy(Record(), context->settings, sizeof(SettingsRecord));
    for (DWORD i = 0; i < rows_; ++i) Marks()[i] = context->itemTable->rows[i].changed;
    if (overrides) std::memcpy(Overrides(), context->work->overrides, rows_ * sizeof(LONG));
    dirty_ = context->work->dirty;
    std::memcpy(masks_, context->work->changeMasks, sizeof(masks_));
    return true;
  }
  void Restore() {
    std::memcpy(context_->settings, Record(), sizeof(SettingsRecord));
    for (DWORD i = 0; i < rows_; ++i) context_->itemTable->rows[i].changed = Marks()[i];
    if (context_->work->overrides) std::memcpy(context_->work->overrides, Overrides(), rows_ * sizeof(LONG));
    context_->work->dirty = dirty_;
    std::memcpy(context_->work->changeMasks, masks_, sizeof(masks_));
  }
  ~TrialSnapshot() { SysFree(block_); }

 private:
  SettingsRecord* Record() { return reinterpret_cast<SettingsRecord*>(block_); }
  LONG* Marks() { return reinterpret_cast<LONG*>(block_ + sizeof(SettingsRecord)); }
  LONG* Overrides() { return Marks() + rows_; }

  DriverContext* context_ = nullptr;
  BYTE* block_ = nullptr;
  DWORD rows_ = 0;
  DWORD dirty_ = 0;
  DWORD masks_[4] = {};
};

// The items a trial set, each with the value it was last set to.
class TrialWrites {
 public:
  explicit TrialWrites(DriverContext* context) : context_(context) {}

  void Apply(DWORD item, DWORD value) {
    if (item == 0 || item > 0xFFFF || !OptSetValue(context_, static_cast<WORD>(item), value)) {
      failed_ = true;
      return;
    }
    for (int i = 0; i < count_; ++i) {
      if (writes_[i].item == item) {
        writes_[i].value = value;
        return;
      }
    }
    if (count_ == kChainTermLimit) {
      failed_ = true;
      return;
    }
    writes_[count_++] = {item, value};
  }
  void ApplyChain(const CondNode* chain) {
    int steps = 0;
    for (; chain && steps < kChainTermLimit; chain = chain->next, ++steps) Apply(chain->conditionId, chain->value);
    if (chain) failed_ = true;
  }
  bool AllHold() const {
    if (failed_) return false;
    for (int i = 0; i < count_; ++i) {
      if (OptGetValue(context_, static_cast<WORD>(writes_[i].item)) != writes_[i].value) return false;
    }
    return true;
  }

 private:
  struct Write {
    DWORD item;
    DWORD value;
  };
  DriverContext* context_;
  Write writes_[kChainTermLimit];
  int count_ = 0;
  bool failed_ = false;
};

int TestOnCopy(DriverContext* context, const ExcCommandRow* row, const ExcValueRow* value) {
  if (!context || !context->settings || !context->work || !context->itemTable) return 0;
  TrialSnapshot snapshot;
  if (!snapshot.Take(context)) return -1;
  TrialWrites writes(context);
  if (!(value->flags & kExcValueNone) && row->item >= 1 && row->item <= kLastTrialItem) {
    writes.Apply(row->item, value->value);
  }
  writes.ApplyChain(row->side);
  writes.ApplyChain(value->side);
  CondReapplyAll(context);
  const bool available = writes.AllHold();
  snapshot.Restore();
  return available ? 1 : 0;
}

}  // namespace

BOOL CondEvalChain(DriverContext* context, const CondNode* chain) {
  return CondWalkChain(context, chain, kCondChainItems);
}

const ExcCommandRow* CondFindCommand(DriverContext* context, DWORD key, DWORD mode) {
  if (key == 0) return nullptr;
  const ExcCommandTable* table = ExcGetCommandTable();
  for (DWORD i = 0; i < table->count; ++i) {
    const ExcCommandRow& row = table->rows[i];
    if (row.item != key || !(row.access & mode)) continue;
    if ((row.access & kExcAccessPrinterOption) && row.condition &&
        !CondWalkChain(context, row.condition, kCondChainConditionIds)) {
      return nullptr;
    }
    return &row;
  }
  return nullptr;
}

int CondIsValueAvailable(DriverContext* context, const ExcCommandRow* row, const ExcValueRow* value) {
  if (!row || !value) return 0;
  if (row->flags & kExcCommandTestOnCopy) return TestOnCopy(context, row, value);
  return CondEvalChain(context, value->condition) ? 1 : 0;
}

int CondListAllowedValues(DriverContext* context, DWORD key, DWORD capacity, DWORD* values, DWORD* count,
                          BOOL skipNone) {
  if (count) *count = 0;
  const ExcCommandRow* row = CondFindCommand(context, key, kExcAccessJob);
  if (!row || !row->values || row->values->count == 0) return kListDone;

  const ExcValueList& list = *row->values;
  DWORD* found = static_cast<DWORD*>(SysAlloc(list.count * sizeof(DWORD)));
  if (!found) return kListNoMemory;
  DWORD n = 0;
  for (DWORD i = 0; i < list.count; ++i) {
    const ExcValueRow& value = list.rows[i];
    if (skipNone && (value.flags & kExcValueNone)) continue;
    const int available = CondIsValueAvailable(context, row, &value);
    if (available < 0) {
      SysFree(found);
      return kListNoMemory;
    }
    if (available) found[n++] = value.value;
  }
  if (count) *count = n;
  int result = kListDone;
  if (n > 0) {
    if (!values || capacity < n) result = kListTooSmall;
    else std::memcpy(values, found, n * sizeof(DWORD));
  }
  SysFree(found);
  return result;
}

int CondGetAllowedValues(DriverContext* context, DWORD key, DWORD capacity, DWORD* values, DWORD* count) {
  return CondListAllowedValues(context, key, capacity, values, count, FALSE);
}

int CapsCanCollate(DriverContext* context) {
  DWORD values[2] = {};
  DWORD count = 0;
  const int result = CondGetAllowedValues(context, kItemSortType, 2, values, &count);
  if (result == kListTooSmall) return 1;  // more than two values: not the single 0
  if (result != kListDone || count == 0) return 0;
  return count == 1 && values[0] == 0 ? 0 : 1;
}

const DescNode* CondFindItemNode(DriverContext* context, WORD key) {
  return key ? DescFindNodeByKey(key, context) : nullptr;
}

BOOL CondIsValueExcluded(DriverContext* context, WORD key) {
  const DescNode* node = CondFindItemNode(context, key);
  return node && CondIsDisabled(node, 0, context) ? TRUE : FALSE;
}
