#include "settings/context/process_state.h"

// The module entry: the loader runs it when the library is first loaded into a process and
// when its last reference is freed.
DRIVER_EXPORT BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) SysLibraryAttach(instance);
  if (reason == DLL_PROCESS_DETACH) SysLibraryDetach();
  return TRUE;
}
