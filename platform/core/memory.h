// Global, local, heap and COM task memory. All of them draw on one allocator, which tests can
// make fail (SetAllocationFault) to prove that every caller survives a failed allocation.
#pragma once

#include <cstdint>

#include "core/wintypes.h"

constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GPTR = GMEM_FIXED | GMEM_ZEROINIT;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;
constexpr UINT LMEM_FIXED = 0x0000;
constexpr UINT LMEM_MOVEABLE = 0x0002;
constexpr UINT LMEM_ZEROINIT = 0x0040;
constexpr UINT LPTR = LMEM_FIXED | LMEM_ZEROINIT;
constexpr DWORD HEAP_ZERO_MEMORY = 0x00000008;

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
HANDLE GetProcessHeap(void);
LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
LPVOID HeapReAlloc(HANDLE heap, DWORD flags, LPVOID mem, SIZE_T bytes);
BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID mem);
SIZE_T HeapSize(HANDLE heap, DWORD flags, LPCVOID mem);
LPVOID CoTaskMemAlloc(SIZE_T bytes);
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
