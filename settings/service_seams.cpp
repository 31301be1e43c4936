#include "settings/service_seams.h"

// Not built yet: see the header.

const WCHAR* CfgHelpLanguageCode(DriverContext*) { return nullptr; }

DWORD CondGetItemValue(DriverContext*, WORD) { return 0; }

int CondPrintPaperOrient(DriverContext*) { return 0; }

void DmSyncResolutionFromPublic(DriverContext*) {}

void DmSyncResolutionFromItems(DriverContext*) {}

void DmDeriveSrcPaper(DWORD, WORD, DriverContext*, PrivateDevmode*) {}

void DmDeriveDstPaper(DWORD, WORD, DriverContext*, PrivateDevmode*) {}

void DmDeriveSrcPaperCustom(PrivateDevmode*, DriverContext*) {}
