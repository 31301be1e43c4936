#include "settings/service_seams.h"

// Not built yet: see the header.

void DmValidatePublic(DriverContext*) {}

BOOL BidiGetSavedFlag(DriverContext*) { return FALSE; }

void BidiLoadSavedInfo(DriverContext*) {}

void BidiClearSavedSection(DriverContext*) {}

BOOL BidiCanWritePrinterData(DriverContext*) { return FALSE; }

int CfgLoadUserCodeIfEnabled(DriverContext*) { return 0; }

void LstLoadFreeSizes(DriverContext*) {}

void LstSelectSrcFreeSize(DriverContext*, int) {}

void LstLoadStamp(DriverContext*, DWORD) {}
