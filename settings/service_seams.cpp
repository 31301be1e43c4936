#include "settings/service_seams.h"

// Not built yet: see the header.

BOOL BidiGetSavedFlag(DriverContext*) { return FALSE; }

void BidiLoadSavedInfo(DriverContext*) {}

void BidiClearSavedSection(DriverContext*) {}

BOOL BidiCanWritePrinterData(DriverContext*) { return FALSE; }

BOOL XferLoad(HANDLE, const WCHAR*, DWORD, DriverContext*) { return FALSE; }

BOOL XferSave(HANDLE, const WCHAR*, DWORD, DriverContext*) { return FALSE; }

