// The free paper sizes: their sections, the ten slots of the work area and the slot table.
#include <cstring>

#include "settings/items/store.h"
#include "settings/services/resource_strings.h"
#include "settings/constraints/condition_items.h"
#include "settings/constraints/eval.h"
#include "settings/context/settings_history.h"
#include "settings/services/string_convert.h"
#include "settings/persistence/user_lists.h"

static_assert(sizeof(ContextWorkArea::freeSizeSlots) == kLstFreeSizeSlots * sizeof(FreeSizeSlot));
static_assert(sizeof(ContextWorkArea::presetSlots) == kLstPresetSlots * sizeof(void*));

namespace {

// The three items a free size is selected into and stored from.
struct FreeSizeItems {
  WORD name;
  WORD width;
  WORD length;
};
constexpr FreeSizeItems kOutputItems = {859, 860, 861};
constexpr FreeSizeItems kSourceItems = {862, 863, 864};

constexpr UINT kFirstSlotString = 109;  // display name of slot n: string 109 + n, decorated
constexpr DWORD kNameBytes = sizeof(FreeSizeSlot::userName);
constexpr int kTextChars = 256;

struct SlotPaper {
  int slot;
  DWORD paper;
};
// Ends with {0, 0}.
constexpr SlotPaper kSlotTable[] = {{0, 384}, {1, 385}, {2, 386}, {3, 387}, {4, 388}, {5, 389},
                                    {6, 390}, {7, 391}, {8, 392}, {9, 256}, {0, 0}};

bool Usable(const DriverContext* context) {
  return context && context->work && context->settings && context->itemTable;
}

bool IsSlot(int slot) { return slot >= 0 && slot < kLstFreeSizeSlots; }

BOOL Load(DriverContext* context, int n, const FreeSizeItems& items, DWORD group) {
  WCHAR section[32];
  if (!Usable(context) || !LstFormatFreeSizeKey(context, n, section, 32)) return FALSE;
  OptSetValue(context, items.name, 0);
  OptSetValue(context, items.width, 0);
  OptSetValue(context, items.length, 0);
  return LstTransferSection(context, section, group | kXferRead);
}

BOOL Select(DriverContext* context, int n, const FreeSizeItems& items) {
  FreeSizeSlot slot;
  if (!Usable(context) || !LstGetFreeSizeSlot(context, n, &slot)) return FALSE;
  char name[kNameBytes + 1] = {};
  std::memcpy(name, slot.userName, kNameBytes);
  WCHAR wide[kNameBytes + 1];
  StrAnsiToWide(wide, kNameBytes + 1, name);
  const BOOL named = OptSetString(context, OptFindItem(context->itemTable, items.name), wide);
  return named && OptSetValue(context, items.width, slot.width) && OptSetValue(context, items.length, slot.length);
}

BOOL Store(DriverContext* context, int n, const FreeSizeItems& items) {
  if (!Usable(context) || !IsSlot(n)) return FALSE;
  BYTE* bytes = context->work->freeSizeSlots[n];
  FreeSizeSlot slot{};
  WCHAR text[kTextChars];
  OptGetString(context, OptFindItem(context->itemTable, items.name), text, kTextChars);
  StrWideToAnsi(slot.userName, kNameBytes, text);
  slot.width = OptGetValue(context, items.width);
  slot.length = OptGetValue(context, items.length);
  // The display name is decorated from the slot itself: its user name and its size go in first.
  std::memcpy(bytes, &slot, sizeof slot);
  ResLoadString(context, kFirstSlotString + static_cast<UINT>(n), text, kTextChars, TRUE);
  StrWideToAnsi(slot.displayName, kNameBytes, text);
  StrWideToAnsi(slot.displayName2, kNameBytes, text);
  std::memcpy(bytes, &slot, sizeof slot);
  return TRUE;
}

}  // namespace

int LstFreeSizeCount() { return kLstFreeSizeSlots; }

BOOL LstLoadFreeSize(DriverContext* context, int n) { return Load(context, n, kOutputItems, kXferGroupFreeSize); }

BOOL LstLoadSrcFreeSize(DriverContext* context, int n) {
  return Load(context, n, kSourceItems, kXferGroupSrcFreeSize);
}

BOOL LstSaveFreeSize(DriverContext* context, int n) {
  WCHAR section[32];
  if (!Usable(context) || !LstFormatFreeSizeKey(context, n, section, 32)) return FALSE;
  return LstTransferSection(context, section, kXferGroupFreeSize | kXferWrite);
}

void LstLoadFreeSizes(DriverContext* context) {
  if (!Usable(context) || (CtxGetChangeMask(context) & kChangeMaskFreeSizesLoaded)) return;
  if (!DmHistoryPush(context)) return;
  for (int n = 0; n < kLstFreeSizeSlots; ++n) {
    LstLoadFreeSize(context, n);
    LstStoreFreeSize(context, n);
  }
  DmHistoryPop(context, TRUE);
  // After the pop, which puts back the mask of before the push.
  CtxRaiseChangeMask(context, kChangeMaskFreeSizesLoaded);
}

BOOL LstSelectFreeSize(DriverContext* context, int slot) { return Select(context, slot, kOutputItems); }
BOOL LstSelectSrcFreeSize(DriverContext* context, int slot) { return Select(context, slot, kSourceItems); }
BOOL LstStoreFreeSize(DriverContext* context, int slot) { return Store(context, slot, kOutputItems); }
BOOL LstStoreSrcFreeSize(DriverContext* context, int slot) { return Store(context, slot, kSourceItems); }

BOOL LstGetFreeSizeSlot(const DriverContext* context, int slot, FreeSizeSlot* out) {
  if (!out) return FALSE;
  *out = FreeSizeSlot{};
  if (!context || !context->work || !IsSlot(slot)) return FALSE;
  std::memcpy(out, context->work->freeSizeSlots[slot], sizeof *out);
  return TRUE;
}

DWORD LstSlotToPaper(int slot, int count) {
  if (slot >= count) return 0;
  for (const SlotPaper* row = kSlotTable; row->paper != 0; ++row) {
    if (row->slot == slot) return row->paper;
  }
  return 0;
}

int LstPaperToFreeSizeSlot(DWORD paper) {
  if (paper == 0) return -1;
  for (const SlotPaper* row = kSlotTable; row->paper != 0; ++row) {
    if (row->paper == paper) return row->slot;
  }
  return -1;
}

BOOL LstIsFreeSizePaper(DWORD paper) { return LstPaperToFreeSizeSlot(paper) >= 0; }
