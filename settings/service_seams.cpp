#include "settings/service_seams.h"

// Not built yet: see the header.

void DmValidatePublic(DriverContext*) {}

BOOL BidiGetSavedFlag(DriverContext*) { return FALSE; }

void BidiLoadSavedInfo(DriverContext*) {}

void BidiClearSavedSection(DriverContext*) {}

BOOL BidiCanWritePrinterData(DriverContext*) { return FALSE; }

BOOL XferLoad(HANDLE, const WCHAR*, DWORD, DriverContext*) { return FALSE; }

BOOL XferSave(HANDLE, const WCHAR*, DWORD, DriverContext*) { return FALSE; }

int ResLoadString(DriverContext*, UINT, WCHAR* buffer, int capacity, BOOL) {
  if (buffer && capacity > 0) buffer[0] = 0;
  return 0;
}
