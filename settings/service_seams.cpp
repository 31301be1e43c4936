#include "settings/service_seams.h"

// Not built yet: see the header.

void DmValidatePublic(DriverContext*) {}

BOOL BidiGetSavedFlag(DriverContext*) { return FALSE; }

void BidiLoadSavedInfo(DriverContext*) {}

void BidiClearSavedSection(DriverContext*) {}

BOOL BidiCanWritePrinterData(DriverContext*) { return FALSE; }

void LstLoadFreeSizes(DriverContext*) {}

void LstSelectSrcFreeSize(DriverContext*, int) {}

void LstLoadStamp(DriverContext*, DWORD) {}

BOOL LstLoadQuality(DriverContext*, int) { return FALSE; }

void DmSetDefaults(DriverContext*) {}

void DmSetEnvironment(DriverContext*) {}
