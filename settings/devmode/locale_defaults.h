// Defaults that follow the user's locale: the country digit, the length unit and the paper.
#pragma once

#include "data/item_ids.h"
#include "settings/context/driver_context.h"
#include "win32.h"


// The first digit of the user's default locale's country code (LOCALE_ICOUNTRY) when it is 1,
// 2 or 5 (the regions that use inches and Letter paper), else 0; 0 when the locale cannot be read.
DWORD SysGetCountryDigit();

// Puts what the user's locale suggests into the context's work area (the country digit; inch
// units and Letter for a digit other than 0, else metric units and A4) and the digit into item
// 180. The unit and paper items themselves are left to the caller.
void DmSetCountryDefaults(DriverContext* context);
