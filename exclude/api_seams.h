// Seams of the application interface to work that is not built yet. Each does nothing, or
// answers "none", until the part that owns it replaces its body here (and the export map gains
// the export); none invents a result.
//   the capability records: VELMDrvGetCaps (not exported yet)
#pragma once

#include <cstdint>

#include "exclude/velmexc.h"
#include "settings/context/driver_context.h"
#include "win32.h"

// Capability row `capability` of the context (row 34: 1 when item 105 has a model range, else
// 0). Not built yet: 0, the answer for a row without a handler.
extern "C" intptr_t VELMDrvGetCaps(VELMAPICONTEXT context, uint32_t capability, void* buffer);

// Fills the lock snapshot of an application context from the status rows' items (status_records.cpp).
void ApiRefreshLockSnapshot(DriverContext* context);
