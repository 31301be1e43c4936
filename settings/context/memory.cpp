#include "settings/context/memory.h"

void* SysAlloc(SIZE_T bytes) { return GlobalAlloc(GPTR, bytes); }

void SysFree(void* block) {
  if (block) GlobalFree(block);
}
