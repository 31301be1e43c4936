// What the library reads from the driver INI ("qndrv.ini" in the driver folder).
#pragma once

#include "settings/context/driver_context.h"
#include "win32.h"

// The model name of the printer's driver: the key named by the driver's name in section
// "Models" of the driver INI, read into the context's work area (at most 32 characters). Null
// when the value is empty or absent, or the driver INI or driver name cannot be learnt.
const WCHAR* CfgReadModelName(DriverContext* context);
