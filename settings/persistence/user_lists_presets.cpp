// The in-memory preset slots.
//
// A slot's layout comes from the static item table's marks, never from a context's copy: a
// transfer may mark rows of the copy for a while, and a block sized for one row set must never
// be filled with another.
#include <cstring>

#include "settings/items/store.h"
#include "settings/context/memory.h"
#include "settings/persistence/user_lists.h"

namespace {

// Calls visit(row, offset) for each row of a slot, in table order, with the row's offset in the
// slot; answers the slot's bytes.
template <class Visit>
DWORD ForEachPresetRow(Visit visit) {
  const ItemTable* table = OptGetStaticItemTable();
  DWORD at = 0;
  for (SHORT i = 0; table && i < table->count; ++i) {
    const ItemTableRow& row = table->rows[i];
    if (!row.transfer && !row.preset) continue;
    visit(row, at);
    at += static_cast<DWORD>(DescriptorLength(row.descriptor));
  }
  return at;
}

DWORD SlotBytes() {
  return ForEachPresetRow([](const ItemTableRow&, DWORD) {});
}

// The slot that `key` names exactly ("PresetList4"), or -1.
int SlotOfKey(const WCHAR* key) {
  if (!key) return -1;
  WCHAR candidate[32];
  for (int n = 0; n < kLstPresetSlots; ++n) {
    if (LstFormatPresetKey(candidate, 32, n, kPresetKeyPath) && lstrcmpW(candidate, key) == 0) return n;
  }
  return -1;
}

int Save(DriverContext* context, int slot) {
  BYTE* block = static_cast<BYTE*>(context->work->presetSlots[slot]);
  if (!block) {
    const DWORD bytes = SlotBytes();
    block = static_cast<BYTE*>(SysAlloc(bytes ? bytes : 1));
    if (!block) return 0;
    context->work->presetSlots[slot] = block;
  }
  ForEachPresetRow([&](const ItemTableRow& row, DWORD at) {
    if (const BYTE* address = OptGetItemAddress(context, &row))
      std::memcpy(block + at, address, static_cast<DWORD>(DescriptorLength(row.descriptor)));
  });
  return 1;
}

int Restore(DriverContext* context, int slot) {
  const BYTE* block = static_cast<const BYTE*>(context->work->presetSlots[slot]);
  if (!block) return 0;
  ForEachPresetRow([&](const ItemTableRow& row, DWORD at) {
    const int type = DescriptorType(row.descriptor);
    const DWORD length = static_cast<DWORD>(DescriptorLength(row.descriptor));
    if (BYTE* address = OptGetItemAddress(context, &row)) {
      if (IsBitType(type)) {
        // The word's other bits belong to other items, which need not be preset items.
        const DWORD index = static_cast<DWORD>(BitByteIndex(type));
        const BYTE mask = BitMask(type);
        if (index < length) address[index] = static_cast<BYTE>((address[index] & ~mask) | (block[at + index] & mask));
      } else {
        std::memcpy(address, block + at, length);
      }
    }
  });
  return 1;
}

}  // namespace

DWORD LstPresetSlotBytes() { return SlotBytes(); }

int LstPresetSlots(DriverContext* context, const WCHAR* key, int op) {
  if (!context || !context->work) return 0;
  void** slots = context->work->presetSlots;
  switch (op) {
    case kPresetSlotsForget:
      std::memset(slots, 0, sizeof context->work->presetSlots);
      return 1;
    case kPresetSlotsFree:
      for (int n = 0; n < kLstPresetSlots; ++n) {
        SysFree(slots[n]);
        slots[n] = nullptr;
      }
      return 1;
    case kPresetSlotsSave:
    case kPresetSlotsRestore: {
      const int slot = SlotOfKey(key);
      if (slot < 0 || !context->settings) return 0;
      return op == kPresetSlotsSave ? Save(context, slot) : Restore(context, slot);
    }
    default:
      return 0;
  }
}
