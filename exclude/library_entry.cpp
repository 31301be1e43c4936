#include "settings/context/process_state.h"
#include "settings/context/boundary.h"

// The module entry.
DRIVER_EXPORT BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) try {
  return SysLibraryEntry(instance, reason);
} catch (...) {
  return SysFailAtBoundary(FALSE);
}
