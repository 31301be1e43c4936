#include "settings/context/process_state.h"

// The module entry.
extern "C" __attribute__((visibility("default"))) BOOL DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  return SysLibraryEntry(instance, reason);
}
