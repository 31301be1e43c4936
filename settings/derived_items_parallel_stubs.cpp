// Temporary: removed when the parallel branches merge.
#include "settings/derived_items.h"
#include "settings/description_access.h"
#include "settings/item_store.h"
#include "settings/paper_geometry.h"

// The model's answer alone, as the item check gives it for an item the model can judge.
int OptCheckValue(WORD item, DWORD value, DriverContext* context) {
  const int answer = CondCheckValue(OptFindItem(context->itemTable, item), item, value, context);
  return answer == kValueAllowed || answer == kValueHidden ? 1 : 0;
}

void DmRunItemHandlers(DriverContext*, int) {}

void CfgBuildModelCode(DriverContext*) {}
