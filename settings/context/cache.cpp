#include "settings/context/cache.h"

#include <string_view>

#include "settings/context/locks.h"
#include "settings/context/process_state.h"

namespace {

constexpr int kSlotsPerTable = 2;

ContextCacheSlot* Table(int n) { return SysProcessState().cacheTables[n - 1]; }

// Ticks since `stamp`; unsigned subtraction keeps the age right across the 49.7-day wrap.
DWORD AgeOf(const ContextCacheSlot& slot, DWORD now) { return now - slot.stamp; }

bool Matches(const DriverContext* context, const ContextCacheRequest& request) {
  const ContextWorkArea& work = *context->work;
  const WORD kindFlags = request.kindWord & kKindFlagsMask;
  if (!(kindFlags & kKindReuseOtherHandle) && context->printer != request.printer) return false;
  if (request.kindWord != 0 && !(kindFlags & kKindReuseAnyKind)) return false;
  if (work.creationFlags != request.creationFlags) return false;
  if (WStringView(work.printerName) != WStringView(request.printerName)) return false;
  if (request.creationFlags == kCreateInterface && request.extra == kExtraInterfaceState &&
      work.state != kExtraInterfaceState)
    return false;
  // A kind that works on a record must not be handed a names-only context.
  if ((request.kindWord & kKindMask) <= kKindLastWithRecord && !context->settings) return false;
  return true;
}

}  // namespace

int CtxCacheTableFor(DWORD creationFlags) { return creationFlags == kCreateCacheTable1 ? 1 : 2; }

DriverContext* CtxCacheTake(const ContextCacheRequest& request) {
  if (!request.printerName || !request.printerName[0]) return nullptr;
  const int n = CtxCacheTableFor(request.creationFlags);
  DriverContext* taken = nullptr;
  SysEnterLock(n);
  ContextCacheSlot* slots = Table(n);
  for (int i = 0; i < kSlotsPerTable; ++i) {
    if (slots[i].context && Matches(slots[i].context, request)) {
      taken = slots[i].context;
      slots[i] = ContextCacheSlot{nullptr, 0};
      break;
    }
  }
  SysLeaveLock(n);
  return taken;
}

void CtxCacheOffer(DriverContext* context, int table) {
  if (!context || (table != 1 && table != 2)) return;
  const DWORD now = GetTickCount();
  DriverContext* evicted = nullptr;
  SysEnterLock(table);
  ContextCacheSlot* slots = Table(table);
  int chosen = -1;
  for (int i = 0; i < kSlotsPerTable && chosen < 0; ++i) {
    if (!slots[i].context) chosen = i;
  }
  if (chosen < 0) {
    chosen = 0;
    for (int i = 1; i < kSlotsPerTable; ++i) {
      if (AgeOf(slots[i], now) > AgeOf(slots[chosen], now)) chosen = i;
    }
    evicted = slots[chosen].context;
  }
  slots[chosen] = ContextCacheSlot{context, now};
  SysLeaveLock(table);
  CtxDestroyEx(evicted, kReleaseDestroy);
}

void CtxFlushCache(int all) {
  const DWORD now = GetTickCount();
  DriverContext* removed[2 * kSlotsPerTable] = {};
  int count = 0;
  for (int n = 1; n <= 2; ++n) {
    SysEnterLock(n);
    ContextCacheSlot* slots = Table(n);
    for (int i = 0; i < kSlotsPerTable; ++i) {
      if (slots[i].context && (all || AgeOf(slots[i], now) > kCacheMaxAgeMs)) {
        removed[count++] = slots[i].context;
        slots[i] = ContextCacheSlot{nullptr, 0};
      }
    }
    SysLeaveLock(n);
  }
  for (int i = 0; i < count; ++i) CtxDestroyEx(removed[i], kReleaseDestroy);
}
