#include "settings/service_seams.h"

// Not built yet: see the header.

const WCHAR* CfgHelpLanguageCode(DriverContext*) { return nullptr; }

BOOL ResFindLanguage(DWORD, WORD*, WORD*) { return FALSE; }

void LstLoadFreeSizes(DriverContext*) {}

void LstSelectSrcFreeSize(DriverContext*, int) {}

void LstLoadStamp(DriverContext*, DWORD) {}
