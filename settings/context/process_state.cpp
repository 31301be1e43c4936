#include "settings/context/process_state.h"

#include "settings/context/cache.h"
#include "settings/description/cache.h"
#include "settings/context/locks.h"

ProcessState& SysProcessState() {
  static ProcessState state;
  return state;
}

void SysLibraryAttach(HINSTANCE instance) {
  ProcessState& state = SysProcessState();
  state.module = instance;
  for (auto& table : state.cacheTables)
    for (ContextCacheSlot& slot : table) slot = ContextCacheSlot{nullptr, 0};
  SysCreateLock(1);
  SysCreateLock(2);
  // An attach that follows another without a detach must not leak the earlier handle.
  if (HANDLE old = state.globalMutex.exchange(nullptr)) CloseHandle(old);
}

void SysLibraryDetach() {
  // The cached contexts go first: destroying them takes the locks that are deleted below.
  CtxFlushCache(1);
  // Then the descriptions, which no context holds any longer.
  DescFreeAll();
  ProcessState& state = SysProcessState();
  for (int n = 1; n <= 2; ++n) SysDeleteLock(n);
  if (HANDLE old = state.globalMutex.exchange(nullptr)) CloseHandle(old);
}

BOOL SysLibraryEntry(HINSTANCE instance, DWORD reason) {
  if (reason == DLL_PROCESS_ATTACH) SysLibraryAttach(instance);
  if (reason == DLL_PROCESS_DETACH) SysLibraryDetach();
  return TRUE;
}
