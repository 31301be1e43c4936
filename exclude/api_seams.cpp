#include "exclude/api_seams.h"

// Not built yet: see the header.

extern "C" intptr_t VELMDrvGetCaps(VELMAPICONTEXT, uint32_t, void*) { return 0; }
