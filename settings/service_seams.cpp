#include "settings/service_seams.h"

// Not built yet: see the header.

BOOL BidiGetSavedFlag(DriverContext*) { return FALSE; }

void BidiLoadSavedInfo(DriverContext*) {}

void BidiClearSavedSection(DriverContext*) {}

BOOL BidiCanWritePrinterData(DriverContext*) { return FALSE; }


