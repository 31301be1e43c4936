// Temporary: removed when the parallel branches merge.
#include "settings/public_fields.h"

void DmResetAllToDefaults(DriverContext*) {}

void DmTakePrinterDevmode(DriverContext*) {}
