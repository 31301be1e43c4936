// Global, local, heap and COM task memory. All of them draw on one allocator, which tests can
// make fail (SetAllocationFault) to prove that every caller survives a failed allocation.
#pragma once

#include <cstdint>

#include "core/wintypes.h"

constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GMEM_MODIFY = 0x0080;
constexpr UINT GMEM_DISCARDABLE = 0x0100;
constexpr UINT GMEM_VALID_FLAGS = 0x7F72;
constexpr UINT GPTR = GMEM_FIXED | GMEM_ZEROINIT;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;
constexpr UINT LMEM_FIXED = 0x0000;
constexpr UINT LMEM_MOVEABLE = 0x0002;
constexpr UINT LMEM_ZEROINIT = 0x0040;
constexpr UINT LMEM_MODIFY = 0x0080;
constexpr UINT LMEM_VALID_FLAGS = 0x0F72;
constexpr UINT LPTR = LMEM_FIXED | LMEM_ZEROINIT;
constexpr UINT LHND = LMEM_MOVEABLE | LMEM_ZEROINIT;
constexpr DWORD HEAP_NO_SERIALIZE = 0x00000001;
constexpr DWORD HEAP_GENERATE_EXCEPTIONS = 0x00000004;
constexpr DWORD HEAP_ZERO_MEMORY = 0x00000008;
constexpr DWORD HEAP_REALLOC_IN_PLACE_ONLY = 0x00000010;
// GlobalUnlock/LocalUnlock of a block that is not locked.

// A fixed block's handle is its pointer, and reallocating it may give a new pointer. A moveable
// block has a handle of its own that stays the same when reallocation moves the data; GlobalLock
// gives the data pointer and counts locks. A locked moveable block moves only when the call says
// GMEM_MOVEABLE, and HEAP_REALLOC_IN_PLACE_ONLY never moves: such a call can shrink a block, and
// growing it fails with ERROR_NOT_ENOUGH_MEMORY.

extern "C" {
HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
HGLOBAL GlobalReAlloc(HGLOBAL mem, SIZE_T bytes, UINT flags);
HGLOBAL GlobalFree(HGLOBAL mem);  // null on success, the block on failure
SIZE_T GlobalSize(HGLOBAL mem);
LPVOID GlobalLock(HGLOBAL mem);
BOOL GlobalUnlock(HGLOBAL mem);
HGLOBAL GlobalHandle(LPCVOID pointer);
HLOCAL LocalAlloc(UINT flags, SIZE_T bytes);
HLOCAL LocalReAlloc(HLOCAL mem, SIZE_T bytes, UINT flags);
HLOCAL LocalFree(HLOCAL mem);
SIZE_T LocalSize(HLOCAL mem);
LPVOID LocalLock(HLOCAL mem);
BOOL LocalUnlock(HLOCAL mem);
HLOCAL LocalHandle(LPCVOID pointer);
HANDLE GetProcessHeap(void);
LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
LPVOID HeapReAlloc(HANDLE heap, DWORD flags, LPVOID mem, SIZE_T bytes);
BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID mem);
SIZE_T HeapSize(HANDLE heap, DWORD flags, LPCVOID mem);
LPVOID CoTaskMemAlloc(SIZE_T bytes);
LPVOID CoTaskMemRealloc(LPVOID mem, SIZE_T bytes);  // null mem allocates; 0 bytes frees and gives null
void CoTaskMemFree(LPVOID mem);
}

namespace velm::platform {
// Fault injection for tests: the nth allocation from now (1 = the next one) fails with
// ERROR_NOT_ENOUGH_MEMORY; 0 turns it off. Counts every allocating call of this header.
void SetAllocationFault(uint64_t nth);
// Allocating calls made by the process so far (for "fail each allocation in turn" loops).
uint64_t AllocationCount();
// Blocks allocated and not yet freed (leak checks in tests).
uint64_t LiveAllocationCount();
}  // namespace velm::platform
