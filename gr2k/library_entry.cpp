#include "settings/context/process_state.h"
#include "settings/context/boundary.h"

// The module entry. The module handle it keeps is also the sign, for DrvEnablePDEV, that the
// settings library is ready.
DRIVER_EXPORT BOOL WINAPI DllEntryPoint(HINSTANCE instance, DWORD reason, LPVOID) try {
  return SysLibraryEntry(instance, reason);
} catch (...) {
  return SysFailAtBoundary(FALSE);
}
