// The reuse cache of closed driver contexts: two tables of two slots, each slot a context and the
// tick of its release. Table n is touched only under process lock n. Contexts in the cache
// belong to no one; an open call or a flush takes them out.
#pragma once

#include "settings/context/driver_context.h"
#include "win32.h"

constexpr DWORD kCacheMaxAgeMs = 500;  // older entries are flushed

// What an open call asks of a cached context.
struct ContextCacheRequest {
  HANDLE printer;
  WORD kindWord;
  DWORD creationFlags;
  DWORD extra;
  const WCHAR* printerName;  // without a name nothing matches
};

// The table an open call searches: 1 for creation flags exactly 0x1000000, else 2.
int CtxCacheTableFor(DWORD creationFlags);
// Takes the first context of the request's table that matches: (kind flag 0x1000 or the same
// printer handle) and (kind word 0 or kind flag 0x800) and equal creation flags and the same
// printer name (exact) and (not creation flag 0x2000000 with extra 2, or work-area state 2); a
// request of a kind with a record never gets a context without one. Null when none matches.
DriverContext* CtxCacheTake(const ContextCacheRequest& request);
// Puts a closed context into the first empty slot of table `table` with the current tick; when
// both are full, the slot stamped longest ago (the first of equal ages) takes it and its old
// context is destroyed after the lock is left.
void CtxCacheOffer(DriverContext* context, int table);
// all = 1 empties both tables; all = 0 removes the entries stamped more than 500 ms ago (ages
// measured across the tick counter's wrap). Removed contexts are destroyed with release kind 5
// once both locks are left.
void CtxFlushCache(int all);
