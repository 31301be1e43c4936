#include "settings/process_state.h"

// The locks, the global mutex and the caches are built by the platform-services work;
// until then a library's attach and detach have nothing to set up.
void SysLibraryAttach(HINSTANCE) {}
void SysLibraryDetach() {}
