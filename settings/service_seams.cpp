#include "settings/service_seams.h"

// Not built yet: see the header.

void DmValidatePublic(DriverContext*) {}

BOOL BidiGetSavedFlag(DriverContext*) { return FALSE; }

void BidiLoadSavedInfo(DriverContext*) {}

void BidiClearSavedSection(DriverContext*) {}

BOOL BidiCanWritePrinterData(DriverContext*) { return FALSE; }

DWORD CondGetItemValue(DriverContext*, WORD) { return 0; }

int CondPrintPaperOrient(DriverContext*) { return 0; }

LONG CondEvaluate(DriverContext*, const DescProgram*) { return 0; }

BOOL CondIsDisabled(const DescNode*, DWORD, DriverContext*) { return FALSE; }

BOOL CondIsHidden(const DescNode*, DWORD, DriverContext*) { return FALSE; }

int CondReapplyAll(DriverContext*) { return 0; }
