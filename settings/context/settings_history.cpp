#include "settings/context/settings_history.h"

#include <cstring>

#include "settings/context/memory.h"
#include "settings/items/block_handles.h"
#include "settings/items/store.h"

// The copies older than the work area's three, oldest first.
struct SettingsHistoryDeeper {
  SettingsRecord** records;
  DWORD* masks;
  DWORD count;
  DWORD capacity;
};

namespace {

constexpr WORD kFontBlockHandleItems[] = {10005, 10007, 10009};
constexpr size_t kFontBlocks = sizeof kFontBlockHandleItems / sizeof kFontBlockHandleItems[0];

struct FontHandles {
  DWORD handles[kFontBlocks];
};

// A 32-bit field of section 2 of any record of the context (its bases are checked).
DWORD ConfigU32(const SettingsRecord* record, const ItemTableRow* row) {
  const BYTE* section = record && row ? DmGetSection(record, 2) : nullptr;
  if (!section) return 0;
  const BYTE* end = reinterpret_cast<const BYTE*>(record) + sizeof(SettingsRecord);
  if (row->offset + sizeof(DWORD) > static_cast<size_t>(end - section)) return 0;
  return DmLoadU32(section, row->offset);
}

FontHandles FontHandlesOf(const DriverContext* context, const SettingsRecord* record) {
  FontHandles out{};
  for (size_t i = 0; i < kFontBlocks; ++i)
    out.handles[i] = ConfigU32(record, OptFindItem(context->itemTable, kFontBlockHandleItems[i]));
  return out;
}

bool Names(const DriverContext* context, const SettingsRecord* record, DWORD handle) {
  if (!record) return false;
  const FontHandles named = FontHandlesOf(context, record);
  for (DWORD h : named.handles) {
    if (h == handle) return true;
  }
  return false;
}

// Copy n of the history, newest first (0..historyDepth-1).
const SettingsRecord* HistoryCopy(const ContextWorkArea& work, DWORD n) {
  if (n < kHistoryDepthMax) return work.history[n];
  const SettingsHistoryDeeper* deeper = work.historyDeeper;
  const DWORD back = n - kHistoryDepthMax;
  return deeper && back < deeper->count ? deeper->records[deeper->count - 1 - back] : nullptr;
}

// Room for one more deeper copy; false when memory runs out (nothing changed).
bool ReserveDeeper(ContextWorkArea& work) {
  if (!work.historyDeeper) {
    work.historyDeeper = static_cast<SettingsHistoryDeeper*>(SysAlloc(sizeof(SettingsHistoryDeeper)));
    if (!work.historyDeeper) return false;
  }
  SettingsHistoryDeeper& deeper = *work.historyDeeper;
  if (deeper.count < deeper.capacity) return true;
  const DWORD capacity = deeper.capacity ? deeper.capacity * 2 : 4;
  auto* records = static_cast<SettingsRecord**>(SysAlloc(capacity * sizeof(SettingsRecord*)));
  auto* masks = static_cast<DWORD*>(SysAlloc(capacity * sizeof(DWORD)));
  if (!records || !masks) {
    SysFree(records);
    SysFree(masks);
    return false;
  }
  if (deeper.count) {
    std::memcpy(records, deeper.records, deeper.count * sizeof(SettingsRecord*));
    std::memcpy(masks, deeper.masks, deeper.count * sizeof(DWORD));
  }
  SysFree(deeper.records);
  SysFree(deeper.masks);
  deeper.records = records;
  deeper.masks = masks;
  deeper.capacity = capacity;
  return true;
}

// Frees the blocks of a record that left the history that no record of the context names now.
void ReleaseDroppedBlocks(const DriverContext* context, const FontHandles& dropped) {
  const ContextWorkArea& work = *context->work;
  for (size_t i = 0; i < kFontBlocks; ++i) {
    const DWORD handle = dropped.handles[i];
    if (handle == 0) continue;
    bool named = Names(context, context->settings, handle) || Names(context, work.savedCopy, handle);
    for (DWORD n = 0; n < work.historyDepth && !named; ++n) named = Names(context, HistoryCopy(work, n), handle);
    for (size_t j = 0; j < i && !named; ++j) named = dropped.handles[j] == handle;  // freed already
    if (!named) SysBlockFree(handle);
  }
}

bool HasHistory(const DriverContext* context) {
  if (!context || !context->settings || !context->work || !context->itemTable) return false;
  for (const SettingsRecord* record : context->work->history) {
    if (!record) return false;
  }
  return true;
}

}  // namespace

BOOL DmHistoryPush(DriverContext* context) {
  if (!HasHistory(context)) return FALSE;
  ContextWorkArea& work = *context->work;
  if (work.historyDepth >= kHistoryDepthMax) {
    // The oldest of the three moves down the deeper stack; a fresh buffer takes its place.
    auto* fresh = static_cast<SettingsRecord*>(SysAlloc(sizeof(SettingsRecord)));
    if (!fresh || !ReserveDeeper(work)) {
      SysFree(fresh);
      return FALSE;
    }
    SettingsHistoryDeeper& deeper = *work.historyDeeper;
    deeper.records[deeper.count] = work.history[kHistoryDepthMax - 1];
    deeper.masks[deeper.count] = work.changeMasks[kHistoryDepthMax - 1];
    ++deeper.count;
    work.history[kHistoryDepthMax - 1] = fresh;
  }
  SettingsRecord* reused = work.history[kHistoryDepthMax - 1];
  for (DWORD n = kHistoryDepthMax - 1; n > 0; --n) {
    work.history[n] = work.history[n - 1];
    work.changeMasks[n] = work.changeMasks[n - 1];
  }
  work.history[0] = reused;
  work.changeMasks[0] = work.changeMasks[kHistoryDepthMax];
  std::memcpy(reused, context->settings, sizeof(SettingsRecord));
  ++work.historyDepth;
  return TRUE;
}

BOOL DmHistoryPop(DriverContext* context, BOOL restore) {
  if (!HasHistory(context) || context->work->historyDepth == 0) return FALSE;
  ContextWorkArea& work = *context->work;
  SettingsRecord* newest = work.history[0];
  FontHandles dropped{};
  if (restore) {
    dropped = FontHandlesOf(context, context->settings);
    std::memcpy(context->settings, newest, sizeof(SettingsRecord));
    work.changeMasks[kHistoryDepthMax] = work.changeMasks[0];
    work.dirty = 0;
    for (SHORT i = 0; i < context->itemTable->count; ++i) context->itemTable->rows[i].changed = 0;
  } else {
    dropped = FontHandlesOf(context, newest);
  }
  for (DWORD n = 0; n + 1 < kHistoryDepthMax; ++n) {
    work.history[n] = work.history[n + 1];
    work.changeMasks[n] = work.changeMasks[n + 1];
  }
  work.history[kHistoryDepthMax - 1] = newest;
  work.changeMasks[kHistoryDepthMax - 1] = 0;
  --work.historyDepth;
  if (SettingsHistoryDeeper* deeper = work.historyDeeper; deeper && deeper->count > 0) {
    // The newest deeper copy comes back into the buffers; the spare buffer is not needed.
    --deeper->count;
    work.history[kHistoryDepthMax - 1] = deeper->records[deeper->count];
    work.changeMasks[kHistoryDepthMax - 1] = deeper->masks[deeper->count];
    SysFree(newest);
  }
  ReleaseDroppedBlocks(context, dropped);
  return TRUE;
}

DWORD DmHistoryDepth(const DriverContext* context) {
  return context && context->work ? context->work->historyDepth : 0;
}

void DmHistoryFreeDeeper(DriverContext* context) {
  ContextWorkArea* work = context ? context->work : nullptr;
  if (!work || !work->historyDeeper) return;
  SettingsHistoryDeeper* deeper = work->historyDeeper;
  for (DWORD n = 0; n < deeper->count; ++n) SysFree(deeper->records[n]);
  SysFree(deeper->records);
  SysFree(deeper->masks);
  SysFree(deeper);
  work->historyDeeper = nullptr;
  work->historyDepth = work->historyDepth > kHistoryDepthMax ? kHistoryDepthMax : work->historyDepth;
}
