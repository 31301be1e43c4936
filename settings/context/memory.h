// The settings library's one allocation wrapper and one free wrapper: zeroed blocks of the
// system's global memory, so that blocks handed between the library's parts (and to callers
// that free them) come from one allocator.
#pragma once

#include "win32.h"

// A zeroed block of `bytes`, or null (the last error says why).
void* SysAlloc(SIZE_T bytes);
// Frees a block of SysAlloc; a null pointer is ignored.
void SysFree(void* block);
