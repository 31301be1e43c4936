#include "settings/context/process_state.h"

// The module entry: the loader runs it when the library is first loaded into a process and
// when its last reference is freed. The module handle it keeps is also the sign, for
// DrvEnablePDEV, that the settings library is ready. The detach flushes the context cache with
// the rest of the settings library's process state.
DRIVER_EXPORT BOOL WINAPI DllEntryPoint(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) SysLibraryAttach(instance);
  if (reason == DLL_PROCESS_DETACH) SysLibraryDetach();
  return TRUE;
}
