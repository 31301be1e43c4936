#include "settings/service_seams.h"

// Not built yet: see the header.

void DmValidatePublic(DriverContext*) {}

BOOL XferSection(HANDLE, DriverContext*, const WCHAR*, DWORD) { return FALSE; }

void LstLoadFreeSizes(DriverContext*) {}

void LstSelectSrcFreeSize(DriverContext*, int) {}

void LstLoadStamp(DriverContext*, DWORD) {}
