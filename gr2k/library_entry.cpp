#include "settings/context/process_state.h"

// The module entry. The module handle it keeps is also the sign, for DrvEnablePDEV, that the
// settings library is ready.
DRIVER_EXPORT BOOL WINAPI DllEntryPoint(HINSTANCE instance, DWORD reason, LPVOID) {
  return SysLibraryEntry(instance, reason);
}
