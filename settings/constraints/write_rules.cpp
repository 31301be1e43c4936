#include "settings/constraints/write_rules.h"

#include "data/item_ids.h"
#include "settings/items/store.h"

namespace {

// Item `target` takes every value written to `source` while `gate` holds `gateValue`.
struct WriteFollower {
  WORD source;
  WORD gate;
  DWORD gateValue;
  WORD target;
};

constexpr WriteFollower kWriteFollowers[] = {
    {kItemScaleH, kItemScaleType, 1, kItemScaleV},
};

}  // namespace

void CondFollowItemWrite(DriverContext* context, WORD id, DWORD value) {
  for (const WriteFollower& rule : kWriteFollowers) {
    if (rule.source != id || OptGetValue(context, rule.gate) != rule.gateValue) continue;
    if (ItemTableRow* target = OptFindItem(context->itemTable, rule.target)) OptWriteRaw(context, target, value);
  }
}
