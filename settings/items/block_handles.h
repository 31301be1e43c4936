// Memory blocks that the settings record names by a 32-bit handle.
//
// The font lists of items 10005, 10007 and 10009 are blocks owned by a context, but their fields
// are 32 bits wide and travel inside devmodes, so they hold a handle from this process-wide
// registry, never an address. A handle from another process, or a stale one, finds nothing.
#pragma once

#include "win32.h"

// A zeroed block of `bytes` (SysAlloc) registered under a new handle, written to *handle. Null
// and handle 0 when either the block or the handle cannot be had (ERROR_NOT_ENOUGH_MEMORY).
void* SysBlockAlloc(SIZE_T bytes, DWORD* handle);
// The block of `handle` and its size, or null (and size 0) for 0, an unknown or a freed handle.
void* SysBlockGet(DWORD handle, SIZE_T* bytes = nullptr);
// Frees the block of `handle` and forgets the handle; 0 and unknown handles are ignored.
void SysBlockFree(DWORD handle);
// Blocks registered now (leak checks).
DWORD SysBlockCount();
