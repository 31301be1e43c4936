#include "settings/context/process_state.h"

// The module entry.
DRIVER_EXPORT BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  return SysLibraryEntry(instance, reason);
}
